// The exports and InitLibrary, called as the host calls them.
#include "evrules.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>

#include "EmulatedMachine.h"
#include "ProcessNameFilter.h"

namespace {

using evrules::Folders;
using evrules_test::FullCallbacks;
using evrules_test::Recorded;
using evrules_test::Report;

class ExportsTest : public evrules_test::EmulatedMachine {};

// The folder strings in declaration order: system, Windows, SysWOW64, all
// users, profiles, program files.
std::vector<std::u16string> FolderList() {
  const evrules::FolderStrings& f = Folders();
  return {f.SystemDir, f.WindowsDir, f.SysWow64Dir, f.AllUsersDir, f.ProfilesDir, f.ProgramFilesDir};
}

constexpr char16_t kLockyKey[] = u"\\REGISTRY\\USER\\S-1-5-21-1\\SOFTWARE\\Locky\\";

TEST_F(ExportsTest, FolderStringsComeFromThePlatformAndEnvironment) {
  EXPECT_EQ(FolderList(), (std::vector<std::u16string>{u"C:\\WINDOWS\\SYSTEM32", u"C:\\WINDOWS", u"C:\\WINDOWS\\SYSWOW64",
                                                     u"C:\\PROGRAMDATA", u"C:\\USERS", u"C:\\PROGRAM FILES"}));
}

TEST_F(ExportsTest, FailedQueriesLeaveFoldersEmptyButProfilesKeepTheirValue) {
  EvEmu_SetFolder(EVEMU_SYSTEM_DIRECTORY, nullptr);
  EvEmu_SetFolder(EVEMU_WINDOWS_DIRECTORY, nullptr);
  EvEmu_SetFolder(EVEMU_PROFILES_DIRECTORY, nullptr);
  SetEnvironment("ALLUSERSPROFILE", nullptr);
  SetEnvironment("ProgramFiles", std::string(4096, 'x').c_str());  // longer than the buffer
  EXPECT_EQ(Init(), 1);
  EXPECT_EQ(FolderList(), (std::vector<std::u16string>{u"", u"", u"", u"", u"C:\\USERS", u""}));
  SetEnvironment("ProgramFiles", std::string(4095, 'x').c_str());  // fits with its NUL
  Init();
  EXPECT_EQ(Folders().ProgramFilesDir, std::u16string(4095, u'X'));
}

TEST_F(ExportsTest, FoldersLongerThanTheBufferAreFailedQueries) {
  // The buffer still holds "C:\Program Files" from the first InitLibrary.
  const std::u16string tooLong = u"C:\\" + std::u16string(5000, u'd');
  EvEmu_SetFolder(EVEMU_SYSTEM_DIRECTORY, tooLong.c_str());
  EvEmu_SetFolder(EVEMU_WINDOWS_DIRECTORY, tooLong.c_str());
  EXPECT_EQ(Init(), 1);
  EXPECT_EQ(Folders().SystemDir, u"");
  EXPECT_EQ(Folders().WindowsDir, u"");
  EXPECT_EQ(ProcessEvent(u"C:\\Program Files\\svchost.exe", u"", u"", 0x80, 0, 0), 1);
  const std::u16string fits = u"C:\\" + std::u16string(4092, u'd');  // 4095 units and the NUL
  EvEmu_SetFolder(EVEMU_SYSTEM_DIRECTORY, fits.c_str());
  Init();
  EXPECT_EQ(Folders().SystemDir.size(), 4095u);
}

TEST_F(ExportsTest, NullRecordIsRefusedButFoldersAreRefreshed) {
  EvEmu_SetFolder(EVEMU_SYSTEM_DIRECTORY, u"D:\\Win\\Sys");
  EXPECT_EQ(InitLibrary(nullptr), 0);
  EXPECT_EQ(Folders().SystemDir, u"D:\\WIN\\SYS");
  // No callbacks: the Locky key answers 4 but nothing is reported.
  EXPECT_EQ(RegEvent(u"C:\\x\\a.exe", kLockyKey, u"v", 2), 4);
  EXPECT_TRUE(Recorded().reports.empty());
}

TEST_F(ExportsTest, RecordSizeDecidesWhichCallbacksAreTaken) {
  struct Case {
    uint32_t size;
    int32_t accepted;
    bool reports;
    bool asksWhiteList;
  };
  const Case kCases[] = {
      {0, 0, false, false},
      {EVRULES_SIZE_WITH_REPORT - 1, 0, false, false},
      {EVRULES_SIZE_WITH_REPORT, 1, true, false},
      {EVRULES_SIZE_WITH_ALL - 1, 1, true, false},
      {EVRULES_SIZE_WITH_ALL, 1, true, true},
      {0xFFFFFFFFu, 1, true, true},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.size);
    HostCallbacks callbacks = FullCallbacks();
    callbacks.Size = c.size;
    Recorded() = evrules_test::HostRecord{};
    EXPECT_EQ(Init(callbacks), c.accepted);
    EXPECT_EQ(ProcessEvent(u"C:\\Temp\\svch0st.exe", u"", u"", 0, 0, 0), 4);
    EXPECT_EQ(Recorded().reports.size(), c.reports ? 1u : 0u);
    EXPECT_EQ(Recorded().whiteListAsked.size(), c.asksWhiteList ? 1u : 0u);
  }
}

