#include "platform/posix/udev_drive_lister.h"

#include <algorithm>
#include <charconv>
#include <memory>
#include <set>
#include <tuple>

#include <libudev.h>

namespace fwu::posix {
namespace {

constexpr const char* kOpticalType = "5";

// The number at the end of a node's name (sr10 after sr9).
unsigned long NumberOf(const std::string& name) {
  const auto digits = name.find_first_of("0123456789");
  unsigned long number = 0;
  if (digits != std::string::npos) {
    std::from_chars(name.data() + digits, name.data() + name.size(), number);
  }
  return number;
}

struct UdevDeleter {
  void operator()(udev* u) const { udev_unref(u); }
  void operator()(udev_enumerate* e) const { udev_enumerate_unref(e); }
  void operator()(udev_device* d) const { udev_device_unref(d); }
};
template <typename T>
using UdevPtr = std::unique_ptr<T, UdevDeleter>;

std::string Text(const char* value) {
  return value == nullptr ? std::string() : std::string(value);
}

void Collect(udev* context, const char* subsystem, const char* sysname, ScsiNode::Kind kind,
             std::vector<ScsiNode>& nodes) {
  const UdevPtr<udev_enumerate> enumeration(udev_enumerate_new(context));
  if (!enumeration || udev_enumerate_add_match_subsystem(enumeration.get(), subsystem) < 0 ||
      udev_enumerate_add_match_sysname(enumeration.get(), sysname) < 0 ||
      udev_enumerate_scan_devices(enumeration.get()) < 0) {
    return;
  }
  udev_list_entry* entry = nullptr;
  udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumeration.get())) {
    const UdevPtr<udev_device> device(
        udev_device_new_from_syspath(context, udev_list_entry_get_name(entry)));
    if (!device) {
      continue;
    }
    // The parent belongs to the child and is not unreferenced separately.
    udev_device* scsi =
        udev_device_get_parent_with_subsystem_devtype(device.get(), "scsi", "scsi_device");
    if (scsi == nullptr || udev_device_get_devnode(device.get()) == nullptr) {
      continue;
    }
    nodes.push_back(ScsiNode{
        .kind = kind,
        .name = Text(udev_device_get_sysname(device.get())),
        .device_node = Text(udev_device_get_devnode(device.get())),
        .scsi_device = Text(udev_device_get_syspath(scsi)),
        .type = Text(udev_device_get_sysattr_value(scsi, "type")),
    });
  }
}

}  // namespace

std::vector<std::string> ChooseOpticalDrives(std::vector<ScsiNode> nodes) {
  std::erase_if(nodes, [](const ScsiNode& node) { return node.type != kOpticalType; });
  std::sort(nodes.begin(), nodes.end(), [](const ScsiNode& a, const ScsiNode& b) {
    return std::make_tuple(a.kind, NumberOf(a.name), a.name) <
           std::make_tuple(b.kind, NumberOf(b.name), b.name);
  });
  std::set<std::string> seen;
  std::vector<std::string> paths;
  for (const ScsiNode& node : nodes) {
    if (seen.insert(node.scsi_device).second) {
      paths.push_back(node.device_node);
    }
  }
  return paths;
}

std::vector<std::string> UdevDriveLister::OpticalDrivePaths() {
  const UdevPtr<udev> context(udev_new());
  if (!context) {
    return {};
  }
  std::vector<ScsiNode> nodes;
  Collect(context.get(), "block", "sr*", ScsiNode::Kind::kBlock, nodes);
  Collect(context.get(), "scsi_generic", "sg*", ScsiNode::Kind::kGeneric, nodes);
  return ChooseOpticalDrives(std::move(nodes));
}

}  // namespace fwu::posix
