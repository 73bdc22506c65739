#include "WhiteList.h"

#include <gtest/gtest.h>

#include "EmulatedMachine.h"

namespace {

using evrules::IsSystemProcess;
using evrules_test::Utf8;

class WhiteListTest : public evrules_test::EmulatedMachine {};

struct Case {
  std::u16string_view path;
  bool system;
};

TEST_F(WhiteListTest, CoreProcessesInTheirHomeFolder) {
  constexpr Case kCases[] = {
      {u"C:\\Windows\\System32\\svchost.exe", true},
      {u"C:\\Windows\\System32\\lsass.exe", true},
      {u"c:\\windows\\system32\\CSRSS.EXE", true},
      {u"C:\\Windows\\System32\\services.exe", true},
      {u"C:\\Windows\\System32\\smss.exe", true},
      {u"C:\\Windows\\System32\\winlogon.exe", true},
      {u"C:\\Windows\\SysWOW64\\svchost.exe", true},
      {u"C:\\Windows\\System32\\explorer.exe", false},     // not in the table
      {u"C:\\Windows\\System32\\spoolsv.exe", false},      // not in this table
      {u"C:\\Windows\\System32\\drivers\\svchost.exe", false},  // subfolder
      {u"C:\\Windows\\svchost.exe", false},
      {u"D:\\Windows\\System32\\svchost.exe", false},
      {u"C:\\Windows\\System32\\svchost.exe.exe", false},
      {u"C:\\Windows\\System32\\", false},
      {u"svchost.exe", false},
      {u"\\svchost.exe", false},  // folder "\" is empty once its backslash goes
      {u"", false},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(Utf8(c.path));
    EXPECT_EQ(IsSystemProcess(c.path), c.system);
  }
}

TEST_F(WhiteListTest, FolderStringsAreNormalised) {
  EvEmu_SetFolder(EVEMU_SYSTEM_DIRECTORY, u"C:\\WINDOWS\\system32");
  Init();
  EXPECT_TRUE(IsSystemProcess(u"C:\\Windows\\System32\\lsass.exe"));
}

TEST_F(WhiteListTest, NothingIsExemptWithoutFolderStrings) {
  EvEmu_SetFolder(EVEMU_SYSTEM_DIRECTORY, nullptr);
  EvEmu_SetFolder(EVEMU_WINDOWS_DIRECTORY, nullptr);
  Init();
  EXPECT_FALSE(IsSystemProcess(u"C:\\Windows\\System32\\svchost.exe"));
  EXPECT_FALSE(IsSystemProcess(u"\\svchost.exe"));
  EXPECT_FALSE(IsSystemProcess(u"svchost.exe"));
}

}  // namespace