TEST_F(ExportsTest, ThresholdsAreTheEndsOfTheCallbackFields) {
#if defined(_WIN32) && !defined(_WIN64)
  EXPECT_EQ(EVRULES_SIZE_WITH_REPORT, 8u);
  EXPECT_EQ(EVRULES_SIZE_WITH_ALL, 16u);
#else
  EXPECT_EQ(EVRULES_SIZE_WITH_REPORT, offsetof(HostCallbacks, QueryFile));
  EXPECT_EQ(EVRULES_SIZE_WITH_ALL, sizeof(HostCallbacks));
#endif
}

TEST_F(ExportsTest, EachInitClearsTheCallbacksFirst) {
  ASSERT_EQ(Init(), 1);
  HostCallbacks refused = FullCallbacks();
  refused.Size = 4;
  EXPECT_EQ(Init(refused), 0);
  EXPECT_EQ(ProcessEvent(u"C:\\Temp\\svch0st.exe", u"", u"", 0, 0, 0), 4);
  EXPECT_TRUE(Recorded().reports.empty());
  EXPECT_TRUE(Recorded().whiteListAsked.empty());
}

TEST_F(ExportsTest, ExtendedExportsAnswerAsTheShortOnes) {
  EXPECT_EQ(RegEventEx(u"C:\\x\\a.exe", kLockyKey, u"v", 4, 1, 2, 3, 4, 5), 4);
  EXPECT_EQ(ProcessEventEx(u"C:\\Temp\\svch0st.exe", nullptr, nullptr, 0, 1, 2, 3, 4, 5, 6, 7), 4);
  EXPECT_EQ(ProcessEventEx(u"C:\\Temp\\svch0st.exe", nullptr, nullptr, 1, 0, 0, 0, 0, 0, 0, 0), 1);
  EXPECT_EQ(Recorded().reports, (std::vector<Report>{{u"C:\\x\\a.exe", "HIPS:Trojan.Locky.Win32.1", 2},
                                                     {u"C:\\Temp\\svch0st.exe", "HIPS:Trojan.Generic1.Win32.1", 2}}));
}

TEST_F(ExportsTest, NetworkExportsAlwaysAnswerZero) {
  EXPECT_EQ(NetConnectEvent(0, 0, 0, 0, 0, 0, 0, 0), 0);
  EXPECT_EQ(NetConnectEvent(1, 2, 3, 4, 5, 6, 7, 0xFFFFFFFFu), 0);
  EXPECT_EQ(NetProtocolData(0, 0, 0, 0, 0, 0, 0), 0);
  EXPECT_EQ(NetProtocolData(9, 9, 9, 9, 9, 9, 0xFFFFFFFFu), 0);
}

