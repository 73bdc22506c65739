// Registry dispatch: which rule sets run, in which order, and the results.
#include "LogicRegistry.h"

#include <gtest/gtest.h>

#include "EmulatedMachine.h"

namespace {

using evrules::CheckRegistryEvent;
using evrules_test::Recorded;
using evrules_test::Report;

class LogicRegistryTest : public evrules_test::MachineWithPrograms {
 protected:
  static constexpr char16_t kSvchost[] = u"C:\\Windows\\System32\\svchost.exe";
  static constexpr char16_t kRunKey[] = u"\\REGISTRY\\MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run\\";
  static constexpr char16_t kLockyKey[] = u"\\REGISTRY\\USER\\S-1-5-21-1004\\SOFTWARE\\Locky\\";
  static constexpr char16_t kWinlogon[] =
      u"\\REGISTRY\\MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon\\";
};

TEST_F(LogicRegistryTest, OperationsDecideWhichRuleSetsRun) {
  struct Case {
    const char16_t* image;
    const char16_t* key;
    const char16_t* value;
    int32_t operation;
    int32_t result;
  };
  const Case kCases[] = {
      // Auto-run rules only for operations 2 and 3.
      {kFresh, kRunKey, u"x", 2, 4}, {kFresh, kRunKey, u"x", 3, 4},
      {kFresh, kRunKey, u"x", 4, 1}, {kFresh, kRunKey, u"x", 5, 1},
      {kFresh, kRunKey, u"x", 1, 1}, {kFresh, kRunKey, u"x", 6, 1},
      {kFresh, kRunKey, u"x", 0, 1}, {kFresh, kRunKey, u"x", -1, 1},
      // Black list for operations 2 to 5.
      {kOldTool, kLockyKey, u"x", 2, 4}, {kOldTool, kLockyKey, u"x", 3, 4},
      {kOldTool, kLockyKey, u"x", 4, 4}, {kOldTool, kLockyKey, u"x", 5, 4},
      {kOldTool, kLockyKey, u"x", 1, 1}, {kOldTool, kLockyKey, u"x", 6, 1},
      {kOldTool, kWinlogon, u"Shell", 4, 3},
      // A system process answers 2 for every operation and key.
      {kSvchost, kLockyKey, u"x", 2, 2}, {kSvchost, kRunKey, u"x", 3, 2},
      {kSvchost, u"", u"", 1, 2}, {kSvchost, u"", u"", 6, 2},
      // An empty image answers 1 whatever the key.
      {u"", kLockyKey, u"x", 2, 1},
      // The same image name elsewhere is judged by the rules.
      {u"C:\\Temp\\svchost.exe", kLockyKey, u"x", 4, 4},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(evrules_test::Utf8(c.image) + " " + evrules_test::Utf8(c.key) + " op " +
                 std::to_string(c.operation));
    EXPECT_EQ(CheckRegistryEvent(c.image, c.key, c.value, c.operation), c.result);
  }
}

TEST_F(LogicRegistryTest, DetectionsReportTheProcessPath) {
  EXPECT_EQ(CheckRegistryEvent(kFresh, kRunKey, u"x", 2), 4);
  EXPECT_EQ(CheckRegistryEvent(kOldTool, kLockyKey, u"", 5), 4);
  EXPECT_EQ(CheckRegistryEvent(kOldTool, kWinlogon, u"userinit", 4), 3);  // code 1: no report
  EXPECT_EQ(Recorded().reports,
            (std::vector<Report>{{kFresh, "HIPS:Trojan.AutoRunSYS.Win32.1", 2},
                                 {kOldTool, "HIPS:Trojan.Locky.Win32.1", 2}}));
}

TEST_F(LogicRegistryTest, AutoRunRulesComeBeforeTheBlackList) {
  // Winlogon USERINIT: auto-run row 4 (code 2) wins over black-list row 3 (code 1).
  EXPECT_EQ(CheckRegistryEvent(kOldTool, kWinlogon, u"USERINIT", 2), 4);
  EXPECT_EQ(Recorded().reports, (std::vector<Report>{{kOldTool, "HIPS:Trojan.Agent3.Win32.2", 2}}));
  // From an installation folder the auto-run rule passes and the black list answers.
  CreateFile(u"C:\\Program Files (x86)\\Vendor\\v.exe", 30);
  EXPECT_EQ(CheckRegistryEvent(u"C:\\Program Files (x86)\\Vendor\\v.exe", kWinlogon, u"USERINIT", 2), 3);
}

TEST_F(LogicRegistryTest, SystemProcessesAreNeverReported) {
  CreateFile(kSvchost, 0);
  EXPECT_EQ(CheckRegistryEvent(kSvchost, kRunKey, u"x", 2), 2);
  EXPECT_TRUE(Recorded().reports.empty());
  EXPECT_TRUE(Recorded().queryFileAsked.empty());
}

TEST_F(LogicRegistryTest, PerUserValueNamesIgnoreCase) {
  const char16_t* key = u"\\REGISTRY\\USER\\S-1-5-21-1004\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System\\";
  EXPECT_EQ(CheckRegistryEvent(kOldTool, key, u"DisableTaskMgr", 4), 3);
  EXPECT_EQ(CheckRegistryEvent(kOldTool, key, u"DISABLETASKMGR", 4), 3);
  EXPECT_EQ(CheckRegistryEvent(kOldTool, key, u"DisableTaskMgrX", 4), 1);
}

}  // namespace
