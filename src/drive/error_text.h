#pragma once

#include <functional>
#include <string>

#include "drive/request_status.h"
#include "drive/scsi_request.h"

namespace fwu {

// Receives the message for an ASPI completion code that has no text of its own ("Aspi Error :
// <completion text>"). The user has to see it at once, so the ASPI transport wires this to an
// exclamation beep and a modal message box with the exclamation icon.
using UnknownCompletionReporter = std::function<void(const std::string& message)>;

// The ASPI transport's error text for a command that ended with `result` (anything but SS_COMP):
// the command name, " Status : " and what went wrong, down to the sense codes of a check
// condition. An unexpected completion code is also handed to `report`.
void ComposeAspiErrorText(ScsiRequest& request, RequestStatus result,
                          const UnknownCompletionReporter& report);

// The pass-through transport's error text for a command whose drive status was not GOOD. A check
// condition gives the bare sense codes and records them in `last_check_condition`.
void ComposePassThroughErrorText(ScsiRequest& request);

}  // namespace fwu
