#include "EventMapping.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace evreplay {
namespace {

TEST(EventMappingTest, TimesReadAndWrittenBack) {
  struct Case {
    const char* text;
    const char* written;  // null: unreadable
    int64_t seconds;
  };
  const Case cases[] = {
      {"2024-05-01 09:00:05.250", "2024-05-01T09:00:05.250Z", 1714554005},
      {"2024-05-01T09:00:05.250Z", "2024-05-01T09:00:05.250Z", 1714554005},
      {"2024-05-01T09:00:05Z", "2024-05-01T09:00:05.000Z", 1714554005},
      {"2024-05-01 09:00:05", "2024-05-01T09:00:05.000Z", 1714554005},
      {"2024-05-01T09:00:05.123456789Z", "2024-05-01T09:00:05.123Z", 1714554005},
      {"2024-05-01T01:30:00+02:00", "2024-04-30T23:30:00.000Z", 1714519800},
      {"2024-04-30T23:30:00-0130", "2024-05-01T01:00:00.000Z", 1714525200},
      {"2024-02-29 23:59:59.999", "2024-02-29T23:59:59.999Z", 1709251199},
      {"1970-01-01 00:00:00.000", "1970-01-01T00:00:00.000Z", 0},
      {"1969-12-31 23:59:59.000", "1969-12-31T23:59:59.000Z", -1},
      {"2023-02-29 00:00:00.000", nullptr, 0},
      {"2024-13-01 00:00:00.000", nullptr, 0},
      {"2024-05-01 24:00:00.000", nullptr, 0},
      {"2024-05-01", nullptr, 0},
      {"2024-05-01 09:00:05.", nullptr, 0},
      {"2024-05-01 09:00:05.250 extra", nullptr, 0},
      {"yesterday", nullptr, 0},
      {"", nullptr, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EventTime time;
    ASSERT_EQ(ParseTime(c.text, time), c.written != nullptr);
    if (c.written == nullptr) continue;
    std::string out;
    AppendTime(out, time);
    EXPECT_EQ(out, c.written);
    EXPECT_EQ(time.seconds, c.seconds);
  }
}

TEST(EventMappingTest, NanosecondsKeepEveryDigitGiven) {
  EventTime time;
  ASSERT_TRUE(ParseTime("2024-05-01 09:00:05.5", time));
  EXPECT_EQ(time.nanoseconds, 500000000);
  ASSERT_TRUE(ParseTime("2024-05-01 09:00:05.000000001", time));
  EXPECT_EQ(time.nanoseconds, 1);
}

TEST(EventMappingTest, OperationsByEventType) {
  struct Case {
    int64_t id;
    const char* eventType;
    int32_t operation;  // 0: skipped
    SkipReason reason;
  };
  const Case cases[] = {
      {13, "SetValue", 2, {}},      {12, "CreateKey", 3, {}},     {12, "DeleteValue", 4, {}},
      {12, "DeleteKey", 5, {}},     {14, "RenameKey", 6, {}},     {12, "CreateValue", 2, {}},
      {13, "setvalue", 2, {}},      {13, "", 2, {}},              {14, "", 6, {}},
      {12, "", 0, SkipReason::MissingEventType},                  {12, "Frobnicate", 0, SkipReason::UnknownEventType},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.id) + " " + c.eventType);
    int32_t operation = 0;
    SkipReason reason{};
    EXPECT_EQ(OperationFor(c.id, c.eventType, operation, reason), c.operation != 0);
    if (c.operation != 0) {
      EXPECT_EQ(operation, c.operation);
    } else {
      EXPECT_EQ(reason, c.reason);
    }
  }
}

