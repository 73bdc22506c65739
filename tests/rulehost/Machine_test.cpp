// The emulated machine of the host library, seen through the module's own
// platform layer: what the machine writes is what the module finds.
#include "Machine.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "Platform.h"
#include "PlatformEmulation.h"

namespace rulehost {
namespace {

using evrules::platform::FileKind;
using evrules::platform::LocalDate;

Module Emulation() {
  Module module;
#define SET_EXPORT(Member, Symbol) module.Member = Symbol;
  RULEHOST_EMULATION_EXPORTS(SET_EXPORT)
#undef SET_EXPORT
  return module;
}

// 2024-05-01 12:00 UTC, and a day before.
constexpr FileTime kMayFirst{1714564800, 0};
constexpr FileTime kAprilThirtieth{1714478400, 0};

class MachineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("TZ", "UTC", 1);
    ::tzset();
    ASSERT_TRUE(machine_.Open("", "rulehost-test")) << machine_.error();
    ASSERT_TRUE(machine_.MapDrive("C:", 3)) << machine_.error();
  }

  static FileKind Kind(std::u16string_view path) { return evrules::platform::GetFileKind(path); }
  static LocalDate Written(std::u16string_view path) {
    LocalDate date;
    EXPECT_TRUE(evrules::platform::FindLastWriteDate(path, date));
    return date;
  }

  Module module_ = Emulation();
  Machine machine_{module_};
};

TEST_F(MachineTest, FilesAreWhereTheModuleLooksWithTheirDates) {
  ASSERT_TRUE(machine_.WriteFile("C:\\Users\\bob\\AppData\\new.exe", kMayFirst)) << machine_.error();
  EXPECT_EQ(Kind(u"C:\\Users\\bob\\AppData\\new.exe"), FileKind::File);
  EXPECT_EQ(Kind(u"c:\\USERS\\Bob\\appdata\\NEW.EXE"), FileKind::File);
  EXPECT_EQ(Kind(u"C:\\Users\\bob"), FileKind::Directory);
  EXPECT_EQ(Written(u"C:\\Users\\bob\\AppData\\new.exe"), (LocalDate{2024, 5, 1}));

  // Rewritten under another case: the same file, with the new date.
  ASSERT_TRUE(machine_.WriteFile("C:/USERS/BOB/APPDATA/NEW.EXE", kAprilThirtieth));
  EXPECT_EQ(Written(u"C:\\Users\\bob\\AppData\\new.exe"), (LocalDate{2024, 4, 30}));
  EXPECT_TRUE(machine_.HasFile("c:\\users\\bob\\appdata\\new.exe"));
  std::size_t files = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(machine_.Folder()))
    files += entry.is_regular_file() ? 1 : 0;
  EXPECT_EQ(files, 1u);
}

TEST_F(MachineTest, DotsAndSeparatorsAsWindowsReadsThem) {
  ASSERT_TRUE(machine_.WriteFile("C:\\a\\.\\b\\..\\c.txt", kMayFirst));
  EXPECT_EQ(Kind(u"C:\\a\\c.txt"), FileKind::File);
  EXPECT_TRUE(machine_.HasFile("C:\\a\\c.txt"));
}

TEST_F(MachineTest, RemovedFilesAreGone) {
  ASSERT_TRUE(machine_.WriteFile("C:\\Temp\\x.exe", kMayFirst));
  EXPECT_TRUE(machine_.RemoveFile("c:\\temp\\X.EXE"));
  EXPECT_EQ(Kind(u"C:\\Temp\\x.exe"), FileKind::Missing);
  EXPECT_FALSE(machine_.HasFile("C:\\Temp\\x.exe"));
  EXPECT_TRUE(machine_.RemoveFile("C:\\Temp\\never.exe"));
  EXPECT_TRUE(machine_.RemoveFile("Q:\\on\\no\\drive.exe"));
  EXPECT_FALSE(machine_.RemoveFile("C:\\Temp"));
}

