#pragma once

#include <string_view>

#include "resources/text_pair.h"

// Texts of the main update dialog, its drive checks and the update it runs.
namespace fwu::texts {

// Every message box of the program has this caption, in both languages.
inline constexpr std::string_view kMessageCaption = "Firmware Update Utility";
// The main window's title; "%s" is the model name.
inline constexpr std::string_view kUpdateTitleFormat = "Firmware Update Utility Ver.5.2.0 for  %s";
// The system-menu entry that opens the About box (string resource 101).
inline constexpr std::string_view kSystemMenuAbout = "About Firmware Update Utility...";

extern const TextPair kDriveLabel;
extern const TextPair kAboutMenuItem;
extern const TextPair kUpdateStartCaption;
extern const TextPair kCancelCaption;

extern const TextPair kScanComplete;
extern const TextPair kNowUpdating;
extern const TextPair kUpdateFailedStatus;
extern const TextPair kUpdateFailedMessage;
extern const TextPair kUpdateComplete;
// Put before the transport's error text when an update cannot start.
extern const TextPair kErrorPrefix;

// The status line of each drive check outcome.
extern const TextPair kNotSupportedDriveStatus;
extern const TextPair kNotSupportedFirmwareStatus;
extern const TextPair kUpdateUnnecessaryStatus;
extern const TextPair kUpdateAllowedStatus;

// Refusals of the start-time check.
extern const TextPair kNotSupportVersion;
extern const TextPair kNotSupport;

}  // namespace fwu::texts
