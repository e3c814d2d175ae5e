// Works the program's dialogs from outside, as a user would, for the end-to-end runs under
// Wine: waits for a dialog, prints what it shows, waits for its state, and presses a button.
//
//   fwu_dialog_driver [--title TEXT] [--control ID] [--without ID] [--timeout SECONDS]
//                     [--until-enabled ID] [--until-disabled ID] [--until-progress ID:MIN]
//                     [--until-text ID:TEXT] [--check-layout] [--choose ID:INDEX]
//                     [--click ID] [--escape] [--gone] [--disabled-too]
//
// The dialog is the visible, enabled top-level dialog of any process whose title is TEXT
// (ASCII), that holds every --control and none of the --without controls; with --disabled-too
// also one that a modal dialog on top of it has disabled. --gone waits until no such dialog is
// left. Has what is to be painted painted, prints the title and the texts of the controls in
// UTF-8 and exits with 0; with 1 when the dialog or its state does not come within the time
// (30 s).
// --check-layout looks for what a user would find cut off: the dialog reaching beyond the
// screen's work area, a control reaching beyond the dialog, a text that needs more room than
// its control has; each is printed, and any makes the exit status 1. --choose picks an entry
// of a drop-down list as the user does (after the state is reached, before a click).
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
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
  int until_disabled = 0;
  int progress_control = 0;
  int progress_minimum = 0;
  int text_control = 0;
  std::string text;
  int click = 0;
  int choose_control = 0;
  int choose_index = 0;
  bool check_layout = false;
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
  if (options.until_disabled != 0 && fwu::test::ControlEnabled(dialog, options.until_disabled)) {
    return false;
  }
  if (options.progress_control != 0 &&
      fwu::test::ProgressPosition(dialog, options.progress_control) < options.progress_minimum) {
    return false;
  }
  return options.text_control == 0 ||
         Utf8Of(ControlTextOf(dialog, options.text_control)) == options.text;
}

struct LayoutCheck {
  HWND dialog = nullptr;
  HFONT font = nullptr;
  RECT client{};
  int controls = 0;
  std::vector<std::string> faults;
};

std::string SizeText(const RECT& rect) {
  return std::to_string(rect.right - rect.left) + "x" + std::to_string(rect.bottom - rect.top);
}

