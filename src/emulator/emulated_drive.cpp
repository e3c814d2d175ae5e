#include "emulator/emulated_drive.h"

#include <algorithm>
#include <utility>

#include "drive/command_set.h"
#include "emulator/diagnostic_page.h"
#include "emulator/medium_data.h"
#include "emulator/sense_code.h"

namespace fwu::emulator {

namespace {

// A drive turns down a command it cannot execute at once; IMMED commands also return at once.
constexpr std::uint32_t kRefusalMs = 1;
constexpr std::uint32_t kImmediateMs = 1;

constexpr std::size_t kRevisionBytes = 4;

std::string FitRevision(std::string revision) {
  revision.resize(kRevisionBytes, ' ');
  return revision;
}

constexpr std::uint32_t BigEndian16(std::span<const std::uint8_t> cdb, std::size_t at) {
  return (static_cast<std::uint32_t>(cdb[at]) << 8U) | cdb[at + 1];
}

constexpr std::uint32_t BigEndian32(std::span<const std::uint8_t> cdb, std::size_t at) {
  return (BigEndian16(cdb, at) << 16U) | BigEndian16(cdb, at + 2);
}

struct Request {
  std::span<const std::uint8_t> cdb;
  DataDirection direction;
  std::span<std::uint8_t> data;
};

// What a command came to before its data in is handed over.
struct Reply {
  std::uint8_t status = scsi_status::kGood;
  SenseCode sense{};
  std::uint32_t duration_ms = kRefusalMs;
  DataPhaseMisfit misfit = DataPhaseMisfit::kNone;
  std::uint32_t taken = 0;              // data out: parameter bytes the drive took
  std::vector<std::uint8_t> data_in{};  // data in: what the drive sends, cut to the allocation
};

Reply Refuse(SenseCode sense, DataPhaseMisfit misfit = DataPhaseMisfit::kNone) {
  return Reply{.status = scsi_status::kCheckCondition, .sense = sense, .misfit = misfit};
}

// A data phase fits when the host names the command's own direction, or names none while the
// command asks for no bytes.
constexpr bool DataPhaseFits(DataDirection command, std::uint32_t requested, DataDirection host) {
  return host == DataDirection::kNone ? requested == 0 : host == command;
}

// The parameter list a SEND DIAGNOSTIC offers: what the host sends, up to the list length.
std::span<const std::uint8_t> OfferedParameterList(const Request& request) {
  if (request.cdb.size() < 6 || request.cdb[0] != opcode::kSendDiagnostic ||
      request.direction != DataDirection::kOut) {
    return {};
  }
  const std::size_t length = BigEndian16(request.cdb, 3);
  return request.data.first(std::min(length, request.data.size()));
}

CommandOutcome FaultedOutcome(const FaultAction& action) {
  CommandOutcome outcome;
  outcome.duration_ms = kRefusalMs;
  switch (action.kind) {
    case FaultKind::kCheckCondition:
      outcome.status = scsi_status::kCheckCondition;
      outcome.sense = FixedSense(action.sense, action.drive_error);
      break;
    case FaultKind::kStatus:
      outcome.status = action.status;
      break;
    case FaultKind::kNoCompletion:
      outcome.completed = false;
      outcome.duration_ms = 0;
      break;
    case FaultKind::kShortData:
    case FaultKind::kDuration:
      break;
  }
  return outcome;
}

}  // namespace

struct EmulatedDrive::Private {
  using Handler = Reply (*)(EmulatedDrive&, const Request&);

  // Where a command's CDB names how many bytes its data phase moves, and in what unit.
  struct LengthField {
    std::uint8_t offset = 0;  // 0: the command moves no data
    std::uint32_t unit = 1;
  };

  struct Command {
    std::uint8_t operation_code = 0;
    std::uint8_t cdb_length = 0;
    DataDirection direction = DataDirection::kNone;
    LengthField length;
    std::uint32_t duration_ms = 0;
    Handler handler = nullptr;
  };

