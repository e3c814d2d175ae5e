// Writes the seed corpora: each seed is the recording of a scenario the tests play, so that the
// fuzzers start from the paths the program really takes and mutate from there.
//
//   fwu_fuzz_seeds <corpus directory>   writes <directory>/<target>/<scenario> for every target
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "drive/command_set.h"
#include "emulator/emulated_drive.h"
#include "emulator/fault_plan.h"
#include "emulator/sense_code.h"
#include "support/drive_discovery.h"
#include "support/image_codec.h"
#include "support/registry_state.h"
#include "support/status_texts.h"

namespace {

using fwu::emulator::DriveConfig;
using fwu::emulator::EmulatedDrive;
using fwu::emulator::FaultAction;
using fwu::emulator::FaultMatch;
using fwu::emulator::FaultRule;
using fwu::fuzz::Tape;
using fwu::sim::StoredValue;

class CorpusWriter {
 public:
  explicit CorpusWriter(std::filesystem::path root) : root_(std::move(root)) {}

  // `run` plays the scenario onto a recording tape; `replay` reads the recording back as the
  // fuzz target would. The replay must ask exactly the recorded questions, or the seed would not
  // walk the scenario's path.
  void Write(std::string_view target, std::string_view name, const std::function<void(Tape&)>& run,
             const std::function<void(Tape&)>& replay) {
    Tape tape;
    run(tape);
    Tape replayed(tape.Recorded());
    replay(replayed);
    if (!replayed.Exhausted() || replayed.Overrun() != 0) {
      std::cerr << "fwu_fuzz_seeds: " << target << "/" << name
                << " does not replay as it was recorded\n";
      failed_ = true;
    }
    const std::filesystem::path folder = root_ / target;
    std::filesystem::create_directories(folder);
    std::ofstream out(folder / name, std::ios::binary | std::ios::trunc);
    const auto& bytes = tape.Recorded();
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out) {
      std::cerr << "fwu_fuzz_seeds: cannot write " << (folder / name) << '\n';
      failed_ = true;
    }
  }

  bool Failed() const { return failed_; }

 private:
  std::filesystem::path root_;
  bool failed_ = false;
};

// --- Drives ---------------------------------------------------------------------------------

