#pragma once

namespace fwu::win32 {

// Keeps the system from sleeping while the calling thread holds it, as a thread that writes a
// drive's firmware must: Windows since Vista no longer asks programs before it sleeps, so the
// refusals of the dialogs' shutdown guard do not reach it. Does nothing where the system has no
// such request (Windows 95, NT 4.0). Belongs to one thread: the request is per thread.
class KeepAwake {
 public:
  KeepAwake();
  ~KeepAwake();
  KeepAwake(const KeepAwake&) = delete;
  KeepAwake& operator=(const KeepAwake&) = delete;

  bool Requested() const { return requested_; }

 private:
  bool requested_ = false;
};

}  // namespace fwu::win32
