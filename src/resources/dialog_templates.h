#pragma once

#include <span>

namespace fwu {

// The dialog resources as data: what a host needs to build each dialog's window (the Windows
// program's resource script carries the same), the initial texts and states of the controls.
enum class ControlKind : unsigned char {
  kStatic,
  kEdit,
  kPushButton,
  kDefaultButton,
  kDropDownList,
  kProgressBar,
  kGroupBox,
  kIcon,
};

// Dialog units.
struct DialogRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};

struct ControlTemplate {
  int id = 0;
  ControlKind kind = ControlKind::kStatic;
  DialogRect rect{};
  const char* text = "";  // initial caption, in the program's encoding
  bool visible = true;
  bool enabled = true;
};

struct DialogTemplate {
  int id = 0;
  int width = 0;
  int height = 0;
  const char* font = "";
  int font_size = 0;
  const char* title = "";
  bool system_menu = false;  // with its close box
  int menu = 0;              // 0: no menu bar
  std::span<const ControlTemplate> controls{};
};

struct MenuItemTemplate {
  unsigned int command = 0;
  const char* text = "";
};

// Nullptr for an id the program has no resource for.
const DialogTemplate* FindDialogTemplate(int id);

// The control of the template with the given id; nullptr when it has none.
const ControlTemplate* FindControl(const DialogTemplate& dialog, int id);

// The commands of a menu resource; empty for an id the program has no menu for.
std::span<const MenuItemTemplate> MenuItems(int menu_id);

}  // namespace fwu
