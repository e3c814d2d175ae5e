#pragma once

#include <string_view>

namespace fwu::win32 {

// Puts `replacement` in the place of one function that the test program imports by name from a
// system DLL, for as long as the hook lives: every call the program's code makes through its
// import table then lands there. A test sees with it what a seam hands the system where the
// system's answer alone would not show it.
class ImportHook {
 public:
  ImportHook(std::string_view module_name, std::string_view function_name, void* replacement);
  ~ImportHook();
  ImportHook(const ImportHook&) = delete;
  ImportHook& operator=(const ImportHook&) = delete;

  bool Installed() const { return slot_ != nullptr; }
  // The function that was imported, to call on from the replacement.
  void* Original() const { return original_; }

 private:
  void** slot_ = nullptr;
  void* original_ = nullptr;
};

}  // namespace fwu::win32
