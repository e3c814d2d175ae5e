#pragma once

#include <array>
#include <cstdint>

#include "update/firmware_image.h"

// Defined by the source that the build generates from the plain firmware image; the image list
// is the only reader.
namespace fwu::embedded {

// The image in its stored (scrambled) form.
extern const std::array<std::uint8_t, kImageBytes> kStoredImage;

// The column sums of the plain image in slots 0-12; slots 13-15 are zero.
extern const std::array<std::uint32_t, kExpectedSumSlots> kExpectedSums;

}  // namespace fwu::embedded
