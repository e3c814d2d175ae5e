#include "programs/linux/drive_listing.h"

#include <algorithm>
#include <array>
#include <iomanip>
#include <string_view>

#include <nlohmann/json.hpp>

#include "drive/identity.h"
#include "programs/linux/command_line.h"

namespace fwu::linux_program {
namespace {

struct StatusName {
  DriveFinding finding;
  std::string_view key;    // JSON
  std::string_view words;  // the table
};

constexpr std::array<StatusName, 5> kStatusNames{{
    {DriveFinding::kNeedsUpdate, "update-needed", "update needed"},
    {DriveFinding::kUpToDate, "up-to-date", "up to date"},
    {DriveFinding::kNotSupported, "not-supported", "not supported"},
    {DriveFinding::kNoAnswer, "no-answer", "does not answer"},
    {DriveFinding::kKeepsUnitAttention, "unit-attention", "keeps reporting unit attention"},
}};
constexpr StatusName kOtherVendor{DriveFinding::kNotSupported, "other-vendor",
                                  "another vendor's drive"};

const StatusName& StatusOf(const ListedDrive& drive) {
  if (!drive.examined) {
    return kOtherVendor;
  }
  return *std::find_if(kStatusNames.begin(), kStatusNames.end(), [&](const StatusName& name) {
    return name.finding == drive.examination.finding;
  });
}

std::string Trimmed(std::string_view text) {
  const auto end = text.find_last_not_of(' ');
  return std::string(end == std::string_view::npos ? std::string_view() : text.substr(0, end + 1));
}

// A field of the identity text (vendor 0-7, product 8-23, revision 24-27), which may end early.
std::string Field(std::string_view identity, std::size_t offset, std::size_t length) {
  return offset < identity.size() ? Trimmed(identity.substr(offset, length)) : std::string();
}

}  // namespace

std::vector<ListedDrive> ExamineDrives(DeviceNodeTransport& nodes, DriveTransport& transport,
                                       std::span<const FirmwareImage> images) {
  std::vector<ListedDrive> drives;
  const std::uint8_t count = transport.Enumerate();
  for (std::uint8_t i = 0; i < count; ++i) {
    const std::string identity = nodes.Identity(i);
    ListedDrive drive{
        .index = i,
        .path = nodes.DevicePath(i),
        .vendor = Field(identity, 0, 8),
        .product = Field(identity, 8, 16),
        .revision = Field(identity, 24, 4),
        .examined = VendorIsTarget(identity),
    };
    if (drive.examined) {
      transport.Select(i);
      drive.examination = ExamineDrive(transport, images);
      if (drive.examination.finding == DriveFinding::kNoAnswer) {
        drive.error_text = Trimmed(transport.GetErrorText());
      }
      if (!drive.examination.revision.empty()) {
        drive.revision = Trimmed(drive.examination.revision);
      }
    }
    drives.push_back(std::move(drive));
  }
  return drives;
}

bool NeedsUpdate(const ListedDrive& drive) {
  return drive.examined && drive.examination.finding == DriveFinding::kNeedsUpdate;
}

std::string StatusWords(const ListedDrive& drive) {
  return std::string(StatusOf(drive).words);
}

std::string FirmwareOf(const ListedDrive& drive) {
  if (!drive.examination.identification) {
    return drive.revision;
  }
  return drive.revision + " build " + std::to_string(drive.examination.identification->build);
}

void PrintTable(std::ostream& out, const std::vector<ListedDrive>& drives,
                const FirmwareImage& image) {
  if (drives.empty()) {
    out << "No DVD-ROM XT-M7731 drive was found.\n";
    return;
  }
  std::size_t path_width = std::string_view("DEVICE").size();
  for (const ListedDrive& drive : drives) {
    path_width = std::max(path_width, drive.path.size());
  }
  const auto row = [&](std::string_view path, std::string_view vendor, std::string_view product,
                       std::string_view revision, std::string_view build,
                       const std::string& status) {
    out << std::left << std::setw(static_cast<int>(path_width)) << path << "  " << std::setw(8)
        << vendor << "  " << std::setw(16) << product << "  " << std::setw(8) << revision << "  "
        << std::setw(5) << build << "  " << status << '\n';
  };
  row("DEVICE", "VENDOR", "PRODUCT", "REVISION", "BUILD", "STATUS");
  for (const ListedDrive& drive : drives) {
    const auto& identification = drive.examination.identification;
    std::string status = StatusWords(drive);
    if (NeedsUpdate(drive)) {
      status +=
          " (to " + std::string(image.version) + " build " + std::to_string(image.build) + ")";
    } else if (!drive.error_text.empty()) {
      status += " (" + drive.error_text + ")";
    }
    row(drive.path, drive.vendor, drive.product, drive.revision,
        identification ? std::to_string(identification->build) : "-", status);
  }
}

void PrintJson(std::ostream& out, const std::vector<ListedDrive>& drives,
               const FirmwareImage& image) {
  nlohmann::ordered_json listed = nlohmann::ordered_json::array();
  for (const ListedDrive& drive : drives) {
    const auto& identification = drive.examination.identification;
    nlohmann::ordered_json entry{
        {"device", drive.path},
        {"vendor", drive.vendor},
        {"product", drive.product},
        {"revision", drive.revision},
        {"build", identification ? nlohmann::ordered_json(identification->build) : nullptr},
        {"drive_code",
         identification ? nlohmann::ordered_json(identification->drive_code) : nullptr},
        {"update_needed", NeedsUpdate(drive)},
        {"status", StatusOf(drive).key},
    };
    if (!drive.error_text.empty()) {
      entry["error"] = drive.error_text;
    }
    listed.push_back(std::move(entry));
  }
  const nlohmann::ordered_json document{
      {"program", kProgramName},
      {"image",
       {{"version", image.version}, {"build", image.build}, {"drive_code", image.drive_code}}},
      {"drives", std::move(listed)},
  };
  // Texts from the drive are bytes, not UTF-8: anything else is replaced, never a failure.
  out << document.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << '\n';
}

}  // namespace fwu::linux_program
