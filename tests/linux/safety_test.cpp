// The safety measures on a made-up system: a sysfs and a mount table in a temporary folder,
// drives behind the emulated SG_IO, power supplies as the kernel lists them.
#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "linux_machine.h"
#include "platform/posix/drive_reservation.h"
#include "platform/posix/instance_lock.h"
#include "platform/posix/interruptions.h"
#include "platform/posix/power_supply.h"
#include "platform/posix/udev_drive_lister.h"
#include "platform/posix/user_locale.h"

namespace fwu {
namespace {

namespace fs = std::filesystem;
using posix::OpenAccess;
using posix::ReserveFor;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Pair;

void Write(const fs::path& file, const std::string& text) {
  fs::create_directories(file.parent_path());
  std::ofstream(file) << text;
}

std::string Read(const fs::path& file) {
  std::ifstream stream(file);
  std::string line;
  std::getline(stream, line);
  return line;
}

// A temporary system: the drive at /dev/sr0 (11:0) and its generic node /dev/sg3 (21:3).
class DriveReservation : public ::testing::Test {
 public:
  ~DriveReservation() override { fs::remove_all(root_); }

 protected:
  DriveReservation() {
    root_ =
        fs::temp_directory_path() /
        ("fwu-reservation-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
         "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root_);
    paths_ = posix::SystemPaths{.sysfs = root_ / "sys",
                                .mountinfo = root_ / "mountinfo",
                                .devices = "/dev",
                                .power_supplies = root_ / "power"};
    machine_.io.AddDrive("/dev/sr0", emulator::EmulatedDrive::XtM7731());
    Write(PollingFile(), "-1\n");
    Write(paths_.mountinfo,
          "22 27 0:21 / /proc rw,relatime - proc proc rw\n"
          "40 27 8:1 / /data rw - ext4 /dev/sda1 rw\n");
  }
  fs::path PollingFile() const { return paths_.sysfs / "dev/block/11:0/events_poll_msecs"; }

  posix::Reservation Reserve(const std::string& device, ReserveFor purpose) {
    return posix::ReserveDrive(machine_.io, paths_, device, purpose);
  }

  fs::path root_;
  posix::SystemPaths paths_;
  test::LinuxMachine machine_;
};

TEST_F(DriveReservation, AnUpdateHoldsTheDriveExclusivelyWithPollingPausedUntilItEnds) {
  {
    const posix::Reservation reservation = Reserve("/dev/sr0", ReserveFor::kUpdate);
    ASSERT_TRUE(reservation.hold) << reservation.refusal;
    EXPECT_THAT(reservation.notes, IsEmpty());
    EXPECT_THAT(machine_.io.opens, ElementsAre(Pair("/dev/sr0", OpenAccess::kReadOnlyExclusive)));
    EXPECT_EQ(Read(PollingFile()), "0");
    EXPECT_EQ(machine_.io.OpenDescriptors(), 1U);
  }
  EXPECT_EQ(Read(PollingFile()), "-1");
  EXPECT_EQ(machine_.io.OpenDescriptors(), 0U);
}

TEST_F(DriveReservation, ACheckOpensExclusivelyButChangesNothing) {
  const posix::Reservation reservation = Reserve("/dev/sr0", ReserveFor::kCheck);
  ASSERT_TRUE(reservation.hold);
  EXPECT_EQ(machine_.io.opens.size(), 1U);
  EXPECT_EQ(Read(PollingFile()), "-1");
}

TEST_F(DriveReservation, AMountedDriveIsRefusedBeforeItIsOpened) {
  Write(paths_.mountinfo, "41 27 11:0 / /media/user/My\\040Disc ro - iso9660 /dev/sr0 ro\n");
  const posix::Reservation reservation = Reserve("/dev/sr0", ReserveFor::kUpdate);
  EXPECT_FALSE(reservation.hold);
  EXPECT_EQ(reservation.refusal,
            "/dev/sr0 is mounted on /media/user/My Disc: unmount it first (umount /media/user/My "
            "Disc)");
  EXPECT_THAT(machine_.io.opens, IsEmpty());
  EXPECT_EQ(Read(PollingFile()), "-1");
}

TEST_F(DriveReservation, ADriveAnotherProgramHoldsExclusivelyIsRefused) {
  machine_.io.FailOpen("/dev/sr0", EBUSY);
  const posix::Reservation reservation = Reserve("/dev/sr0", ReserveFor::kUpdate);
  EXPECT_FALSE(reservation.hold);
  EXPECT_EQ(reservation.refusal,
            "/dev/sr0 cannot be opened exclusively (Device or resource busy): another program is "
            "using it");
  EXPECT_EQ(Read(PollingFile()), "-1");
}

TEST_F(DriveReservation, AGenericNodeIsReservedThroughItsBlockDevice) {
  machine_.io.AddDrive("/dev/sg3", emulator::EmulatedDrive::XtM7731());
  // The second node added: 21:1; sysfs names its block device.
  Write(paths_.sysfs / "dev/char/21:1/device/block/sr0/ro", "0");
  Write(paths_.sysfs / "block/sr0/dev", "11:0\n");
  Write(paths_.sysfs / "block/sr0/uevent", "MAJOR=11\nMINOR=0\nDEVNAME=sr0\nDEVTYPE=disk\n");
  const posix::Reservation reservation = Reserve("/dev/sg3", ReserveFor::kUpdate);
  ASSERT_TRUE(reservation.hold) << reservation.refusal;
  EXPECT_THAT(machine_.io.opens, ElementsAre(Pair("/dev/sr0", OpenAccess::kReadOnlyExclusive)));
  EXPECT_EQ(Read(PollingFile()), "0");
}

TEST_F(DriveReservation, WhatCannotApplyIsSkippedWithANote) {
  // A block device whose polling setting the kernel does not offer, and one that is gone.
  machine_.io.AddDrive("/dev/sr1", emulator::EmulatedDrive::XtM7731());
  const posix::Reservation reservation = Reserve("/dev/sr1", ReserveFor::kUpdate);
  ASSERT_TRUE(reservation.hold);
  EXPECT_THAT(reservation.notes,
              ElementsAre("the media-change polling of /dev/sr1 is not paused: the kernel offers "
                          "no polling setting for it"));

  const posix::Reservation missing = Reserve("/dev/sr7", ReserveFor::kUpdate);
  EXPECT_FALSE(missing.hold);
  EXPECT_EQ(missing.refusal, "/dev/sr7: No such file or directory");
}

TEST(RealDeviceIo, AnOrdinaryFileIsReservedWithANoteAndNothingElse) {
  const fs::path file = fs::temp_directory_path() / "fwu-reservation-plain-file";
  Write(file, "not a drive");
  posix::SystemDeviceIo io;
  const posix::Reservation reservation =
      posix::ReserveDrive(io, posix::SystemPaths{}, file.string(), ReserveFor::kUpdate);
  EXPECT_TRUE(reservation.hold);
  ASSERT_EQ(reservation.notes.size(), 1U);
  EXPECT_THAT(reservation.notes[0], HasSubstr("is an ordinary file, not a device"));
  fs::remove(file);
}

TEST(SingleInstance, ASecondCopyIsKeptOutUntilTheFirstHasEnded) {
  const fs::path lock = fs::temp_directory_path() / "fwu-instance-test.lock";
  {
    const posix::Reservation first = posix::LockSingleInstance(lock);
    ASSERT_TRUE(first.hold);
    const posix::Reservation second = posix::LockSingleInstance(lock);
    EXPECT_FALSE(second.hold);
    EXPECT_EQ(second.refusal, "another copy of the program is running: wait until it has ended");
  }
  EXPECT_TRUE(posix::LockSingleInstance(lock).hold);
  const posix::Reservation nowhere = posix::LockSingleInstance("/nonexistent/dir/x.lock");
  EXPECT_TRUE(nowhere.hold) << "no lock file: the program goes on";
  EXPECT_THAT(nowhere.notes,
              ElementsAre(HasSubstr("other copies of the program are not kept out")));
  fs::remove(lock);
}

TEST(PowerSupply, OnlyABatteryWithoutMainsRefuses) {
  using Supplies = std::vector<posix::PowerSupply>;
  const posix::PowerSupply mains_on{.type = "Mains", .online = true};
  const posix::PowerSupply mains_off{.type = "Mains", .online = false};
  const posix::PowerSupply usb_on{.type = "USB", .online = true};
  const posix::PowerSupply battery{.type = "Battery", .status = "Discharging"};
  const posix::PowerSupply charging{.type = "Battery", .status = "Charging"};
  const posix::PowerSupply mouse{.type = "Battery", .scope = "Device", .status = "Discharging"};
  const posix::PowerSupply ups{.type = "UPS", .online = false};
  struct Case {
    std::string name;
    Supplies supplies;
    bool on_battery;
  };
  const std::vector<Case> cases{
      {"desktop without supplies", {}, false},
      {"desktop with a wireless mouse", {mouse}, false},
      {"laptop on mains", {mains_on, battery}, false},
      {"laptop unplugged", {mains_off, battery}, true},
      {"laptop charging over USB-C", {mains_off, usb_on, battery}, false},
      {"battery without a mains entry, discharging", {battery}, true},
      {"battery without a mains entry, charging", {charging}, false},
      {"a UPS says nothing of the laptop's mains", {ups, battery}, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(posix::RunsOnBatteryAlone(c.supplies), c.on_battery) << c.name;
  }
}

TEST(PowerSupply, TheSupplyClassIsReadAsTheKernelLaysItOut) {
  const fs::path root = fs::temp_directory_path() / "fwu-power-supplies";
  fs::remove_all(root);
  Write(root / "AC/type", "Mains\n");
  Write(root / "AC/online", "0\n");
  Write(root / "BAT0/type", "Battery\n");
  Write(root / "BAT0/status", "Discharging\n");
  Write(root / "BAT0/scope", "System\n");
  EXPECT_TRUE(posix::RunsOnBatteryAlone(posix::ReadPowerSupplies(root)));
  Write(root / "AC/online", "1\n");
  EXPECT_FALSE(posix::RunsOnBatteryAlone(posix::ReadPowerSupplies(root)));
  EXPECT_FALSE(posix::RunsOnBatteryAlone(posix::ReadPowerSupplies(root / "missing")));
  fs::remove_all(root);
}

TEST(DriveDiscovery, EachCdDriveOnceByItsBlockDeviceInNumberOrder) {
  using Kind = posix::ScsiNode::Kind;
  const std::vector<posix::ScsiNode> nodes{
      {Kind::kGeneric, "sg4", "/dev/sg4", "/sys/scsi/2:0:0:0", "5"},
      {Kind::kBlock, "sr10", "/dev/sr10", "/sys/scsi/3:0:0:0", "5"},
      {Kind::kGeneric, "sg0", "/dev/sg0", "/sys/scsi/0:0:0:0", "0"},  // a disk
      {Kind::kBlock, "sr2", "/dev/sr2", "/sys/scsi/1:0:0:0", "5"},
      {Kind::kGeneric, "sg5", "/dev/sg5", "/sys/scsi/3:0:0:0", "5"},  // sr10's
      {Kind::kGeneric, "sg6", "/dev/sg6", "/sys/scsi/4:0:0:0", "5"},  // no sr driver
  };
  EXPECT_THAT(posix::ChooseOpticalDrives(nodes),
              ElementsAre("/dev/sr2", "/dev/sr10", "/dev/sg4", "/dev/sg6"));
}

TEST(MessageLanguage, AJapaneseLocaleReadsAsTheJapaneseCodePage) {
  struct Case {
    std::string locale;
    int code_page;
  };
  const std::vector<Case> cases{
      {"ja_JP.UTF-8", 932}, {"ja", 932}, {"ja_JP.eucJP", 932}, {"jv_ID", 0}, {"en_US.UTF-8", 0},
      {"C.UTF-8", 0},       {"", 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(posix::UserLocale(c.locale).MultibyteCodePage(), c.code_page) << c.locale;
  }
}

TEST(MessageLanguage, JapaneseTextsReachTheTerminalInUtf8) {
  // "アップデート終了。" in code page 932, then a byte that starts no character.
  EXPECT_EQ(posix::Utf8FromCp932("\x83\x41\x83\x62\x83\x76\x83\x66\x81\x5B\x83\x67\x8F\x49\x97"
                                 "\xB9\x81\x42"),
            "アップデート終了。");
  EXPECT_EQ(posix::Utf8FromCp932("Update Complete."), "Update Complete.");
  EXPECT_EQ(posix::Utf8FromCp932("a\xA0z"), "a\xEF\xBF\xBDz");
}

TEST(Interruptions, ASignalWhileDeferredWaitsUntilTheProgramAsksForIt) {
  posix::SignalInterruptions interruptions;
  interruptions.Defer();
  ASSERT_EQ(std::raise(SIGTERM), 0);  // would end the test program if it were not deferred
  EXPECT_EQ(interruptions.Wait(1000), "SIGTERM");
  EXPECT_EQ(interruptions.Wait(0), std::nullopt);
  ASSERT_EQ(std::raise(SIGPIPE), 0);  // held back, never reported
  EXPECT_EQ(interruptions.Wait(0), std::nullopt);
  ASSERT_EQ(std::raise(SIGHUP), 0);
  interruptions.Resume();  // drops both: the program has gone on already
  EXPECT_EQ(interruptions.Wait(0), std::nullopt);
}

}  // namespace
}  // namespace fwu
