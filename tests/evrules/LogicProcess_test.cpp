// Process dispatch: which rule sets run, in which order, and the results.
#include "LogicProcess.h"

#include <gtest/gtest.h>

#include "EmulatedMachine.h"

namespace {

using evrules::CheckProcessEvent;
using evrules_test::Answers;
using evrules_test::Recorded;
using evrules_test::Report;

class LogicProcessTest : public evrules_test::EmulatedMachine {};

constexpr char16_t kSvch0st[] = u"C:\\Temp\\svch0st.exe";

TEST_F(LogicProcessTest, NameFilterHitIsReportedWhenFlagsAreZero) {
  EXPECT_EQ(CheckProcessEvent(kSvch0st, u"", u"", 0), 4);
  EXPECT_EQ(Recorded().reports, (std::vector<Report>{{kSvch0st, "HIPS:Trojan.Generic1.Win32.1", 2}}));
  EXPECT_EQ(Recorded().whiteListAsked, std::vector<std::u16string>{kSvch0st});
}

TEST_F(LogicProcessTest, AnyNonZeroFlagsSwitchTheNameFilterOff) {
  for (int32_t flags : {1, 0x80, 0x40, -1, 0x100}) {
    SCOPED_TRACE(flags);
    EXPECT_EQ(CheckProcessEvent(kSvch0st, u"", u"", flags), 1);
  }
  EXPECT_TRUE(Recorded().reports.empty());
  EXPECT_TRUE(Recorded().whiteListAsked.empty());
}

TEST_F(LogicProcessTest, HostWhiteListClearsANameFilterHit) {
  Answers().whiteList[kSvch0st] = 5;
  Answers().whiteList[u"C:\\Temp\\taskdl.exe"] = 1;
  EXPECT_EQ(CheckProcessEvent(kSvch0st, u"", u"", 0), 1);
  EXPECT_EQ(CheckProcessEvent(u"C:\\Temp\\taskdl.exe", u"", u"", 0), 1);
  EXPECT_TRUE(Recorded().reports.empty());
}

TEST_F(LogicProcessTest, KnownNamesWithCodeThreeAnswerTwoWithoutReport) {
  Init(HostCallbacks{EVRULES_SIZE_WITH_REPORT, evrules_test::RecordReport, nullptr, nullptr});
  EXPECT_EQ(CheckProcessEvent(u"C:\\Temp\\taskdl.exe", u"", u"", 0), 2);
  EXPECT_TRUE(Recorded().reports.empty());
  EXPECT_EQ(Recorded().debugLines,
            std::vector<std::string>{"==HIPSCheckWhiteListEntry: Check for white list C:\\Temp\\taskdl.exe"});
}

TEST_F(LogicProcessTest, SameProcessAndTargetAnswerOne) {
  EXPECT_EQ(CheckProcessEvent(kSvch0st, kSvch0st, u"", 0), 1);
  EXPECT_EQ(CheckProcessEvent(u"", u"", u"", 0), 1);
  // Equality is exact: another case is another path.
  EXPECT_EQ(CheckProcessEvent(kSvch0st, u"C:\\TEMP\\SVCH0ST.EXE", u"", 0), 4);
}

TEST_F(LogicProcessTest, SystemProcessesAnswerTwoBeforeAnyRule) {
  EXPECT_EQ(CheckProcessEvent(u"C:\\Windows\\System32\\lsass.exe", u"C:\\x.exe", u"", 0), 2);
  EXPECT_EQ(CheckProcessEvent(u"C:\\Windows\\SysWOW64\\svchost.exe", u"", u"", 0x80), 2);
  EXPECT_TRUE(Recorded().whiteListAsked.empty());
}

TEST_F(LogicProcessTest, InterpreterRulesRunOnlyForInterpretersInSystemFolders) {
  MapDrive(u"E:", 2);
  CreateFile(u"E:\\run.vbs");
  struct Case {
    const char16_t* image;
    int32_t result;
    std::size_t reports;
  };
  const Case kCases[] = {
      {u"C:\\Windows\\System32\\wscript.exe", 3, 1},
      {u"C:\\Windows\\SysWOW64\\WScript.exe", 3, 1},
      {u"c:\\windows\\system32\\cscript.exe", 3, 1},
      {u"C:\\Windows\\SysWOW64\\cscript.exe", 3, 1},
      {u"C:\\Windows\\wscript.exe", 1, 0},
      {u"C:\\Temp\\wscript.exe", 1, 0},
      {u"C:\\Windows\\System32\\cmd.exe", 1, 0},  // cmd has its own rule
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(evrules_test::Utf8(c.image));
    Recorded() = evrules_test::HostRecord{};
    EXPECT_EQ(CheckProcessEvent(c.image, u"C:\\x.exe", u"wscript.exe E:\\run.vbs", 0x80), c.result);
    EXPECT_EQ(Recorded().reports.size(), c.reports);
  }
}

TEST_F(LogicProcessTest, ScriptHostWithoutFindingGoesOnToTheNameFilter) {
  // A script host outside the system folders is not an interpreter here, and
  // one in them is not a filter hit: use a host folder root for the filter.
  MapDrive(u"E:", 3);
  CreateFile(u"E:\\run.vbs");
  EXPECT_EQ(CheckProcessEvent(u"C:\\Windows\\System32\\wscript.exe", u"C:\\x.exe", u"wscript.exe E:\\run.vbs", 0), 1);
  EvEmu_SetFolder(EVEMU_SYSTEM_DIRECTORY, u"C:\\Program Files");
  Init();
  EXPECT_EQ(CheckProcessEvent(u"C:\\Program Files\\wscript.exe", u"C:\\x.exe", u"wscript.exe E:\\run.vbs", 0), 4);
  EXPECT_EQ(Recorded().reports,
            (std::vector<Report>{{u"C:\\Program Files\\wscript.exe", "HIPS:Trojan.Generic3.Win32.1", 2}}));
}

TEST_F(LogicProcessTest, EmptyFolderStringsMakeNoInterpreters) {
  // With no system folder, SystemDir + "\CMD.EXE" would be "\CMD.EXE".
  EvEmu_SetFolder(EVEMU_SYSTEM_DIRECTORY, nullptr);
  EvEmu_SetFolder(EVEMU_WINDOWS_DIRECTORY, nullptr);
  Init();
  MapDrive(u"E:", 2);
  CreateFile(u"E:\\run.vbs");
  CreateFile(u"C:\\t\\x.exe", 0);
  EXPECT_EQ(CheckProcessEvent(u"\\cmd.exe", u"C:\\T\\X.EXE", u"cmd /c C:\\t\\x.exe", 0x80), 1);
  EXPECT_EQ(CheckProcessEvent(u"\\wscript.exe", u"C:\\x.exe", u"wscript.exe E:\\run.vbs", 0x80), 1);
  EXPECT_TRUE(Recorded().reports.empty());
}

}  // namespace
