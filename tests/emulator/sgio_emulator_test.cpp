// The emulated drive behind SG_IO as a Linux program or Wine reaches it: what comes back in the
// request header, what the library refuses as the kernel's driver would, and the report files.
#include "sgio_emulator/sgio_emulator.h"

#include <array>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <scsi/sg.h>

namespace fwu::test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

constexpr unsigned char kFill = 0xA5;

struct Request {
  std::array<std::uint8_t, 16> cdb{};
  std::vector<std::uint8_t> data;
  std::array<std::uint8_t, 32> sense{};
  sg_io_hdr_t io{};

  Request(std::initializer_list<std::uint8_t> bytes, int direction, std::size_t data_bytes,
          unsigned char sense_room = 24)
      : data(data_bytes + 8, kFill) {
    std::copy(bytes.begin(), bytes.end(), cdb.begin());
    sense.fill(kFill);
    io.interface_id = 'S';
    io.cmd_len = static_cast<unsigned char>(bytes.size());
    io.cmdp = cdb.data();
    io.dxfer_direction = direction;
    io.dxfer_len = static_cast<unsigned>(data_bytes);
    io.dxferp = data_bytes == 0 ? nullptr : data.data();
    io.mx_sb_len = sense_room;
    io.sbp = sense.data();
    io.timeout = 200000;
  }
};

class SgIoEmulatorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(dir_);
    std::string error;
    auto devices = ParseSgIoDrives(
        "/dev/e,revision=1033,report=" + (dir_ / "e.json").string() + ";/dev/g,unit-attention=2",
        error);
    ASSERT_TRUE(devices) << error;
    emulator_.emplace(std::move(*devices), std::vector<std::uint8_t>(), "test");
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::optional<int> Send(const char* path, Request& request) {
    return emulator_->Ioctl(path, SG_IO, &request.io);
  }

  std::filesystem::path dir_ =
      std::filesystem::temp_directory_path() /
      ("fwu-sgio-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
  std::optional<SgIoEmulator> emulator_;
};

TEST_F(SgIoEmulatorTest, EachDeviceHasItsOwnDriveAndOtherCallsAreLeftToTheSystem) {
  Request inquiry({0x12, 0, 0, 0, 44, 0}, SG_DXFER_FROM_DEV, 64);
  ASSERT_EQ(Send("/dev/e", inquiry), 0);
  EXPECT_EQ(std::string(inquiry.data.begin() + 32, inquiry.data.begin() + 36), "1033");
  EXPECT_EQ(inquiry.io.resid, 20) << "44 of 64 bytes moved";
  EXPECT_EQ(inquiry.data[44], kFill) << "nothing beyond what the drive sent";
  EXPECT_EQ(inquiry.io.status, 0);
  EXPECT_EQ(inquiry.io.sb_len_wr, 0);
  EXPECT_EQ(inquiry.io.info, SG_INFO_OK);

  Request other({0x12, 0, 0, 0, 44, 0}, SG_DXFER_FROM_DEV, 44);
  ASSERT_EQ(Send("/dev/g", other), 0);
  EXPECT_EQ(std::string(other.data.begin() + 32, other.data.begin() + 36), "1029");

  EXPECT_EQ(Send("/dev/h", other), std::nullopt);
  EXPECT_EQ(emulator_->Ioctl("/dev/e", 0x5305, &other.io), std::nullopt);
  int version = 0;
  EXPECT_EQ(emulator_->Ioctl("/dev/g", SG_GET_VERSION_NUM, &version), 0);
  EXPECT_EQ(version, 30527);
}

TEST_F(SgIoEmulatorTest, CheckConditionComesBackAsTheKernelsDriverGivesIt) {
  // The drive's first READ(10) meets UNIT ATTENTION; the sense is cut to the room given.
  Request read({0x28, 0, 0, 0, 0, 16, 0, 0, 1, 0}, SG_DXFER_FROM_DEV, 2048, 14);
  ASSERT_EQ(Send("/dev/g", read), 0);
  EXPECT_EQ(read.io.status, 0x02);
  EXPECT_EQ(read.io.masked_status, 0x01);
  EXPECT_EQ(read.io.driver_status, 0x08);
  EXPECT_EQ(read.io.sb_len_wr, 14);
  EXPECT_THAT(std::vector<std::uint8_t>(read.sense.begin(), read.sense.begin() + 15),
              ElementsAre(0x70, 0, 0x06, 0, 0, 0, 0, 16, 0, 0, 0, 0, 0x29, 0, kFill));
  EXPECT_EQ(read.io.resid, 2048);
  EXPECT_EQ(read.io.info, SG_INFO_CHECK);

  // A buffer shorter than the allocation length: the drive refuses rather than overrun it.
  Request short_buffer({0x12, 0, 0, 0, 44, 0}, SG_DXFER_FROM_DEV, 10);
  ASSERT_EQ(Send("/dev/e", short_buffer), 0);
  EXPECT_EQ(short_buffer.io.status, 0x02);
  EXPECT_EQ(short_buffer.sense[12], 0x24);
  EXPECT_EQ(short_buffer.data[0], kFill);
}