TEST_F(ExportsTest, NullStringsAreEmpty) {
  EXPECT_EQ(RegEvent(nullptr, kLockyKey, u"v", 2), 1);
  EXPECT_EQ(RegEvent(u"C:\\x\\a.exe", nullptr, nullptr, 2), 1);
  EXPECT_EQ(ProcessEvent(nullptr, nullptr, nullptr, 0, 0, 0), 1);
  EXPECT_EQ(ProcessEvent(nullptr, u"C:\\x.exe", nullptr, 0, 0, 0), 1);
  EXPECT_TRUE(Recorded().reports.empty());
}

TEST_F(ExportsTest, OddStringsNeverCrash) {
  const char16_t unpaired[] = {u'C', u':', u'\\', 0xDBFF, u'.', 0xDC00, u'\\', 0xD800, 0};
  std::u16string huge(1 << 20, u'\\');
  std::u16string hugeName = u"C:\\" + std::u16string(1 << 20, 0xD83D);
  for (const char16_t* text : {static_cast<const char16_t*>(unpaired), huge.c_str(), hugeName.c_str()}) {
    for (int32_t operation = 0; operation <= 6; ++operation) RegEvent(text, text, text, operation);
    ProcessEvent(text, u"", text, 0, 0, 0);
    ProcessEvent(text, text + 1, text, 0x80, 0, 0);
    ProcessEvent(u"C:\\Windows\\System32\\cmd.exe", text, text, 0x80, 0, 0);
    ProcessEvent(u"C:\\Windows\\System32\\wscript.exe", text, text, 0x80, 0, 0);
  }
  SUCCEED();
}

// Bytes a stdcall function removes from the stack: one 32-bit slot per parameter.
template <typename Result, typename... Parameters>
constexpr int StdcallBytes(Result (*)(Parameters...)) {
  return 4 * static_cast<int>(sizeof...(Parameters));
}

TEST(ExportDefinitionTest, NamesOrdinalsAndStackBytesMatchTheExports) {
  struct Export {
    std::string name;
    int ordinal;
    int bytes;
  };
  const Export kExports[] = {
      {"NetProtocolData", 1, StdcallBytes(&NetProtocolData)}, {"NetConnectEvent", 2, StdcallBytes(&NetConnectEvent)},
      {"RegEventEx", 3, StdcallBytes(&RegEventEx)},           {"ProcessEventEx", 4, StdcallBytes(&ProcessEventEx)},
      {"RegEvent", 5, StdcallBytes(&RegEvent)},               {"ProcessEvent", 6, StdcallBytes(&ProcessEvent)},
      {"InitLibrary", 7, StdcallBytes(&InitLibrary)},
  };
  std::ifstream file(EVRULES_DEF_FILE);
  ASSERT_TRUE(file) << EVRULES_DEF_FILE;
  std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("LIBRARY \"evrules.dll\""), std::string::npos);
  const std::regex entry(R"(^\s*(\w+)@(\d+)\s+@(\d+)\s*$)");
  std::vector<Export> found;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    std::smatch match;
    if (!std::regex_match(line, match, entry)) continue;
    found.push_back({match[1], std::stoi(match[3]), std::stoi(match[2])});
  }
  ASSERT_EQ(found.size(), std::size(kExports));
  for (std::size_t i = 0; i < found.size(); ++i) {
    SCOPED_TRACE(kExports[i].name);
    EXPECT_EQ(found[i].name, kExports[i].name);
    EXPECT_EQ(found[i].ordinal, kExports[i].ordinal);
    EXPECT_EQ(found[i].bytes, kExports[i].bytes);
  }
}

}  // namespace
