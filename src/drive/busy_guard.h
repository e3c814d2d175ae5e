#pragma once

namespace fwu {

// Marks one address busy for the length of one attempt and clears the mark however the attempt
// ends. The caller turns a request away while the mark is set. The mark is a plain flag: it keeps
// a second request out while the first is in flight, it does not order threads.
class BusyGuard {
 public:
  explicit BusyGuard(bool& busy) : busy_(busy) { busy_ = true; }
  ~BusyGuard() { busy_ = false; }
  BusyGuard(const BusyGuard&) = delete;
  BusyGuard& operator=(const BusyGuard&) = delete;

 private:
  bool& busy_;
};

}  // namespace fwu
