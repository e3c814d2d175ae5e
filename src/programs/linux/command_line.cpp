#include "programs/linux/command_line.h"

#include <algorithm>
#include <array>

namespace fwu::linux_program {
namespace {

enum class Flag : std::uint8_t { kList, kJson, kDevice, kYes, kDryRun, kHelp, kVersion };

struct KnownOption {
  Flag flag;
  std::string_view long_name;
  std::string_view short_name;
  bool takes_value;
};

constexpr std::array<KnownOption, 7> kOptions{{
    {Flag::kList, "--list", "-l", false},
    {Flag::kJson, "--json", "", false},
    {Flag::kDevice, "--device", "-d", true},
    {Flag::kYes, "--yes", "-y", false},
    {Flag::kDryRun, "--dry-run", "-n", false},
    {Flag::kHelp, "--help", "-h", false},
    {Flag::kVersion, "--version", "-V", false},
}};

ParsedCommandLine Error(std::string text) {
  return ParsedCommandLine{.error = std::move(text)};
}

}  // namespace

ParsedCommandLine ParseCommandLine(std::span<const std::string> arguments) {
  Options options;
  bool list = false;
  bool help = false;
  bool version = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    const std::string_view name = std::string_view(argument).substr(0, argument.find('='));
    const auto* known = std::find_if(kOptions.begin(), kOptions.end(), [&](const KnownOption& o) {
      return name == o.long_name || (!o.short_name.empty() && argument == o.short_name);
    });
    if (known == kOptions.end()) {
      return Error(argument.rfind('-', 0) == 0 ? "unknown option " + argument
                                               : "unexpected argument " + argument);
    }
    std::optional<std::string> value;
    if (name.size() < argument.size()) {
      if (!known->takes_value) {
        return Error(std::string(known->long_name) + " takes no value");
      }
      value = argument.substr(name.size() + 1);
    } else if (known->takes_value) {
      if (i + 1 == arguments.size()) {
        return Error(std::string(known->long_name) + " needs a value");
      }
      value = arguments[++i];
    }
    switch (known->flag) {
      case Flag::kList:
        list = true;
        break;
      case Flag::kJson:
        list = true;
        options.json = true;
        break;
      case Flag::kDevice:
        if (value->empty()) {
          return Error("--device needs a path");
        }
        options.device = *value;
        break;
      case Flag::kYes:
        options.yes = true;
        break;
      case Flag::kDryRun:
        options.dry_run = true;
        break;
      case Flag::kHelp:
        help = true;
        break;
      case Flag::kVersion:
        version = true;
        break;
    }
  }
  if (list && options.dry_run) {
    return Error("--list and --dry-run do not go together");
  }
  options.mode = help      ? Options::Mode::kHelp
                 : version ? Options::Mode::kVersion
                 : list    ? Options::Mode::kList
                           : Options::Mode::kUpdate;
  return ParsedCommandLine{.options = options};
}

}  // namespace fwu::linux_program
