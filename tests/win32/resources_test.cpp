// The compiled resources against the templates as data, which the dialog logic and the other
// hosts use and from which the build writes the dialogs and the menu: every dialog with its
// size, font, title, styles and controls, the notices' languages, the string table, the menu,
// the icon, the version and the manifest.
#include <cstring>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "dialogs/notice_dialog.h"
#include "platform/win32/windows_api.h"
#include "resources/dialog_ids.h"
#include "resources/dialog_templates.h"
#include "resources/update_texts.h"
#include "win32/dialog_template_reader.h"

namespace fwu::test {
namespace {

constexpr WORD kEnglishUs = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
constexpr WORD kJapanese = MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT);

// The texts of the data are in the program's encoding: ASCII, or code page 932 for Japanese.
std::string InProgramEncoding(const std::wstring& text) {
  if (text.empty()) {
    return {};
  }
  const int length = WideCharToMultiByte(932, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(932, 0, text.data(), static_cast<int>(text.size()), bytes.data(), length,
                      nullptr, nullptr);
  return bytes;
}

HMODULE Program() {
  return GetModuleHandleA(nullptr);
}

struct TemplateLanguage {
  int id;
  WORD language;
};

constexpr TemplateLanguage kTemplates[] = {
    {ids::kAboutDialog, kEnglishUs},          {ids::kUpdateDialog, kEnglishUs},
    {ids::kAgreementDialog, kEnglishUs},      {ids::kWarningNotice, kEnglishUs},
    {ids::kCancelNotice, kEnglishUs},         {ids::kCancelNoticeJapanese, kJapanese},
    {ids::kWarningNoticeJapanese, kJapanese}, {ids::kEndNotice, kEnglishUs},
    {ids::kEndNoticeJapanese, kJapanese},     {ids::kStartNotice, kEnglishUs},
    {ids::kStartNoticeJapanese, kJapanese},   {ids::kRebootNotice, kEnglishUs},
    {ids::kRebootNoticeJapanese, kJapanese},
};

// The resource compiler may write a class by its number or by its name, in capitals; the system
// takes both and ignores the case.
bool IsClass(const ResourceControl& control, const char* name) {
  return lstrcmpiA(control.class_name.c_str(), name) == 0;
}

bool KindMatches(ControlKind kind, const ResourceControl& control) {
  const std::uint32_t button_type = control.style & 0x0FU;
  switch (kind) {
    case ControlKind::kStatic:
      return IsClass(control, "Static") && (control.style & SS_TYPEMASK) <= SS_RIGHT;
    case ControlKind::kIcon:
      return IsClass(control, "Static") && (control.style & SS_TYPEMASK) == SS_ICON;
    case ControlKind::kEdit:
      return IsClass(control, "Edit");
    case ControlKind::kPushButton:
      return IsClass(control, "Button") && button_type == BS_PUSHBUTTON;
    case ControlKind::kDefaultButton:
      return IsClass(control, "Button") && button_type == BS_DEFPUSHBUTTON;
    case ControlKind::kGroupBox:
      return IsClass(control, "Button") && button_type == BS_GROUPBOX;
    case ControlKind::kDropDownList:
      return IsClass(control, "ComboBox") && (control.style & 0x3U) == CBS_DROPDOWNLIST;
    case ControlKind::kProgressBar:
      return IsClass(control, "msctls_progress32");
  }
  return false;
}

TEST(ProgramResources, EveryDialogTemplateIsTheOneTheDialogsAreBuiltFor) {
  for (const TemplateLanguage& entry : kTemplates) {
    SCOPED_TRACE(entry.id);
    const DialogTemplate* expected = FindDialogTemplate(entry.id);
    ASSERT_NE(expected, nullptr);
    const auto dialog = ReadDialogTemplate(Program(), entry.id, entry.language);
    ASSERT_TRUE(dialog.has_value()) << "no template in language " << entry.language;

    EXPECT_EQ(dialog->width, expected->width);
    EXPECT_EQ(dialog->height, expected->height);
    EXPECT_EQ(InProgramEncoding(dialog->font), expected->font);
    EXPECT_EQ(dialog->font_size, expected->font_size);
    EXPECT_EQ(InProgramEncoding(dialog->title), expected->title);
    EXPECT_EQ(dialog->menu, expected->menu);
    EXPECT_EQ((dialog->style & WS_SYSMENU) != 0, expected->system_menu);
    EXPECT_EQ((dialog->style & DS_CENTER) != 0, expected->centred);
    EXPECT_EQ(entry.language == kJapanese, expected->language == MessageLanguage::kJapanese);
    EXPECT_EQ(dialog->style & (WS_POPUP | WS_CAPTION | DS_MODALFRAME),
              static_cast<std::uint32_t>(WS_POPUP | WS_CAPTION | DS_MODALFRAME));

    ASSERT_EQ(dialog->controls.size(), expected->controls.size());
    for (std::size_t i = 0; i < dialog->controls.size(); ++i) {
      const ResourceControl& control = dialog->controls[i];
      const ControlTemplate& wanted = expected->controls[i];
      SCOPED_TRACE(wanted.id);
      EXPECT_EQ(control.id, wanted.id);
      EXPECT_EQ(control.x, wanted.rect.x);
      EXPECT_EQ(control.y, wanted.rect.y);
      EXPECT_EQ(control.width, wanted.rect.width);
      EXPECT_EQ(control.height, wanted.rect.height);
      EXPECT_TRUE(KindMatches(wanted.kind, control))
          << control.class_name << " " << std::hex << control.style;
      if (wanted.kind == ControlKind::kIcon) {
        EXPECT_EQ(control.icon, ids::kIcon);
      } else {
        EXPECT_EQ(InProgramEncoding(control.text), wanted.text);
      }
      EXPECT_EQ((control.style & WS_VISIBLE) != 0, wanted.visible);
      EXPECT_EQ((control.style & WS_DISABLED) == 0, wanted.enabled);
    }
  }
}

TEST(ProgramResources, EachNoticeExistsOnlyInItsOwnLanguage) {
  for (const TemplateLanguage& entry : kTemplates) {
    const WORD other = entry.language == kJapanese ? kEnglishUs : kJapanese;
    EXPECT_EQ(FindResourceExA(Program(), MAKEINTRESOURCEA(5), MAKEINTRESOURCEA(entry.id), other),
              nullptr)
        << entry.id;
  }
}

ResourceControl ControlOf(int dialog_id, int control_id) {
  const auto dialog = ReadDialogTemplate(Program(), dialog_id);
  for (const ResourceControl& control : dialog.value().controls) {
    if (control.id == control_id) {
      return control;
    }
  }
  ADD_FAILURE() << "no control " << control_id << " in " << dialog_id;
  return {};
}

// What each control's style in the data comes to in the Windows styles, beyond its kind.
TEST(ProgramResources, StylesBeyondEachControlsKind) {
  const auto main = ReadDialogTemplate(Program(), ids::kUpdateDialog);
  ASSERT_TRUE(main.has_value());
  EXPECT_NE(main->style & DS_CENTER, 0U);
  EXPECT_EQ(ControlOf(ids::kUpdateDialog, ids::kDriveLabel).style & (SS_TYPEMASK | SS_CENTERIMAGE),
            static_cast<std::uint32_t>(SS_RIGHT | SS_CENTERIMAGE));
  EXPECT_NE(ControlOf(ids::kUpdateDialog, ids::kStatusLine).style & SS_CENTERIMAGE, 0U);
  EXPECT_NE(ControlOf(ids::kUpdateDialog, ids::kDriveList).style & WS_VSCROLL, 0U);
  EXPECT_NE(ControlOf(ids::kUpdateDialog, ids::kProgressBar).style & WS_BORDER, 0U);
  EXPECT_NE(ControlOf(ids::kUpdateDialog, ids::kCurrentRevision).style & ES_READONLY, 0U);
  EXPECT_NE(ControlOf(ids::kUpdateDialog, ids::kNewVersion).style & ES_READONLY, 0U);

  const std::uint32_t text_field = ControlOf(ids::kAgreementDialog, ids::kAgreementText).style;
  const std::uint32_t wanted =
      ES_MULTILINE | ES_READONLY | ES_NOHIDESEL | WS_VSCROLL | WS_BORDER | WS_TABSTOP;
  EXPECT_EQ(text_field & wanted, wanted);
  EXPECT_EQ(ControlOf(ids::kAgreementDialog, ids::kAgree).style & WS_TABSTOP, 0U);
  EXPECT_NE(ControlOf(ids::kAgreementDialog, ids::kNotAgree).style & WS_TABSTOP, 0U);

  const std::uint32_t model = ControlOf(ids::kAboutDialog, ids::kAboutModel).style;
  EXPECT_NE(model & ES_READONLY, 0U);
  EXPECT_EQ(model & WS_BORDER, 0U);
  EXPECT_NE(ControlOf(ids::kAboutDialog, ids::kAboutVersion).style & ES_READONLY, 0U);
}

std::string LoadedString(UINT id) {
  char buffer[256] = {};
  const int length = LoadStringA(Program(), id, buffer, sizeof buffer);
  return std::string(buffer, length > 0 ? static_cast<std::size_t>(length) : 0);
}

TEST(ProgramResources, StringTableHoldsTheAboutEntryAndTheNoticesControlNames) {
  EXPECT_EQ(LoadedString(ids::kStringAboutEntry), texts::kSystemMenuAbout);
  for (const auto notice :
       {dialogs::Notice::kWarning, dialogs::Notice::kCancel, dialogs::Notice::kEnd,
        dialogs::Notice::kStart, dialogs::Notice::kReboot}) {
    const dialogs::NoticeEntry& entry = dialogs::NoticeEntryOf(notice);
    for (const dialogs::NoticeResource& resource : {entry.english, entry.japanese}) {
      EXPECT_EQ(LoadedString(static_cast<UINT>(resource.text_control)), resource.name);
    }
  }
}

TEST(ProgramResources, MainMenuHoldsTheAboutCommand) {
  HMENU menu = LoadMenuA(Program(), MAKEINTRESOURCEA(ids::kMainMenu));
  ASSERT_NE(menu, nullptr);
  const auto items = MenuItems(ids::kMainMenu);
  ASSERT_EQ(GetMenuItemCount(menu), static_cast<int>(items.size()));
  for (std::size_t i = 0; i < items.size(); ++i) {
    const auto position = static_cast<int>(i);
    EXPECT_EQ(GetMenuItemID(menu, position), items[i].command);
    char text[64] = {};
    GetMenuStringA(menu, static_cast<UINT>(position), text, sizeof text, MF_BYPOSITION);
    EXPECT_STREQ(text, items[i].text);
  }
  DestroyMenu(menu);
}

TEST(ProgramResources, IconComesInBothSizesTheWindowUses) {
  for (const int size : {32, 16}) {
    HANDLE icon = LoadImageA(Program(), MAKEINTRESOURCEA(ids::kIcon), IMAGE_ICON, size, size, 0);
    ASSERT_NE(icon, nullptr) << size;
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(static_cast<HICON>(icon), &info));
    BITMAP bitmap{};
    GetObjectA(info.hbmMask, sizeof bitmap, &bitmap);
    EXPECT_EQ(bitmap.bmWidth, size);
    DeleteObject(info.hbmMask);
    DeleteObject(info.hbmColor);
    DestroyIcon(static_cast<HICON>(icon));
  }
}

std::string_view ResourceBytes(LPCSTR type, int id) {
  HRSRC resource = FindResourceA(Program(), MAKEINTRESOURCEA(id), type);
  if (resource == nullptr) {
    return {};
  }
  const auto* data = static_cast<const char*>(LockResource(LoadResource(Program(), resource)));
  return {data, SizeofResource(Program(), resource)};
}

TEST(ProgramResources, ManifestAsksForCommonControls6AndAdministratorRights) {
  const std::string_view manifest = ResourceBytes(MAKEINTRESOURCEA(24), 1);
  EXPECT_NE(manifest.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""),
            std::string_view::npos);
  EXPECT_NE(manifest.find("level=\"requireAdministrator\""), std::string_view::npos);
}

