#include "platform/win32/win32_locale.h"

#include <mbctype.h>

#include "platform/win32/windows_api.h"

namespace fwu::win32 {

int Win32Locale::MultibyteCodePage() const {
  // The runtime reads 0 for a single-byte code page; some runtimes give its number instead
  // (Wine's), so a code page counts only when its characters can take two bytes.
  const int code_page = _getmbcp();
  CPINFO info{};
  if (code_page == 0 || GetCPInfo(static_cast<UINT>(code_page), &info) == FALSE ||
      info.MaxCharSize < 2) {
    return 0;
  }
  return code_page;
}

}  // namespace fwu::win32
