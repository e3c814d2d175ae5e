#include "support/update_cycle.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "programs/simulated_pc/program_run.h"
#include "support/simulated_pcs.h"

namespace fwu::test {

namespace {

void AddValues(const sim::SimRegistry& registry, platform::RegistryHandle root,
               const std::string& path, std::map<std::string, sim::StoredValue>& values) {
  for (const std::string& name : registry.ValueNames(root, path)) {
    std::string key = path;
    key.append(" : ").append(name);
    values[key] = *registry.Value(root, path, name);
  }
  for (const std::string& subkey : registry.Subkeys(root, path)) {
    std::string child = path;
    child.append("\\").append(subkey);
    AddValues(registry, root, child, values);
  }
}

}  // namespace

std::unique_ptr<sim::SimulatedPc> CycleMachine(std::string_view windows) {
  std::unique_ptr<sim::SimulatedPc> pc = MakePc(windows);
  AddTargetDrive(*pc, "1029");
  AddSettingsNeedingChange(*pc);
  return pc;
}

StartRecord StartAgreeing(sim::SimulatedPc& pc, const std::function<void(AutoUserHost&)>& prepare) {
  AutoUserHost user(pc.Clock());
  if (prepare) {
    prepare(user);
  }
  StartRecord record;
  record.outcome = RunProgram(pc, user).outcome;
  record.messages = user.Messages();
  record.transcript = user.Transcript();
  return record;
}

bool FoundUpToDate(const StartRecord& start) {
  return start.outcome == RunOutcome::kNothingToDo && start.messages.size() == 1 &&
         start.messages.front() == kUpToDateMessage;
}

StartRecord StartUntilUpToDate(sim::SimulatedPc& pc, int most_starts,
                               const std::function<void(AutoUserHost&)>& prepare) {
  StartRecord last;
  for (int start = 0; start < most_starts && !FoundUpToDate(last); ++start) {
    pc.Restart();
    last = StartAgreeing(pc, prepare);
  }
  return last;
}

void ExpectCycleFinished(const sim::SimulatedPc& pc, const StartRecord& last,
                         const std::string& original_settings) {
  EXPECT_EQ(last.outcome, RunOutcome::kNothingToDo);
  EXPECT_THAT(last.messages, ::testing::ElementsAre(kUpToDateMessage));
  EXPECT_EQ(pc.Drive(0).Revision(), "1033");
  EXPECT_EQ(DeviceSettings(pc), original_settings);
  EXPECT_FALSE(pc.registry.HasKey(platform::kHkeyLocalMachine, "Software\\QUENTAR_ODD_KALDER"));
  EXPECT_FALSE(RunEntryStartsProgram(pc));
  EXPECT_EQ(pc.registry.OpenHandleCount(), 0U);
}

std::map<std::string, sim::StoredValue> DeviceSettingValues(const sim::SimulatedPc& pc) {
  std::map<std::string, sim::StoredValue> values;
  if (pc.IsNt()) {
    AddValues(pc.registry, platform::kHkeyLocalMachine, "SYSTEM", values);
  } else {
    AddValues(pc.registry, platform::kHkeyLocalMachine, "System", values);
    AddValues(pc.registry, platform::kHkeyLocalMachine, "Enum", values);
  }
  return values;
}

}  // namespace fwu::test
