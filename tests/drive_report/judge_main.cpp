// Judges the report files of one emulated drive after an end-to-end run, whichever transport
// carried its commands (the ASPI manager or the SG_IO emulator): the command log by
// download_judge.h, and the drive's summary and received image against what the run should
// have left.
//
//   fwu_drive_judge REPORT [--divisor N] [--refused-block K | --no-download]
//                   [--plain-image FILE] [--revision R]
//
// REPORT is the drive's report path (reported_drive.h); REPORT.log is judged, and with a
// download REPORT and REPORT.bin are read as well: after a complete one the drive holds the
// plain image and revision R, after block K was refused the blocks before K and nothing else.
// Prints what it measured and every finding; exits with 1 when there is one, 2 on bad usage.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "drive_report/download_judge.h"
#include "drive_report/drive_log.h"
#include "drive_report/reported_drive.h"

namespace {

using fwu::test::DownloadExpectation;
using fwu::test::ExpectedDownload;

constexpr std::size_t kBlockBytes = 32768;
constexpr std::uint32_t kBlocks = 6;

struct Options {
  std::string report;
  DownloadExpectation expected;
  std::string plain_image;
  std::string revision;
};

bool Parse(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string flag = argv[i];
    if (flag == "--no-download") {
      options.expected.outcome = ExpectedDownload::kNone;
      continue;
    }
    if (flag.rfind("--", 0) != 0) {
      options.report = flag;
      continue;
    }
    if (i + 1 >= argc) {
      return false;
    }
    const std::string value = argv[++i];
    if (flag == "--divisor") {
      options.expected.wait_divisor = static_cast<std::uint32_t>(std::atoi(value.c_str()));
    } else if (flag == "--refused-block") {
      options.expected.outcome = ExpectedDownload::kRefusedBlock;
      options.expected.refused_block = static_cast<std::uint32_t>(std::atoi(value.c_str()));
    } else if (flag == "--plain-image") {
      options.plain_image = value;
    } else if (flag == "--revision") {
      options.revision = value;
    } else {
      return false;
    }
  }
  return !options.report.empty() && options.expected.wait_divisor > 0 &&
         (options.expected.outcome != ExpectedDownload::kRefusedBlock ||
          (options.expected.refused_block >= 1 && options.expected.refused_block <= kBlocks));
}

// What the drive holds and says after the run.
void CheckResult(const Options& options, std::vector<std::string>& findings,
                 std::vector<std::string>& measured) {
  const DownloadExpectation& expected = options.expected;
  std::ifstream in(options.report);
  nlohmann::json summary;
  try {
    in >> summary;
  } catch (const std::exception&) {
    findings.push_back("no drive summary in " + options.report);
    return;
  }
  const bool complete = expected.outcome == ExpectedDownload::kComplete;
  const std::uint32_t blocks = complete ? kBlocks : expected.refused_block - 1;
  const std::string download = complete ? "idle" : "pending";
  if (summary.value("blocks_received", 99U) != blocks ||
      summary.value("download", std::string()) != download) {
    findings.push_back("the drive says " + summary.dump() + " where " + std::to_string(blocks) +
                       " blocks and download \"" + download + "\" belong");
  }
  if (complete && !options.revision.empty() &&
      summary.value("revision", std::string()) != options.revision) {
    findings.push_back("the drive's revision is not " + options.revision);
  }
  if (options.plain_image.empty()) {
    return;
  }
  const std::vector<std::uint8_t> plain = fwu::test::FileBytes(options.plain_image);
  const std::vector<std::uint8_t> received = fwu::test::FileBytes(options.report + ".bin");
  if (plain.size() != kBlocks * kBlockBytes || received.size() != plain.size()) {
    findings.push_back("the plain image or the received image is missing or not 196,608 bytes");
    return;
  }
  const auto taken = static_cast<std::ptrdiff_t>(blocks * kBlockBytes);
  const bool blocks_equal = std::equal(plain.begin(), plain.begin() + taken, received.begin());
  const bool rest_empty =
      std::all_of(received.begin() + taken, received.end(), [](std::uint8_t b) { return b == 0; });
  if (!blocks_equal || !rest_empty) {
    findings.push_back("the received image is not the plain image's first " +
                       std::to_string(blocks) + " blocks");
  } else {
    measured.push_back(complete ? "the drive holds the plain image"
                                : "the drive holds the plain image's first " +
                                      std::to_string(blocks) + " blocks");
  }
}

int Judge(const Options& options) {
  std::ifstream in(options.report + ".log");
  std::string error;
  const auto boots = in ? fwu::test::ReadDriveLog(in, error) : std::nullopt;
  if (!boots) {
    std::printf("%s.log: %s\n", options.report.c_str(),
                error.empty() ? "cannot be read" : error.c_str());
    return 1;
  }
  fwu::test::Verdict verdict = fwu::test::JudgeDriveLog(*boots, options.expected);
  if (options.expected.outcome != ExpectedDownload::kNone) {
    CheckResult(options, verdict.findings, verdict.measured);
  }
  std::size_t commands = 0;
  for (const auto& boot : *boots) {
    commands += boot.commands.size();
  }
  std::printf("%zu boots, %zu commands", boots->size(), commands);
  for (const std::string& line : verdict.measured) {
    std::printf("; %s", line.c_str());
  }
  std::printf("\n");
  for (const std::string& finding : verdict.findings) {
    std::printf("  - %s\n", finding.c_str());
  }
  return verdict.findings.empty() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!Parse(argc, argv, options)) {
    std::fprintf(stderr, "usage: see the head of judge_main.cpp\n");
    return 2;
  }
  try {
    return Judge(options);
  } catch (const std::exception& e) {
    std::printf("%s: %s\n", options.report.c_str(), e.what());
    return 1;
  }
}
