#include "emulator/fault_plan.h"

#include "drive/command_set.h"

namespace fwu::emulator {

FaultMatch FaultMatch::Command(std::uint8_t operation_code) {
  return FaultMatch{.operation_code = operation_code};
}

FaultMatch FaultMatch::Page(std::uint8_t sub_command) {
  return FaultMatch{.operation_code = opcode::kSendDiagnostic, .sub_command = sub_command};
}

FaultMatch FaultMatch::Page(std::uint8_t sub_command, std::uint8_t argument) {
  return FaultMatch{
      .operation_code = opcode::kSendDiagnostic, .sub_command = sub_command, .argument = argument};
}

bool FaultMatch::Matches(std::span<const std::uint8_t> cdb, std::optional<PageCommand> page) const {
  if (operation_code && (cdb.empty() || cdb.front() != *operation_code)) {
    return false;
  }
  if (sub_command && (!page || page->sub_command != *sub_command)) {
    return false;
  }
  return !argument || (page && page->argument == *argument);
}

FaultAction FaultAction::CheckCondition(SenseCode sense, std::uint8_t drive_error) {
  return FaultAction{
      .kind = FaultKind::kCheckCondition, .sense = sense, .drive_error = drive_error};
}

FaultAction FaultAction::UnitAttention(SenseCode sense) {
  return CheckCondition(sense);
}

FaultAction FaultAction::Status(std::uint8_t status) {
  return FaultAction{.kind = FaultKind::kStatus, .status = status};
}

FaultAction FaultAction::NoCompletion() {
  return FaultAction{.kind = FaultKind::kNoCompletion};
}

FaultAction FaultAction::ShortData(std::uint32_t bytes) {
  return FaultAction{.kind = FaultKind::kShortData, .amount = bytes};
}

FaultAction FaultAction::Duration(std::uint32_t milliseconds) {
  return FaultAction{.kind = FaultKind::kDuration, .amount = milliseconds};
}

bool FaultAction::DecidesOutcome() const {
  return kind == FaultKind::kCheckCondition || kind == FaultKind::kStatus ||
         kind == FaultKind::kNoCompletion;
}

FaultRule FaultRule::UnitAttention(FaultMatch match, std::uint32_t times, SenseCode sense) {
  return FaultRule{.match = match, .action = FaultAction::UnitAttention(sense), .count = times};
}

void FaultPlan::Add(const FaultRule& rule) {
  const std::lock_guard lock(mutex_);
  entries_.push_back(Entry{.rule = rule});
}

void FaultPlan::Clear() {
  const std::lock_guard lock(mutex_);
  entries_.clear();
}

FaultEffect FaultPlan::Consult(std::span<const std::uint8_t> cdb, std::optional<PageCommand> page) {
  const std::lock_guard lock(mutex_);
  FaultEffect effect;
  for (auto& entry : entries_) {
    const FaultRule& rule = entry.rule;
    if (!rule.match.Matches(cdb, page)) {
      continue;
    }
    entry.matched = entry.matched == kForever ? kForever : entry.matched + 1;
    // Compared as distances from `first`, so that kForever cannot overflow.
    const bool hit = entry.matched >= rule.first &&
                     (rule.count == kForever || entry.matched - rule.first < rule.count);
    if (!hit) {
      continue;
    }
    const FaultAction& action = rule.action;
    if (action.DecidesOutcome()) {
      if (!effect.outcome) {
        effect.outcome = action;
      }
    } else if (action.kind == FaultKind::kShortData) {
      if (!effect.data_in_limit) {
        effect.data_in_limit = action.amount;
      }
    } else if (!effect.duration_ms) {
      effect.duration_ms = action.amount;
    }
  }
  return effect;
}

}  // namespace fwu::emulator
