#pragma once

// The Windows API as the program's own Windows code includes it, with the common controls.
// windows.h defines ExitWindows as a macro, which is also the name of an operation of the
// core's system services; the macro is taken back here.
#include <windows.h>
// After windows.h, whose types it needs.
#include <commctrl.h>

#undef ExitWindows