TEST_F(MachineTest, WhatCannotBeWritten) {
  struct Case {
    const char* path;
    const char* error;
  };
  ASSERT_TRUE(machine_.WriteFile("C:\\file", kMayFirst));
  const Case cases[] = {
      {"D:\\x.exe", "no drive for D:\\x.exe"},
      {"relative\\x.exe", "no drive in relative\\x.exe"},
      {"C:\\bad|name.txt", "not a file name Windows can hold: C:\\bad|name.txt"},
      {"C:\\a:b\\c.txt", "not a file name Windows can hold: C:\\a:b\\c.txt"},
      {"C:\\a\\:stream", "not a file name Windows can hold: C:\\a\\:stream"},
      {"C:\\", "not a file: C:\\"},
      {"C:\\Users\\..\\..", "not a file: C:\\Users\\..\\.."},
      {"C:\\deep", nullptr},  // below: longer than Windows or the sandbox holds
  };
  for (const Case& c : cases) {
    if (c.error == nullptr) continue;
    SCOPED_TRACE(c.path);
    EXPECT_FALSE(machine_.WriteFile(c.path, kMayFirst));
    EXPECT_EQ(machine_.error(), c.error);
  }
  std::string deep = "C:";
  for (int i = 0; i < 2100; ++i) deep += "\\a";
  EXPECT_FALSE(machine_.WriteFile(deep, kMayFirst));
  EXPECT_EQ(machine_.error().rfind("longer than the machine's folders can hold: C:\\a\\a", 0), 0u) << machine_.error().substr(0, 80);
  EXPECT_FALSE(machine_.WriteFile("C:" + std::string(100000, 'x'), kMayFirst));
  EXPECT_EQ(machine_.error().rfind("longer than any Windows path: C:xxx", 0), 0u);
  EXPECT_LT(machine_.error().size(), 300u) << "a long path is shown by its start";
  ASSERT_TRUE(machine_.MakeDirectory("C:\\Dir"));
  EXPECT_FALSE(machine_.WriteFile("C:\\dir", kMayFirst));
  EXPECT_EQ(machine_.error(), "a folder, not a file: C:\\dir");
}

// Logs name a new folder as a file created, then the files inside it.
TEST_F(MachineTest, AFileUsedAsAFolderBecomesOne) {
  ASSERT_TRUE(machine_.WriteFile("C:\\Temp\\new", kMayFirst));
  ASSERT_TRUE(machine_.WriteFile("C:\\Temp\\NEW\\run.exe", kMayFirst)) << machine_.error();
  EXPECT_EQ(Kind(u"C:\\Temp\\new"), FileKind::Directory);
  EXPECT_EQ(Kind(u"C:\\Temp\\new\\run.exe"), FileKind::File);
  EXPECT_FALSE(machine_.HasFile("C:\\Temp\\new"));
  EXPECT_TRUE(machine_.HasFile("C:\\Temp\\new\\run.exe"));
}

TEST_F(MachineTest, AStreamNameWritesItsFile) {
  ASSERT_TRUE(machine_.WriteFile("C:\\Logs\\trace.etl:{4b2c-11}", kMayFirst)) << machine_.error();
  ASSERT_TRUE(machine_.WriteFile("C:\\Logs\\x.exe:Zone.Identifier:$DATA", kMayFirst)) << machine_.error();
  EXPECT_EQ(Kind(u"C:\\Logs\\trace.etl"), FileKind::File);
  EXPECT_TRUE(machine_.HasFile("C:\\Logs\\x.exe"));
  // A folder's stream leaves the folder a folder.
  ASSERT_TRUE(machine_.WriteFile("C:\\LOGS:hidden.vbs", kMayFirst)) << machine_.error();
  EXPECT_EQ(Kind(u"C:\\Logs"), FileKind::Directory);
  EXPECT_TRUE(machine_.HasFile("C:\\Logs\\x.exe"));
}

TEST_F(MachineTest, TheSandboxHoldsNoMoreThanItsLimits) {
  machine_.SetLimits(3, 0);
  EXPECT_TRUE(machine_.WriteFile("C:\\a\\b.txt", kMayFirst));  // a folder and a file
  EXPECT_TRUE(machine_.WriteFile("C:\\a\\c.txt", kMayFirst));
  EXPECT_TRUE(machine_.WriteFile("C:\\a\\c.txt", kAprilThirtieth)) << "a file already there costs nothing";
  EXPECT_FALSE(machine_.full());
  EXPECT_FALSE(machine_.WriteFile("C:\\a\\d.txt", kMayFirst));
  EXPECT_TRUE(machine_.full());
  EXPECT_EQ(machine_.error(), "the sandbox is full: 3 files and folders, 11 bytes of names");
  machine_.SetLimits(0, 13);
  EXPECT_TRUE(machine_.WriteFile("C:\\a\\e", kMayFirst));
  EXPECT_FALSE(machine_.MakeDirectory("C:\\longname"));
}

