#include "programs/simulated_pc/session.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <vector>

#include <nlohmann/json.hpp>

#include "app/application_name.h"
#include "app/run_outcome.h"
#include "platform/sim/simulated_pc.h"
#include "platform/sim/terminal_dialog_host.h"
#include "programs/simulated_pc/narration.h"
#include "programs/simulated_pc/pc_state.h"
#include "programs/simulated_pc/program_run.h"
#include "programs/simulated_pc/scenario.h"

namespace fwu::sim {

namespace {

// The update worker's own waits: 2 s, 60 s and 60 s after the eject, 3 s between the two
// control steps and 2 s after the closing step.
constexpr std::chrono::milliseconds kMandatedWaits{127000};

double Seconds(std::chrono::duration<double> duration) {
  return duration.count();
}

std::chrono::milliseconds DeviceTime(const SimulatedPc& pc) {
  std::chrono::milliseconds total{0};
  for (std::size_t n = 0; n < pc.DriveCount(); ++n) {
    for (const emulator::CommandRecord& record : pc.Drive(n).Log().Records()) {
      total += std::chrono::milliseconds(record.duration_ms);
    }
  }
  return total;
}

// Answers from a file: one per line; lines that begin with '#' are notes for the reader.
std::string AnswersFromFile(const std::string& file) {
  std::ifstream in(file);
  if (!in) {
    throw ScenarioError("cannot read the answers file " + file);
  }
  std::string answers;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] != '#') {
      answers += line + '\n';
    }
  }
  return answers;
}

class Session {
 public:
  Session(const SessionOptions& options, std::ostream& out) : options_(options), out_(out) {}

  void Say(const std::string& line) { out_ << line << '\n'; }
  void Rule(char c) { Say(std::string(options_.columns, c)); }

  void Boot(const nlohmann::json& scenario, PcState& state, std::istream& answers,
            bool interactive) {
    const TimeMode time = options_.real_time ? TimeMode::kReal : TimeMode::kVirtual;
    std::unique_ptr<SimulatedPc> pc = BuildPc(scenario, time);
    const std::string user = options_.user.empty() ? ScenarioUser(scenario) : options_.user;
    if (state.boots == 0) {
      CapturePc(*pc, state);
    }
    RestorePc(state, user, *pc);
    ++state.boots;

    Rule('#');
    Say("Boot " + std::to_string(state.boots) + " of the simulated PC (kept in " +
        options_.state_file + ")");
    for (const std::string& line : DescribeMachine(*pc)) {
      Say("  " + line);
    }
    Say("Windows has started. " + user + " logs on.");
    const std::string& program = pc->system.program_file_path;
    if (RunEntryStartsProgram(*pc)) {
      Say("The Run entry \"" + ApplicationNameOf(program) + "\" names " + program +
          ", so Windows starts it at logon: a resumed run.");
    } else {
      Say("No Run entry starts the program, so " + user + " starts " + program + " by hand.");
    }
    Rule('-');

    if (options_.trace) {
      pc->SetCommandObserver([this, &pc](std::size_t drive, const emulator::CommandRecord& record) {
        Say(DescribeCommand(*pc, drive, record));
      });
    }
    TerminalDialogHost host(
        answers, out_, pc->Clock(),
        TerminalDialogHost::Options{options_.columns, !interactive, options_.output_is_terminal});
    const auto wall_start = std::chrono::steady_clock::now();
    const std::clock_t cpu_start = std::clock();
    const ProgramRun run = RunProgram(*pc, host);
    const double cpu_seconds = static_cast<double>(std::clock() - cpu_start) / CLOCKS_PER_SEC;
    const auto wall = std::chrono::steady_clock::now() - wall_start;
    pc->SetCommandObserver({});

    Rule('-');
    Say("The program has ended: " + std::string(DescriptionOf(run.outcome)) + ".");
    CapturePc(*pc, state);
    SavePcState(options_.state_file, state);
    for (const std::string& line : DescribeAfterRun(*pc)) {
      Say("  " + line);
    }
    if (options_.timing) {
      ReportTiming(*pc, wall, cpu_seconds);
    }
    if (run.restart_requested) {
      Say("The program asked Windows to restart: the simulated PC shuts down here.");
    } else {
      Say("Nothing asked for a restart; the session ends here.");
    }
  }

  void ReportTiming(const SimulatedPc& pc, std::chrono::steady_clock::duration wall,
                    double cpu_seconds) {
    const std::chrono::milliseconds device = DeviceTime(pc);
    std::ostringstream line;
    line.setf(std::ios::fixed);
    line.precision(3);
    line << "Timing: wall " << Seconds(wall) << " s, CPU " << cpu_seconds << " s ("
         << cpu_seconds / std::max(Seconds(wall), 1e-9) * 100 << " % of the wall time), "
         << "emulated device time " << Seconds(device) << " s";
    if (options_.real_time && wall > kMandatedWaits) {
      line << ", wall time beyond the update's mandated waits (" << Seconds(kMandatedWaits)
           << " s) and the device time: " << Seconds(wall - kMandatedWaits - device) << " s";
    }
    Say(line.str());
  }

 private:
  const SessionOptions& options_;
  std::ostream& out_;
};

int Run(const SessionOptions& options, std::istream& input, bool input_is_terminal,
        std::ostream& out) {
  Session session(options, out);
  std::optional<PcState> saved;
  if (!options.reset) {
    saved = LoadPcState(options.state_file);
  }
  nlohmann::json scenario;
  if (saved) {
    scenario = saved->scenario;
    if (!options.scenario_file.empty()) {
      session.Say("Note: " + options.state_file +
                  " already holds a simulated PC, which boots again as it was left; --reset "
                  "builds a new one from " +
                  options.scenario_file + ".");
    }
  } else {
    scenario =
        options.scenario_file.empty() ? DefaultScenario() : ReadScenarioFile(options.scenario_file);
    const std::string description = ScenarioDescription(scenario);
    session.Say("A new simulated PC" + (description.empty() ? "" : ": " + description) + ".");
  }
  PcState state = saved.value_or(PcState{scenario});

  std::istringstream scripted;
  std::istream* answers = &input;
  bool interactive = input_is_terminal;
  if (!options.answers_file.empty()) {
    scripted.str(AnswersFromFile(options.answers_file));
    answers = &scripted;
    interactive = false;
  } else if (!input_is_terminal && !ScenarioAnswers(scenario).empty()) {
    std::string text;
    for (const std::string& answer : ScenarioAnswers(scenario)) {
      text += answer + '\n';
    }
    scripted.str(text);
    answers = &scripted;
  }
  if (interactive) {
    session.Say(
        "Answer each dialog with a button's number or caption (Enter for the default button).");
  }
  for (int boot = 0; boot < options.boots; ++boot) {
    session.Boot(scenario, state, *answers, interactive);
  }
  session.Say("Boot the PC again with the same command; --reset starts over.");
  return 0;
}

}  // namespace

int RunSession(const SessionOptions& options, std::istream& input, bool input_is_terminal,
               std::ostream& out, std::ostream& errors) {
  try {
    return Run(options, input, input_is_terminal, out);
  } catch (const std::exception& error) {
    errors << "simulated-pc: " << error.what() << '\n';
    return 2;
  }
}

}  // namespace fwu::sim
