#include "ProcessNameFilter.h"

#include <gtest/gtest.h>

#include "EmulatedMachine.h"

namespace {

using evrules::CheckProcessName;
using evrules_test::Utf8;

class ProcessNameFilterTest : public evrules_test::EmulatedMachine {};

struct Case {
  std::u16string_view path;
  int32_t code;
  std::string_view verdict;
};

// Each path and what the filter answers for it, by what the rows say.
constexpr Case kCases[] = {
    // Known malicious names fire in any folder.
    {u"C:\\Temp\\svch0st.exe", 2, "HIPS:Trojan.Generic1.Win32.1"},
    {u"C:\\Windows\\System32\\system.com", 2, "HIPS:Trojan.Generic1.Win32.2"},
    {u"D:\\scvhost.com", 2, "HIPS:Trojan.Generic1.Win32.3"},
    {u"C:\\x\\CTFMON.COM", 2, "HIPS:Trojan.Generic1.Win32.4"},
    {u"C:\\x\\scvhost.exe", 2, "HIPS:Trojan.Generic1.Win32.5"},
    {u"C:\\x\\sdra64.exe", 2, "HIPS:Trojan.Generic1.Win32.6"},
    {u"D:\\x\\New Folder.exe", 2, "HIPS:Trojan.Generic1.Win32.7"},
    {u"C:\\x\\svhost.exe", 2, "HIPS:Trojan.Generic1.Win32.8"},
    {u"C:\\x\\svchoss.exe", 2, "HIPS:Trojan.Generic1.Win32.9"},
    {u"C:\\x\\WindowsUpdate.exe", 2, "HIPS:Trojan.Generic1.Win32.10"},
    {u"C:\\x\\recycler.exe", 2, "HIPS:Trojan.Generic1.Win32.11"},
    {u"C:\\x\\svchost..exe", 2, "HIPS:Trojan.Generic1.Win32.12"},
    {u"C:\\x\\taskdl.exe", 3, "HIPS:Trojan.WanaCry.Win32.1"},
    {u"C:\\x\\taskse.exe", 3, "HIPS:Trojan.WanaCry.Win32.2"},
    {u"C:\\x\\@WanaDecryptor@.exe", 3, "HIPS:Trojan.WanaCry.Win32.3"},
    {u"C:\\Windows\\mssecsvc.exe", 3, "HIPS:Trojan.WanaCry.Win32.4"},
    {u"C:\\x\\tasksche.exe", 3, "HIPS:Trojan.WanaCry.Win32.5"},
    {u"C:svch0st.exe", 2, "HIPS:Trojan.Generic1.Win32.1"},  // split at ":"
    // System names fire away from home.
    {u"C:\\Temp\\svchost.exe", 2, "HIPS:Trojan.Generic2.Win32.1"},
    {u"C:\\Windows\\svchost.exe", 2, "HIPS:Trojan.Generic2.Win32.1"},
    {u"C:\\Windows\\System32\\drivers\\lsass.exe", 2, "HIPS:Trojan.Generic2.Win32.2"},
    {u"C:\\x\\csrss.exe", 2, "HIPS:Trojan.Generic2.Win32.3"},
    {u"C:\\x\\services.exe", 2, "HIPS:Trojan.Generic2.Win32.4"},
    {u"C:\\x\\smss.exe", 2, "HIPS:Trojan.Generic2.Win32.5"},
    {u"C:\\x\\winlogon.exe", 2, "HIPS:Trojan.Generic2.Win32.6"},
    {u"C:\\x\\igfxpers.exe", 2, "HIPS:Trojan.Generic2.Win32.7"},
    {u"C:\\x\\spoolsv.exe", 2, "HIPS:Trojan.Generic2.Win32.8"},
    {u"C:\\x\\taskhost.exe", 2, "HIPS:Trojan.Generic2.Win32.9"},
    {u"C:\\x\\wininit.exe", 2, "HIPS:Trojan.Generic2.Win32.10"},
    {u"C:\\x\\explorer.exe", 2, "HIPS:Trojan.Generic2.Win32.11"},
    {u"C:\\Windows\\System32\\drivers\\explorer.exe", 2, "HIPS:Trojan.Generic2.Win32.11"},
    {u"C:\\Windows\\System32\\Sub\\..\\svchost.exe", 2, "HIPS:Trojan.Generic2.Win32.1"},  // text, not a path
    {u"C:\\Windows\\System32\\\\svchost.exe", 2, "HIPS:Trojan.Generic2.Win32.1"},       // one backslash removed
    // System names at home fire nothing.
    {u"C:\\Windows\\System32\\svchost.exe", 0, ""},
    {u"C:\\windows\\system32\\LSASS.exe", 0, ""},
    {u"C:\\Windows\\SysWOW64\\winlogon.exe", 0, ""},
    {u"C:\\Windows\\explorer.exe", 0, ""},
    {u"C:\\Windows\\System32\\explorer.exe", 0, ""},
    {u"C:\\Windows\\SysWOW64\\explorer.exe", 0, ""},
    {u"C:\\Windows\\System32\\notepad.exe", 0, ""},
    // Programs directly in an installation root fire.
    {u"C:\\Program Files\\setup.exe", 2, "HIPS:Trojan.Generic3.Win32.1"},
    {u"c:\\program files\\setup.exe", 2, "HIPS:Trojan.Generic3.Win32.1"},
    {u"C:\\ProgramData\\a.exe", 2, "HIPS:Trojan.Generic3.Win32.1"},
    {u"C:\\Users\\a.exe", 2, "HIPS:Trojan.Generic3.Win32.1"},
    {u"C:\\Program Files\\Vendor\\setup.exe", 0, ""},
    {u"C:\\ProgramData\\Vendor\\a.exe", 0, ""},
    {u"C:\\Users\\x\\a.exe", 0, ""},
    {u"C:\\Program Files (x86)\\setup.exe", 0, ""},
    {u"D:\\Program Files\\setup.exe", 0, ""},
    // Short and nameless paths fire nothing.
    {u"", 0, ""},
    {u"a.e", 0, ""},
    {u"C:\\", 0, ""},
    {u"C:\\Program Files\\", 0, ""},   // empty file name
    {u"svch0st.exe", 0, ""},           // no folder part
    {u"\\svch0st.exe", 2, "HIPS:Trojan.Generic1.Win32.1"},  // folder "\" counts
};

TEST_F(ProcessNameFilterTest, EveryPathHasTheVerdictOfItsRow) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(Utf8(c.path));
    evrules::RuleOutcome outcome = CheckProcessName(c.path);
    EXPECT_EQ(outcome.code, c.code);
    EXPECT_EQ(outcome.verdict, c.verdict);
  }
}