  static const Command* Find(std::uint8_t operation_code) {
    // clang-format off
    static constexpr std::array<Command, 7> kCommands{{
        {opcode::kTestUnitReady, 6, DataDirection::kNone, {}, 1, &TestUnitReady},
        {opcode::kInquiry, 6, DataDirection::kIn, {3, 1}, 2, &Inquiry},
        {opcode::kStartStopUnit, 6, DataDirection::kNone, {}, 1500, &StartStopUnit},
        {opcode::kReceiveDiagnosticResults, 6, DataDirection::kIn, {3, 1}, 5, &ReceiveDiagnosticResults},
        // Each page step takes its own time.
        {opcode::kSendDiagnostic, 6, DataDirection::kOut, {3, 1}, 0, &SendDiagnostic},
        {opcode::kPreventAllowMediumRemoval, 6, DataDirection::kNone, {}, 1, &PreventAllowMediumRemoval},
        {opcode::kRead10, 10, DataDirection::kIn, {7, kMediumBlockBytes}, 15, &Read10},
    }};
    // clang-format on
    const auto* found = std::find_if(kCommands.begin(), kCommands.end(), [&](const Command& c) {
      return c.operation_code == operation_code;
    });
    return found == kCommands.end() ? nullptr : found;
  }

  static std::uint32_t Requested(const Command& command, std::span<const std::uint8_t> cdb) {
    return command.length.offset == 0
               ? 0
               : BigEndian16(cdb, command.length.offset) * command.length.unit;
  }

  static Reply Done(const EmulatedDrive& drive, std::uint8_t operation_code,
                    std::uint32_t default_ms) {
    return Reply{.duration_ms = drive.durations_[operation_code].value_or(default_ms)};
  }

  static Reply Done(const EmulatedDrive& drive, std::uint8_t operation_code) {
    return Done(drive, operation_code, Find(operation_code)->duration_ms);
  }

  // Everything up to the command's own handler, then the handler.
  static Reply Run(EmulatedDrive& drive, const Request& request) {
    const auto& cdb = request.cdb;
    if (cdb.empty()) {
      return Refuse(sense::kInvalidOperationCode, DataPhaseMisfit::kCdbTooShort);
    }
    if (cdb.size() > 1 && (cdb[1] >> 5U) != 0) {
      return Refuse(sense::kLunNotSupported);
    }
    auto& attention = drive.state_.pending_attention;
    if (cdb[0] != opcode::kInquiry && attention) {
      return Refuse(*std::exchange(attention, std::nullopt));
    }
    const Command* command = Find(cdb[0]);
    if (command == nullptr) {
      return Refuse(sense::kInvalidOperationCode);
    }
    if (cdb.size() < command->cdb_length) {
      return Refuse(sense::kInvalidFieldInCdb, DataPhaseMisfit::kCdbTooShort);
    }
    if (!DataPhaseFits(command->direction, Requested(*command, cdb), request.direction)) {
      return Refuse(sense::kInvalidFieldInCdb, DataPhaseMisfit::kWrongDirection);
    }
    return command->handler(drive, request);
  }

  static Reply TestUnitReady(EmulatedDrive& drive, const Request& /*request*/) {
    if (!drive.state_.medium_present) {
      return Refuse(sense::kMediumNotPresent);
    }
    return Done(drive, opcode::kTestUnitReady);
  }

  static Reply Inquiry(EmulatedDrive& drive, const Request& request) {
    const auto& cdb = request.cdb;
    // EVPD, CMDDT and a page code ask for vital product data, which the drive does not keep.
    if ((cdb[1] & 0x1FU) != 0 || cdb[2] != 0) {
      return Refuse(sense::kInvalidFieldInCdb);
    }
    const auto data = StandardInquiryData(drive.config_.identity, drive.state_.revision);
    const std::size_t length = std::min<std::size_t>(BigEndian16(cdb, 3), data.size());
    Reply reply = Done(drive, opcode::kInquiry);
    reply.data_in.assign(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(length));
    return reply;
  }

