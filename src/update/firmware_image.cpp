#include "update/firmware_image.h"

#include <array>

#include "update/embedded_image_data.h"

namespace fwu {

namespace {

constexpr std::uint32_t kBlockCount = 6;
static_assert(kBlockCount * kDownloadBlockBytes <= kImageBytes,
              "the download would read past the end of the image");
static_assert(kBlockCount <= 255, "the download page numbers a block in one byte");

}  // namespace

std::span<const FirmwareImage> ImageList() {
  // Built on first use, so that the list never depends on the order in which the program's
  // static objects are initialised.
  static const std::array<FirmwareImage, 1> kImages{{
      {
          .drive_code = "km",
          .version = "1033",
          .build = 32,
          .block_count = kBlockCount,
          .expected_sums = embedded::kExpectedSums,
          .stored = embedded::kStoredImage,
      },
  }};
  return kImages;
}

}  // namespace fwu
