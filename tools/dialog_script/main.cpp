// Build-time tool: the Windows program's dialog and menu resources, written as resource script
// statements from the layout table the dialog logic and the other hosts use.
//
//   dialog_script <out.rc>   writes the statements; a file that already holds them is left as
//                            it is, so that the resources are not compiled again for nothing
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "resources/dialog_ids.h"
#include "resources/dialog_templates.h"
#include "resources/message_language.h"

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

// A string literal of the script: a quote is doubled, a backslash escaped.
std::string Quoted(std::string_view text) {
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"') {
      quoted += "\"\"";
    } else if (c == '\\') {
      quoted += "\\\\";
    } else {
      quoted += c;
    }
  }
  return quoted + "\"";
}

std::string Joined(const std::vector<std::string_view>& flags) {
  std::string joined;
  for (const std::string_view flag : flags) {
    if (!joined.empty()) {
      joined += " | ";
    }
    joined += flag;
  }
  return joined;
}

// The window styles that the statement of the control's kind does not give by itself. Flags to
// add come first, those to take away ("NOT") last, so that no later flag brings one back.
std::string StyleOf(const fwu::ControlTemplate& control) {
  const fwu::ControlStyle& style = control.style;
  std::vector<std::string_view> added;
  std::vector<std::string_view> removed;
  if (control.kind == fwu::ControlKind::kDropDownList) {
    added.emplace_back("CBS_DROPDOWNLIST");
  }
  if (control.kind == fwu::ControlKind::kIcon) {
    added.emplace_back("SS_ICON");
  }
  if (style.centred_vertically) {
    added.emplace_back("SS_CENTERIMAGE");
  }
  if (style.no_prefix) {
    added.emplace_back("SS_NOPREFIX");
  }
  if (style.multiline) {
    added.emplace_back("ES_MULTILINE");
  }
  if (style.auto_scroll) {
    added.emplace_back("ES_AUTOHSCROLL");
  }
  if (style.read_only) {
    added.emplace_back("ES_READONLY");
  }
  if (style.keeps_selection) {
    added.emplace_back("ES_NOHIDESEL");
  }
  if (style.vertical_scroll_bar) {
    added.emplace_back("WS_VSCROLL");
  }
  for (const auto& [toggle, flag] :
       {std::pair{style.border, "WS_BORDER"}, std::pair{style.tab_stop, "WS_TABSTOP"}}) {
    if (toggle == fwu::Toggle::kOn) {
      added.emplace_back(flag);
    } else if (toggle == fwu::Toggle::kOff) {
      removed.emplace_back(flag);
    }
  }
  if (style.group_start) {
    added.emplace_back("WS_GROUP");
  }
  if (!control.enabled) {
    added.emplace_back("WS_DISABLED");
  }
  if (!control.visible) {
    removed.emplace_back("WS_VISIBLE");
  }
  std::string text = Joined(added);
  for (const std::string_view flag : removed) {
    text += text.empty() ? "NOT " : " | NOT ";
    text += flag;
  }
  return text;
}

// One control statement: the keyword of its kind, its caption where the kind has one, its id,
// its rectangle and its further styles.
std::string ControlStatement(const fwu::ControlTemplate& control) {
  using fwu::ControlKind;
  const std::string text = Quoted(control.text);
  const std::string id = std::to_string(control.id);
  std::string statement;
  switch (control.kind) {
    case ControlKind::kStatic:
      statement = (control.style.right_aligned ? "RTEXT " : "LTEXT ") + text + ", " + id;
      break;
    case ControlKind::kEdit:
    case ControlKind::kDropDownList:
      if (!std::string_view(control.text).empty()) {
        throw std::invalid_argument("control " + id + ": an edit field or list has no caption");
      }
      statement = (control.kind == ControlKind::kEdit ? "EDITTEXT " : "COMBOBOX ") + id;
      break;
    case ControlKind::kPushButton:
      statement = "PUSHBUTTON " + text + ", " + id;
      break;
    case ControlKind::kDefaultButton:
      statement = "DEFPUSHBUTTON " + text + ", " + id;
      break;
    case ControlKind::kGroupBox:
      statement = "GROUPBOX " + text + ", " + id;
      break;
    case ControlKind::kProgressBar:
      statement = "CONTROL " + text + ", " + id + ", \"msctls_progress32\"";
      break;
    case ControlKind::kIcon:
      statement = "CONTROL " + std::to_string(fwu::ids::kIcon) + ", " + id + ", \"Static\"";
      break;
  }
  const std::string style = StyleOf(control);
  // CONTROL states its style before the rectangle, the other statements after it.
  const bool style_first = statement.starts_with("CONTROL ");
  if (style_first) {
    statement += ", " + (style.empty() ? std::string("0") : style);
  }
  const fwu::DialogRect& rect = control.rect;
  statement += ", " + std::to_string(rect.x) + ", " + std::to_string(rect.y) + ", " +
               std::to_string(rect.width) + ", " + std::to_string(rect.height);
  if (!style_first && !style.empty()) {
    statement += ", " + style;
  }
  return statement;
}

