#include "Rules_CMD.h"

#include <gtest/gtest.h>

#include "EmulatedMachine.h"

namespace {

using evrules::CheckCmd;
using evrules_test::Answers;
using evrules_test::Recorded;
using evrules_test::Report;
using evrules_test::Utf8;

class RulesCmdTest : public evrules_test::EmulatedMachine {
 protected:
  void SetUp() override {
    EmulatedMachine::SetUp();
    CreateFile(u"C:\\t\\x.exe", 0);
    CreateFile(u"C:\\t\\old.exe", 1);
  }
};

TEST_F(RulesCmdTest, HiddenRunOfAFreshProgramIsReported) {
  EXPECT_EQ(CheckCmd(u"cmd.exe /c C:\\t\\x.exe", u"C:\\T\\X.EXE", 0x80), 1);
  EXPECT_EQ(Recorded().reports, (std::vector<Report>{{u"C:\\T\\X.EXE", "HIPS:Trojan.HiddenRun.Win32.1", 2}}));
  EXPECT_EQ(Recorded().whiteListAsked, std::vector<std::u16string>{u"C:\\T\\X.EXE"});
}

TEST_F(RulesCmdTest, TokenOrderDoesNotMatter) {
  EXPECT_EQ(CheckCmd(u"cmd.exe \"C:\\t\\x.exe\" /C", u"c:\\t\\x.exe", 0x80), 1);
  EXPECT_EQ(CheckCmd(u"cmd.exe /S /C \"C:\\t\\x.exe\"", u"C:\\t\\x.exe", 0x81), 1);
}

TEST_F(RulesCmdTest, EveryConditionIsNeeded) {
  Answers().whiteList[u"C:\\t\\x.exe"] = 1;
  struct Case {
    const char16_t* line;
    const char16_t* target;
    int32_t flags;
  };
  const Case kCases[] = {
      {u"cmd.exe C:\\t\\x.exe", u"C:\\T\\X.EXE", 0x80},           // no /c
      {u"cmd.exe /k C:\\t\\x.exe", u"C:\\T\\X.EXE", 0x80},
      {u"cmd.exe \"/c C:\\t\\x.exe\"", u"C:\\T\\X.EXE", 0x80},    // /c inside quotes with more text
      {u"cmd.exe /c C:\\t\\old.exe", u"C:\\t\\old.exe", 0x80},    // written yesterday
      {u"cmd.exe /c C:\\t\\x.exe", u"C:\\T\\X.EXE", 0},
      {u"cmd.exe /c C:\\t\\y.exe", u"C:\\T\\X.EXE", 0x80},        // target not named
      {u"cmd.exe /c C:\\t\\x.exe", u"", 0x80},
      {u"C:\\t\\x.exe /c", u"C:\\T\\X.EXE", 0x80},                // first token is skipped
      {u"cmd.exe /c C:\\t\\x.exe", u"C:\\t\\x.exe", 0x80},        // white-listed
      {u"c 1 2 3 4 5 6 7 8 /c C:\\t\\x.exe", u"C:\\T\\X.EXE", 0x80},  // eleventh token
      {u"cmd.exe\t/c\tC:\\t\\x.exe", u"C:\\T\\X.EXE", 0x80},     // tabs do not separate
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(Utf8(c.line) + " -> " + Utf8(c.target));
    EXPECT_EQ(CheckCmd(c.line, c.target, c.flags), 0);
  }
  EXPECT_TRUE(Recorded().reports.empty());
}

TEST_F(RulesCmdTest, WhiteListIsAskedOnlyWhenEverythingElseHolds) {
  EXPECT_EQ(CheckCmd(u"cmd.exe /c C:\\t\\old.exe", u"C:\\t\\old.exe", 0x80), 0);
  EXPECT_EQ(CheckCmd(u"cmd.exe C:\\t\\x.exe", u"C:\\t\\x.exe", 0x80), 0);
  EXPECT_TRUE(Recorded().whiteListAsked.empty());
  EXPECT_TRUE(Recorded().debugLines.empty());
}

TEST_F(RulesCmdTest, TargetNamedOnlyWhenTheFileExists) {
  CreateDirectory(u"C:\\t\\dir.exe");
  EXPECT_EQ(CheckCmd(u"cmd.exe /c C:\\t\\dir.exe", u"C:\\t\\dir.exe", 0x80), 0);
  EXPECT_EQ(CheckCmd(u"cmd.exe /c C:\\t\\gone.exe", u"C:\\t\\gone.exe", 0x80), 0);
}

}  // namespace
