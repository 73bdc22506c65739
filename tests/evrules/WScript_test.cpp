#include "WScript.h"

#include <gtest/gtest.h>

#include "EmulatedMachine.h"

namespace {

using evrules::CheckWScript;
using evrules_test::Answers;
using evrules_test::Recorded;
using evrules_test::Report;
using evrules_test::Utf8;

class WScriptTest : public evrules_test::EmulatedMachine {
 protected:
  void SetUp() override {
    EmulatedMachine::SetUp();
    MapDrive(u"E:", 2);
    MapDrive(u"\\\\srv\\share", 2);
    CreateFile(u"E:\\My Scripts\\run.vbs");
    CreateFile(u"C:\\x\\dl.js");
    CreateFile(kTarget, 0);
    CreateFile(u"C:\\x\\old.exe", 2);
  }
  static constexpr char16_t kTarget[] = u"C:\\x\\payload.exe";
};

TEST_F(WScriptTest, ScriptOnARemovableDriveIsAnAutoRunWorm) {
  EXPECT_EQ(CheckWScript(u"wscript.exe \"E:\\My Scripts\\run.vbs\"", u"C:\\x\\none.exe", 0), 1);
  EXPECT_EQ(Recorded().reports, (std::vector<Report>{{u"E:\\MY SCRIPTS\\RUN.VBS", "HIPS:Worm.AutoRun.Script.1", 2}}));
  EXPECT_EQ(Recorded().whiteListAsked, std::vector<std::u16string>{u"E:\\MY SCRIPTS\\RUN.VBS"});
}

TEST_F(WScriptTest, ScriptOnAFixedDriveIsNotReported) {
  MapDrive(u"E:", 3);
  CreateFile(u"E:\\My Scripts\\run.vbs");
  EXPECT_EQ(CheckWScript(u"wscript.exe \"E:\\My Scripts\\run.vbs\"", u"C:\\x\\none.exe", 0), 0);
  EXPECT_TRUE(Recorded().reports.empty());
  EXPECT_TRUE(Recorded().debugLines.empty());
}

TEST_F(WScriptTest, NetworkShareDrivePartIsServerAndShare) {
  CreateFile(u"\\\\srv\\share\\s.wsf");
  EXPECT_EQ(CheckWScript(u"cscript \\\\srv\\share\\s.wsf", u"C:\\x\\none.exe", 0), 1);
  EXPECT_EQ(Recorded().reports, (std::vector<Report>{{u"\\\\SRV\\SHARE\\S.WSF", "HIPS:Worm.AutoRun.Script.1", 2}}));
}

TEST_F(WScriptTest, DrivePartOfPaths) {
  struct Case {
    std::u16string_view path, drive;
  };
  constexpr Case kCases[] = {
      {u"E:\\A.VBS", u"E:"},     {u"E:A.VBS", u"E:"},           {u"\\\\SRV\\SHARE\\A.VBS", u"\\\\SRV\\SHARE"},
      {u"\\\\SRV\\SHARE", u"\\\\SRV\\SHARE"}, {u"\\\\SRV", u""}, {u"\\A.VBS", u""},
      {u"A.VBS", u""},           {u"1:\\A.VBS", u""},           {u"", u""},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(Utf8(c.path));
    EXPECT_EQ(evrules::DrivePart(c.path), c.drive);
  }
}

TEST_F(WScriptTest, HostWhiteListSparesTheScript) {
  Answers().whiteList[u"E:\\MY SCRIPTS\\RUN.VBS"] = 1;
  EXPECT_EQ(CheckWScript(u"wscript.exe \"E:\\My Scripts\\run.vbs\"", u"C:\\x\\none.exe", 0), 0);
  EXPECT_TRUE(Recorded().reports.empty());
}

TEST_F(WScriptTest, ScriptHostStartingAFreshProgramIsADownloader) {
  EXPECT_EQ(CheckWScript(u"wscript.exe //B C:\\x\\dl.js", kTarget, 0x80), 1);
  EXPECT_EQ(Recorded().reports, (std::vector<Report>{{u"C:\\X\\DL.JS", "HIPS:Downloader.Agent.Script.1", 2},
                                                     {kTarget, "HIPS:Trojan.Agent.Win32.1", 2}}));
}

TEST_F(WScriptTest, BothRulesCanFireForOneEvent) {
  EXPECT_EQ(CheckWScript(u"wscript.exe \"E:\\My Scripts\\run.vbs\"", kTarget, 0x81), 1);
  EXPECT_EQ(Recorded().reports,
            (std::vector<Report>{{u"E:\\MY SCRIPTS\\RUN.VBS", "HIPS:Worm.AutoRun.Script.1", 2},
                                 {u"E:\\MY SCRIPTS\\RUN.VBS", "HIPS:Downloader.Agent.Script.1", 2},
                                 {kTarget, "HIPS:Trojan.Agent.Win32.1", 2}}));
}

TEST_F(WScriptTest, DownloaderRuleNeedsEveryCondition) {
  Answers().whiteList[u"C:\\x\\listed.exe"] = 1;
  CreateFile(u"C:\\x\\listed.exe", 0);
  struct Case {
    const char16_t* target;
    int32_t flags;
  };
  const Case kCases[] = {
      {kTarget, 0},        {kTarget, 0x7F},  {u"C:\\x\\old.exe", 0x80},
      {u"C:\\x\\missing.exe", 0x80}, {u"C:\\x\\listed.exe", 0x80},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(Utf8(c.target) + " flags " + std::to_string(c.flags));
    EXPECT_EQ(CheckWScript(u"wscript.exe //B C:\\x\\dl.js", c.target, c.flags), 0);
  }
  EXPECT_TRUE(Recorded().reports.empty());
}

TEST_F(WScriptTest, NoScriptNoFinding) {
  CreateFile(u"E:\\run.vbsx");
  CreateDirectory(u"E:\\folder.vbs");
  const char16_t* kLines[] = {
      u"",
      u"wscript.exe",                         // one token: no file access
      u"\"E:\\My Scripts\\run.vbs\"",         // one token
      u"wscript.exe E:\\missing.vbs",
      u"wscript.exe E:\\run.vbsx",
      u"wscript.exe E:\\folder.vbs",
      u"wscript.exe E:\\My Scripts\\run.vbs",  // unquoted: split at the space
      u"w 1 2 3 4 5 6 7 8 9 \"E:\\My Scripts\\run.vbs\"",  // eleventh token
  };
  for (const char16_t* line : kLines) {
    SCOPED_TRACE(Utf8(line));
    EXPECT_EQ(CheckWScript(line, kTarget, 0x80), 0);
  }
  EXPECT_EQ(CheckWScript(u"wscript.exe E:\\My Scripts\\run.vbs", u"", 0x80), 0);
  EXPECT_TRUE(Recorded().reports.empty());
}

TEST_F(WScriptTest, ExtensionsIgnoreCaseAndTheFirstScriptFoundCounts) {
  CreateFile(u"C:\\x\\a.VbE");
  CreateFile(u"E:\\b.js");
  EXPECT_EQ(CheckWScript(u"cscript C:\\x\\a.VbE E:\\b.js", u"C:\\x\\none.exe", 0), 0);  // first script on C:
  EXPECT_EQ(CheckWScript(u"cscript E:\\nothere.vbs E:\\b.js", u"C:\\x\\none.exe", 0), 1);
  EXPECT_EQ(Recorded().reports, (std::vector<Report>{{u"E:\\B.JS", "HIPS:Worm.AutoRun.Script.1", 2}}));
}

TEST_F(WScriptTest, TenthTokenIsStillExamined) {
  EXPECT_EQ(CheckWScript(u"w 1 2 3 4 5 6 7 8 \"E:\\My Scripts\\run.vbs\" tail", kTarget, 0), 1);
}

}  // namespace
