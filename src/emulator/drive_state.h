#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "emulator/sense_code.h"

namespace fwu::emulator {

// Where a download stands, as the drive sees it.
enum class DownloadState : std::uint8_t {
  kIdle,       // no download begun, or the last one completed
  kArmed,      // first 0xF0 step received
  kReceiving,  // second 0xF0 step received; blocks 1.. arriving in order
  kPending,    // a download went wrong; only a complete new download clears it
};

// Everything the drive remembers between commands: what a simulated PC saves with its state
// and gives back to a drive it builds again.
struct DriveState {
  std::string revision;  // INQUIRY revision, 4 characters
  std::int8_t build = 0;
  bool medium_present = true;
  bool medium_on_open_tray = false;  // ejected by command; loading takes it back in
  bool removal_prevented = false;
  DownloadState download = DownloadState::kIdle;
  std::uint32_t blocks_received = 0;         // of the current or last download
  std::vector<std::uint8_t> received_image;  // plain image as received, zero where none arrived
  std::optional<SenseCode> pending_attention;
  bool identification_ready = false;  // an identification query awaits RECEIVE DIAGNOSTIC RESULTS
};

}  // namespace fwu::emulator
