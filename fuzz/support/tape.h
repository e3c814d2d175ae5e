#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace fwu::fuzz {

// The fuzzer's bytes as the answers of a scripted world: every answer a scripted seam or device
// gives is taken from the tape in the order it is asked for, and an exhausted tape answers 0.
//
// A tape can also record: each question then carries the answer a real scenario gives (an
// emulated drive, a well-behaved library), which is returned and appended to the tape. Replaying
// the recorded bytes asks the same questions in the same order and gets the same answers, so a
// recording of a test scenario is a seed that walks that scenario's path.
class Tape {
 public:
  // Reads the fuzzer's input.
  explicit Tape(std::span<const std::uint8_t> input) : input_(input) {}
  // Records.
  Tape() : recording_(true) {}

  bool Recording() const { return recording_; }
  const std::vector<std::uint8_t>& Recorded() const { return recorded_; }
  bool Exhausted() const { return !recording_ && position_ >= input_.size(); }
  // Answers asked for beyond the end of the input; a replayed recording asks for none.
  std::size_t Overrun() const { return overrun_; }

  // Each takes the next answer; `planned` is what a recording gives and writes.
  std::uint8_t Byte(std::uint8_t planned = 0);
  std::uint16_t U16(std::uint16_t planned = 0);  // little-endian
  std::uint32_t U32(std::uint32_t planned = 0);  // little-endian
  bool Flag(bool planned = false) { return (Byte(planned ? 1 : 0) & 1U) != 0; }
  // A choice among `count` (at least 1) alternatives.
  std::size_t Choice(std::size_t count, std::size_t planned = 0);
  // A text of at most `max_length` bytes: its length, then its bytes.
  std::string Text(std::size_t max_length, std::string_view planned = {});
  // Fills `out` byte by byte, the recording taking `planned` (zero beyond its end).
  void Fill(std::span<std::uint8_t> out, std::span<const std::uint8_t> planned = {});

 private:
  std::span<const std::uint8_t> input_;
  std::size_t position_ = 0;
  bool recording_ = false;
  std::size_t overrun_ = 0;
  std::vector<std::uint8_t> recorded_;
};

// Stops the run with a message when a rule that the program must keep is broken: libFuzzer
// reports the abort as a finding and keeps the input that caused it.
[[noreturn]] void Violation(std::string_view what);

inline void Require(bool holds, std::string_view what) {
  if (!holds) {
    Violation(what);
  }
}

}  // namespace fwu::fuzz