  static Reply StartStopUnit(EmulatedDrive& drive, const Request& request) {
    const auto& cdb = request.cdb;
    // Only IMMED, LOEJ and START; a power condition is not supported.
    if ((cdb[1] & 0x1EU) != 0 || (cdb[4] & 0xFCU) != 0) {
      return Refuse(sense::kInvalidFieldInCdb);
    }
    const bool immediate = (cdb[1] & 0x01U) != 0;
    const bool start = (cdb[4] & 0x01U) != 0;
    const bool load_eject = (cdb[4] & 0x02U) != 0;
    DriveState& state = drive.state_;
    if (load_eject && !start) {
      if (state.removal_prevented) {
        return Refuse(sense::kMediumRemovalPrevented);
      }
      if (state.medium_present) {
        state.medium_present = false;
        state.medium_on_open_tray = true;
      }
    } else if (load_eject) {
      if (state.medium_on_open_tray) {
        state.medium_present = true;
        state.medium_on_open_tray = false;
        RaiseAttention(state, sense::kMediumMayHaveChanged);
      }
    } else if (start && !state.medium_present) {
      return Refuse(sense::kMediumNotPresent);
    }
    Reply reply = Done(drive, opcode::kStartStopUnit);
    if (immediate) {
      reply.duration_ms = kImmediateMs;
    }
    return reply;
  }

  static Reply PreventAllowMediumRemoval(EmulatedDrive& drive, const Request& request) {
    const auto& cdb = request.cdb;
    if ((cdb[1] & 0x1FU) != 0 || (cdb[4] & 0xFCU) != 0) {
      return Refuse(sense::kInvalidFieldInCdb);
    }
    // Both the plain and the persistent prevention lock the tray.
    drive.state_.removal_prevented = (cdb[4] & 0x03U) != 0;
    return Done(drive, opcode::kPreventAllowMediumRemoval);
  }

  static Reply Read10(EmulatedDrive& drive, const Request& request) {
    const auto& cdb = request.cdb;
    // DPO and FUA are accepted; RELADR and the reserved bits are not.
    if ((cdb[1] & 0x07U) != 0) {
      return Refuse(sense::kInvalidFieldInCdb);
    }
    if (!drive.state_.medium_present) {
      return Refuse(sense::kMediumNotPresent);
    }
    const std::uint32_t address = BigEndian32(cdb, 2);
    const std::uint32_t count = BigEndian16(cdb, 7);
    if (std::uint64_t{address} + count > kMediumBlockCount) {
      return Refuse(sense::kLogicalBlockOutOfRange);
    }
    // Checked before the blocks are read, so that a huge count costs nothing.
    if (std::size_t{count} * kMediumBlockBytes > request.data.size()) {
      return Refuse(sense::kInvalidFieldInCdb, DataPhaseMisfit::kBufferTooShort);
    }
    Reply reply = Done(drive, opcode::kRead10);
    reply.data_in.resize(std::size_t{count} * kMediumBlockBytes);
    for (std::uint32_t i = 0; i < count; ++i) {
      FillMediumBlock(address + i, std::span(reply.data_in)
                                       .subspan(std::size_t{i} * kMediumBlockBytes)
                                       .first<kMediumBlockBytes>());
    }
    return reply;
  }

  static Reply ReceiveDiagnosticResults(EmulatedDrive& drive, const Request& request) {
    const auto& cdb = request.cdb;
    if ((cdb[1] & 0x1FU) != 0 || cdb[2] != 0) {
      return Refuse(sense::kInvalidFieldInCdb);
    }
    if (!drive.state_.identification_ready) {
      return Refuse(sense::kCommandSequenceError);
    }
    const auto result = IdentificationResult(drive);
    const std::size_t length = std::min<std::size_t>(BigEndian16(cdb, 3), result.size());
    Reply reply = Done(drive, opcode::kReceiveDiagnosticResults);
    reply.data_in.assign(result.begin(), result.begin() + static_cast<std::ptrdiff_t>(length));
    return reply;
  }

  static Reply SendDiagnostic(EmulatedDrive& drive, const Request& request) {
    const auto& cdb = request.cdb;
    // Neither a self-test nor the standard page format: only the drive's own page 0x88.
    if ((cdb[1] & 0x1FU) != 0 || cdb[2] != 0) {
      return Refuse(sense::kInvalidFieldInCdb);
    }
    DriveState& state = drive.state_;
    // From here the drive has accepted the command, and a new page replaces any old result.
    state.identification_ready = false;
    const std::uint32_t list_length = BigEndian16(cdb, 3);
    if (request.data.size() < list_length) {
      Reply reply = RefusePage(drive, sense::kParameterListLengthError);
      reply.misfit = DataPhaseMisfit::kParameterListShort;
      return reply;
    }
    const auto list = std::span<const std::uint8_t>(request.data).first(list_length);
    Reply reply = Page(drive, list);
    reply.taken = list_length;
    return reply;
  }

