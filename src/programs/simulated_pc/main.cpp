// simulated-pc: the firmware update program on a simulated PC with emulated drives. One
// invocation is one boot of the PC (or several with --boots): Windows starts, the user logs
// on, the program starts (from its Run entry when it left one, otherwise by the user's hand),
// and what it did to the registry and the drives is kept in a state file for the next boot.
#include <iostream>

#include <CLI/CLI.hpp>
#include <unistd.h>

#include "programs/simulated_pc/scenario.h"
#include "programs/simulated_pc/session.h"

namespace {

int Main(int argc, char** argv) {
  fwu::sim::SessionOptions options;
  bool print_scenario = false;
  CLI::App app{
      "The firmware update program on a simulated PC with emulated drives. Each run is one boot "
      "of the PC: the user logs on and the program starts (from its Run entry after a restart "
      "it asked for, otherwise by hand). The PC's registry and drives are kept in a state file, "
      "so running it again continues the story: prepare and restart, update and restart, and "
      "then nothing left to do.",
      "simulated-pc"};
  app.add_option("-s,--scenario", options.scenario_file,
                 "JSON file describing a new PC (Windows, code page, drives, settings, faults); "
                 "without it, the built-in one (see --print-scenario)")
      ->check(CLI::ExistingFile);
  app.add_option("--state", options.state_file, "File that keeps the PC between boots")
      ->capture_default_str();
  app.add_flag("--reset", options.reset, "Forget the saved PC and build it from the scenario");
  app.add_option("-a,--answers", options.answers_file,
                 "Answer the dialogs from this file, one answer per line: a button's number or "
                 "caption, an empty line for the default button, \"select N\"; '#' starts a note")
      ->check(CLI::ExistingFile);
  app.add_option("-b,--boots", options.boots, "Boot the PC this many times in a row")
      ->capture_default_str()
      ->check(CLI::Range(1, 20));
  app.add_option("-u,--user", options.user, "Log this user on instead of the scenario's");
  app.add_flag("-t,--trace", options.trace, "Print every drive command as the drive sees it");
  app.add_flag("--real-time", options.real_time,
               "Let time pass as on a real PC (an update then takes over two minutes); NT "
               "family only");
  app.add_flag("--timing", options.timing, "Print wall, CPU and device time after each run");
  app.add_option("--columns", options.columns, "Width of the terminal")->capture_default_str();
  app.add_flag("--print-scenario", print_scenario,
               "Print the built-in scenario, a starting point for your own, and exit");
  app.footer(
      "\nWithout --answers the dialogs are answered at the terminal; when the input is not a "
      "terminal, the scenario's own \"answers\" are used.\n\n"
      "Example PCs are in scenarios/: Windows XP whose settings need a change first, Windows 98 SE "
      "in Japanese over ASPI, several drives.\n\n"
      "Examples:\n"
      "  simulated-pc                          boot the built-in PC (Windows XP, English)\n"
      "  simulated-pc --reset -s scenarios/xp-settings-need-change.json --boots 3\n"
      "  simulated-pc --trace                  also show every drive command");
  CLI11_PARSE(app, argc, argv);
  if (print_scenario) {
    std::cout << fwu::sim::DefaultScenario().dump(2) << '\n';
    return 0;
  }
  options.output_is_terminal = isatty(STDOUT_FILENO) != 0;
  return fwu::sim::RunSession(options, std::cin, isatty(STDIN_FILENO) != 0, std::cout, std::cerr);
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Main(argc, argv);
  } catch (const std::exception& error) {
    std::cerr << "simulated-pc: " << error.what() << '\n';
  } catch (...) {
    std::cerr << "simulated-pc: failed\n";
  }
  return 2;
}