TEST_F(SgIoEmulatorTest, RequestsTheKernelsDriverRefusesAreRefused) {
  struct Case {
    const char* what;
    void (*spoil)(sg_io_hdr_t&);
    int error;
  };
  const std::vector<Case> cases{
      {"other interface", [](sg_io_hdr_t& io) { io.interface_id = 'Q'; }, -ENOSYS},
      {"scatter list", [](sg_io_hdr_t& io) { io.iovec_count = 2; }, -EINVAL},
      {"CDB of 17 bytes", [](sg_io_hdr_t& io) { io.cmd_len = 17; }, -EINVAL},
      {"unknown direction", [](sg_io_hdr_t& io) { io.dxfer_direction = -7; }, -EINVAL},
      {"no data buffer", [](sg_io_hdr_t& io) { io.dxferp = nullptr; }, -EFAULT},
      {"no sense buffer", [](sg_io_hdr_t& io) { io.sbp = nullptr; }, -EFAULT},
  };
  for (const Case& c : cases) {
    Request inquiry({0x12, 0, 0, 0, 44, 0}, SG_DXFER_FROM_DEV, 44);
    c.spoil(inquiry.io);
    EXPECT_EQ(Send("/dev/e", inquiry), c.error) << c.what;
  }
  // No data moves without a direction, whatever the length says.
  Request unit_ready({0x00, 0, 0, 0, 0, 0}, SG_DXFER_NONE, 0);
  unit_ready.io.dxfer_len = 512;
  ASSERT_EQ(Send("/dev/e", unit_ready), 0);
  EXPECT_EQ(unit_ready.io.status, 0);
  EXPECT_EQ(unit_ready.io.resid, 0);
}

TEST_F(SgIoEmulatorTest, TheDriveLogsEveryCommandAndReportsAfterSendDiagnostic) {
  Request inquiry({0x12, 0, 0, 0, 44, 0}, SG_DXFER_FROM_DEV, 44);
  ASSERT_EQ(Send("/dev/e", inquiry), 0);
  EXPECT_FALSE(std::filesystem::exists(dir_ / "e.json"));
  Request identify({0x1D, 0, 0, 0, 8, 0}, SG_DXFER_TO_DEV, 8);
  const std::array<std::uint8_t, 8> page{0x88, 0, 0, 4, 0, 0x40, 0, 0};
  std::copy(page.begin(), page.end(), identify.data.begin());
  ASSERT_EQ(Send("/dev/e", identify), 0);

  std::ifstream summary(dir_ / "e.json");
  std::string line;
  std::getline(summary, line);
  EXPECT_THAT(line, HasSubstr("\"commands\": 2, \"blocks_received\": 0, \"download\": \"idle\""));
  EXPECT_EQ(std::filesystem::file_size(dir_ / "e.json.bin"), 196608U);
  std::ifstream log(dir_ / "e.json.log");
  std::vector<std::string> lines;
  while (std::getline(log, line)) {
    lines.push_back(line);
  }
  ASSERT_EQ(lines.size(), 3U);
  EXPECT_THAT(lines[0], HasSubstr("{\"boot\": \"test /dev/e\", \"revision\": \"1033\"}"));
  EXPECT_THAT(lines[1], HasSubstr("\"n\": 1, "));
  EXPECT_THAT(lines[2], HasSubstr("\"cdb\": \"1d 00 00 00 08 00\", \"dir\": \"out\", \"len\": 8"));
  EXPECT_THAT(lines[2], HasSubstr("\"page\": \"40/00\""));
}

TEST(SgIoDrives, ConfigurationsThatCannotBeReadAreRefused) {
  const std::vector<std::pair<const char*, const char*>> cases{
      {",revision=1033", "without a device path"},
      {"/dev/e,colour=blue", "unknown drive option"},
      {"/dev/e,revision=10", "no fitting value"},
      {"/dev/e,reject-block=0", "no fitting value"},
      {"/dev/e,unit-attention=x", "no fitting value"},
      {"/dev/e;/dev/e", "named twice"},
  };
  for (const auto& [text, reason] : cases) {
    std::string error;
    EXPECT_EQ(ParseSgIoDrives(text, error), std::nullopt) << text;
    EXPECT_THAT(error, HasSubstr(reason)) << text;
  }
  std::string error;
  const auto devices = ParseSgIoDrives("/dev/e;;/dev/g,reject-block=4,unit-attention=3", error);
  ASSERT_TRUE(devices) << error;
  ASSERT_EQ(devices->size(), 2U);
  EXPECT_EQ((*devices)[1].path, "/dev/g");
  EXPECT_EQ((*devices)[1].options.refused_block, 4U);
  EXPECT_EQ((*devices)[1].options.unit_attentions, 3U);
  EXPECT_EQ((*devices)[0].options.revision, "1029");
}

}  // namespace
}  // namespace fwu::test