  // One page 0x88 step. A page the drive cannot take breaks a download under way, and so does
  // any malformed or misplaced download step; other refused pages change nothing.
  static Reply Page(EmulatedDrive& drive, std::span<const std::uint8_t> list) {
    const auto header = ReadPageHeader(list);
    if (!header) {
      return RefusePage(drive, sense::kParameterListLengthError);
    }
    const DriveConfig& config = drive.config_;
    const bool ours = header->page_code == kDiagnosticPageCode && config.supports_identification;
    const bool download_step = ours && IsDownloadSubCommand(header->command.sub_command);
    if (download_step && !config.supports_download) {
      return Refuse(sense::kInvalidFieldInParameterList);
    }
    const PageStepInfo* step = ours ? FindPageStep(header->command) : nullptr;
    if (step == nullptr || !header->reserved_bytes_zero ||
        header->page_length != step->page_length ||
        header->page_length + kPageLengthOffset != list.size()) {
      return download_step ? RefuseStep(drive, sense::kInvalidFieldInParameterList)
                           : RefusePage(drive, sense::kInvalidFieldInParameterList);
    }
    DriveState& state = drive.state_;
    const std::uint32_t duration =
        drive.durations_[opcode::kSendDiagnostic].value_or(step->duration_ms);
    const auto done = [duration] { return Reply{.duration_ms = duration}; };
    switch (step->step) {
      case PageStep::kIdentify:
        // A download takes its steps without anything in between.
        if (DownloadUnderWay(state)) {
          return RefusePage(drive, sense::kInvalidFieldInParameterList);
        }
        state.identification_ready = true;
        return done();
      case PageStep::kArm:
        state.download = DownloadState::kArmed;
        state.blocks_received = 0;
        std::fill(state.received_image.begin(), state.received_image.end(), 0);
        return done();
      case PageStep::kStartReceiving:
        if (state.download != DownloadState::kArmed) {
          return RefuseStep(drive, sense::kInvalidFieldInParameterList);
        }
        state.download = DownloadState::kReceiving;
        return done();
      case PageStep::kDataBlock: {
        const std::uint32_t block = header->command.argument;
        if (state.download != DownloadState::kReceiving || block != state.blocks_received + 1 ||
            block > kDownloadBlockCount) {
          return RefuseStep(drive, sense::kInvalidFieldInParameterList);
        }
        const auto data = list.subspan(kPageHeaderBytes);
        std::copy(data.begin(), data.end(),
                  std::span(state.received_image)
                      .subspan(std::size_t{block - 1} * kDownloadBlockBytes)
                      .begin());
        state.blocks_received = block;
        return done();
      }
      case PageStep::kClose:
        if (state.download != DownloadState::kReceiving ||
            state.blocks_received != kDownloadBlockCount) {
          return RefuseStep(drive, sense::kInvalidFieldInParameterList);
        }
        if (!TakeReceivedFirmware(drive)) {
          state.download = DownloadState::kPending;
          return Reply{.status = scsi_status::kCheckCondition,
                       .sense = sense::kRomUpdateFailure,
                       .duration_ms = duration};
        }
        return done();
    }
    return Refuse(sense::kInvalidFieldInParameterList);
  }

  static bool DownloadUnderWay(const DriveState& state) {
    return state.download == DownloadState::kArmed || state.download == DownloadState::kReceiving;
  }

  // A download step gone wrong: the drive leaves the download pending.
  static Reply RefuseStep(EmulatedDrive& drive, SenseCode sense) {
    drive.state_.download = DownloadState::kPending;
    return Refuse(sense);
  }

  // A page refused while a download is under way breaks it; at any other time it changes nothing.
  static Reply RefusePage(EmulatedDrive& drive, SenseCode sense) {
    if (DownloadUnderWay(drive.state_)) {
      drive.state_.download = DownloadState::kPending;
    }
    return Refuse(sense);
  }

  // After a reset the drive reports only the reset: it covers a medium change as well.
  static void RaiseAttention(DriveState& state, SenseCode sense) {
    if (state.pending_attention != sense::kPowerOnReset) {
      state.pending_attention = sense;
    }
  }

