#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace fwu {

// Where the device settings that would disturb a firmware download live, below
// HKEY_LOCAL_MACHINE unless said otherwise, and the values in them. Change records hold these
// paths exactly as they are written here.
namespace nt_settings {

// The ATAPI driver's DMA detection, one "DriverParameter" text per channel key.
inline constexpr std::string_view kAtapiParametersPath =
    "SYSTEM\\CurrentControlSet\\Services\\atapi\\Parameters";
inline constexpr std::string_view kDriverParameter = "DriverParameter";
inline constexpr std::string_view kDmaDetectionOff = "DmaDetectionLevel = 0x0;";

// IDE controller instances: the instances of every class key whose "Class" is "hdc".
inline constexpr std::string_view kControlClassPath = "SYSTEM\\CurrentControlSet\\Control\\Class";
inline constexpr std::string_view kClassValue = "Class";
inline constexpr std::string_view kIdeControllerClass = "hdc";

// The three timing values of one device position on an IDE channel.
struct TimingPosition {
  std::string_view user_mode_allowed;  // when present, it alone decides
  std::string_view mode;               // looked at only without the user's value
  std::string_view mode_allowed;       // raised along with a lowered mode
};
inline constexpr std::array<TimingPosition, 2> kTimingPositions = {{
    {"UserMasterDeviceTimingModeAllowed", "MasterDeviceTimingMode",
     "MasterDeviceTimingModeAllowed"},
    {"UserSlaveDeviceTimingModeAllowed", "SlaveDeviceTimingMode", "SlaveDeviceTimingModeAllowed"},
}};
inline constexpr std::uint32_t kMaxUserTimingModeAllowed = 0x1F;
inline constexpr std::uint32_t kMaxTimingMode = 0x10;
inline constexpr std::uint32_t kTimingModeAllowed = 0x1F;

inline constexpr std::array<std::string_view, 6> kTimingValueNames = {
    kTimingPositions[0].user_mode_allowed,
    kTimingPositions[0].mode,
    kTimingPositions[0].mode_allowed,
    kTimingPositions[1].user_mode_allowed,
    kTimingPositions[1].mode,
    kTimingPositions[1].mode_allowed,
};

// Automatic start of inserted CDs.
inline constexpr std::string_view kCdromPath = "SYSTEM\\CurrentControlSet\\Services\\Cdrom";
inline constexpr std::string_view kAutorun = "Autorun";
inline constexpr std::uint32_t kAutorunOff = 0;

}  // namespace nt_settings

namespace win9x_settings {

// The running devices, below HKEY_DYN_DATA; each names its hardware key below "Enum".
inline constexpr std::string_view kRunningDevicesPath = "Config Manager\\Enum";
inline constexpr std::string_view kHardwareKeyValue = "HardWareKey";
inline constexpr std::string_view kScsiHardwareKeyPrefix = "SCSI";  // case counts
inline constexpr std::string_view kEnumPath = "Enum";
inline constexpr std::array<std::string_view, 2> kScsiDeviceFlags = {"AutoInsertNotification",
                                                                     "DMACurrentlyUsed"};

// The IDE controller and SCSI adapter classes; their instances carry four flags each.
inline constexpr std::array<std::string_view, 2> kControllerClassPaths = {
    "System\\CurrentControlSet\\Services\\Class\\hdc",
    "System\\CurrentControlSet\\Services\\Class\\SCSIAdapter",
};
inline constexpr std::array<std::string_view, 4> kControllerFlags = {
    "AutoInsertNotificationDrive0", "AutoInsertNotificationDrive1", "IDEDMADRIVE0", "IDEDMADRIVE1"};

}  // namespace win9x_settings

}  // namespace fwu
