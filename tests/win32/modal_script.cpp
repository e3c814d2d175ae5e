#include "win32/modal_script.h"

#include <cstdio>
#include <thread>

#include <gtest/gtest.h>

#include "win32/window_probe.h"

namespace fwu::test {

int RunModalWithScript(platform::DialogHost& host, platform::DialogLogic& logic, int control,
                       const std::function<void(HWND)>& script, platform::WindowHandle parent) {
  const DWORD dialog_thread = GetCurrentThreadId();
  std::thread driver([&] {
    DialogQuery query;
    query.thread = dialog_thread;
    query.control = control;
    HWND dialog = WaitForDialog(query, kDialogTimeoutMs);
    if (dialog == nullptr) {
      ADD_FAILURE() << "dialog " << logic.TemplateId() << " did not appear";
      return;
    }
    script(dialog);
    if (!WaitUntil([&] { return IsWindow(dialog) == FALSE; }, kDialogTimeoutMs)) {
      ADD_FAILURE() << "dialog " << logic.TemplateId() << " is still open";
      std::fflush(nullptr);
      ExitProcess(3);
    }
  });
  const int result = host.RunModal(logic, parent);
  driver.join();
  return result;
}

bool JapaneseSystem() {
  return GetACP() == 932;
}

}  // namespace fwu::test
