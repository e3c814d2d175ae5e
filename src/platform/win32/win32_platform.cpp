#include "platform/win32/win32_platform.h"

#include <string>
#include <string_view>

#include "platform/win32/windows_api.h"
#include "resources/message_language.h"
#include "resources/update_texts.h"

namespace fwu::win32 {

namespace {

// A text of the program (ASCII, or code page 932 bytes under a Japanese system) in the UTF-16
// that the system's newer calls take.
std::wstring Widened(std::string_view text) {
  if (text.empty()) {
    return {};
  }
  const int length =
      MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (length <= 0) {
    return {};
  }
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
  return wide;
}

// What Windows shows a user who tries to end the session during the update.
std::wstring UpdateShutdownReason(const platform::Locale& locale) {
  return Widened(texts::kNowUpdating.In(CurrentMessageLanguage(locale)));
}

}  // namespace

Win32Platform::Win32Platform(std::uint32_t wait_divisor)
    : clock_(wait_divisor),
      dialogs_(&threads_, UpdateShutdownReason(locale_)),
      bundle_{system_, locale_, registry_, aspi_, pass_through_, threads_, clock_, dialogs_} {}

}  // namespace fwu::win32
