#include "update/update_worker.h"

#include <algorithm>
#include <array>
#include <new>
#include <span>

#include "update/download_page.h"
#include "update/image_codec.h"

namespace fwu {

namespace {

// The working buffer holds the plain image only if its column sums are the expected ones.
bool DescrambleAndVerify(const FirmwareImage& image, std::span<std::uint8_t, kImageBytes> plain) {
  Descramble(image.stored, plain, BuildScramblingTable());
  return SumsMatch(ComputeColumnSums(plain), image.expected_sums);
}

void Report(const WorkerParams& params, WorkerStep step, std::uint32_t block = 0) {
  if (params.observer != nullptr) {
    params.observer->OnStep(step, block);
  }
}

bool SendShortPage(DriveTransport& transport, std::span<std::uint8_t> page,
                   std::uint8_t sub_command, std::uint8_t argument) {
  const auto bytes = ShortPage(sub_command, argument);
  std::copy(bytes.begin(), bytes.end(), page.begin());
  transport.SetDataBuffer(page.data(), bytes.size());
  return Succeeded(transport.SendDiagnostic(0, bytes.size()));
}

}  // namespace

WorkingBuffer AllocateWorkingBuffer(std::size_t bytes) {
  return WorkingBuffer(new (std::nothrow) std::uint8_t[bytes]);
}

std::uint32_t UpdateWorker(const WorkerParams& params, const FirmwareImage& image,
                           platform::Clock& clock, BufferAllocator allocate) {
  const WorkingBuffer working = allocate(kImageBytes);
  if (!working || params.transport == nullptr) {
    return kWorkerFailed;
  }
  const std::span<std::uint8_t, kImageBytes> plain(working.get(), kImageBytes);
  if (!DescrambleAndVerify(image, plain)) {
    return kWorkerFailed;
  }
  // A block count the image cannot fill, or the page cannot number, would send bytes that are
  // not the image; refuse it before the first command.
  if (image.block_count == 0 || image.block_count > 255 ||
      std::size_t{image.block_count} * kDownloadBlockBytes > kImageBytes) {
    return kWorkerFailed;
  }

  DriveTransport& transport = *params.transport;
  transport.Select(params.drive_index);
  Report(params, WorkerStep::kEjecting);
  // Neither result matters: a drive that keeps its tray locked or its disc in still takes the
  // download, and a real refusal shows in the steps that follow.
  transport.PreventAllowMediumRemoval(0);
  transport.StartStopUnit(0, 0, 1);
  Report(params, WorkerStep::kSettling);
  for (const std::uint32_t wait : worker_waits::kSettleMs) {
    clock.Sleep(wait);
  }

  std::array<std::uint8_t, kDataPageBytes> page{};
  Report(params, WorkerStep::kFirstControlStep);
  if (!SendShortPage(transport, page, sub_command::kDownloadControl, 0x00)) {
    return kWorkerFailed;
  }
  Report(params, WorkerStep::kBetweenControlSteps);
  clock.Sleep(worker_waits::kBetweenControlStepsMs);
  Report(params, WorkerStep::kSecondControlStep);
  if (!SendShortPage(transport, page, sub_command::kDownloadControl, 0xFF)) {
    return kWorkerFailed;
  }

  transport.SetDataBuffer(page.data(), kDataPageBytes);
  for (std::uint32_t k = 0; k < image.block_count; ++k) {
    Report(params, WorkerStep::kSendingBlock, k + 1);
    const auto header = BlockPageHeader(static_cast<std::uint8_t>(k + 1));
    std::copy(header.begin(), header.end(), page.begin());
    const auto block = plain.subspan(std::size_t{k} * kDownloadBlockBytes, kDownloadBlockBytes);
    std::copy(block.begin(), block.end(), page.begin() + kPageHeaderBytes);
    if (!Succeeded(transport.SendDiagnostic(0, kDataPageBytes))) {
      return kWorkerFailed;
    }
  }

  Report(params, WorkerStep::kClosingStep);
  if (!SendShortPage(transport, page, sub_command::kDownloadData, 0x00)) {
    return kWorkerFailed;
  }
  Report(params, WorkerStep::kAfterClosingStep);
  clock.Sleep(worker_waits::kAfterClosingStepMs);
  return kWorkerSucceeded;
}

}  // namespace fwu