TEST_F(ProcessNameFilterTest, EmptyFolderStringsMakeNoHomes) {
  EvEmu_SetFolder(EVEMU_SYSTEM_DIRECTORY, nullptr);
  EvEmu_SetFolder(EVEMU_WINDOWS_DIRECTORY, nullptr);
  SetEnvironment("ALLUSERSPROFILE", nullptr);
  SetEnvironment("ProgramFiles", nullptr);
  Init();
  EXPECT_EQ(CheckProcessName(u"C:\\Windows\\System32\\svchost.exe").code, 2);
  EXPECT_EQ(CheckProcessName(u"C:\\Program Files\\setup.exe").code, 0);
  EXPECT_EQ(CheckProcessName(u"C:\\Users\\a.exe").code, 2);  // profiles root still known
  // The folder of "\x.exe" is empty once its backslash goes: no folder string matches it.
  EXPECT_EQ(CheckProcessName(u"\\x.exe").code, 0);
  EXPECT_EQ(CheckProcessName(u"\\svchost.exe").code, 0);
  EXPECT_FALSE(evrules::IsHomeFolder(u"", evrules::kPlaceAny));
}

TEST_F(ProcessNameFilterTest, CharactersOutsideTheCodePageBecomeQuestionMarks) {
  // "svch\u043Est.exe" normalises to "SVCH?ST.EXE", which no row holds.
  EXPECT_EQ(CheckProcessName(u"C:\\x\\svch\u043Est.exe").code, 0);
  EXPECT_EQ(CheckProcessName(u"C:\\x\\svch\u00F6st.exe").code, 0);
  EXPECT_EQ(CheckProcessName(std::u16string(u"C:\\") + std::u16string(20000, u'a') + u"\\lsass.exe").code, 2);
}

}  // namespace
