#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "drive/drive_transport.h"
#include "platform/clock.h"
#include "update/firmware_image.h"

namespace fwu {

// The waits of the download, in order. The drive needs the first three after the eject before
// it takes the download (2 s, then twice a minute); the others follow the control steps and the
// closing step.
namespace worker_waits {
inline constexpr std::array<std::uint32_t, 3> kSettleMs{2000, 60000, 60000};
inline constexpr std::uint32_t kBetweenControlStepsMs = 3000;
inline constexpr std::uint32_t kAfterClosingStepMs = 2000;
}  // namespace worker_waits

// Where the worker stands: each step is reported as it begins.
enum class WorkerStep : std::uint8_t {
  kEjecting,          // the image is verified; removal allowed and the medium ejected
  kSettling,          // the waits after the eject
  kFirstControlStep,  // from here on a failure may leave the drive in the middle of a download
  kBetweenControlSteps,
  kSecondControlStep,
  kSendingBlock,  // with the block's number, from 1
  kClosingStep,
  kAfterClosingStep,
};

// Hears the worker's steps on the worker's thread; it must not send drive commands.
class WorkerObserver {
 public:
  virtual ~WorkerObserver() = default;
  virtual void OnStep(WorkerStep step, std::uint32_t block) = 0;
};

// What Update Start hands the worker before the worker exists; the worker only reads it.
struct WorkerParams {
  std::uint8_t drive_index = 0;
  DriveTransport* transport = nullptr;
  WorkerObserver* observer = nullptr;  // none in the Windows program
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
