#pragma once

#include <span>

#include "resources/message_language.h"

namespace fwu {

// The dialog resources as data: what a host needs to build each dialog's window, the initial
// texts and states of the controls. The Windows program's dialog resources are generated from
// this table when it is built (tools/dialog_script), so both always agree.
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

// A window style that a control's kind may or may not have of itself.
enum class Toggle : unsigned char { kKindDefault, kOn, kOff };

// How a control looks and behaves beyond its kind, as the Windows resource states it. The other
// hosts have no use for it.
struct ControlStyle {
  bool right_aligned = false;       // a static text's text against its right edge
  bool centred_vertically = false;  // a static text's line in the middle of its height
  bool no_prefix = false;           // '&' shown as it stands, not as a mnemonic
  bool auto_scroll = false;         // an edit field scrolls sideways instead of stopping
  bool read_only = false;
  bool multiline = false;
  bool keeps_selection = false;  // the selection stays shown without the focus
  bool vertical_scroll_bar = false;
  Toggle border = Toggle::kKindDefault;
  Toggle tab_stop = Toggle::kKindDefault;
  bool group_start = false;
};

struct ControlTemplate {
  int id = 0;
  ControlKind kind = ControlKind::kStatic;
  DialogRect rect{};
  const char* text = "";  // initial caption, in the program's encoding
  bool visible = true;
  bool enabled = true;
  ControlStyle style{};
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
  MessageLanguage language = MessageLanguage::kEnglish;  // the resource's language
  bool centred = false;                                  // opens in the middle of the screen
};

// Every dialog template, in the order the resources list them.
std::span<const DialogTemplate> DialogTemplates();

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
