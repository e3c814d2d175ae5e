#pragma once

namespace fwu::platform {

// The legacy text encoding of the system the program runs on.
class Locale {
 public:
  virtual ~Locale() = default;

  // The runtime's current multibyte code page: the system's ANSI code page when that is a
  // multibyte one (932, 936, 949, 950), otherwise 0.
  virtual int MultibyteCodePage() const = 0;
};

}  // namespace fwu::platform