TEST_F(MachineTest, DrivesAndTheirTypes) {
  ASSERT_TRUE(machine_.MapDrive("e:", 2));
  ASSERT_TRUE(machine_.MapDrive("\\\\srv\\share", 4));
  EXPECT_TRUE(machine_.HasDrive("E:"));
  EXPECT_TRUE(machine_.HasDrive("\\\\SRV\\SHARE"));
  EXPECT_TRUE(machine_.HasDrive("//srv/share"));
  EXPECT_FALSE(machine_.HasDrive("F:"));
  EXPECT_EQ(evrules::platform::QueryDriveType(u"E:"), 2u);
  EXPECT_EQ(evrules::platform::QueryDriveType(u"\\\\srv\\share"), 4u);
  ASSERT_TRUE(machine_.WriteFile("\\\\srv\\share\\logon.vbs", kMayFirst));
  EXPECT_EQ(Kind(u"\\\\SRV\\share\\logon.vbs"), FileKind::File);
  EXPECT_FALSE(machine_.MapDrive("E:\\", 2));
  EXPECT_EQ(machine_.error(), "bad drive root E:\\");
  EXPECT_FALSE(machine_.MapDrive("nowhere", 3));
}

TEST_F(MachineTest, ComputersHaveTheirOwnDrivesAndFiles) {
  ASSERT_TRUE(machine_.MapDrive("E:", 2));
  ASSERT_TRUE(machine_.WriteFile("C:\\Temp\\first.exe", kMayFirst));
  const int second = machine_.AddComputer();
  EXPECT_EQ(second, 1);
  machine_.SelectComputer(second);
  EXPECT_EQ(machine_.SelectedComputer(), second);
  // The first computer's drive E: is not there, C: not until mapped.
  EXPECT_EQ(evrules::platform::QueryDriveType(u"E:"), 1u);
  EXPECT_FALSE(machine_.HasDrive("C:"));
  ASSERT_TRUE(machine_.MapDrive("C:", 3));
  EXPECT_EQ(Kind(u"C:\\Temp\\first.exe"), FileKind::Missing);
  EXPECT_FALSE(machine_.HasFile("C:\\Temp\\first.exe"));
  ASSERT_TRUE(machine_.WriteFile("C:\\Temp\\second.exe", kMayFirst));

  machine_.SelectComputer(0);
  EXPECT_EQ(evrules::platform::QueryDriveType(u"E:"), 2u);
  EXPECT_EQ(Kind(u"C:\\Temp\\first.exe"), FileKind::File);
  EXPECT_EQ(Kind(u"C:\\Temp\\second.exe"), FileKind::Missing);
}

TEST(MachineEndTest, TheSandboxAndTheEnvironmentAreRestored) {
  Module module = Emulation();
  ::setenv("RULEHOST_TEST_VARIABLE", "before", 1);
  ::unsetenv("RULEHOST_TEST_UNSET");
  std::string folder;
  {
    Machine machine(module);
    ASSERT_TRUE(machine.Open("", "rulehost-test"));
    folder = machine.Folder();
    ASSERT_TRUE(machine.MapDrive("C:", 3));
    ASSERT_TRUE(machine.WriteFile("C:\\x\\y.txt", kMayFirst));
    machine.SetEnvironment("RULEHOST_TEST_VARIABLE", std::string("during"));
    machine.SetEnvironment("RULEHOST_TEST_UNSET", std::string("set"));
    EXPECT_STREQ(std::getenv("RULEHOST_TEST_VARIABLE"), "during");
    EXPECT_TRUE(std::filesystem::exists(folder));
  }
  EXPECT_FALSE(std::filesystem::exists(folder));
  EXPECT_STREQ(std::getenv("RULEHOST_TEST_VARIABLE"), "before");
  EXPECT_EQ(std::getenv("RULEHOST_TEST_UNSET"), nullptr);
  // The emulation is back to its start: no drives.
  EXPECT_EQ(evrules::platform::QueryDriveType(u"C:"), 1u);
}

TEST(MachineEndTest, AFolderThatCannotBeMadeIsSaid) {
  Module module = Emulation();
  Machine machine(module);
  EXPECT_FALSE(machine.Open("/nonexistent/folder", "rulehost-test"));
  EXPECT_EQ(machine.error(), "cannot make a folder in /nonexistent/folder: No such file or directory");
}

}  // namespace
}  // namespace rulehost
