#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/win32/windows_api.h"

namespace fwu::test {

// A dialog template as the program's resources hold it (the classic DLGTEMPLATE form), decoded:
// what the dialog manager builds the window from.
struct ResourceControl {
  int id = 0;
  std::uint32_t style = 0;
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  std::string class_name;  // a predefined class by its name ("Button", "Static", ...)
  std::wstring text;
  int icon = 0;  // a control whose text is a resource id (the icon)
};

struct ResourceDialog {
  std::uint32_t style = 0;
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  int menu = 0;
  std::wstring title;
  int font_size = 0;
  std::wstring font;
  std::vector<ResourceControl> controls;
};

// The template of the given id in the module's resources, in the given language (0: any).
std::optional<ResourceDialog> ReadDialogTemplate(HMODULE module, int id, WORD language = 0);

}  // namespace fwu::test
