// The Windows program's entry: the common controls, every seam on the Windows API, and one
// run of the program. No command line is read.
#include "app/program.h"
#include "platform/win32/system_function.h"
#include "platform/win32/win32_platform.h"
#include "platform/win32/windows_api.h"

// A test build of the program divides its waits so that an update under Wine takes seconds;
// the program that ships waits in full.
#ifndef FWU_WAIT_DIVISOR
#define FWU_WAIT_DIVISOR 1
#endif

namespace {

// The progress bar's class. Versions of the common controls before 4.70 have only the plain
// call, which registers every class they know.
void RegisterCommonControls() {
  using InitFunction = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
  const auto init =
      fwu::win32::SystemFunction<InitFunction>("comctl32.dll", "InitCommonControlsEx");
  if (init != nullptr) {
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_PROGRESS_CLASS;
    if (init(&controls) != FALSE) {
      return;
    }
  }
  InitCommonControls();
}

}  // namespace

int WINAPI WinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, LPSTR /*command_line*/,
                   int /*show*/) {
  RegisterCommonControls();
  fwu::win32::Win32Platform platform(FWU_WAIT_DIVISOR);
  fwu::Program program(platform.Bundle());
  return program.Run();
}
