#pragma once

#include <cstdint>
#include <vector>

#include "platform/threads.h"

namespace fwu::test {

// Threads that misbehave as a test asks, over real ones: resume calls report scripted suspend
// counts, or creation, duplication, signals or exit codes fail.
class MisbehavingThreads final : public platform::Threads {
 public:
  explicit MisbehavingThreads(platform::Threads& inner) : inner_(inner) {}

  // Each resume call reports the next value (the last one again once they run out). Only a
  // report of 0 or 1 lets the thread really run; with kResumeFailed it never does.
  void ScriptResumes(std::vector<std::uint32_t> reports) { reports_ = std::move(reports); }
  void FailCreation() { fail_creation_ = true; }
  void FailDuplicate() { fail_duplicate_ = true; }
  void FailSignals() { fail_signals_ = true; }
  void FailExitCodes() { fail_exit_codes_ = true; }
  int ResumeCalls() const { return resume_calls_; }

  platform::ThreadHandle CreateSuspended(Entry entry) override {
    return fail_creation_ ? 0 : inner_.CreateSuspended(std::move(entry));
  }
  std::uint32_t Resume(platform::ThreadHandle thread) override;
  platform::ThreadHandle Duplicate(platform::ThreadHandle thread) override {
    return fail_duplicate_ ? 0 : inner_.Duplicate(thread);
  }
  bool ExitCode(platform::ThreadHandle thread, std::uint32_t& code) override {
    return !fail_exit_codes_ && inner_.ExitCode(thread, code);
  }
  void CloseThread(platform::ThreadHandle thread) override { inner_.CloseThread(thread); }
  platform::SignalHandle CreateSignal() override {
    return fail_signals_ ? 0 : inner_.CreateSignal();
  }
  bool GiveSignal(platform::SignalHandle signal) override { return inner_.GiveSignal(signal); }
  bool WaitForSignal(platform::SignalHandle signal) override {
    return inner_.WaitForSignal(signal);
  }
  void CloseSignal(platform::SignalHandle signal) override { inner_.CloseSignal(signal); }

 private:
  platform::Threads& inner_;
  std::vector<std::uint32_t> reports_;
  bool fail_creation_ = false;
  bool fail_duplicate_ = false;
  bool fail_signals_ = false;
  bool fail_exit_codes_ = false;
  int resume_calls_ = 0;
  bool resumed_ = false;
};

}  // namespace fwu::test