TEST(EventMappingTest, RegistryPathsBecomeNativeKeysAndValues) {
  struct Case {
    const char* targetObject;
    const char* sid;
    int32_t operation;
    const char* key;  // null: skipped
    const char* value;
    SkipReason reason;
  };
  const Case cases[] = {
      {"HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run\\evil", "", 2,
       "\\REGISTRY\\MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run\\", "evil", {}},
      {"HKLM\\SOFTWARE\\Locky", "", 3, "\\REGISTRY\\MACHINE\\SOFTWARE\\Locky\\", "", {}},
      {"HKLM\\SOFTWARE\\Locky\\", "", 5, "\\REGISTRY\\MACHINE\\SOFTWARE\\Locky\\", "", {}},
      {"HKLM\\SOFTWARE\\A\\v", "", 4, "\\REGISTRY\\MACHINE\\SOFTWARE\\A\\", "v", {}},
      {"HKLM\\SOFTWARE\\A", "", 6, "\\REGISTRY\\MACHINE\\SOFTWARE\\A\\", "", {}},
      {"hklm\\x\\v", "", 2, "\\REGISTRY\\MACHINE\\x\\", "v", {}},
      {"HKEY_LOCAL_MACHINE\\x\\v", "", 2, "\\REGISTRY\\MACHINE\\x\\", "v", {}},
      {"HKU\\S-1-5-21-1\\Software\\v", "", 2, "\\REGISTRY\\USER\\S-1-5-21-1\\Software\\", "v", {}},
      {"HKEY_USERS\\.DEFAULT\\Software", "", 3, "\\REGISTRY\\USER\\.DEFAULT\\Software\\", "", {}},
      {"HKCR\\exefile\\shell\\open\\command\\(Default)", "", 2,
       "\\REGISTRY\\MACHINE\\SOFTWARE\\CLASSES\\exefile\\shell\\open\\command\\", "", {}},
      {"HKCU\\Software\\A\\v", "S-1-5-21-9", 2, "\\REGISTRY\\USER\\S-1-5-21-9\\Software\\A\\", "v", {}},
      {"HKEY_CURRENT_USER\\Software\\A", "S-1-5-21-9", 3, "\\REGISTRY\\USER\\S-1-5-21-9\\Software\\A\\", "", {}},
      {"\\REGISTRY\\MACHINE\\SOFTWARE\\A\\v", "", 2, "\\REGISTRY\\MACHINE\\SOFTWARE\\A\\", "v", {}},
      {"HKLM", "", 3, "\\REGISTRY\\MACHINE\\", "", {}},
      {"HKCU\\Software\\A\\v", "", 2, nullptr, nullptr, SkipReason::UserKeyWithoutSid},
      {"HKCU\\Software\\A\\v", "CORP\\bob", 2, nullptr, nullptr, SkipReason::UserKeyWithoutSid},
      {"HKCC\\System\\v", "", 2, nullptr, nullptr, SkipReason::UnknownRegistryRoot},
      {"", "", 2, nullptr, nullptr, SkipReason::UnknownRegistryRoot},
      {"SOFTWARE\\A", "", 2, nullptr, nullptr, SkipReason::UnknownRegistryRoot},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.targetObject);
    std::string key = "stale", value = "stale";
    SkipReason reason{};
    ASSERT_EQ(MapRegistryPath(c.targetObject, c.sid, c.operation, key, value, reason), c.key != nullptr);
    if (c.key == nullptr) {
      EXPECT_EQ(reason, c.reason);
      continue;
    }
    EXPECT_EQ(key, c.key);
    EXPECT_EQ(value, c.value);
  }
}

TEST(EventMappingTest, FlagsOnlyForInterpretersInTheSystemFolders) {
  struct Case {
    const char* parent;
    int32_t flags;
    bool scriptHost;
  };
  const Case cases[] = {
      {"C:\\Windows\\System32\\wscript.exe", 0x80, true},   {"c:\\windows\\syswow64\\CSCRIPT.EXE", 0x80, true},
      {"C:\\Windows\\System32\\cmd.exe", 0x80, false},      {"C:\\Windows\\SysWOW64\\cmd.exe", 0x80, false},
      {"C:\\Temp\\cmd.exe", 0, false},                      {"C:\\Windows\\System32\\cmd.exe.bak", 0, false},
      {"C:\\Windows\\explorer.exe", 0, false},              {"cmd.exe", 0, false},
      {"", 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.parent);
    EXPECT_EQ(FlagsFor(c.parent), c.flags);
    EXPECT_EQ(IsScriptHost(c.parent), c.scriptHost);
  }
}

TEST(EventMappingTest, ScriptsOnACommandLine) {
  struct Case {
    const char* commandLine;
    std::vector<std::string> scripts;
  };
  const Case cases[] = {
      {"wscript.exe E:\\autorun.vbs", {"E:\\autorun.vbs"}},
      {"\"C:\\Windows\\System32\\WScript.exe\" \"C:\\Users\\dan\\My Files\\a.JS\" /b", {"C:\\Users\\dan\\My Files\\a.JS"}},
      {"cscript //nologo \\\\srv\\share\\logon.wsf x.vbs C:\\a.vbe", {"\\\\srv\\share\\logon.wsf", "C:\\a.vbe"}},
      {"wscript.exe relative.vbs", {}},
      {"wscript.exe C:\\dir.vbs\\file.txt", {}},
      {"wscript.exe C:\\noextension", {}},
      // The module looks at ten tokens at most.
      {"w 2 3 4 5 6 7 8 9 C:\\ten.vbs C:\\eleven.vbs", {"C:\\ten.vbs"}},
      {"", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.commandLine);
    std::vector<std::string> found;
    std::string scratch;
    ForEachScript(c.commandLine, scratch, [&](std::string_view script) { found.emplace_back(script); });
    EXPECT_EQ(found, c.scripts);
  }
}

TEST(EventMappingTest, EveryReasonHasItsText) {
  for (int reason = 0; reason < static_cast<int>(SkipReason::Count); ++reason)
    EXPECT_STRNE(ReasonText(static_cast<SkipReason>(reason)), "?") << reason;
  EXPECT_STREQ(ReasonText(SkipReason::UserKeyWithoutSid), "HKCU without a user SID");
}

TEST(EventMappingTest, DaysFromCivilAtEdges) {
  EXPECT_EQ(DaysFromCivil(1970, 1, 1), 0);
  EXPECT_EQ(DaysFromCivil(2000, 3, 1), 11017);
  EXPECT_EQ(DaysFromCivil(1969, 12, 31), -1);
}

}  // namespace
}  // namespace evreplay
