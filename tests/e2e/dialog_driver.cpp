// Works the program's dialogs from outside, as a user would, for the end-to-end runs under
// Wine: waits for a dialog, prints what it shows, waits for its state, and presses a button.
//
//   fwu_dialog_driver [--title TEXT] [--control ID] [--without ID] [--timeout SECONDS]
//                     [--until-enabled ID] [--until-progress ID:MIN] [--until-text ID:TEXT]
//                     [--click ID] [--escape] [--gone] [--disabled-too]
//
// The dialog is the visible, enabled top-level dialog of any process whose title is TEXT
// (ASCII), that holds every --control and none of the --without controls; with --disabled-too
// also one that a modal dialog on top of it has disabled. --gone waits until
// no such dialog is left. Prints the title and the texts of the controls in UTF-8 and exits
// with 0; with 1 when the dialog or its state does not come within the time (30 s).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/win32/handle_cast.h"
#include "platform/win32/windows_api.h"
#include "win32/window_probe.h"

namespace {

using fwu::test::ControlTextOf;
using fwu::test::Utf8Of;
using fwu::test::WindowTextOf;

struct Options {
  std::string title;
  bool has_title = false;
  std::vector<int> controls;
  std::vector<int> without;
  DWORD timeout_ms = 30000;
  int until_enabled = 0;
  int progress_control = 0;
  int progress_minimum = 0;
  int text_control = 0;
  std::string text;
  int click = 0;
  bool escape = false;
  bool gone = false;
  bool disabled_too = false;
};

struct Search {
  const Options* options = nullptr;
  HWND found = nullptr;
};

BOOL CALLBACK Consider(HWND window, LPARAM parameter) {
  auto* search = fwu::win32::PointerFrom<Search*>(parameter);
  const Options& options = *search->options;
  char name[16] = {};
  if (IsWindowVisible(window) == FALSE ||
      (!options.disabled_too && IsWindowEnabled(window) == FALSE) ||
      GetClassNameA(window, name, sizeof name) == 0 || std::strcmp(name, "#32770") != 0) {
    return TRUE;
  }
  if (options.has_title && WindowTextOf(window) != options.title) {
    return TRUE;
  }
  for (const int control : options.controls) {
    if (GetDlgItem(window, control) == nullptr) {
      return TRUE;
    }
  }
  for (const int control : options.without) {
    if (GetDlgItem(window, control) != nullptr) {
      return TRUE;
    }
  }
  search->found = window;
  return FALSE;
}

HWND Find(const Options& options) {
  Search search;
  search.options = &options;
  EnumWindows(&Consider, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

BOOL CALLBACK PrintControl(HWND window, LPARAM /*parameter*/) {
  const std::string text = WindowTextOf(window);
  if (!text.empty() && IsWindowVisible(window) != FALSE) {
    std::printf("control %d: %s\n", GetDlgCtrlID(window), Utf8Of(text).c_str());
  }
  return TRUE;
}

bool StateReached(HWND dialog, const Options& options) {
  if (options.until_enabled != 0 && !fwu::test::ControlEnabled(dialog, options.until_enabled)) {
    return false;
  }
  if (options.progress_control != 0 &&
      fwu::test::ProgressPosition(dialog, options.progress_control) < options.progress_minimum) {
    return false;
  }
  return options.text_control == 0 ||
         Utf8Of(ControlTextOf(dialog, options.text_control)) == options.text;
}

bool Parse(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string flag = argv[i];
    const bool has_value = i + 1 < argc;
    const char* value = has_value ? argv[i + 1] : "";
    if (flag == "--escape") {
      options.escape = true;
      continue;
    }
    if (flag == "--gone") {
      options.gone = true;
      continue;
    }
    if (flag == "--disabled-too") {
      options.disabled_too = true;
      continue;
    }
    if (!has_value) {
      return false;
    }
    ++i;
    if (flag == "--title") {
      options.title = value;
      options.has_title = true;
    } else if (flag == "--control") {
      options.controls.push_back(std::atoi(value));
    } else if (flag == "--without") {
      options.without.push_back(std::atoi(value));
    } else if (flag == "--timeout") {
      options.timeout_ms = static_cast<DWORD>(std::atoi(value)) * 1000U;
    } else if (flag == "--until-enabled") {
      options.until_enabled = std::atoi(value);
    } else if (flag == "--until-progress" && std::strchr(value, ':') != nullptr) {
      options.progress_control = std::atoi(value);
      options.progress_minimum = std::atoi(std::strchr(value, ':') + 1);
    } else if (flag == "--until-text" && std::strchr(value, ':') != nullptr) {
      options.text_control = std::atoi(value);
      options.text = std::strchr(value, ':') + 1;
    } else if (flag == "--click") {
      options.click = std::atoi(value);
    } else {
      return false;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!Parse(argc, argv, options)) {
    std::fprintf(stderr, "usage: see the head of dialog_driver.cpp\n");
    return 2;
  }
  if (options.gone) {
    const bool gone =
        fwu::test::WaitUntil([&] { return Find(options) == nullptr; }, options.timeout_ms);
    std::printf(gone ? "gone\n" : "still there\n");
    return gone ? 0 : 1;
  }
  HWND dialog = nullptr;
  const bool reached = fwu::test::WaitUntil(
      [&] { return (dialog = Find(options)) != nullptr && StateReached(dialog, options); },
      options.timeout_ms);
  if (dialog == nullptr) {
    std::printf("no such dialog\n");
    return 1;
  }
  std::printf("title: %s\n", Utf8Of(WindowTextOf(dialog)).c_str());
  EnumChildWindows(dialog, &PrintControl, 0);
  if (!reached) {
    std::printf("state not reached\n");
    return 1;
  }
  if (options.escape) {
    fwu::test::PressEscape(dialog);
  }
  if (options.click != 0) {
    fwu::test::Click(dialog, options.click);
  }
  std::fflush(stdout);
  return 0;
}
