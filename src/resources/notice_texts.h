#pragma once

#include "resources/text_pair.h"

// What the notices say. The reboot pair starts empty; its caller puts in one of the two
// reboot texts.
namespace fwu::texts {

extern const TextPair kWarningNotice;
extern const TextPair kCancelNotice;
extern const TextPair kEndNotice;
extern const TextPair kStartNotice;
extern const TextPair kRebootNotice;

// The program has arranged to start again by itself after the restart.
extern const TextPair kRebootWillResume;
// The user has to start the program again after the restart.
extern const TextPair kRebootRunAgain;

}  // namespace fwu::texts
