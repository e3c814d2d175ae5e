// The simulated storage driver takes or refuses a pass-through record as the real ones do
// (Windows, and Wine over Linux's SCSI generic driver, where they agree).
#include "platform/sim/sim_pass_through_driver.h"

#include <array>
#include <cstring>
#include <functional>
#include <vector>

#include <gtest/gtest.h>

#include "drive/pass_through_record.h"
#include "emulator/emulated_drive.h"
#include "platform/sim/virtual_clock.h"

namespace fwu::sim {
namespace {

struct Block {
  ScsiPassThroughDirect record{};
  std::array<std::uint8_t, kPassThroughStagingOffset - sizeof(ScsiPassThroughDirect)> sense{};
  std::array<std::uint8_t, 64> data{};
};

TEST(SimPassThroughDriver, TakesAndRefusesRecordsAsARealDriverDoes) {
  VirtualClock clock;
  emulator::EmulatedDrive drive(emulator::EmulatedDrive::XtM7731());
  SimPassThroughDriver driver(clock);
  driver.AttachDrive('E', drive);
  struct Case {
    const char* what;
    std::function<void(Block&)> change;
    bool taken;
    std::uint8_t status = 0;
    std::uint32_t transferred = 0;
  };
  const std::vector<Case> cases{
      {"an INQUIRY", [](Block&) {}, true, 0, 44},
      {"a record of another size", [](Block& b) { b.record.length = 44; }, false},
      {"an unknown direction", [](Block& b) { b.record.data_in = 3; }, false},
      {"data without a buffer", [](Block& b) { b.record.data_buffer = nullptr; }, false},
      {"no direction, with a length",
       [](Block& b) {
         b.record.data_in = kScsiIoctlDataUnspecified;
         b.record.cdb[0] = 0x00;  // TEST UNIT READY
         b.record.cdb[4] = 0;
       },
       true, 0, 0},
      {"a command the drive refuses", [](Block& b) { b.record.cdb[0] = 0x03; }, true, 2, 0},
  };
  for (const Case& c : cases) {
    Block block;
    block.record.length = sizeof(ScsiPassThroughDirect);
    block.record.cdb_length = 6;
    block.record.sense_info_length = kPassThroughSenseBytes;
    block.record.data_in = kScsiIoctlDataIn;
    block.record.data_transfer_length = 44;
    block.record.time_out_value = kPassThroughTimeoutSeconds;
    block.record.data_buffer = block.data.data();
    block.record.sense_info_offset = static_cast<std::uint32_t>(kPassThroughSenseOffset);
    block.record.cdb[0] = 0x12;
    block.record.cdb[4] = 44;
    c.change(block);
    const platform::DeviceHandle device = driver.OpenDevice("\\\\.\\E:");
    std::uint32_t returned = 0;
    const bool taken = driver.SendIoControl(device, platform::kIoctlScsiPassThroughDirect, &block,
                                            sizeof block, &block, sizeof block, &returned);
    driver.CloseDevice(device);
    ASSERT_EQ(taken, c.taken) << c.what;
    if (!taken) {
      EXPECT_EQ(driver.LastError(), SimPassThroughDriver::kErrorInvalidParameter) << c.what;
      continue;
    }
    EXPECT_EQ(block.record.scsi_status, c.status) << c.what;
    EXPECT_EQ(block.record.data_transfer_length, c.transferred) << c.what;
    EXPECT_EQ(block.record.sense_info_length, c.status == 0 ? 0 : kPassThroughSenseBytes) << c.what;
    EXPECT_EQ(returned, sizeof(ScsiPassThroughDirect)) << c.what << ": the record itself";
  }
}

}  // namespace
}  // namespace fwu::sim
