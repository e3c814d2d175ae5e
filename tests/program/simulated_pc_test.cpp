// The simulated PC as a program: each example scenario goes through its whole story, one boot
// per invocation with the state file carrying the PC from one to the next, and ends with the
// drive updated and the registry as it began; another user's logon keeps the first user's
// hive; a mistake in a scenario is reported by name.
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "programs/simulated_pc/pc_state.h"
#include "programs/simulated_pc/scenario.h"
#include "programs/simulated_pc/session.h"

namespace fwu::sim {
namespace {

using ::testing::HasSubstr;

class SimulatedPcProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    directory_ =
        std::filesystem::temp_directory_path() /
        ("fwu_simulated_pc_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
         ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(directory_);
    options_.state_file = (directory_ / "state.json").string();
  }
  void TearDown() override { std::filesystem::remove_all(directory_); }

  // One invocation with input that is not a terminal; returns what it printed.
  std::string Invoke(const std::string& input = {}) {
    std::istringstream in(input);
    std::ostringstream out;
    std::ostringstream errors;
    exit_code_ = RunSession(options_, in, false, out, errors);
    errors_ = errors.str();
    return out.str();
  }

  PcState State() const { return LoadPcState(options_.state_file).value(); }

  std::filesystem::path directory_;
  SessionOptions options_;
  int exit_code_ = -1;
  std::string errors_;
};

TEST_F(SimulatedPcProgramTest, EachExampleScenarioEndsUpdatedWithTheRegistryAsItBegan) {
  const std::vector<std::string> scenarios{"xp-settings-need-change", "98se-japanese",
                                           "xp-two-drives"};
  for (const std::string& name : scenarios) {
    SCOPED_TRACE(name);
    options_.scenario_file = std::string(FWU_SCENARIO_DIR) + "/" + name + ".json";
    const nlohmann::json scenario = ReadScenarioFile(options_.scenario_file);
    PcState before{scenario};
    CapturePc(*BuildPc(scenario, TimeMode::kVirtual), before);

    // The answers run on across the boots, as one script.
    options_.reset = true;
    options_.boots = 3;
    const std::string printed = Invoke();
    ASSERT_EQ(exit_code_, 0) << errors_;
    EXPECT_THAT(printed, HasSubstr("The program has ended: system prepared, restart requested."));
    EXPECT_THAT(printed, HasSubstr("so Windows starts it at logon: a resumed run."));
    EXPECT_THAT(printed, HasSubstr("The program has ended: settings restored, restart requested."));
    EXPECT_THAT(printed, HasSubstr("The program has ended: nothing to update."));
    const PcState after = State();
    EXPECT_EQ(after.boots, 3);
    EXPECT_EQ(after.machine, before.machine);
    EXPECT_EQ(after.users, before.users);
    bool updated = false;
    for (const nlohmann::json& drive : after.drives) {
      updated = updated || drive.at("revision") == "1033";
    }
    EXPECT_TRUE(updated);
  }
}

// One boot per invocation: the state file alone carries the PC, and another user's logon in
// between neither sees nor loses the first user's hive.
TEST_F(SimulatedPcProgramTest, TheStateFileCarriesThePcAndEveryUsersHive) {
  options_.scenario_file = std::string(FWU_SCENARIO_DIR) + "/xp-settings-need-change.json";
  EXPECT_THAT(Invoke("Agree\nOK\n"), HasSubstr("system prepared, restart requested"));
  options_.scenario_file.clear();
  options_.user = "Bob";
  EXPECT_THAT(Invoke("OK\n"), HasSubstr("It logon by the user who performed, and different user."));
  options_.user.clear();
  EXPECT_THAT(Invoke("OK\nUpdate Start\nOK\nOK\n"), HasSubstr("settings restored"));
  EXPECT_THAT(Invoke("OK\n"), HasSubstr("CD-Drive firmware is NOT need to update firmware."));
  EXPECT_EQ(State().boots, 4);
  EXPECT_TRUE(State().users.contains("Bob"));
}

TEST_F(SimulatedPcProgramTest, TheBuiltInScenarioUpdatesAtOnceAndThenHasNothingToDo) {
  options_.boots = 2;
  const std::string printed = Invoke();
  EXPECT_EQ(exit_code_, 0) << errors_;
  EXPECT_THAT(printed, HasSubstr("Update Complete."));
  EXPECT_THAT(printed, HasSubstr("main dialog closed, nothing to restore"));
  EXPECT_THAT(printed, HasSubstr("CD-Drive firmware is NOT need to update firmware."));
}

TEST_F(SimulatedPcProgramTest, AMistakeInTheScenarioIsNamed) {
  const struct {
    const char* json;
    const char* error;
  } cases[] = {
      {R"({"windows": "vista"})", "unknown Windows \"vista\""},
      {R"({"drivs": []})", "unknown key \"drivs\" in the scenario"},
      {R"({"drives": [{"faults": [{"command": "FORMAT UNIT"}]}]})",
       "unknown command \"FORMAT UNIT\""},
      {R"({"windows": "98se", "power": "solar"})", "\"power\" is one of"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.json);
    options_.scenario_file = (directory_ / "bad.json").string();
    std::ofstream(options_.scenario_file) << c.json;
    options_.reset = true;
    Invoke();
    EXPECT_EQ(exit_code_, 2);
    EXPECT_THAT(errors_, HasSubstr(c.error));
  }
  options_.real_time = true;
  options_.scenario_file = std::string(FWU_SCENARIO_DIR) + "/98se-japanese.json";
  Invoke();
  EXPECT_EQ(exit_code_, 2);
  EXPECT_THAT(errors_, HasSubstr("real time needs a Windows of the NT family"));
}

}  // namespace
}  // namespace fwu::sim
