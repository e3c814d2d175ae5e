#include "resources/dialog_templates.h"

#include <algorithm>
#include <array>

#include "resources/dialog_captions.h"
#include "resources/dialog_ids.h"

namespace fwu {

namespace {

using K = ControlKind;

constexpr const char* kFixedSys = "FixedSys";
constexpr const char* kEnglishNoticeFont = "Arial";

// Edit fields that scroll sideways; the program fills some of them and the user types in none.
constexpr ControlStyle kField{.auto_scroll = true};
constexpr ControlStyle kReadOnlyField{.auto_scroll = true, .read_only = true};
// Texts shown as they stand: an '&' in them is no mnemonic.
constexpr ControlStyle kPlainText{.no_prefix = true};

constexpr auto kUpdateControls = std::to_array<ControlTemplate>({
    {ids::kDriveLabel,
     K::kStatic,
     {67, 7, 65, 11},
     "CD-Drive",
     true,
     true,
     {.right_aligned = true, .centred_vertically = true}},
    {ids::kDriveList,
     K::kDropDownList,
     {134, 7, 169, 95},
     "",
     true,
     true,
     {.vertical_scroll_bar = true, .tab_stop = Toggle::kOn}},
    {ids::kEmptyStatic, K::kStatic, {8, 36, 58, 24}, ""},
    {ids::kStatusLine, K::kStatic, {5, 79, 172, 9}, "", true, true, {.centred_vertically = true}},
    {ids::kUpdateStart, K::kPushButton, {185, 67, 77, 17}, "Update Start", true, false},
    {ids::kCancelButton, K::kDefaultButton, {268, 67, 36, 17}, "CANCEL"},
    {ids::kProgressBar, K::kProgressBar, {4, 90, 300, 10}, "", true, true, {.border = Toggle::kOn}},
    {ids::kCurrentRevision, K::kEdit, {8, 20, 50, 12}, "", false, true, kReadOnlyField},
    {ids::kNewVersion, K::kEdit, {8, 50, 50, 12}, "", false, true, kReadOnlyField},
    {ids::kUnusedEdit1, K::kEdit, {70, 20, 50, 12}, "", false, true, kField},
    {ids::kUnusedEdit2, K::kEdit, {70, 35, 50, 12}, "", false, true, kField},
    {ids::kUnusedEdit3, K::kEdit, {70, 50, 50, 12}, "", false, true, kField},
    {ids::kUnaddressed, K::kStatic, {8, 8, 58, 8}, "Current Firmware Version", false},
    {ids::kUnaddressed, K::kGroupBox, {4, 40, 120, 26}, "Update Firmware Ver.", false},
    {ids::kCancel, K::kPushButton, {268, 50, 36, 14}, "Cancel", false},
});

constexpr auto kAboutControls = std::to_array<ControlTemplate>({
    {ids::kUnaddressed, K::kIcon, {6, 22, 20, 20}, ""},
    {ids::kUnaddressed,
     K::kStatic,
     {18, 8, 75, 8},
     "Firmware Update Utility",
     true,
     true,
     kPlainText},
    {ids::kUnaddressed, K::kStatic, {152, 8, 30, 8}, "Ver.5.2.0", true, true, kPlainText},
    {ids::kAboutModel,
     K::kEdit,
     {40, 22, 92, 10},
     "",
     true,
     true,
     {.auto_scroll = true, .read_only = true, .border = Toggle::kOff}},
    {ids::kOk, K::kDefaultButton, {158, 22, 34, 16}, "OK", true, true, {.group_start = true}},
    {ids::kUnaddressed, K::kStatic, {38, 36, 42, 8}, "Firm Version", false},
    {ids::kAboutVersion, K::kEdit, {84, 34, 64, 12}, "", false, true, kReadOnlyField},
    {ids::kUnaddressed,
     K::kStatic,
     {4, 48, 196, 8},
     "Copyright (C) QUENTAR Corporation. All rights reserved.",
     true,
     true,
     kPlainText},
});

constexpr auto kAgreementControls = std::to_array<ControlTemplate>({
    {ids::kAgreementText,
     K::kEdit,
     {1, 4, 307, 130},
     "",
     true,
     true,
     {.read_only = true,
      .multiline = true,
      .keeps_selection = true,
      .vertical_scroll_bar = true,
      .border = Toggle::kOn,
      .tab_stop = Toggle::kOn}},
    {ids::kAgree,
     K::kPushButton,
     {185, 137, 50, 14},
     "Agree",
     true,
     true,
     {.tab_stop = Toggle::kOff}},
    {ids::kNotAgree,
     K::kDefaultButton,
     {258, 137, 50, 14},
     "Not Agree",
     true,
     true,
     {.tab_stop = Toggle::kOn}},
});

// A notice: its text at the top left, OK below it, and the cancel id on a button nobody sees.
template <int kTextControl, int kTextWidth, int kTextHeight>
constexpr std::array<ControlTemplate, 3> NoticeControls() {
  constexpr int kButtonTop = 7 + kTextHeight + 4;
  return {{
      {kTextControl, K::kStatic, {7, 7, kTextWidth, kTextHeight}, ""},
      {ids::kOk, K::kDefaultButton, {7 + (kTextWidth - 50) / 2, kButtonTop, 50, 14}, "OK"},
      {ids::kCancel,
       K::kPushButton,
       {7 + (kTextWidth - 50) / 2, kButtonTop, 50, 14},
       "",
       false,
       false},
  }};
}

// The reboot pair: OK and the cancel button share a row, and the cancel button is the default.
template <int kTextControl, int kTextHeight>
constexpr std::array<ControlTemplate, 4> RebootControls(const char* cancel_caption) {
  constexpr int kButtonTop = 7 + kTextHeight + 4;
  return {{
      {kTextControl, K::kStatic, {7, 7, 173, kTextHeight}, ""},
      {ids::kOk, K::kPushButton, {40, kButtonTop, 50, 14}, "OK"},
      {ids::kRebootCancel, K::kDefaultButton, {97, kButtonTop, 50, 14}, cancel_caption},
      {ids::kCancel, K::kPushButton, {97, kButtonTop, 50, 14}, "", false, false},
  }};
}

constexpr auto kWarningControls = NoticeControls<ids::kWarningText, 154, 24>();
constexpr auto kWarningJapaneseControls = NoticeControls<ids::kWarningTextJapanese, 151, 26>();
constexpr auto kCancelControls = NoticeControls<ids::kCancelText, 153, 16>();
constexpr auto kCancelJapaneseControls = NoticeControls<ids::kCancelTextJapanese, 149, 17>();
constexpr auto kEndControls = NoticeControls<ids::kEndText, 153, 24>();
constexpr auto kEndJapaneseControls = NoticeControls<ids::kEndTextJapanese, 153, 26>();
constexpr auto kStartControls = NoticeControls<ids::kStartText, 165, 40>();
constexpr auto kStartJapaneseControls = NoticeControls<ids::kStartTextJapanese, 183, 41>();
constexpr auto kRebootControls = RebootControls<ids::kRebootText, 32>("CANCEL");
constexpr auto kRebootJapaneseControls =
    RebootControls<ids::kRebootTextJapanese, 33>(captions::kRebootCancelJapanese);

constexpr const char* kJapaneseFont = captions::kJapaneseNoticeFont;

constexpr auto kMainMenuItems = std::to_array<MenuItemTemplate>({{ids::kMenuAbout, "About"}});

constexpr auto kJapanese = MessageLanguage::kJapanese;

constexpr auto kTemplates = std::to_array<DialogTemplate>({
    {ids::kUpdateDialog, 310, 106, kFixedSys, 14, "Firmware Update Utility", false, ids::kMainMenu,
     kUpdateControls, MessageLanguage::kEnglish, true},
    {ids::kAboutDialog, 207, 61, "MS Sans Serif", 10, "About  Firmware Update Utility", true, 0,
     kAboutControls},
    {ids::kAgreementDialog, 310, 152, kFixedSys, 14, "", true, 0, kAgreementControls},
    {ids::kWarningNotice, 171, 51, kEnglishNoticeFont, 10, "", false, 0, kWarningControls},
    {ids::kWarningNoticeJapanese, 167, 58, kJapaneseFont, 10, "", false, 0,
     kWarningJapaneseControls, kJapanese},
    {ids::kCancelNotice, 167, 47, kEnglishNoticeFont, 10, "", false, 0, kCancelControls},
    {ids::kCancelNoticeJapanese, 163, 50, kJapaneseFont, 10, "", false, 0, kCancelJapaneseControls,
     kJapanese},
    {ids::kEndNotice, 167, 55, kEnglishNoticeFont, 10, "", false, 0, kEndControls},
    {ids::kEndNoticeJapanese, 167, 58, kJapaneseFont, 10, "", false, 0, kEndJapaneseControls,
     kJapanese},
    {ids::kStartNotice, 179, 72, kEnglishNoticeFont, 10, "", false, 0, kStartControls},
    {ids::kStartNoticeJapanese, 197, 74, kJapaneseFont, 10, "", false, 0, kStartJapaneseControls,
     kJapanese},
    {ids::kRebootNotice, 187, 65, kEnglishNoticeFont, 10, "", false, 0, kRebootControls},
    {ids::kRebootNoticeJapanese, 187, 66, kJapaneseFont, 10, "", false, 0, kRebootJapaneseControls,
     kJapanese},
});

}  // namespace

std::span<const DialogTemplate> DialogTemplates() {
  return kTemplates;
}

const DialogTemplate* FindDialogTemplate(int id) {
  const auto* found = std::find_if(kTemplates.begin(), kTemplates.end(),
                                   [id](const DialogTemplate& dialog) { return dialog.id == id; });
  return found == kTemplates.end() ? nullptr : found;
}

const ControlTemplate* FindControl(const DialogTemplate& dialog, int id) {
  if (id == ids::kUnaddressed) {
    return nullptr;
  }
  const auto found =
      std::find_if(dialog.controls.begin(), dialog.controls.end(),
                   [id](const ControlTemplate& control) { return control.id == id; });
  return found == dialog.controls.end() ? nullptr : &*found;
}

std::span<const MenuItemTemplate> MenuItems(int menu_id) {
  if (menu_id == ids::kMainMenu) {
    return kMainMenuItems;
  }
  return {};
}

}  // namespace fwu