void WriteLanguage(std::ostream& out, fwu::MessageLanguage language) {
  out << (language == fwu::MessageLanguage::kJapanese
              ? "LANGUAGE LANG_JAPANESE, SUBLANG_DEFAULT\n"
              : "LANGUAGE LANG_ENGLISH, SUBLANG_ENGLISH_US\n")
      << '\n';
}

void WriteDialog(std::ostream& out, const fwu::DialogTemplate& dialog) {
  std::vector<std::string_view> style{"DS_MODALFRAME"};
  if (dialog.centred) {
    style.emplace_back("DS_CENTER");
  }
  style.insert(style.end(), {"WS_POPUP", "WS_CAPTION"});
  if (dialog.system_menu) {
    style.emplace_back("WS_SYSMENU");
  }
  out << dialog.id << " DIALOG 0, 0, " << dialog.width << ", " << dialog.height << '\n'
      << "STYLE " << Joined(style) << '\n'
      << "CAPTION " << Quoted(dialog.title) << '\n';
  if (dialog.menu != 0) {
    out << "MENU " << dialog.menu << '\n';
  }
  out << "FONT " << dialog.font_size << ", " << Quoted(dialog.font) << '\n' << "BEGIN\n";
  for (const fwu::ControlTemplate& control : dialog.controls) {
    out << "    " << ControlStatement(control) << '\n';
  }
  out << "END\n\n";
}

void WriteMenu(std::ostream& out, int menu_id) {
  out << menu_id << " MENU\nBEGIN\n";
  for (const fwu::MenuItemTemplate& item : fwu::MenuItems(menu_id)) {
    out << "    MENUITEM " << Quoted(item.text) << ", " << item.command << '\n';
  }
  out << "END\n\n";
}

std::string Script() {
  std::ostringstream out;
  out << "// Generated from src/resources/dialog_templates.cpp by tools/dialog_script when the\n"
         "// program is built; change the table, not this file.\n"
         "#pragma code_page(65001)\n\n";
  WriteLanguage(out, fwu::MessageLanguage::kEnglish);
  WriteMenu(out, fwu::ids::kMainMenu);
  fwu::MessageLanguage language = fwu::MessageLanguage::kEnglish;
  for (const fwu::DialogTemplate& dialog : fwu::DialogTemplates()) {
    if (dialog.language != language) {
      language = dialog.language;
      WriteLanguage(out, language);
    }
    WriteDialog(out, dialog);
  }
  if (language != fwu::MessageLanguage::kEnglish) {
    WriteLanguage(out, fwu::MessageLanguage::kEnglish);
  }
  return out.str();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: dialog_script <out.rc>\n";
    return kExitUsage;
  }
  try {
    const std::string script = Script();
    {
      std::ifstream existing(argv[1], std::ios::binary);
      const std::string old{std::istreambuf_iterator<char>(existing), {}};
      if (existing && old == script) {
        return 0;
      }
    }
    std::ofstream file(argv[1], std::ios::binary | std::ios::trunc);
    file << script;
    if (!file.flush()) {
      std::cerr << "dialog_script: cannot write " << argv[1] << '\n';
      return kExitFailure;
    }
  } catch (const std::exception& error) {
    std::cerr << "dialog_script: " << error.what() << '\n';
    return kExitFailure;
  }
  return 0;
}