  // The closing step: the drive installs the received image if it knows it.
  static bool TakeReceivedFirmware(EmulatedDrive& drive) {
    DriveState& state = drive.state_;
    const auto known = std::find_if(
        drive.known_firmware_.begin(), drive.known_firmware_.end(),
        [&](const KnownFirmware& firmware) { return firmware.image == state.received_image; });
    if (known == drive.known_firmware_.end()) {
      return false;
    }
    state.revision = known->identity.revision;
    state.build = known->identity.build;
    state.download = DownloadState::kIdle;
    // The drive restarts on its new firmware, which the host hears of as a reset.
    state.removal_prevented = false;
    state.identification_ready = false;
    state.pending_attention = sense::kPowerOnReset;
    return true;
  }

  // Page code, page length 12, the sub-command answered, drive code (zero-padded), revision,
  // and the signed build in the last byte.
  static std::array<std::uint8_t, kIdentificationResultBytes> IdentificationResult(
      const EmulatedDrive& drive) {
    std::array<std::uint8_t, kIdentificationResultBytes> result{};
    result[0] = kDiagnosticPageCode;
    result[3] = kIdentificationResultBytes - kPageLengthOffset;
    result[5] = sub_command::kIdentify;
    const std::string& code = drive.config_.drive_code;
    std::copy_n(code.begin(), std::min<std::size_t>(code.size(), 2), result.begin() + 6);
    const std::string& revision = drive.state_.revision;
    std::copy_n(revision.begin(), std::min(revision.size(), kRevisionBytes), result.begin() + 8);
    result[15] = static_cast<std::uint8_t>(drive.state_.build);
    return result;
  }
};

EmulatedDrive::EmulatedDrive(DriveConfig config) : config_(std::move(config)) {
  state_.revision = FitRevision(config_.identity.revision);
  state_.build = config_.build;
  state_.medium_present = config_.medium_present;
  state_.received_image.assign(kFirmwareImageBytes, 0);
  if (config_.unit_attention_at_power_on) {
    state_.pending_attention = sense::kPowerOnReset;
  }
}

DriveConfig EmulatedDrive::XtM7731(std::string revision, std::int8_t build) {
  DriveConfig config;
  config.identity.revision = std::move(revision);
  config.build = build;
  return config;
}

DriveConfig EmulatedDrive::OtherModel() {
  DriveConfig config;
  config.identity.product = "DVD-ROM XT-M4418";
  config.drive_code = "kx";
  config.supports_download = false;
  return config;
}

DriveConfig EmulatedDrive::DirectAccessWithSameProduct() {
  DriveConfig config;
  config.identity.vendor = "QUENTAR ";
  config.identity.peripheral_type = 0;
  config.identity.removable = false;
  config.drive_code = "dk";
  config.supports_download = false;
  config.supports_identification = false;
  return config;
}

DriveConfig EmulatedDrive::OtherVendor() {
  DriveConfig config;
  config.identity.vendor = "OTHERCO ";
  return config;
}

CommandOutcome EmulatedDrive::Execute(std::span<const std::uint8_t> cdb, DataDirection direction,
                                      std::span<std::uint8_t> data) {
  const std::lock_guard lock(mutex_);
  const Request request{cdb, direction, data};
  CommandRecord record;
  record.cdb.assign(cdb.begin(), cdb.end());
  record.direction = direction;
  record.data_length = static_cast<std::uint32_t>(data.size());
  record.time_ms = now_ms_ ? now_ms_() : 0;
  record.page = PageCommandOf(OfferedParameterList(request));

  const FaultEffect effect = faults_.Consult(cdb, record.page);
  CommandOutcome outcome;
  if (effect.outcome) {
    outcome = FaultedOutcome(*effect.outcome);
    record.faulted = true;
    // A download step turned down by the drive breaks the download as the drive's own refusal
    // does. A unit attention only defers the command, so the host's retry can still go on.
    const bool refused = effect.outcome->kind == FaultKind::kCheckCondition &&
                         effect.outcome->sense.key != sense_key::kUnitAttention;
    if (refused && record.page && IsDownloadSubCommand(record.page->sub_command) &&
        config_.supports_download) {
      state_.download = DownloadState::kPending;
    }
  } else {
    Reply reply = Private::Run(*this, request);
    if (reply.status == scsi_status::kGood && !reply.data_in.empty()) {
      if (reply.data_in.size() > data.size()) {
        reply = Refuse(sense::kInvalidFieldInCdb, DataPhaseMisfit::kBufferTooShort);
      } else {
        const std::size_t moved = std::min<std::size_t>(
            reply.data_in.size(), effect.data_in_limit.value_or(reply.data_in.size()));
        std::copy_n(reply.data_in.begin(), moved, data.begin());
        reply.taken = static_cast<std::uint32_t>(moved);
      }
    }
    outcome.status = reply.status;
    if (reply.status == scsi_status::kCheckCondition) {
      outcome.sense = FixedSense(reply.sense);
    }
    outcome.transferred = reply.taken;
    outcome.duration_ms = reply.duration_ms;
    record.misfit = reply.misfit;
  }
  if (effect.duration_ms) {
    outcome.duration_ms = *effect.duration_ms;
  }

  record.transferred = outcome.transferred;
  record.data_digest = Fnv1a64(data.first(outcome.transferred));
  record.completed = outcome.completed;
  record.status = outcome.status;
  if (outcome.status == scsi_status::kCheckCondition) {
    record.sense = SenseCodeOf(outcome.sense);
    record.drive_error = outcome.sense[19];
  }
  record.duration_ms = outcome.duration_ms;
  log_.Append(std::move(record));
  return outcome;
}

void EmulatedDrive::KnowFirmware(std::span<const std::uint8_t> image, FirmwareIdentity identity) {
  const std::lock_guard lock(mutex_);
  identity.revision = FitRevision(std::move(identity.revision));
  known_firmware_.push_back(
      KnownFirmware{.image = {image.begin(), image.end()}, .identity = std::move(identity)});
}

void EmulatedDrive::SetTimeSource(std::function<std::uint64_t()> now_ms) {
  const std::lock_guard lock(mutex_);
  now_ms_ = std::move(now_ms);
}

std::uint32_t EmulatedDrive::BlocksReceived() const {
  const std::lock_guard lock(mutex_);
  return state_.blocks_received;
}

DownloadState EmulatedDrive::Download() const {
  const std::lock_guard lock(mutex_);
  return state_.download;
}

bool EmulatedDrive::MediumPresent() const {
  const std::lock_guard lock(mutex_);
  return state_.medium_present;
}

std::string EmulatedDrive::Revision() const {
  const std::lock_guard lock(mutex_);
  return state_.revision;
}

std::int8_t EmulatedDrive::Build() const {
  const std::lock_guard lock(mutex_);
  return state_.build;
}

DriveState EmulatedDrive::State() const {
  const std::lock_guard lock(mutex_);
  return state_;
}

void EmulatedDrive::SetState(const DriveState& state) {
  const std::lock_guard lock(mutex_);
  // The image is copied into the storage the drive already has, which ReceivedImage() hands out.
  std::vector<std::uint8_t> image = std::move(state_.received_image);
  std::fill(image.begin(), image.end(), 0);
  std::copy_n(state.received_image.begin(), std::min(state.received_image.size(), image.size()),
              image.begin());
  state_ = state;
  state_.received_image = std::move(image);
  state_.revision = FitRevision(state_.revision);
  state_.blocks_received = std::min(state_.blocks_received, kDownloadBlockCount);
}

void EmulatedDrive::InsertMedium() {
  const std::lock_guard lock(mutex_);
  state_.medium_present = true;
  state_.medium_on_open_tray = false;
  Private::RaiseAttention(state_, sense::kMediumMayHaveChanged);
}

void EmulatedDrive::RemoveMedium() {
  const std::lock_guard lock(mutex_);
  state_.medium_present = false;
  state_.medium_on_open_tray = false;
}

void EmulatedDrive::PowerCycle() {
  const std::lock_guard lock(mutex_);
  state_.removal_prevented = false;
  state_.identification_ready = false;
  if (state_.download != DownloadState::kIdle) {
    state_.download = DownloadState::kPending;
  }
  state_.pending_attention.reset();
  if (config_.unit_attention_at_power_on) {
    state_.pending_attention = sense::kPowerOnReset;
  }
}

void EmulatedDrive::SetDuration(std::uint8_t operation_code, std::uint32_t milliseconds) {
  const std::lock_guard lock(mutex_);
  durations_[operation_code] = milliseconds;
}

}  // namespace fwu::emulator
