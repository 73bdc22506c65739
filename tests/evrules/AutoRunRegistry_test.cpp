#include "AutoRunRegistry.h"

#include <gtest/gtest.h>

#include "EmulatedMachine.h"

namespace {

using evrules::CheckAutoRunRegistry;
using evrules_test::Answers;
using evrules_test::Recorded;
using evrules_test::Utf8;

class AutoRunRegistryTest : public evrules_test::MachineWithPrograms {};

#define USER_KEY(rest) u"\\REGISTRY\\USER\\S-1-5-21-7" rest
constexpr char16_t kWinlogon[] = u"\\REGISTRY\\MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon\\";
constexpr char16_t kSecurityCenter[] = u"\\REGISTRY\\MACHINE\\SOFTWARE\\Microsoft\\Security Center\\";

struct Case {
  std::u16string_view key;
  std::u16string_view value;
  int32_t code;
  std::string_view verdict;
};

TEST_F(AutoRunRegistryTest, EveryRowFiresForAProgramWrittenToday) {
  constexpr Case kCases[] = {
      {USER_KEY(u"\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\"), u"x", 2, "HIPS:Trojan.AutoRunUSER.Win32.1"},
      {USER_KEY(u"\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce\\"), u"", 2,
       "HIPS:Trojan.AutoRunUSER.Win32.2"},
      {u"\\REGISTRY\\MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run\\", u"x", 2,
       "HIPS:Trojan.AutoRunSYS.Win32.1"},
      {u"\\REGISTRY\\MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce\\", u"x", 2,
       "HIPS:Trojan.AutoRunSYS.Win32.2"},
      {kSecurityCenter, u"AntiVirusDisableNotify", 2, "HIPS:Trojan.Agent3.Win32.1"},
      {kWinlogon, u"Userinit", 2, "HIPS:Trojan.Agent3.Win32.2"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(Utf8(c.key));
    evrules::RuleOutcome outcome = CheckAutoRunRegistry(kFresh, c.key, c.value);
    EXPECT_EQ(outcome.code, c.code);
    EXPECT_EQ(outcome.verdict, c.verdict);
  }
}

TEST_F(AutoRunRegistryTest, NearMissKeysMatchNoRow) {
  constexpr std::u16string_view kKeys[] = {
      u"\\REGISTRY\\MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run",        // no backslash
      u"\\REGISTRY\\MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run\\X\\",   // subkey
      u"\\registry\\machine\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run\\",      // lower-case prefix
      u"\\REGISTRY\\MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunServices\\",  // other key
      u"\\REGISTRY\\USER\\.DEFAULT\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\",   // not a SID
      USER_KEY(u"\\Software\\Microsoft\\Security Center\\"),                               // machine row
      u"\\REGISTRY\\MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon\\Shell\\",
  };
  for (std::u16string_view key : kKeys) {
    SCOPED_TRACE(Utf8(key));
    EXPECT_EQ(CheckAutoRunRegistry(kFresh, key, u"USERINIT").code, 0);
  }
  EXPECT_EQ(CheckAutoRunRegistry(kFresh, kWinlogon, u"Shell").code, 0);
}

TEST_F(AutoRunRegistryTest, RunKeysNeedAProgramWrittenToday) {
  const std::u16string_view run = u"\\REGISTRY\\MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run\\";
  EXPECT_EQ(CheckAutoRunRegistry(kYesterday, run, u"x").code, 0);
  EXPECT_EQ(CheckAutoRunRegistry(u"C:\\Temp\\missing.exe", run, u"x").code, 0);
  // Only asked after the date test held.
  EXPECT_TRUE(Recorded().queryFileAsked.empty());
  Answers().queryFile[kFresh] = 1;
  EXPECT_EQ(CheckAutoRunRegistry(kFresh, run, u"x").code, 0);
  EXPECT_EQ(Recorded().queryFileAsked, std::vector<std::u16string>{kFresh});
  EXPECT_EQ(Recorded().queryBuffersSeen, std::vector<std::u16string>{std::u16string(4, u'\0')});
}

TEST_F(AutoRunRegistryTest, ProgramsWrittenTodayInAnyFolderAreAskedAbout) {
  CreateFile(u"C:\\Program Files\\Vendor\\new.exe", 0);
  EXPECT_EQ(CheckAutoRunRegistry(u"C:\\Program Files\\Vendor\\new.exe", kSecurityCenter, u"x").code, 2);
}

TEST_F(AutoRunRegistryTest, OldProgramsInInstallationFoldersPass) {
  CreateFile(u"C:\\Windows\\System32\\tool.exe", 30);
  CreateFile(u"C:\\Windows\\SysWOW64\\sub\\tool.exe", 30);
  struct ImageCase {
    const char16_t* image;
    int32_t code;
  };
  const ImageCase kCases[] = {
      {kOldVendor, 0},                              // contains C:\PROGRAM FILES
      {u"C:\\Windows\\System32\\tool.exe", 0},
      {u"C:\\Windows\\SysWOW64\\sub\\tool.exe", 0},
      {kOldTool, 2},
      {u"C:\\Tools\\missing.exe", 0},
  };
  for (const ImageCase& c : kCases) {
    SCOPED_TRACE(Utf8(c.image));
    EXPECT_EQ(CheckAutoRunRegistry(c.image, kWinlogon, u"USERINIT").code, c.code);
  }
}

TEST_F(AutoRunRegistryTest, DirectoriesNeverFire) {
  CreateDirectory(u"C:\\Tools\\dir.exe");
  EXPECT_EQ(CheckAutoRunRegistry(u"C:\\Tools\\dir.exe", kWinlogon, u"USERINIT").code, 0);
}

TEST_F(AutoRunRegistryTest, HostVouchingSuppressesTheFinding) {
  Answers().queryFile[kOldTool] = -1;
  EXPECT_EQ(CheckAutoRunRegistry(kOldTool, kSecurityCenter, u"x").code, 0);
}

TEST_F(AutoRunRegistryTest, AFreshImageTheHostVouchesForIsAskedTwiceWithTheSameBuffer) {
  CreateFile(u"C:\\Tools\\fresh.exe", 0);
  Answers().queryFile[u"C:\\Tools\\fresh.exe"] = 1;
  EXPECT_EQ(CheckAutoRunRegistry(u"C:\\Tools\\fresh.exe", kSecurityCenter, u"x").code, 0);
  ASSERT_EQ(Recorded().queryFileAsked.size(), 2u);
  EXPECT_EQ(Recorded().queryBuffersSeen[0][0], u'\0');
  EXPECT_EQ(Recorded().queryBuffersSeen[1][0], u'X');  // left by the first query
}

TEST_F(AutoRunRegistryTest, EmptyFolderStringsAreNeverContained) {
  SetEnvironment("ProgramFiles", nullptr);
  EvEmu_SetFolder(EVEMU_SYSTEM_DIRECTORY, nullptr);
  EvEmu_SetFolder(EVEMU_WINDOWS_DIRECTORY, nullptr);
  Init();
  EXPECT_EQ(CheckAutoRunRegistry(kOldVendor, kWinlogon, u"USERINIT").code, 2);
}

TEST_F(AutoRunRegistryTest, ImagesOutsideTheCodePageAreJudged) {
  const char16_t* image = u"C:\\Temp\\\u0437\u0430\u0433\u0440\u0443\u0437\u043a\u0430.exe";
  CreateFile(image, 0);
  EXPECT_EQ(CheckAutoRunRegistry(image, u"\\REGISTRY\\MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run\\",
                                 u"x")
                .code,
            2);
}

}  // namespace
