#pragma once

#include <functional>

#include "platform/dialog_host.h"
#include "platform/win32/windows_api.h"

namespace fwu::test {

inline constexpr DWORD kDialogTimeoutMs = 5000;

// Runs the dialog modally on the calling thread, as the program does, while the script works
// it from a second thread once its window is shown: the script sees the window as the user
// does and acts on it with posted and sent messages. `control` names a control the dialog
// holds, which tells it apart from others. A dialog that the script leaves open ends the test
// program, since nothing else could close it.
int RunModalWithScript(platform::DialogHost& host, platform::DialogLogic& logic, int control,
                       const std::function<void(HWND)>& script, platform::WindowHandle parent = 0);

// Whether the system runs with the Japanese ANSI code page, under which the program speaks
// Japanese.
bool JapaneseSystem();

}  // namespace fwu::test
