#pragma once

#include <cstdint>
#include <string_view>

namespace fwu {

// How one start of the program ended.
enum class RunOutcome : std::uint8_t {
  kRefused,        // the system, the power or the user did not allow the run; a message said why
  kSecondCopy,     // another copy runs: ended without a word
  kNothingToDo,    // no drive needs the update (or none was found); a message said so
  kDeclined,       // "Not Agree", CANCEL on the restart notice, or a dialog that could not be
                   // shown: nothing was changed
  kPrepared,       // settings changed and recorded, the next start arranged, Windows restarting
  kRestored,       // the main dialog ended; settings restored and Windows restarting
  kLeftUnchanged,  // the main dialog ended with nothing to restore
};

// A short description for logs and the simulated PC.
constexpr std::string_view DescriptionOf(RunOutcome outcome) {
  switch (outcome) {
    case RunOutcome::kRefused:
      return "refused to run";
    case RunOutcome::kSecondCopy:
      return "another copy is running";
    case RunOutcome::kNothingToDo:
      return "nothing to update";
    case RunOutcome::kDeclined:
      return "declined by the user";
    case RunOutcome::kPrepared:
      return "system prepared, restart requested";
    case RunOutcome::kRestored:
      return "settings restored, restart requested";
    case RunOutcome::kLeftUnchanged:
      return "main dialog closed, nothing to restore";
  }
  return "unknown";
}

}  // namespace fwu