TEST(ProgramResources, VersionIsTheProgramsOwn) {
  const std::string_view version = ResourceBytes(MAKEINTRESOURCEA(16), 1);
  constexpr std::uint32_t kSignature = 0xFEEF04BD;
  std::size_t at = 0;
  for (; at + 16 <= version.size(); at += 4) {
    std::uint32_t word = 0;
    std::memcpy(&word, version.data() + at, 4);
    if (word == kSignature) {
      break;
    }
  }
  ASSERT_LE(at + 16, version.size()) << "no fixed file information";
  std::uint32_t file_version[2] = {};
  std::memcpy(file_version, version.data() + at + 8, sizeof file_version);
  const std::string dotted = std::to_string(file_version[0] >> 16U) + "." +
                             std::to_string(file_version[0] & 0xFFFFU) + "." +
                             std::to_string(file_version[1] >> 16U);
  EXPECT_EQ(dotted, FWU_PROGRAM_VERSION);
  // The About box shows the same version.
  const DialogTemplate* about = FindDialogTemplate(ids::kAboutDialog);
  ASSERT_NE(about, nullptr);
  bool shown = false;
  for (const ControlTemplate& control : about->controls) {
    shown = shown || std::string_view(control.text) == "Ver." + dotted;
  }
  EXPECT_TRUE(shown);
}

}  // namespace
}  // namespace fwu::test