// The dialog's font as the dialog manager makes it from the template at this screen's dpi. The
// program's own font handles belong to its process; the template is read from the program's
// file beside this driver, and found by the ids of its controls.
class TemplateFont {
 public:
  explicit TemplateFont(HWND dialog) {
    EnumChildWindows(dialog, &CollectId, reinterpret_cast<LPARAM>(&ids_));
    std::sort(ids_.begin(), ids_.end());
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string program = path;
    program = program.substr(0, program.find_last_of('\\') + 1) + "XTM7731UP.exe";
    HMODULE module = LoadLibraryExA(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (module == nullptr) {
      return;
    }
    EnumResourceNamesA(module, MAKEINTRESOURCEA(5), &Consider, reinterpret_cast<LONG_PTR>(this));
    FreeLibrary(module);
    if (!face_.empty()) {
      HDC screen = GetDC(nullptr);
      const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
      ReleaseDC(nullptr, screen);
      font_ = CreateFontW(-MulDiv(points_, dpi, 72), 0, 0, 0, FW_DONTCARE, FALSE, FALSE, FALSE,
                          DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                          DEFAULT_PITCH | FF_DONTCARE, face_.c_str());
    }
  }
  TemplateFont(const TemplateFont&) = delete;
  TemplateFont& operator=(const TemplateFont&) = delete;
  ~TemplateFont() {
    if (font_ != nullptr) {
      DeleteObject(font_);
    }
  }

  HFONT Font() const { return font_; }

 private:
  static constexpr WORD kUnaddressed = 0xFFFF;

  static BOOL CALLBACK CollectId(HWND control, LPARAM parameter) {
    const auto id = static_cast<WORD>(GetDlgCtrlID(control));
    if (id != kUnaddressed) {
      fwu::win32::PointerFrom<std::vector<WORD>*>(parameter)->push_back(id);
    }
    return TRUE;
  }

  // A name or ordinal field of a template: 0, 0xFFFF and a number, or a string.
  static const WORD* Skip(const WORD* at) {
    if (*at == 0) {
      return at + 1;
    }
    if (*at == 0xFFFF) {
      return at + 2;
    }
    while (*at != 0) {
      ++at;
    }
    return at + 1;
  }

  // Items start on 4-byte boundaries; the fields before them keep 2-byte ones.
  static const WORD* AlignDword(const WORD* at) {
    return (reinterpret_cast<std::uintptr_t>(at) & 2U) != 0 ? at + 1 : at;
  }

  static BOOL CALLBACK Consider(HMODULE module, LPCSTR /*type*/, LPSTR name, LONG_PTR parameter) {
    auto* self = fwu::win32::PointerFrom<TemplateFont*>(parameter);
    HRSRC found = FindResourceA(module, name, MAKEINTRESOURCEA(5));
    HGLOBAL loaded = found == nullptr ? nullptr : LoadResource(module, found);
    const auto* header =
        static_cast<const DLGTEMPLATE*>(loaded == nullptr ? nullptr : LockResource(loaded));
    // Only the plain DIALOG form (an extended one opens with version 1 and 0xFFFF).
    if (header == nullptr || HIWORD(header->style) == 0xFFFF || (header->style & DS_SETFONT) == 0) {
      return TRUE;
    }
    const WORD* at = Skip(Skip(Skip(reinterpret_cast<const WORD*>(header + 1))));
    const WORD points = *at++;
    const std::wstring face(reinterpret_cast<const wchar_t*>(at));
    at += face.size() + 1;
    std::vector<WORD> ids;
    for (WORD item = 0; item < header->cdit; ++item) {
      at = AlignDword(at);
      const auto* control = reinterpret_cast<const DLGITEMTEMPLATE*>(at);
      if (control->id != kUnaddressed) {
        ids.push_back(control->id);
      }
      at = Skip(Skip(reinterpret_cast<const WORD*>(control + 1)));
      const WORD extra = *at++;
      at = reinterpret_cast<const WORD*>(reinterpret_cast<const BYTE*>(at) + extra);
    }
    std::sort(ids.begin(), ids.end());
    if (ids != self->ids_) {
      return TRUE;
    }
    self->points_ = points;
    self->face_ = face;
    return FALSE;
  }

  std::vector<WORD> ids_;
  int points_ = 0;
  std::wstring face_;
  HFONT font_ = nullptr;
};

// The room a control's text needs in the dialog's font: buttons and group boxes on one line,
// other statics wrapped at the control's width.
std::optional<RECT> NeededRoom(HWND control, HFONT font, const std::string& text, const RECT& room,
                               bool wraps, LONG style) {
  HDC dc = GetDC(control);
  if (dc == nullptr || font == nullptr) {
    return std::nullopt;
  }
  HGDIOBJ previous = SelectObject(dc, font);
  RECT needed{0, 0, wraps ? room.right - room.left : 0, 0};
  UINT format = DT_CALCRECT | (wraps ? DT_WORDBREAK : DT_SINGLELINE);
  if ((style & SS_NOPREFIX) != 0 && wraps) {
    format |= DT_NOPREFIX;
  }
  const bool measured =
      DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &needed, format) != 0;
  SelectObject(dc, previous);
  ReleaseDC(control, dc);
  return measured ? std::optional<RECT>(needed) : std::nullopt;
}