void DriveSeeds(CorpusWriter& writer) {
  const auto record = [&writer](std::string_view name, const fwu::fuzz::DriveScenario& scenario) {
    writer.Write(
        "drive_discovery", name,
        [&scenario](Tape& tape) { fwu::fuzz::RunDriveDiscovery(tape, &scenario); },
        [](Tape& tape) { fwu::fuzz::RunDriveDiscovery(tape); });
  };

  {
    // Windows XP: the drive on E: needs the update, another model sits on D:.
    EmulatedDrive old_firmware(EmulatedDrive::XtM7731("1029", 32));
    EmulatedDrive other(EmulatedDrive::OtherModel());
    fwu::fuzz::DriveScenario scenario;
    scenario.pass_through['D'] = {.device = &other};
    scenario.pass_through['E'] = {.device = &old_firmware};
    scenario.pass_through['C'] = {.drive_type = 3};
    scenario.selection = 0;
    scenario.download = true;
    record("nt_drive_needs_update", scenario);
  }
  {
    // Up to date on E:, a drive still reporting its power-on reset on G:, Japanese system.
    DriveConfig resetting = EmulatedDrive::XtM7731("1029", 30);
    resetting.unit_attention_at_power_on = true;
    EmulatedDrive current(EmulatedDrive::XtM7731("1033", 32));
    EmulatedDrive fresh(resetting);
    fwu::fuzz::DriveScenario scenario;
    scenario.code_page = 932;
    scenario.pass_through['E'] = {.device = &current};
    scenario.pass_through['G'] = {.device = &fresh, .max_transfer_length = 262144};
    scenario.selection = 1;
    record("nt_unit_attention_and_up_to_date", scenario);
  }
  {
    // A drive that refuses INQUIRY, one whose device cannot be opened for its limit, one
    // without capabilities, and a sibling model picked for the update.
    EmulatedDrive refusing(EmulatedDrive::XtM7731());
    refusing.Faults().Add(
        FaultRule{FaultMatch::Command(fwu::opcode::kInquiry),
                  FaultAction::CheckCondition(fwu::emulator::sense::kInvalidFieldInCdb), 3,
                  fwu::emulator::kForever});
    EmulatedDrive no_limit(EmulatedDrive::XtM7731("1030", 12));
    EmulatedDrive sibling(EmulatedDrive::OtherModel());
    fwu::fuzz::DriveScenario scenario;
    scenario.pass_through['E'] = {.device = &refusing};
    scenario.pass_through['F'] = {.device = &no_limit, .max_transfer_length = std::nullopt};
    scenario.pass_through['H'] = {.device = &sibling};
    scenario.selection = 0;
    record("nt_failures", scenario);
  }
  {
    // Windows 98: two adapters, the drive at 0:1 needs the update.
    EmulatedDrive old_firmware(EmulatedDrive::XtM7731("1029", 32));
    EmulatedDrive other(EmulatedDrive::OtherModel());
    EmulatedDrive current(EmulatedDrive::XtM7731("1033", 31));
    fwu::fuzz::DriveScenario scenario;
    scenario.nt_family = false;
    scenario.aspi.adapters.resize(2);
    scenario.aspi.adapters[0].devices[1] = &old_firmware;
    scenario.aspi.adapters[0].devices[2] = &other;
    scenario.aspi.adapters[1].devices[6] = &current;
    scenario.selection = 0;
    scenario.download = true;
    record("win9x_two_adapters", scenario);
  }
  {
    // An adapter whose own id is 3, a drive that never answers its identification, and a
    // second adapter whose inquiry fails.
    EmulatedDrive silent(EmulatedDrive::XtM7731());
    silent.Faults().Add(FaultRule{FaultMatch::Command(fwu::opcode::kInquiry),
                                  FaultAction::NoCompletion(), 1, fwu::emulator::kForever});
    EmulatedDrive drive(EmulatedDrive::XtM7731("1031", 20));
    fwu::fuzz::DriveScenario scenario;
    scenario.nt_family = false;
    scenario.code_page = 932;
    scenario.aspi.adapters.resize(2);
    scenario.aspi.adapters[0].own_id = 3;
    scenario.aspi.adapters[0].devices[0] = &silent;
    scenario.aspi.adapters[0].devices[1] = &drive;
    scenario.aspi.adapters[1].inquiry_status = 0x81;
    scenario.selection = 0;
    record("win9x_silent_drive_failed_adapter", scenario);
  }
  {
    fwu::fuzz::DriveScenario scenario;
    scenario.nt_family = false;
    scenario.aspi.library_missing = true;
    scenario.selection = -1;
    record("win9x_no_aspi", scenario);
  }
}

// --- Status texts ---------------------------------------------------------------------------

std::vector<std::uint8_t> InquiryOf(const DriveConfig& config, std::size_t length) {
  EmulatedDrive drive(config);
  std::vector<std::uint8_t> data(length);
  const std::uint8_t cdb[6] = {0x12, 0, 0, 0, static_cast<std::uint8_t>(length), 0};
  drive.Execute(cdb, fwu::DataDirection::kIn, data);
  return data;
}

void StatusSeeds(CorpusWriter& writer) {
  const auto record = [&writer](std::string_view name, const fwu::fuzz::StatusScenario& scenario) {
    writer.Write(
        "status_texts", name,
        [&scenario](Tape& tape) { fwu::fuzz::RunStatusTexts(tape, &scenario); },
        [](Tape& tape) { fwu::fuzz::RunStatusTexts(tape); });
  };
  const auto sense = [](std::uint8_t key, std::uint8_t asc, std::uint8_t ascq,
                        std::uint8_t byte19) {
    return fwu::emulator::FixedSense({key, asc, ascq}, byte19);
  };

  fwu::fuzz::StatusScenario inquiry_check;
  inquiry_check.command_name = "Inquiry";
  inquiry_check.sense = sense(0x05, 0x24, 0x00, 0xC3);
  inquiry_check.inquiry = InquiryOf(EmulatedDrive::XtM7731("1029", 32), 44);
  inquiry_check.version = "1029";
  record("aspi_inquiry_check_condition", inquiry_check);

  fwu::fuzz::StatusScenario selection_timeout;
  selection_timeout.command_name = "Send Diagnostic";
  selection_timeout.host_status = 0x11;
  selection_timeout.inquiry = InquiryOf(EmulatedDrive::XtM7731("1029", 32), 30);
  selection_timeout.version = "10a9";
  record("aspi_selection_timeout", selection_timeout);

  fwu::fuzz::StatusScenario too_big;
  too_big.command_name = "Send Diagnostic";
  too_big.result = 0xE6;
  too_big.target_status = 0;
  too_big.inquiry = InquiryOf(EmulatedDrive::OtherModel(), 96);
  too_big.version = "1020";
  record("aspi_unexpected_completion", too_big);

  fwu::fuzz::StatusScenario queue_full;
  queue_full.target_status = 0x28;
  queue_full.sense = sense(0x06, 0x29, 0x00, 0);
  queue_full.inquiry = InquiryOf(EmulatedDrive::DirectAccessWithSameProduct(), 36);
  record("pass_through_queue_full", queue_full);

  fwu::fuzz::StatusScenario wildcard;
  wildcard.sense = sense(0x04, 0x40, 0x86, 0xA3);
  wildcard.result = 0x80;
  wildcard.version = "1033";
  record("sense_code_wildcard_row", wildcard);
}

