#include "emulator/command_log.h"

#include <algorithm>
#include <utility>

#include "emulator/sense_code.h"

namespace fwu::emulator {

std::uint64_t Fnv1a64(std::span<const std::uint8_t> bytes) {
  constexpr std::uint64_t kPrime = 0x100000001B3ULL;
  std::uint64_t hash = kFnv1a64OfNothing;
  for (const std::uint8_t byte : bytes) {
    hash = (hash ^ byte) * kPrime;
  }
  return hash;
}

std::optional<std::uint8_t> CommandRecord::OperationCode() const {
  if (cdb.empty()) {
    return std::nullopt;
  }
  return cdb.front();
}

void CommandLog::Append(CommandRecord record) {
  const std::lock_guard lock(mutex_);
  records_.push_back(std::move(record));
}

void CommandLog::Clear() {
  const std::lock_guard lock(mutex_);
  records_.clear();
}

std::vector<CommandRecord> CommandLog::Records() const {
  const std::lock_guard lock(mutex_);
  return records_;
}

std::size_t CommandLog::Size() const {
  const std::lock_guard lock(mutex_);
  return records_.size();
}

std::optional<CommandRecord> CommandLog::Last() const {
  const std::lock_guard lock(mutex_);
  if (records_.empty()) {
    return std::nullopt;
  }
  return records_.back();
}

std::vector<std::uint8_t> CommandLog::OperationCodes() const {
  const std::lock_guard lock(mutex_);
  std::vector<std::uint8_t> codes;
  for (const auto& record : records_) {
    if (const auto code = record.OperationCode()) {
      codes.push_back(*code);
    }
  }
  return codes;
}

std::size_t CommandLog::CountOf(std::uint8_t operation_code) const {
  const std::lock_guard lock(mutex_);
  return static_cast<std::size_t>(
      std::count_if(records_.begin(), records_.end(),
                    [&](const auto& r) { return r.OperationCode() == operation_code; }));
}

std::vector<PageCommand> CommandLog::SentPages() const {
  const std::lock_guard lock(mutex_);
  std::vector<PageCommand> pages;
  for (const auto& record : records_) {
    if (record.page) {
      pages.push_back(*record.page);
    }
  }
  return pages;
}

std::vector<PageCommand> CommandLog::AcceptedPages() const {
  const std::lock_guard lock(mutex_);
  std::vector<PageCommand> pages;
  for (const auto& record : records_) {
    if (record.page && record.completed && record.status == scsi_status::kGood) {
      pages.push_back(*record.page);
    }
  }
  return pages;
}

}  // namespace fwu::emulator
