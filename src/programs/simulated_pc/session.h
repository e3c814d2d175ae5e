#pragma once

#include <cstddef>
#include <istream>
#include <ostream>
#include <string>

// One invocation of the simulated PC: the PC is built from its scenario or taken up from its
// state file, booted the given number of times, and saved after every boot.
namespace fwu::sim {

struct SessionOptions {
  std::string scenario_file;  // empty: the built-in scenario
  std::string state_file = "simulated-pc-state.json";
  std::string answers_file;  // empty: the terminal, or the scenario's own answers
  std::string user;          // empty: the scenario's user
  bool reset = false;
  bool trace = false;
  bool real_time = false;
  bool timing = false;
  int boots = 1;
  std::size_t columns = 80;
  // A terminal redraws the progress bar in place; a log or a pipe gets a line per tenth.
  bool output_is_terminal = false;
};

// `input` is where the user's answers come from when neither an answers file nor (for input
// that is not a terminal) the scenario's answers are used. Returns the exit code: 0, or 2 when
// the scenario or the state cannot be used (the reason goes to `errors`).
int RunSession(const SessionOptions& options, std::istream& input, bool input_is_terminal,
               std::ostream& out, std::ostream& errors);

}  // namespace fwu::sim
