#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace fwu::linux_program {

inline constexpr std::string_view kProgramName = "xtm7731-update";

// What the user asked for on the command line.
struct Options {
  enum class Mode : std::uint8_t { kUpdate, kList, kHelp, kVersion };
  Mode mode = Mode::kUpdate;
  bool json = false;     // the list as JSON; implies kList
  bool yes = false;      // the terms accepted and the update confirmed in advance
  bool dry_run = false;  // every check, no command that changes the drive
  std::optional<std::string> device{};
};

// The options, or what is wrong with the command line.
struct ParsedCommandLine {
  std::optional<Options> options{};
  std::string error{};
};

// The arguments after the program's name. Options take "--device PATH" or "--device=PATH";
// short options stand alone ("-y -n", not "-yn").
ParsedCommandLine ParseCommandLine(std::span<const std::string> arguments);

}  // namespace fwu::linux_program
