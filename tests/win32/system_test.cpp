// The kernel and shell seams on the real calls: the version, the single-instance mutex, the
// program's file and the current directory, power and screen saver, the privilege calls of the
// restart, the runtime's code page, the pass-through driver's calls and the ASPI library's
// memory, events, loading and message pump.
#include <cstring>
#include <string>

#include <direct.h>
#include <gtest/gtest.h>

#include "platform/win32/handle_cast.h"
#include "platform/win32/win32_aspi_library.h"
#include "platform/win32/win32_locale.h"
#include "platform/win32/win32_pass_through_driver.h"
#include "platform/win32/win32_system_services.h"
#include "platform/win32/windows_api.h"
#include "win32/import_hook.h"

namespace fwu::win32 {
namespace {

bool IsNtFamily() {
  return (GetVersion() & 0x80000000U) == 0;
}

TEST(Win32SystemServices, VersionIsTheOneWindowsReports) {
  Win32SystemServices services;
  platform::OsVersion version;
  ASSERT_TRUE(services.QueryVersion(version));
  EXPECT_EQ(version.platform_id,
            IsNtFamily() ? platform::kPlatformWindowsNt : platform::kPlatformWindows9x);
  EXPECT_EQ(version.major, LOBYTE(LOWORD(GetVersion())));
  EXPECT_EQ(version.minor, HIBYTE(LOWORD(GetVersion())));
}

TEST(Win32SystemServices, SecondCopyFindsTheMutexTheFirstHolds) {
  Win32SystemServices services;
  const std::string name = "FwuWin32Tests" + std::to_string(GetCurrentProcessId());
  for (const std::string& mutex_name : {name, "Global\\" + name}) {
    bool existed = true;
    const platform::MutexHandle first = services.CreateNamedMutex(mutex_name.c_str(), existed);
    ASSERT_NE(first, 0U) << mutex_name;
    EXPECT_FALSE(existed);
    const platform::MutexHandle second = services.CreateNamedMutex(mutex_name.c_str(), existed);
    EXPECT_NE(second, 0U);
    EXPECT_TRUE(existed);
    services.ReleaseNamedMutex(first);
    CloseHandle(PointerFrom<HANDLE>(second));
    CloseHandle(PointerFrom<HANDLE>(first));
  }
}

TEST(Win32SystemServices, ProgramFileAndCurrentDirectory) {
  Win32SystemServices services;
  const std::string program = services.ProgramFilePath();
  const std::string file = "\\fwu_win32_tests.exe";
  ASSERT_GT(program.size(), file.size());
  EXPECT_EQ(lstrcmpiA(program.substr(program.size() - file.size()).c_str(), file.c_str()), 0);

  char expected[1024] = {};
  ASSERT_NE(_getcwd(expected, sizeof expected), nullptr);
  std::string directory;
  ASSERT_TRUE(services.CurrentDirectory(directory, 1024));
  EXPECT_EQ(directory, expected);
  // A buffer without room for the terminating zero cannot take it.
  const auto exact = static_cast<std::uint32_t>(std::strlen(expected));
  EXPECT_FALSE(services.CurrentDirectory(directory, exact));
  EXPECT_TRUE(services.CurrentDirectory(directory, exact + 1));
}

TEST(Win32SystemServices, PowerAndScreenSaverStateCanBeRead) {
  Win32SystemServices services;
  platform::PowerStatus power;
  EXPECT_TRUE(services.QueryPowerStatus(power));
  std::uint32_t active = 2;
  EXPECT_TRUE(services.ReadScreenSaverActive(active));
  EXPECT_LE(active, 1U);
}

TEST(Win32SystemServices, ShutdownPrivilegeCanBeEnabledOnTheNtFamily) {
  if (!IsNtFamily()) {
    GTEST_SKIP() << "Windows 9x has no privileges";
  }
  Win32SystemServices services;
  EXPECT_EQ(services.OpenProcessTokenForPrivileges(), 1);
  EXPECT_EQ(services.LookupShutdownPrivilege(), 1);
  EXPECT_EQ(services.EnableShutdownPrivilege(), 1);
  services.CloseProcessToken();
  services.CloseProcessToken();
}

// The runs under Wine name the code page they set up; a run meant to be Japanese that is not
// would test the English texts twice.
TEST(Win32Locale, SystemHasTheCodePageTheRunAsksFor) {
  char wanted[16] = {};
  if (GetEnvironmentVariableA("FWU_EXPECTED_ANSI_CODE_PAGE", wanted, sizeof wanted) == 0) {
    GTEST_SKIP() << "the run names no code page";
  }
  EXPECT_EQ(std::to_string(GetACP()), wanted);
}

TEST(Win32Locale, MultibyteCodePageIsTheAnsiCodePageOnlyWhenThatIsMultibyte) {
  const UINT ansi = GetACP();
  const bool multibyte = ansi == 932 || ansi == 936 || ansi == 949 || ansi == 950;
  EXPECT_EQ(Win32Locale().MultibyteCodePage(), multibyte ? static_cast<int>(ansi) : 0);
}

TEST(Win32PassThroughDriver, DriveLettersDevicesAndErrorTexts) {
  Win32PassThroughDriver driver;
  EXPECT_EQ(driver.DriveTypeOf("C:\\"), static_cast<std::uint32_t>(DRIVE_FIXED));

  EXPECT_EQ(driver.OpenDevice("\\\\.\\FwuNoSuchDevice"), platform::kInvalidDevice);
  const std::uint32_t error = driver.LastError();
  EXPECT_NE(error, 0U);

  char text[256] = {};
  EXPECT_GT(driver.SystemMessageText(error, text, sizeof text), 0U);
  EXPECT_NE(text[0], '\0');
  EXPECT_EQ(driver.SystemMessageText(0x2FFFFFFF, text, sizeof text), 0U);
  EXPECT_EQ(driver.LastError(), platform::kErrorMrMidNotFound);
}

// The system's text for an error code is asked for in any language (0), so that the system
// falls back through the thread's, the user's and its own language to English. Asked for in the
// user's language alone, it has no text where that language's messages are not installed, and
// the user reads "Format message failed." instead of the reason.
struct FormatMessageCall {
  DWORD flags = 0;
  DWORD language = 0xFFFFFFFF;
};
FormatMessageCall last_format_message;
ImportHook* format_message_hook = nullptr;

DWORD WINAPI RecordFormatMessageA(DWORD flags, LPCVOID source, DWORD message_id, DWORD language,
                                  LPSTR buffer, DWORD size, va_list* arguments) {
  last_format_message = {flags, language};
  using Function = DWORD(WINAPI*)(DWORD, LPCVOID, DWORD, DWORD, LPSTR, DWORD, va_list*);
  const auto original =
      reinterpret_cast<Function>(reinterpret_cast<void (*)()>(format_message_hook->Original()));
  return original(flags, source, message_id, language, buffer, size, arguments);
}

TEST(Win32PassThroughDriver, SystemTextsAreAskedForInAnyLanguageWithoutInserts) {
  ImportHook hook("kernel32.dll", "FormatMessageA",
                  reinterpret_cast<void*>(reinterpret_cast<void (*)()>(&RecordFormatMessageA)));
  ASSERT_TRUE(hook.Installed());
  format_message_hook = &hook;
  Win32PassThroughDriver driver;
  char text[80] = {};
  EXPECT_GT(driver.SystemMessageText(ERROR_FILE_NOT_FOUND, text, sizeof text), 0U);
  format_message_hook = nullptr;
  EXPECT_EQ(last_format_message.language, 0U);
  EXPECT_EQ(last_format_message.flags,
            static_cast<DWORD>(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS));
}

TEST(Win32AspiLibrary, LockedMemoryIsZeroFilledAndReleased) {
  Win32AspiLibrary aspi;
  auto* memory = static_cast<std::uint8_t*>(aspi.AllocateLocked(88));
  ASSERT_NE(memory, nullptr);
  for (std::size_t i = 0; i < 88; ++i) {
    ASSERT_EQ(memory[i], 0) << i;
  }
  std::memset(memory, 0xA5, 88);
  aspi.ReleaseLocked(memory);
  aspi.ReleaseLocked(nullptr);
}

TEST(Win32AspiLibrary, CompletionEventIsAutoResetAndStartsUnsignalled) {
  Win32AspiLibrary aspi;
  const platform::EventHandle event = aspi.CreateCompletionEvent();
  ASSERT_NE(event, nullptr);
  EXPECT_FALSE(aspi.WaitForCompletion(event, 0));
  SetEvent(event);
  EXPECT_TRUE(aspi.WaitForCompletion(event, 0));
  EXPECT_FALSE(aspi.WaitForCompletion(event, 0));
  SetEvent(event);
  aspi.ResetCompletionEvent(event);
  EXPECT_FALSE(aspi.WaitForCompletion(event, 10));
  aspi.CloseCompletionEvent(event);
}

TEST(Win32AspiLibrary, LibraryAndEntryPoints) {
  Win32AspiLibrary aspi;
  EXPECT_EQ(aspi.LoadAspi("FwuNoSuchLibrary.dll"), 0U);
  const platform::ModuleHandle module = aspi.LoadAspi("kernel32.dll");
  ASSERT_NE(module, 0U);
  EXPECT_TRUE(aspi.HasEntryPoint(module, "GetTickCount"));
  EXPECT_FALSE(aspi.HasEntryPoint(module, "GetASPI32SupportInfo"));
  aspi.FreeAspi(module);
}

LRESULT CALLBACK CountingProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_APP) {
    ++*PointerFrom<int*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    return 0;
  }
  return DefWindowProcA(window, message, wparam, lparam);
}

TEST(Win32AspiLibrary, PumpHandsOnOneMessageAtATimeAndWaitsForNone) {
  WNDCLASSA window_class{};
  window_class.lpfnWndProc = &CountingProcedure;
  window_class.hInstance = GetModuleHandleA(nullptr);
  window_class.lpszClassName = "FwuPumpTest";
  RegisterClassA(&window_class);
  HWND window = CreateWindowA("FwuPumpTest", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(window, nullptr);
  int received = 0;
  SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&received));

  Win32AspiLibrary aspi;
  PostMessageA(window, WM_APP, 0, 0);
  PostMessageA(window, WM_APP, 0, 0);
  aspi.PumpWindowMessage(0);
  EXPECT_EQ(received, 1);
  aspi.PumpWindowMessage(0);
  EXPECT_EQ(received, 2);

  const DWORD start = GetTickCount();
  aspi.PumpWindowMessage(100);
  EXPECT_GE(GetTickCount() - start, 50U);
  EXPECT_EQ(received, 2);
  DestroyWindow(window);
}

}  // namespace
}  // namespace fwu::win32
