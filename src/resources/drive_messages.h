#pragma once

#include <string_view>

#include "resources/text_pair.h"

namespace fwu::texts {

// The caption of every message box the program shows, the same in both languages.
inline constexpr std::string_view kMessageBoxCaption = "Firmware Update Utility";

// Error text of a failed device open; printf format with the Windows error code.
extern const TextPair kGetHandleError;

// Messages of the ASPI transport when it binds the library at program start.
extern const TextPair kCannotGetOsInformation;
extern const TextPair kAspiInitializeFail;

}  // namespace fwu::texts
