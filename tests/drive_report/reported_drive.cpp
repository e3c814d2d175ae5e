#include "drive_report/reported_drive.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>

#include "drive/command_set.h"
#include "drive_report/command_log_line.h"
#include "update/firmware_image.h"

namespace fwu::test {
namespace {

using File = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

File Open(const std::string& path, const char* mode) {
  return {std::fopen(path.c_str(), mode), &std::fclose};
}

const char* DownloadName(emulator::DownloadState state) {
  switch (state) {
    case emulator::DownloadState::kIdle:
      return "idle";
    case emulator::DownloadState::kArmed:
      return "armed";
    case emulator::DownloadState::kReceiving:
      return "receiving";
    case emulator::DownloadState::kPending:
      return "pending";
  }
  return "unknown";
}

void SetUp(emulator::EmulatedDrive& drive, const DriveOptions& options) {
  if (options.refused_block != 0) {
    drive.Faults().Add(emulator::FaultRule{
        .match = emulator::FaultMatch::Page(emulator::sub_command::kDownloadData,
                                            static_cast<std::uint8_t>(options.refused_block)),
        .action =
            emulator::FaultAction::CheckCondition(emulator::sense::kInvalidFieldInParameterList),
        .count = emulator::kForever});
  }
  if (options.unit_attentions != 0) {
    drive.Faults().Add(emulator::FaultRule::UnitAttention(
        emulator::FaultMatch::Command(opcode::kRead10), options.unit_attentions));
  }
  drive.SetTimeSource([] {
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                          std::chrono::steady_clock::now().time_since_epoch())
                                          .count());
  });
}

}  // namespace

std::vector<std::uint8_t> FileBytes(const std::string& path) {
  std::vector<std::uint8_t> bytes;
  const File file = Open(path, "rb");
  if (!file) {
    return bytes;
  }
  std::uint8_t buffer[4096];
  std::size_t read = 0;
  while ((read = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) {
    bytes.insert(bytes.end(), buffer, buffer + read);
  }
  return bytes;
}

ReportedDrive::ReportedDrive(const DriveOptions& options, std::vector<std::uint8_t> plain_image,
                             std::string_view boot)
    : drive_(emulator::EmulatedDrive::XtM7731(options.revision)),
      plain_image_(std::move(plain_image)),
      report_(options.report) {
  SetUp(drive_, options);
  if (!plain_image_.empty()) {
    const FirmwareImage& image = ImageList().front();
    drive_.KnowFirmware(plain_image_, {std::string(image.version), image.build});
  }
  Append(BootLogLine(boot, drive_.Revision()));
}

emulator::CommandOutcome ReportedDrive::Execute(std::span<const std::uint8_t> cdb,
                                                DataDirection direction,
                                                std::span<std::uint8_t> data) {
  const std::lock_guard lock(mutex_);
  const emulator::CommandOutcome outcome = drive_.Execute(cdb, direction, data);
  ++commands_;
  if (const auto record = drive_.Log().Last()) {
    Append(CommandLogLine(*record, commands_));
  }
  if (!cdb.empty() && cdb.front() == opcode::kSendDiagnostic) {
    WriteSummary();
  }
  return outcome;
}

void ReportedDrive::Append(const std::string& line) const {
  if (report_.empty()) {
    return;
  }
  if (const File file = Open(report_ + ".log", "a")) {
    std::fputs(line.c_str(), file.get());
  }
}

void ReportedDrive::WriteSummary() const {
  if (report_.empty()) {
    return;
  }
  const std::span<const std::uint8_t> received = drive_.ReceivedImage();
  const bool matches = !plain_image_.empty() && std::ranges::equal(received, plain_image_);
  if (const File file = Open(report_ + ".bin", "wb")) {
    std::fwrite(received.data(), 1, received.size(), file.get());
  }
  if (const File file = Open(report_, "w")) {
    std::fprintf(file.get(),
                 "{\"commands\": %u, \"blocks_received\": %u, \"download\": \"%s\", "
                 "\"revision\": \"%s\", \"build\": %d, \"image_equals_plain_image\": %s}\n",
                 commands_, drive_.BlocksReceived(), DownloadName(drive_.Download()),
                 drive_.Revision().c_str(), static_cast<int>(drive_.Build()),
                 matches ? "true" : "false");
  }
}

}  // namespace fwu::test
