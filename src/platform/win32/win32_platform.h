#pragma once

#include <cstdint>

#include "platform/platform.h"
#include "platform/win32/win32_aspi_library.h"
#include "platform/win32/win32_clock.h"
#include "platform/win32/win32_dialog_host.h"
#include "platform/win32/win32_locale.h"
#include "platform/win32/win32_pass_through_driver.h"
#include "platform/win32/win32_registry.h"
#include "platform/win32/win32_system_services.h"
#include "platform/win32/win32_threads.h"

namespace fwu::win32 {

// Every seam of the core on the Windows API, built once by the program's entry.
class Win32Platform {
 public:
  // wait_divisor: see Win32Clock; 1 for the program that ships.
  explicit Win32Platform(std::uint32_t wait_divisor = 1);
  Win32Platform(const Win32Platform&) = delete;
  Win32Platform& operator=(const Win32Platform&) = delete;

  platform::Platform& Bundle() { return bundle_; }

 private:
  Win32SystemServices system_;
  Win32Locale locale_;
  Win32Registry registry_;
  Win32AspiLibrary aspi_;
  Win32PassThroughDriver pass_through_;
  Win32Threads threads_;
  Win32Clock clock_;
  Win32DialogHost dialogs_;
  platform::Platform bundle_;
};

}  // namespace fwu::win32
