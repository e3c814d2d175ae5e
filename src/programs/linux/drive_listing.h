#pragma once

#include <cstdint>
#include <ostream>
#include <span>
#include <string>
#include <vector>

#include "app/drive_search.h"
#include "drive/device_node_transport.h"
#include "drive/drive_transport.h"
#include "update/firmware_image.h"

namespace fwu::linux_program {

// One drive the transport listed, and what its examination found.
struct ListedDrive {
  std::uint8_t index = 0;
  std::string path{};
  std::string vendor{};  // INQUIRY vendor, product and revision, blanks trimmed
  std::string product{};
  std::string revision{};
  bool examined = false;  // another vendor's drive receives no command, as on Windows
  DriveExamination examination{};
  std::string error_text{};  // the transport's, when a command failed
};

// Lists the drives (only `device` when given) and examines each as the start-up search does.
std::vector<ListedDrive> ExamineDrives(DeviceNodeTransport& nodes, DriveTransport& transport,
                                       std::span<const FirmwareImage> images);

bool NeedsUpdate(const ListedDrive& drive);
// "update needed", "up to date", ...: what the list says of the drive.
std::string StatusWords(const ListedDrive& drive);
// "1029 build 32", or the revision alone when the build is not known.
std::string FirmwareOf(const ListedDrive& drive);

void PrintTable(std::ostream& out, const std::vector<ListedDrive>& drives,
                const FirmwareImage& image);
void PrintJson(std::ostream& out, const std::vector<ListedDrive>& drives,
               const FirmwareImage& image);

}  // namespace fwu::linux_program
