#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/win32/windows_api.h"

namespace fwu::test {

// Which top-level dialog to look for: visible, of the given process or thread (0: any), and
// holding a control with the given id (0: any). With enabled_only, only the dialog the user can
// work with now, not one that a modal dialog on top of it has disabled.
struct DialogQuery {
  DWORD process = 0;
  DWORD thread = 0;
  int control = 0;
  bool enabled_only = true;
};

// Dialogs as the user sees them, from outside: found among the top-level windows, read through
// their texts, and worked by posting the messages that a click or a key sends.
HWND FindDialog(const DialogQuery& query);
// nullptr when none turns up within the time.
HWND WaitForDialog(const DialogQuery& query, DWORD timeout_ms);
// Polls the condition until it holds or the time is up; returns its last answer.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeout_ms);

// Texts come as the ANSI calls give them: in the system's code page.
std::string WindowTextOf(HWND window);
std::string ControlTextOf(HWND dialog, int control);
// Every child window's text, one per line, in the order of the children (a message box's text).
std::string ChildTextsOf(HWND dialog);

bool ControlEnabled(HWND dialog, int control);
bool ControlVisible(HWND dialog, int control);
int ProgressPosition(HWND dialog, int control);

// What a click on the button sends its dialog.
void Click(HWND dialog, int control);
// What the Escape key sends: a key press to the window that has the focus.
void PressEscape(HWND dialog);
// What choosing an entry of a drop-down list sends: the new selection, then the notice to the
// dialog.
void Choose(HWND dialog, int control, int index);

// The text in UTF-8, for output; the system's code page is taken as the source.
std::string Utf8Of(const std::string& ansi);

}  // namespace fwu::test
