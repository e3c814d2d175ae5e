#pragma once

#include <cstdint>

// Identifiers of the dialog resources, their controls, the icon, the menu and the string table,
// as the resource script carries them.
namespace fwu::ids {

inline constexpr int kIcon = 128;
inline constexpr int kMainMenu = 129;
inline constexpr int kStringAboutEntry = 101;
// Controls that no code addresses (labels, frames).
inline constexpr int kUnaddressed = -1;
// The OK and cancel ids of every dialog.
inline constexpr int kOk = 1;
inline constexpr int kCancel = 2;

// Main update dialog.
inline constexpr int kUpdateDialog = 102;
inline constexpr int kDriveList = 1000;
inline constexpr int kEmptyStatic = 103;
inline constexpr int kDriveLabel = 104;
inline constexpr int kStatusLine = 115;
inline constexpr int kCurrentRevision = 1004;
inline constexpr int kNewVersion = 1005;
inline constexpr int kUpdateStart = 1006;
inline constexpr int kCancelButton = 1007;
inline constexpr int kUnusedEdit1 = 1008;
inline constexpr int kUnusedEdit2 = 1010;
inline constexpr int kUnusedEdit3 = 1011;
inline constexpr int kProgressBar = 1012;
inline constexpr std::uint32_t kMenuAbout = 0x8004;
inline constexpr std::uint32_t kSystemMenuAbout = 0x0010;
inline constexpr std::uint32_t kProgressTimer = 107;

// About box.
inline constexpr int kAboutDialog = 100;
inline constexpr int kAboutVersion = 1004;
inline constexpr int kAboutModel = 1005;

// Agreement dialog.
inline constexpr int kAgreementDialog = 131;
inline constexpr int kAgreementText = 1004;
inline constexpr int kAgree = 1;
inline constexpr int kNotAgree = 2;

// Notices: each has its own text control; the reboot pair has a visible cancel button.
inline constexpr int kWarningNotice = 132;
inline constexpr int kCancelNotice = 133;
inline constexpr int kCancelNoticeJapanese = 134;
inline constexpr int kWarningNoticeJapanese = 135;
inline constexpr int kEndNotice = 136;
inline constexpr int kEndNoticeJapanese = 137;
inline constexpr int kStartNotice = 138;
inline constexpr int kStartNoticeJapanese = 139;
inline constexpr int kRebootNotice = 140;
inline constexpr int kRebootNoticeJapanese = 141;
inline constexpr int kWarningText = 102;
inline constexpr int kRebootText = 105;
inline constexpr int kRebootTextJapanese = 106;
inline constexpr int kWarningTextJapanese = 108;
inline constexpr int kCancelText = 109;
inline constexpr int kCancelTextJapanese = 110;
inline constexpr int kEndText = 111;
inline constexpr int kEndTextJapanese = 112;
inline constexpr int kStartText = 113;
inline constexpr int kStartTextJapanese = 114;
inline constexpr int kRebootCancel = 1006;

}  // namespace fwu::ids
