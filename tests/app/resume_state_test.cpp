#include "app/resume_state.h"

#include <string>

#include <gtest/gtest.h>

#include "app/application_name.h"
#include "support/simulated_system.h"

namespace fwu {
namespace {

using platform::kHkeyCurrentUser;
using platform::kHkeyLocalMachine;
using sim::StoredValue;

const std::string kStore = std::string("Software\\Quentar_ODD\\") + test::kApplicationName;
const std::string kMarker = "Software\\QUENTAR_ODD_KALDER";
const std::string kRun = "Software\\Microsoft\\Windows\\CurrentVersion\\run";

TEST(ApplicationNameTest, IsTheFileNameWithoutDirectoryAndExtension) {
  EXPECT_EQ(ApplicationNameOf("C:\\Program Files\\Quentar\\XTM7731UP.exe"), "XTM7731UP");
  EXPECT_EQ(ApplicationNameOf("D:\\dist.v2\\update.v2.EXE"), "update.v2");
  EXPECT_EQ(ApplicationNameOf("C:\\dir.d\\plain"), "plain");
  EXPECT_EQ(ApplicationNameOf("A:SETUP.EXE"), "SETUP");
  EXPECT_EQ(ApplicationNameOf(""), kFallbackApplicationName);
  EXPECT_EQ(ApplicationNameOf("C:\\Tools\\.exe"), kFallbackApplicationName);
}

// Without the store parent the program owns it and takes it away at the end; with a parent made
// by something else only its own store goes. Both platform families.
TEST(ResumeStateTest, StoreOriginDecidesWhatIsRemovedAtTheEnd) {
  for (const bool is_nt : {true, false}) {
    for (const bool parent_there : {false, true}) {
      SCOPED_TRACE(std::string(is_nt ? "NT" : "9x") +
                   (parent_there ? ", parent there" : ", no parent"));
      test::SimulatedSystem system(is_nt);
      if (parent_there) {
        system.registry.PutValue(kHkeyCurrentUser, "Software\\Quentar_ODD", "Owner",
                                 StoredValue::Text("other"));
      }
      ChangeStore store(system.Context());
      const bool origin = store.ReadOrigin();
      EXPECT_EQ(origin, parent_there);
      store.LoadCount();
      EXPECT_EQ(store.Count(), 0);
      EXPECT_TRUE(system.registry.HasKey(kHkeyCurrentUser, kStore));  // reading made it
      for (const char* record : {"  1", "  2", "  3"}) {
        system.registry.PutKey(kHkeyCurrentUser, kStore + "\\Change\\" + record);
      }
      store.LoadCount();
      store.SaveCount();
      store.SaveOrigin(origin);
      EXPECT_EQ(system.registry.Value(kHkeyCurrentUser, kStore, "Changed"), StoredValue::Number(3));
      EXPECT_EQ(system.registry.Value(kHkeyCurrentUser, kStore, "Quentar_ODD_Add"),
                StoredValue::Number(origin ? 1 : 0));
      EXPECT_EQ(store.ReadOrigin(), parent_there);  // read back on the resumed start

      store.Remove(origin);
      EXPECT_FALSE(system.registry.HasKey(kHkeyCurrentUser, kStore));
      EXPECT_EQ(system.registry.HasKey(kHkeyCurrentUser, "Software\\Quentar_ODD"), parent_there);
      EXPECT_TRUE(system.registry.HasKey(kHkeyCurrentUser, "Software"));
      EXPECT_EQ(system.registry.OpenHandleCount(), 0U);
    }
  }
}

TEST(ResumeStateTest, StoreOriginValue) {
  test::SimulatedSystem system;
  const ChangeStore store(system.Context());
  system.registry.PutKey(kHkeyCurrentUser, kStore);
  EXPECT_TRUE(store.ReadOrigin());  // absent counts as 1
  for (const std::uint32_t value : {0U, 1U, 2U}) {
    system.registry.PutValue(kHkeyCurrentUser, kStore, "Quentar_ODD_Add",
                             StoredValue::Number(value));
    EXPECT_EQ(store.ReadOrigin(), value == 1) << value;
  }
}

// Another program file name keeps its own store in the same parent; its records must survive.
TEST(ResumeStateTest, SharedParentStaysWhileAnotherStoreIsInIt) {
  test::SimulatedSystem system;
  system.registry.PutKey(kHkeyCurrentUser, kStore + "\\Change\\  1");
  system.registry.PutValue(kHkeyCurrentUser, "Software\\Quentar_ODD\\OLDUPDATE\\Change\\  1",
                           "Value_Type", StoredValue::Number(4));
  ChangeStore(system.Context()).Remove(false);
  EXPECT_FALSE(system.registry.HasKey(kHkeyCurrentUser, kStore));
  EXPECT_TRUE(
      system.registry.HasKey(kHkeyCurrentUser, "Software\\Quentar_ODD\\OLDUPDATE\\Change\\  1"));
}

TEST(ResumeStateTest, DifferentUserIsRefusedAndLeavesEverythingInPlace) {
  test::SimulatedSystem system;
  const SystemContext context = system.Context();
  ChangeStore store(context);
  EXPECT_TRUE(CheckPendingRestart(context, store));  // nothing pending
  store.LoadCount();
  WriteRunEntry(context, ProbeRunEntry(context).program_path);
  MarkPendingRestart(context);
  store.SaveOrigin(false);
  const std::string prepared = system.registry.ToJson();

  system.registry.SwitchUser("Other");
  EXPECT_FALSE(CheckPendingRestart(context, store));
  EXPECT_TRUE(system.registry.HasKey(kHkeyLocalMachine, kMarker));

  system.registry.SwitchUser("User");
  EXPECT_EQ(system.registry.ToJson(), prepared);
  EXPECT_TRUE(CheckPendingRestart(context, store));
  EXPECT_FALSE(system.registry.HasKey(kHkeyLocalMachine, kMarker));
  EXPECT_TRUE(ProbeRunEntry(context).resumed);
}

// The entry runs the program file itself, quoted when its path has a blank, wherever the
// program was started from; presence alone marks a resumed start, whatever the entry's length.
TEST(ResumeStateTest, RunEntryStartsTheProgramFileAgain) {
  test::SimulatedSystem system;
  const SystemContext context = system.Context();
  system.services.current_directory = "C:\\Documents and Settings\\user\\Desktop";
  RunEntryProbe probe = ProbeRunEntry(context);
  EXPECT_FALSE(probe.resumed);
  EXPECT_FALSE(probe.run_entry_unavailable);
  EXPECT_EQ(probe.program_path, "\"C:\\Program Files\\Quentar\\XTM7731UP.exe\"");
  WriteRunEntry(context, probe.program_path);
  EXPECT_EQ(system.registry.Value(kHkeyCurrentUser, kRun, test::kApplicationName),
            StoredValue::Text("\"C:\\Program Files\\Quentar\\XTM7731UP.exe\""));
  EXPECT_TRUE(ProbeRunEntry(context).resumed);
  EXPECT_FALSE(system.registry.Value(kHkeyCurrentUser, kRun, test::kApplicationName));

  system.services.program_file_path = "C:\\TOOLS\\XTM7731UP.EXE";
  system.services.current_directory.reset();  // unreadable: no longer matters
  probe = ProbeRunEntry(context);
  EXPECT_FALSE(probe.run_entry_unavailable);
  EXPECT_EQ(probe.program_path, "C:\\TOOLS\\XTM7731UP.EXE");

  system.registry.PutValue(kHkeyCurrentUser, kRun, test::kApplicationName,
                           StoredValue::Text(std::string(3000, 'x')));
  EXPECT_TRUE(ProbeRunEntry(context).resumed);
  EXPECT_FALSE(system.registry.Value(kHkeyCurrentUser, kRun, test::kApplicationName));
  EXPECT_EQ(system.registry.OpenHandleCount(), 0U);
}

TEST(ResumeStateTest, RunEntryUnavailableWithoutProgramPathOrRunKey) {
  test::SimulatedSystem system;
  const SystemContext context = system.Context();
  system.services.program_file_path.clear();
  EXPECT_TRUE(ProbeRunEntry(context).run_entry_unavailable);

  test::SimulatedSystem locked;
  locked.registry.DenyWrites(kHkeyCurrentUser, kRun);
  const RunEntryProbe probe = ProbeRunEntry(locked.Context());
  EXPECT_TRUE(probe.run_entry_unavailable);
  WriteRunEntry(locked.Context(), probe.program_path);
  EXPECT_EQ(locked.registry.WriteCount(), 0U);
}

}  // namespace
}  // namespace fwu
