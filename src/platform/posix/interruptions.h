#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace fwu::posix {

// The signals that ask the program to end (SIGINT, SIGTERM, SIGHUP, SIGQUIT). While deferred
// they do not end it: they wait until the program asks for them. A broken pipe and the stop key
// are held back as well.
class Interruptions {
 public:
  virtual ~Interruptions() = default;
  virtual void Defer() = 0;
  // Waits up to timeout_ms (0 only looks) for a deferred signal; its name, or nothing.
  virtual std::optional<std::string> Wait(std::uint32_t timeout_ms) = 0;
  // Signals that came meanwhile and were not asked for are dropped; they act again from here.
  virtual void Resume() = 0;
};

// The real signals, blocked in the calling thread and every thread it starts afterwards.
class SignalInterruptions final : public Interruptions {
 public:
  SignalInterruptions();
  ~SignalInterruptions() override;
  SignalInterruptions(const SignalInterruptions&) = delete;
  SignalInterruptions& operator=(const SignalInterruptions&) = delete;

  void Defer() override;
  std::optional<std::string> Wait(std::uint32_t timeout_ms) override;
  void Resume() override;

 private:
  struct Masks;
  std::unique_ptr<Masks> masks_;
  bool deferring_ = false;
};

}  // namespace fwu::posix
