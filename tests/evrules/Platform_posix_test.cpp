// The Linux emulation keeps the Windows contracts the rules rely on.
#include "Platform.h"

#include <gtest/gtest.h>

#include "EmulatedMachine.h"

namespace {

namespace platform = evrules::platform;
using evrules_test::Utf8;

class EmulationTest : public evrules_test::EmulatedMachine {};

TEST_F(EmulationTest, FolderAnswersFollowTheWindowsBufferContract) {
  char16_t buffer[32];
  std::fill(std::begin(buffer), std::end(buffer), u'#');
  EXPECT_EQ(platform::QuerySystemDirectory(buffer, 32), 19u);
  EXPECT_EQ(std::u16string(buffer), u"C:\\Windows\\System32");
  std::fill(std::begin(buffer), std::end(buffer), u'#');
  EXPECT_EQ(platform::QuerySystemDirectory(buffer, 19), 20u);  // no room for the NUL: size needed
  EXPECT_EQ(buffer[0], u'#');                                  // and nothing written
  EXPECT_FALSE(platform::QueryProfilesDirectory(buffer, 8));
  EXPECT_TRUE(platform::QueryProfilesDirectory(buffer, 9));
  EXPECT_EQ(std::u16string(buffer), u"C:\\Users");
  EvEmu_SetFolder(EVEMU_WINDOWS_DIRECTORY, nullptr);
  EXPECT_EQ(platform::QueryWindowsDirectory(buffer, 32), 0u);
  EvEmu_SetFolder(EVEMU_WINDOWS_DIRECTORY, u"");
  EXPECT_EQ(platform::QueryWindowsDirectory(buffer, 32), 0u);  // empty answer: as a failure
}

TEST_F(EmulationTest, EnvironmentIsTheProcessesOwnInUtf8) {
  SetEnvironment("EVRULES_TEST_VALUE", "C:\\Caf\xc3\xa9\\\xff");
  char16_t buffer[16] = {};
  EXPECT_EQ(platform::QueryEnvironmentVariable(u"EVRULES_TEST_VALUE", buffer, 16), 9u);
  EXPECT_EQ(std::u16string(buffer), u"C:\\Caf\u00e9\\\ufffd");  // invalid UTF-8 becomes U+FFFD
  SetEnvironment("EVRULES_TEST_VALUE", nullptr);
  EXPECT_EQ(platform::QueryEnvironmentVariable(u"EVRULES_TEST_VALUE", buffer, 16), 0u);
}

TEST_F(EmulationTest, AnsiCodePageIsWindows1252) {
  struct Case {
    std::string ansi;
    std::u16string wide;
  };
  const Case kCases[] = {
      {"A~\x7f", u"A~\u007f"},
      {"\x80\x8a\x9f", u"\u20ac\u0160\u0178"},
      {"\x81\x8d\x8f\x90\x9d", u"\u0081\u008d\u008f\u0090\u009d"},
      {"\xa0\xe9\xff", u"\u00a0\u00e9\u00ff"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(Utf8(c.wide));
    char16_t wide[8];
    ASSERT_EQ(platform::AnsiToWide(c.ansi, wide, 8), c.wide.size());
    EXPECT_EQ(std::u16string(wide, c.wide.size()), c.wide);
    char ansi[8];
    ASSERT_EQ(platform::WideToAnsi(c.wide, ansi, 8), c.ansi.size());
    EXPECT_EQ(std::string(ansi, c.ansi.size()), c.ansi);
  }
  char small[2];
  EXPECT_EQ(platform::WideToAnsi(u"abcd", small, 2), 4u);  // size needed
}

TEST_F(EmulationTest, PathsResolveThroughTheDriveTable) {
  MapDrive(u"\\\\Server\\Share", 4);
  CreateFile(u"C:\\Dir\\File.txt");
  CreateFile(u"\\\\Server\\Share\\s\\a.vbs");
  struct Case {
    std::u16string_view path;
    platform::FileKind kind;
  };
  constexpr Case kCases[] = {
      {u"C:\\Dir\\File.txt", platform::FileKind::File},
      {u"c:\\dir\\FILE.TXT", platform::FileKind::File},
      {u"C:/Dir/File.txt", platform::FileKind::File},
      {u"C:\\Dir\\.\\x\\..\\File.txt", platform::FileKind::File},
      {u"C:\\Dir", platform::FileKind::Directory},
      {u"C:\\", platform::FileKind::Directory},
      {u"C:", platform::FileKind::Directory},
      {u"\\\\server\\SHARE\\S\\A.VBS", platform::FileKind::File},
      {u"C:\\..\\..\\Dir\\File.txt", platform::FileKind::File},  // never above the drive
      {u"C:Dir\\File.txt", platform::FileKind::Missing},          // drive-relative
      {u"D:\\Dir\\File.txt", platform::FileKind::Missing},        // unmapped drive
      {u"C:\\Dir\\File.txt\\", platform::FileKind::Missing},  // a separator after a file
      {u"C:\\Dir\\", platform::FileKind::Directory},
      {u"C:\\Dir\\File?.txt", platform::FileKind::Missing},
      {u"C:\\Dir\\File*", platform::FileKind::Missing},
      {u"C:\\Dir\\File.txt:stream", platform::FileKind::Missing},
      {u"\\Dir\\File.txt", platform::FileKind::Missing},
      {u"Dir\\File.txt", platform::FileKind::Missing},
      {u"\\\\server", platform::FileKind::Missing},
      {u"", platform::FileKind::Missing},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(Utf8(c.path));
    EXPECT_EQ(platform::GetFileKind(c.path), c.kind);
  }
  const char16_t unpaired[] = {u'C', u':', u'\\', 0xD800, 0};
  EXPECT_EQ(platform::GetFileKind(unpaired), platform::FileKind::Missing);
}

TEST_F(EmulationTest, DriveTypesComeFromTheTable) {
  MapDrive(u"e:", 2);
  MapDrive(u"\\\\srv\\pub", 4);
  EXPECT_EQ(platform::QueryDriveType(u"C:"), 3u);
  EXPECT_EQ(platform::QueryDriveType(u"E:"), 2u);
  EXPECT_EQ(platform::QueryDriveType(u"\\\\SRV\\PUB"), 4u);
  EXPECT_EQ(platform::QueryDriveType(u"F:"), 1u);
  EXPECT_EQ(platform::QueryDriveType(u""), 1u);
  EXPECT_EQ(EvEmu_MapDrive(u"C:\\x", "/tmp", 3), 0);
  EXPECT_EQ(EvEmu_MapDrive(u"\\\\srv", "/tmp", 3), 0);
  EXPECT_EQ(EvEmu_MapDrive(nullptr, "/tmp", 3), 0);
}

TEST_F(EmulationTest, FixedDateAndLastWriteDate) {
  EvEmu_SetToday(2024, 2, 29);
  EXPECT_EQ(platform::GetLocalDate(), (platform::LocalDate{2024, 2, 29}));
  CreateFile(u"C:\\f.txt", 0);
  platform::LocalDate written;
  ASSERT_TRUE(platform::FindLastWriteDate(u"C:\\f.txt", written));
  EXPECT_FALSE(written == (platform::LocalDate{2024, 2, 29}));  // the file carries the host's date
  EXPECT_FALSE(platform::FindLastWriteDate(u"C:\\none.txt", written));
}

TEST_F(EmulationTest, DebugOutputGoesToTheSink) {
  platform::DebugOutput("one");
  EvEmu_SetDebugSink(nullptr, nullptr);
  platform::DebugOutput("two");
  EXPECT_EQ(evrules_test::Recorded().debugLines, std::vector<std::string>{"one"});
}

}  // namespace
