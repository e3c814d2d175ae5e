#pragma once

#include "resources/drive_messages.h"
#include "resources/text_pair.h"

// What the start-up sequence tells the user before it ends, in message boxes without an owner
// and with the caption kMessageBoxCaption.
namespace fwu::texts {

// The version query failed: the same text the ASPI transport shows when it binds the library.
inline constexpr const TextPair& kVersionUnavailable = kCannotGetOsInformation;
extern const TextPair kUnknownOperatingSystem;
extern const TextPair kPowerStatusUnavailable;
extern const TextPair kConnectAcAdapter;
// A restart is pending for another user's run.
extern const TextPair kDifferentUser;
// No drive needs the update and at least one is up to date.
extern const TextPair kFirmwareUpToDate;
// No listed drive passed the identity tests.
extern const TextPair kDriveNotFound;

}  // namespace fwu::texts