// --- Registry -------------------------------------------------------------------------------

using fwu::fuzz::RegistryAction;
using fwu::fuzz::RegistryItem;
using fwu::fuzz::RegistryScenario;
using fwu::fuzz::RegistryStep;
using fwu::platform::kHkeyCurrentUser;
using fwu::platform::kHkeyDynData;
using fwu::platform::kHkeyLocalMachine;

const std::string kChannel = "SYSTEM\\CurrentControlSet\\Services\\atapi\\Parameters\\Device0";
const std::string kIdeClass =
    "SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E96A-E325-11CE-BFC1-08002BE10318}";
const std::string kIde = kIdeClass + "\\0000";
const std::string kCdrom = "SYSTEM\\CurrentControlSet\\Services\\Cdrom";
const std::string kHdc = "System\\CurrentControlSet\\Services\\Class\\hdc\\0000";
const std::string kAdapter = "System\\CurrentControlSet\\Services\\Class\\SCSIAdapter\\0001";
const std::string kRunning = "Config Manager\\Enum\\C29A1B40";
const std::string kScsiDevice = "Enum\\SCSI\\QUENTAR_DVD-ROM_XT-M7731\\2&ABCDEF&0";
const std::string kStore = "Software\\Quentar_ODD\\XTM7731UP";

RegistryItem Machine(std::string path, std::string name, StoredValue value) {
  return {kHkeyLocalMachine, std::move(path), std::move(name), std::move(value)};
}

RegistryItem User(std::string path, std::string name, StoredValue value) {
  return {kHkeyCurrentUser, std::move(path), std::move(name), std::move(value)};
}

void AddRecord(RegistryScenario& scenario, const std::string& number, const std::string& path,
               const std::string& name, std::uint32_t type, StoredValue old_value) {
  const std::string record = kStore + "\\Change\\" + number;
  scenario.items.push_back(User(record, "SubKey_Name", StoredValue::Text(path)));
  scenario.items.push_back(User(record, "Value_Name", StoredValue::Text(name)));
  scenario.items.push_back(User(record, "Value_Type", StoredValue::Number(type)));
  scenario.items.push_back(User(record, "Value", std::move(old_value)));
}

RegistryAction Step(RegistryStep step, bool flag = false, std::uint32_t number = 0) {
  return {step, flag, number};
}

// The whole road of an update that needs changed settings: prepare, restart, resume, restore.
std::vector<RegistryAction> FullCycle() {
  return {
      Step(RegistryStep::kCheckPendingRestart),   Step(RegistryStep::kProbeRunEntry),
      Step(RegistryStep::kReadStoreOrigin),       Step(RegistryStep::kLoadChangeCount),
      Step(RegistryStep::kCheckSystemSettings),   Step(RegistryStep::kChangeSystemSettings),
      Step(RegistryStep::kSaveChangeCount),       Step(RegistryStep::kWriteRunEntry),
      Step(RegistryStep::kMarkPendingRestart),    Step(RegistryStep::kSaveStoreOrigin, false),
      Step(RegistryStep::kCheckPendingRestart),   Step(RegistryStep::kProbeRunEntry),
      Step(RegistryStep::kReadStoreOrigin),       Step(RegistryStep::kLoadChangeCount),
      Step(RegistryStep::kRestoreSystemSettings), Step(RegistryStep::kRemoveStore, false),
  };
}

