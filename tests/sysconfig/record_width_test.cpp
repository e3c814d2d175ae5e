// Settings whose change record would not fit the widths the restore reads.
#include <string>

#include <gtest/gtest.h>

#include "support/simulated_system.h"
#include "sysconfig/change_store.h"
#include "sysconfig/change_system_settings.h"
#include "sysconfig/restorable_records.h"

namespace fwu {
namespace {

using platform::kHkeyCurrentUser;
using platform::kHkeyDynData;
using platform::kHkeyLocalMachine;
using sim::StoredValue;

const std::string kChange =
    std::string("Software\\Quentar_ODD\\") + test::kApplicationName + "\\Change";

// A key path of 127 characters is the longest a record can give back.
std::string PathOfLength(const std::string& prefix, std::size_t length) {
  return prefix + std::string(length - prefix.size(), 'X');
}

// A hardware key long enough that "Enum\<key>" outgrows "SubKey_Name": the flag used to be
// cleared and recorded, and the record then could not be read back, so the flag stayed cleared
// for good. Now the pass leaves such a setting alone, as any setting it could not give back,
// while the one of 127 characters still makes the round trip.
TEST(RecordWidthTest, ASettingWhosePathOutgrowsTheRecordIsLeftAlone) {
  test::SimulatedSystem system(/*is_nt=*/false);
  const std::string fits = PathOfLength("Enum\\SCSI\\FITS\\", 127);
  const std::string too_long = PathOfLength("Enum\\SCSI\\LONG\\", 128);
  system.registry.PutValue(kHkeyDynData, "Config Manager\\Enum\\C0000001", "HardWareKey",
                           StoredValue::Text(fits.substr(5)));
  system.registry.PutValue(kHkeyDynData, "Config Manager\\Enum\\C0000002", "HardWareKey",
                           StoredValue::Text(too_long.substr(5)));
  for (const std::string& path : {fits, too_long}) {
    system.registry.PutValue(kHkeyLocalMachine, path, "DMACurrentlyUsed",
                             StoredValue::Binary({0x01}));
  }
  const SystemContext context = system.Context();
  ChangeStore store(context);

  EXPECT_TRUE(SystemSettingsNeedChange(context));
  ChangeSystemSettings(context, store);
  EXPECT_EQ(system.registry.Value(kHkeyLocalMachine, fits, "DMACurrentlyUsed"),
            StoredValue::Binary({0x00}));
  EXPECT_EQ(system.registry.Value(kHkeyLocalMachine, too_long, "DMACurrentlyUsed"),
            StoredValue::Binary({0x01}));
  EXPECT_EQ(system.registry.Subkeys(kHkeyCurrentUser, kChange), std::vector<std::string>{"  1"});

  store.Restore();
  EXPECT_EQ(system.registry.Value(kHkeyLocalMachine, fits, "DMACurrentlyUsed"),
            StoredValue::Binary({0x01}));
  EXPECT_EQ(store.Count(), 0);
}

TEST(RecordWidthTest, TextsOfTheRecordMustFitTheReader) {
  ChangeRecord record{"SYSTEM\\CurrentControlSet\\Services\\atapi\\Parameters\\Device0",
                      "DriverParameter", RecordType::kText, std::string(127, 'x'), 0};
  EXPECT_TRUE(IsRestorableRecord(record, /*is_nt=*/true));
  record.text.push_back('x');
  EXPECT_FALSE(IsRestorableRecord(record, /*is_nt=*/true));

  ChangeRecord instance{
      PathOfLength("SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E96A}\\", 128),
      "MasterDeviceTimingMode",
      RecordType::kNumber,
      {},
      0x11};
  EXPECT_FALSE(IsRestorableRecord(instance, /*is_nt=*/true));
  instance.key_path.pop_back();
  EXPECT_TRUE(IsRestorableRecord(instance, /*is_nt=*/true));
}

}  // namespace
}  // namespace fwu
