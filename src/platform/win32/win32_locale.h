#pragma once

#include "platform/locale.h"

namespace fwu::win32 {

// The C runtime's current multibyte code page, which the runtime takes from the system's ANSI
// code page at start when that is a multibyte one, and sets to 0 otherwise.
class Win32Locale final : public platform::Locale {
 public:
  int MultibyteCodePage() const override;
};

}  // namespace fwu::win32
