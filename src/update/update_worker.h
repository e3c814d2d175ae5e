#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "drive/drive_transport.h"
#include "platform/clock.h"
#include "update/firmware_image.h"

namespace fwu {

// What Update Start hands the worker before the worker exists; the worker only reads it.
struct WorkerParams {
  std::uint8_t drive_index = 0;
  DriveTransport* transport = nullptr;
};

inline constexpr std::uint32_t kWorkerSucceeded = 0;
inline constexpr std::uint32_t kWorkerFailed = 1;

using WorkingBuffer = std::unique_ptr<std::uint8_t[]>;
using BufferAllocator = WorkingBuffer (*)(std::size_t bytes);

// The heap buffer for the descrambled image; empty when the memory cannot be had.
WorkingBuffer AllocateWorkingBuffer(std::size_t bytes);

// The update thread: descrambles and verifies the image, ejects the medium, waits for the
// drive, and writes the image with the download steps. Returns kWorkerSucceeded or
// kWorkerFailed; a failure stops at once and nothing after it is sent, so a broken image or a
// missing buffer sends nothing at all.
std::uint32_t UpdateWorker(const WorkerParams& params, const FirmwareImage& image,
                           platform::Clock& clock,
                           BufferAllocator allocate = &AllocateWorkingBuffer);

}  // namespace fwu