void RegistrySeeds(CorpusWriter& writer) {
  const auto record = [&writer](std::string_view name, const RegistryScenario& scenario) {
    writer.Write(
        "registry_state", name,
        [&scenario](Tape& tape) { fwu::fuzz::RunRegistryState(tape, &scenario); },
        [](Tape& tape) { fwu::fuzz::RunRegistryState(tape); });
  };

  {
    // Three records, the second of which names a device value that has gone since.
    RegistryScenario scenario;
    scenario.items = {
        Machine(kChannel, "DriverParameter", StoredValue::Text("DmaDetectionLevel = 0x0;")),
        Machine(kIde, "MasterDeviceTimingMode", StoredValue::Number(0x10)),
        Machine(kCdrom, "Autorun", StoredValue::Number(0)),
        User(kStore, "Changed", StoredValue::Number(3)),
        User(kStore, "Quentar_ODD_Add", StoredValue::Number(0)),
    };
    AddRecord(scenario, "  1", kChannel, "DriverParameter", 1,
              StoredValue::Text("DmaDetectionLevel = 0x1;"));
    AddRecord(scenario, "  2", kIde, "SlaveDeviceTimingMode", 4, StoredValue::Number(0x12));
    AddRecord(scenario, "  3", kCdrom, "Autorun", 4, StoredValue::Number(1));
    scenario.actions = {Step(RegistryStep::kLoadChangeCount),
                        Step(RegistryStep::kRestoreSystemSettings),
                        Step(RegistryStep::kRemoveStore, false)};
    record("nt_restore_with_a_gone_value", scenario);
  }
  {
    // Windows XP with settings that disturb the download.
    RegistryScenario scenario;
    scenario.items = {
        Machine(kIdeClass, "Class", StoredValue::Text("hdc")),
        Machine(kChannel, "DriverParameter", StoredValue::Text("DmaDetectionLevel = 0x1;")),
        Machine(kIde, "MasterDeviceTimingMode", StoredValue::Number(0x11)),
        Machine(kIde, "MasterDeviceTimingModeAllowed", StoredValue::Number(0x0F)),
        Machine(kIde, "UserSlaveDeviceTimingModeAllowed", StoredValue::Number(0xFFFFFFFF)),
        Machine(kCdrom, "Autorun", StoredValue::Number(1)),
    };
    scenario.actions = FullCycle();
    record("nt_full_cycle", scenario);
  }
  {
    // Windows 98: a running SCSI device and controller instances with their flags set.
    RegistryScenario scenario;
    scenario.nt_family = false;
    scenario.items = {
        {kHkeyDynData, kRunning, "HardWareKey",
         StoredValue::Text("SCSI\\QUENTAR_DVD-ROM_XT-M7731\\2&ABCDEF&0")},
        Machine(kScsiDevice, "AutoInsertNotification", StoredValue::Binary({0x01})),
        Machine(kScsiDevice, "DMACurrentlyUsed", StoredValue::Binary({0x01, 0x00, 0x00})),
        Machine(kHdc, "IDEDMADRIVE0", StoredValue::Binary({0x01})),
        Machine(kHdc, "AutoInsertNotificationDrive1", StoredValue::Binary({0x01})),
        Machine(kAdapter, "IDEDMADRIVE1", StoredValue::Binary({0x01, 0x02, 0x03, 0x04, 0x05})),
        User("Software\\Quentar_ODD\\Other Tool", "Changed", StoredValue::Number(1)),
    };
    scenario.actions = FullCycle();
    record("win9x_full_cycle", scenario);
  }
  {
    // Another user logs on while a restart is pending; then the writes start failing.
    RegistryScenario scenario;
    scenario.items = {
        RegistryItem{kHkeyLocalMachine, "Software\\QUENTAR_ODD_KALDER", std::nullopt, {}},
        User("Software\\Microsoft\\Windows\\CurrentVersion\\run", "XTM7731UP",
             StoredValue::Text("C:\\Program Files\\Quentar\\XTM7731UP.exe")),
        User(kStore, "Changed", StoredValue::Number(1)),
        Machine(kCdrom, "Autorun", StoredValue::Number(1)),
    };
    AddRecord(scenario, "  1", kCdrom, "Autorun", 4, StoredValue::Number(1));
    scenario.actions = {
        Step(RegistryStep::kSwitchUser, true),     Step(RegistryStep::kCheckPendingRestart),
        Step(RegistryStep::kSwitchUser, false),    Step(RegistryStep::kLimitedUser, true),
        Step(RegistryStep::kCheckPendingRestart),  Step(RegistryStep::kLimitedUser, false),
        Step(RegistryStep::kFailWrites, false, 2), Step(RegistryStep::kChangeSystemSettings),
        Step(RegistryStep::kFailWrites, true, 3),  Step(RegistryStep::kRestoreSystemSettings),
        Step(RegistryStep::kClearWriteFaults),     Step(RegistryStep::kLoadChangeCount),
        Step(RegistryStep::kRestoreSystemSettings)};
    record("nt_other_user_and_failing_writes", scenario);
  }
  {
    // A restore cut short by a power loss left a record and the Run entry; the next start finds
    // the drive up to date and gives the setting back. A hardware key that outgrows a record.
    RegistryScenario scenario;
    scenario.nt_family = false;
    const std::string long_key = "SCSI\\QUENTAR_DVD-ROM_XT-M7731\\" + std::string(100, 'L');
    scenario.items = {
        User("Software\\Microsoft\\Windows\\CurrentVersion\\run", "XTM7731UP",
             StoredValue::Text("C:\\Program Files\\Quentar\\XTM7731UP.exe")),
        User(kStore, "Changed", StoredValue::Number(2)),
        User(kStore, "Quentar_ODD_Add", StoredValue::Number(1)),
        Machine(kHdc, "IDEDMADRIVE0", StoredValue::Binary({0x00})),
        {kHkeyDynData, kRunning, "HardWareKey", StoredValue::Text(long_key)},
        Machine("Enum\\" + long_key, "DMACurrentlyUsed", StoredValue::Binary({0x01})),
    };
    AddRecord(scenario, "  2", kHdc, "IDEDMADRIVE0", 3, StoredValue::Number(1));
    scenario.actions = {
        Step(RegistryStep::kHasLeftoverChanges), Step(RegistryStep::kRestoreLeftoverChanges),
        Step(RegistryStep::kCheckSystemSettings), Step(RegistryStep::kChangeSystemSettings),
        Step(RegistryStep::kRestoreSystemSettings)};
    record("win9x_leftover_changes_and_a_long_key", scenario);
  }
  {
    // Records no change pass writes, a "Changed" beyond any count, and numbers beyond 999.
    RegistryScenario scenario;
    scenario.items = {
        Machine(kCdrom, "Autorun", StoredValue::Number(0)),
        Machine(kIde, "MasterDeviceTimingModeAllowed", StoredValue::Number(0x1F)),
        User(kStore, "Changed", StoredValue::Number(0xFFFFFFFF)),
    };
    AddRecord(scenario, "  1", kCdrom, "Autorun", 2, StoredValue::Number(1));
    AddRecord(scenario, "  4", kCdrom, "Autorun", 1, StoredValue::Text("1"));
    AddRecord(scenario, "  5", kCdrom, "Autorun", 4, StoredValue::Text("1"));
    AddRecord(scenario, "999", kIde, "MasterDeviceTimingModeAllowed", 4, StoredValue::Number(7));
    AddRecord(scenario, "1000", kIde, "MasterDeviceTimingModeAllowed", 4, StoredValue::Number(9));
    AddRecord(scenario, "  6", kHdc, "IDEDMADRIVE0", 3, StoredValue::Number(1));
    scenario.actions = {
        Step(RegistryStep::kLoadChangeCount), Step(RegistryStep::kRestoreSystemSettings),
        Step(RegistryStep::kChangeSystemSettings), Step(RegistryStep::kRemoveStore, true)};
    record("nt_odd_records", scenario);
  }
}

// --- Image ----------------------------------------------------------------------------------

void ImageSeeds(CorpusWriter& writer) {
  const auto record = [&writer](std::string_view name, const fwu::fuzz::ImageScenario& scenario) {
    writer.Write(
        "image_codec", name, [&scenario](Tape& tape) { fwu::fuzz::RunImageCodec(tape, &scenario); },
        [](Tape& tape) { fwu::fuzz::RunImageCodec(tape); });
  };
  record("embedded", {});
  record("one_byte_changed", {.patches = {{0x12345, {0x5A}}}, .own_sums = false});
  record("zero_image_with_patches",
         {.zero_base = true,
          .patches = {{0, {0xFF, 0xFF, 0xFF, 0xFF}}, {196600, {1, 2, 3, 4, 5, 6, 7, 8}}}});
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: fwu_fuzz_seeds <corpus directory>\n";
    return 2;
  }
  CorpusWriter writer(argv[1]);
  DriveSeeds(writer);
  StatusSeeds(writer);
  RegistrySeeds(writer);
  ImageSeeds(writer);
  return writer.Failed() ? 1 : 0;
}