BOOL CALLBACK CheckControl(HWND control, LPARAM parameter) {
  auto* check = fwu::win32::PointerFrom<LayoutCheck*>(parameter);
  if (IsWindowVisible(control) == FALSE || GetParent(control) != check->dialog) {
    return TRUE;
  }
  ++check->controls;
  const std::string name = "control " + std::to_string(GetDlgCtrlID(control));
  RECT rect{};
  GetWindowRect(control, &rect);
  MapWindowPoints(nullptr, check->dialog, reinterpret_cast<POINT*>(&rect), 2);
  if (rect.left < 0 || rect.top < 0 || rect.right > check->client.right ||
      rect.bottom > check->client.bottom) {
    check->faults.push_back(name + " reaches beyond the dialog");
  }
  char class_name[32] = {};
  GetClassNameA(control, class_name, sizeof class_name);
  const bool button = lstrcmpiA(class_name, "Button") == 0;
  const LONG style = GetWindowLongA(control, GWL_STYLE);
  const LONG kind = style & (button ? BS_TYPEMASK : SS_TYPEMASK);
  const bool text_static =
      lstrcmpiA(class_name, "Static") == 0 &&
      (kind == SS_LEFT || kind == SS_CENTER || kind == SS_RIGHT || kind == SS_LEFTNOWORDWRAP);
  const bool text_button =
      button && (kind == BS_PUSHBUTTON || kind == BS_DEFPUSHBUTTON || kind == BS_GROUPBOX);
  const std::string text = WindowTextOf(control);
  if (text.empty() || (!text_static && !text_button)) {
    return TRUE;
  }
  RECT room{};
  GetClientRect(control, &room);
  const bool wraps = text_static && kind != SS_LEFTNOWORDWRAP;
  const std::optional<RECT> needed = NeededRoom(control, check->font, text, room, wraps, style);
  if (!needed) {
    check->faults.push_back(name + ": its text cannot be measured");
  } else if (needed->right - needed->left > room.right - room.left ||
             (wraps && needed->bottom - needed->top > room.bottom - room.top)) {
    check->faults.push_back(name + " \"" + Utf8Of(text) + "\" needs " + SizeText(*needed) +
                            ", has " + SizeText(room));
  }
  return TRUE;
}

// Prints what does not fit; true when everything does.
bool LayoutFits(HWND dialog) {
  const TemplateFont font(dialog);
  LayoutCheck check;
  check.dialog = dialog;
  check.font = font.Font();
  if (check.font == nullptr) {
    check.faults.emplace_back("no dialog template of the program has these controls");
  }
  GetClientRect(dialog, &check.client);
  RECT frame{};
  RECT work{};
  GetWindowRect(dialog, &frame);
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  if (frame.left < work.left || frame.top < work.top || frame.right > work.right ||
      frame.bottom > work.bottom) {
    check.faults.push_back("the dialog (" + SizeText(frame) + ") reaches beyond the work area (" +
                           SizeText(work) + ")");
  }
  EnumChildWindows(dialog, &CheckControl, reinterpret_cast<LPARAM>(&check));
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  std::printf("layout at %d dpi: dialog %s, %d controls, %zu faults\n", dpi,
              SizeText(frame).c_str(), check.controls, check.faults.size());
  for (const std::string& fault : check.faults) {
    std::printf("layout fault: %s\n", fault.c_str());
  }
  return check.faults.empty();
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
    if (flag == "--check-layout") {
      options.check_layout = true;
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
    } else if (flag == "--until-disabled") {
      options.until_disabled = std::atoi(value);
    } else if (flag == "--choose" && std::strchr(value, ':') != nullptr) {
      options.choose_control = std::atoi(value);
      options.choose_index = std::atoi(std::strchr(value, ':') + 1);
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
  // What is to be painted is painted before anyone looks at the screen.
  RedrawWindow(dialog, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
  std::printf("title: %s\n", Utf8Of(WindowTextOf(dialog)).c_str());
  EnumChildWindows(dialog, &PrintControl, 0);
  if (!reached) {
    std::printf("state not reached\n");
    return 1;
  }
  if (options.check_layout && !LayoutFits(dialog)) {
    return 1;
  }
  if (options.choose_control != 0) {
    fwu::test::Choose(dialog, options.choose_control, options.choose_index);
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
