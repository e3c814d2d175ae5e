#pragma once

#include <string_view>

#include "resources/text_pair.h"

// The terms of use and the agreement dialog's own texts.
namespace fwu::texts {

// printf formats: the English one names the model ("%s") in instructions 1 and 5, the Japanese
// one in instruction 1. Lines end in CR LF.
extern const TextPair kAgreementTerms;

extern const TextPair kAgreeCaption;
extern const TextPair kNotAgreeCaption;

// The title is this prefix followed directly by the model name.
inline constexpr std::string_view kAgreementTitlePrefix = "Firmware Update Utility For  ";

}  // namespace fwu::texts
