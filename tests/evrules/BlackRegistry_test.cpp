#include "BlackRegistry.h"

#include <gtest/gtest.h>

#include "EmulatedMachine.h"

namespace {

using evrules::CheckBlackRegistry;
using evrules_test::Utf8;

struct Case {
  std::u16string_view key;
  std::u16string_view value;
  int32_t code;
  std::string_view verdict;
};

constexpr std::u16string_view kUser = u"\\REGISTRY\\USER\\S-1-5-21-1004";
#define USER_KEY(rest) u"\\REGISTRY\\USER\\S-1-5-21-1004" rest

// Every row, with the key in the spelling Windows uses.
constexpr Case kRows[] = {
    {USER_KEY(u"\\SOFTWARE\\Locky\\"), u"anything", 2, "HIPS:Trojan.Locky.Win32.1"},
    {USER_KEY(u"\\Software\\xxxsys\\"), u"", 2, "HIPS:Trojan.Bitman.Win32.1"},
    {USER_KEY(u"\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced\\"), u"SHOWSUPERHIDDEN", 1,
     "HIPS:Worm.Vobfus.Win32.1"},
    {USER_KEY(u"\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System\\"), u"DISABLETASKMGR", 1,
     "HIPS:Trojan.HookSystem.Win32.6"},
    {USER_KEY(u"\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System\\"), u"DISABLEREGISTRYTOOLS", 1,
     "HIPS:Trojan.HookSystem.Win32.7"},
    {USER_KEY(u"\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System\\"), u"ENABLELUA", 1,
     "HIPS:Trojan.HookSystem.Win32.8"},
    {u"\\REGISTRY\\MACHINE\\SOFTWARE\\Classes\\exefile\\shell\\open\\command\\", u"", 1,
     "HIPS:Trojan.HookSystem.Win32.1"},
    {u"\\REGISTRY\\MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon\\", u"Shell", 1,
     "HIPS:Trojan.HookSystem.Win32.2"},
    {u"\\REGISTRY\\MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon\\", u"Userinit", 1,
     "HIPS:Trojan.HookSystem.Win32.3"},
    {u"\\REGISTRY\\MACHINE\\SOFTWARE\\xwcmt\\", u"x", 2, "HIPS:Trojan.Kovter.Win32.1"},
    {u"\\REGISTRY\\MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon\\", u"SFCScan", 1,
     "HIPS:Trojan.HookSystem.Win32.4"},
    {u"\\REGISTRY\\MACHINE\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon\\",
     u"SfcDisable", 1, "HIPS:Trojan.HookSystem.Win32.5"},
    // Value names are case-insensitive in the per-user branch too.
    {USER_KEY(u"\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System\\"), u"DisableTaskMgr", 1,
     "HIPS:Trojan.HookSystem.Win32.6"},
    {USER_KEY(u"\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System\\"), u"EnableLUA", 1,
     "HIPS:Trojan.HookSystem.Win32.8"},
    {USER_KEY(u"\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced\\"), u"ShowSuperHidden", 1,
     "HIPS:Worm.Vobfus.Win32.1"},
};

constexpr std::u16string_view kNearMisses[] = {
    USER_KEY(u"\\SOFTWARE\\Locky"),           // no trailing backslash
    USER_KEY(u"\\SOFTWARE\\Locky\\sub\\"),    // subkey
    USER_KEY(u"\\SOFTWARE\\LockyX\\"),        // longer name
    u"\\registry\\machine\\SOFTWARE\\XWCMT\\",   // lower-case prefix
    u"\\Registry\\Machine\\SOFTWARE\\XWCMT\\",   // mixed-case prefix
    u"\\REGISTRY\\USER\\.DEFAULT\\SOFTWARE\\LOCKY\\",  // not a SID
    u"\\REGISTRY\\USER\\s-1-5-21\\SOFTWARE\\LOCKY\\",  // lower-case s-
    u"\\REGISTRY\\USER\\S-1-5-21-1004",              // no key after the SID
    u"\\REGISTRY\\MACHINE\\SOFTWARE\\LOCKY\\",       // user row, machine hive
    USER_KEY(u"\\REGISTRY\\MACHINE\\SOFTWARE\\XWCMT\\"),  // machine row under a user
    u"\\REGISTRY\\MACHINE\\SOFTWARE\\XWCMT",         // no trailing backslash
    u"\\REGISTRY\\MACHINE\\SOFTWARE\\XWCMT\\A\\",    // subkey
    u"\\REGISTRY\\MACHINE\\SYSTEM\\XWCMT\\",         // other folder
    u"REGISTRY\\MACHINE\\SOFTWARE\\XWCMT\\",         // no leading backslash
    u"",
};

TEST(BlackRegistryTest, EveryRowFiresWithItsCodeAndVerdict) {
  for (const Case& c : kRows) {
    SCOPED_TRACE(Utf8(c.key) + " / " + Utf8(c.value));
    evrules::RuleOutcome outcome = CheckBlackRegistry(c.key, c.value);
    EXPECT_EQ(outcome.code, c.code);
    EXPECT_EQ(outcome.verdict, c.verdict);
  }
}

TEST(BlackRegistryTest, NearMissKeysFireNothing) {
  for (std::u16string_view key : kNearMisses) {
    SCOPED_TRACE(Utf8(key));
    evrules::RuleOutcome outcome = CheckBlackRegistry(key, u"*");
    EXPECT_EQ(outcome.code, 0);
    EXPECT_TRUE(outcome.verdict.empty());
  }
}

TEST(BlackRegistryTest, ValueNamesOnlyFireTheirRows) {
  const std::u16string policies(USER_KEY(u"\\SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\POLICIES\\SYSTEM\\"));
  const std::u16string winlogon = u"\\REGISTRY\\MACHINE\\SOFTWARE\\MICROSOFT\\WINDOWS NT\\CURRENTVERSION\\WINLOGON\\";
  const std::u16string wowWinlogon =
      u"\\REGISTRY\\MACHINE\\SOFTWARE\\WOW6432NODE\\MICROSOFT\\WINDOWS NT\\CURRENTVERSION\\WINLOGON\\";
  const std::pair<std::u16string, std::u16string> misses[] = {
      {policies, u"DISABLETASKMGR2"}, {policies, u""},          {policies, u"*X"},
      {winlogon, u"SFCDISABLE"},      {winlogon, u"SHELLX"},    {wowWinlogon, u"SFCSCAN"},
      {wowWinlogon, u"SHELL"},        {wowWinlogon, u"USERINIT"}, {winlogon, u" SHELL"},
  };
  for (const auto& [key, value] : misses) {
    SCOPED_TRACE(Utf8(key) + " / " + Utf8(value));
    EXPECT_EQ(CheckBlackRegistry(key, value).code, 0);
  }
}

TEST(BlackRegistryTest, ValueNameStarIsNotAWildcardFromTheCaller) {
  // "*" in a row means any value; a caller's "*" is just a name.
  EXPECT_EQ(CheckBlackRegistry(u"\\REGISTRY\\MACHINE\\SOFTWARE\\MICROSOFT\\WINDOWS NT\\CURRENTVERSION\\WINLOGON\\",
                               u"*")
                .code,
            0);
}

TEST(BlackRegistryTest, FirstMatchingRowWins) {
  // Rows 4 to 6 share a key: each value name finds its own row, not the first.
  const std::u16string policies(USER_KEY(u"\\SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\POLICIES\\SYSTEM\\"));
  EXPECT_EQ(CheckBlackRegistry(policies, u"ENABLELUA").verdict, "HIPS:Trojan.HookSystem.Win32.8");
  EXPECT_EQ(CheckBlackRegistry(policies, u"DISABLEREGISTRYTOOLS").verdict, "HIPS:Trojan.HookSystem.Win32.7");
}

TEST(BlackRegistryTest, HostileStringsAreHarmless) {
  std::u16string longKey(kUser);
  for (int i = 0; i < 5000; ++i) longKey += u"\\SOFTWARE";
  EXPECT_EQ(CheckBlackRegistry(longKey, std::u16string(10000, u'A')).code, 0);
  const char16_t unpaired[] = {u'\\', 0xD800, u'\\', 0xDC00, 0};
  EXPECT_EQ(CheckBlackRegistry(std::u16string(u"\\REGISTRY\\MACHINE") + unpaired, unpaired).code, 0);
  EXPECT_EQ(CheckBlackRegistry(std::u16string(kUser) + u"\\SOFTWARE\\LOCKY\\", unpaired).code, 2);
}

}  // namespace
