#include "service/SafeText.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using TevrinAV::SafeText;

TEST(SafeTextTest, ControlCharactersAreShownAsEscapes) {
  const struct {
    const char* name;
    std::string text;
    std::string shown;
  } cases[] = {
      {"plain", "core-locked", "core-locked"},
      {"tab kept", "a\tb", "a\tb"},
      {"line ends", "a\r\nb", "a\\x0D\\x0Ab"},
      {"terminal spoof", "\r\x1B[2KReloading core: OK\n\x1B[8m",
       "\\x0D\\x1B[2KReloading core: OK\\x0A\\x1B[8m"},
      {"NUL and DEL", std::string("a\0b\x7F", 4), "a\\x00b\\x7F"},
      {"C1 control", "a\xC2\x9B" "1m", "a\\x9B1m"},
      {"non-ASCII kept", "K\xC3\xA4se \xE2\x82\xAC \xF0\x9F\x98\x80", "K\xC3\xA4se \xE2\x82\xAC \xF0\x9F\x98\x80"},
      {"no-break space kept", "a\xC2\xA0" "b", "a\xC2\xA0" "b"},
      {"stray bytes", "a\x9B\xFF\xC3", "a\\x9B\\xFF\\xC3"},
      {"overlong slash", "\xC0\xAF", "\\xC0\\xAF"},
      {"encoded surrogate", "\xED\xA0\x80", "\\xED\\xA0\\x80"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(SafeText(c.text), c.shown);
  }
}

TEST(SafeTextTest, LongTextIsCutAfter1024Characters) {
  EXPECT_EQ(SafeText(std::string(1024, 'x')), std::string(1024, 'x'));
  EXPECT_EQ(SafeText(std::string(1025, 'x')), std::string(1024, 'x') + "...");
  // Characters, not bytes: three-byte euro signs and escaped controls count once.
  std::string euros;
  for (int i = 0; i < 2000; ++i) euros += "\xE2\x82\xAC";
  std::string shown;
  for (int i = 0; i < 1024; ++i) shown += "\xE2\x82\xAC";
  EXPECT_EQ(SafeText(euros), shown + "...");
  EXPECT_EQ(SafeText(std::string(16 << 20, '\x1B')).size(), 1024 * 4 + 3);
}

}  // namespace
