#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/posix/drive_lister.h"

namespace fwu::posix {

// A device node of a SCSI device, as the device manager lists it.
struct ScsiNode {
  enum class Kind : std::uint8_t { kBlock, kGeneric };  // sr*, sg*
  Kind kind = Kind::kBlock;
  std::string name;         // sr0, sg1
  std::string device_node;  // /dev/sr0
  std::string scsi_device;  // the SCSI device it belongs to (its sysfs path)
  std::string type;         // the SCSI device's peripheral type, as sysfs gives it ("5")
};

// The drives among the nodes: CD/DVD devices (type 5), each once, by its block device where it
// has one (its generic node otherwise), the block devices first, each kind in number order.
std::vector<std::string> ChooseOpticalDrives(std::vector<ScsiNode> nodes);

// Lists sr* block devices and sg* generic devices through libudev.
class UdevDriveLister final : public DriveLister {
 public:
  std::vector<std::string> OpticalDrivePaths() override;
};

}  // namespace fwu::posix
