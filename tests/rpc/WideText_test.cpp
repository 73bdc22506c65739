#include "service/WideText.h"

#include <gtest/gtest.h>
#include <thrift/protocol/TBinaryProtocol.h>
#include <thrift/transport/TBufferTransports.h>

#include <memory>

namespace {

using TevrinAV::WideString;

struct TextCase {
  const char* name;
  WideString wide;
  std::string utf8;
};

// Both directions agree on these.
const TextCase kRoundTrips[] = {
    {"empty", u"", ""},
    {"ascii", u"Reload", "Reload"},
    {"latin", u"K\u00E4se", "K\xC3\xA4se"},
    {"three-byte", u"\u20AC\uFFFF", "\xE2\x82\xAC\xEF\xBF\xBF"},
    {"surrogate pair", u"\U0001F600", "\xF0\x9F\x98\x80"},
    {"largest code point", u"\U0010FFFF", "\xF4\x8F\xBF\xBF"},
};

TEST(WideTextTest, ConvertsBothWays) {
  for (const TextCase& c : kRoundTrips) {
    SCOPED_TRACE(c.name);
    std::string utf8 = "stale";
    EXPECT_TRUE(TevrinAV::WideToUtf8(utf8, c.wide));
    EXPECT_EQ(utf8, c.utf8);
    WideString wide = u"stale";
    EXPECT_TRUE(TevrinAV::Utf8ToWide(wide, c.utf8));
    EXPECT_EQ(wide, c.wide);
  }
}

TEST(WideTextTest, TextStopsAtItsFirstNul) {
  std::string utf8;
  EXPECT_TRUE(TevrinAV::WideToUtf8(utf8, WideString(u"ab\0cd", 5)));
  EXPECT_EQ(utf8, "ab");
  WideString wide;
  EXPECT_TRUE(TevrinAV::Utf8ToWide(wide, std::string("ab\0cd", 5)));
  EXPECT_EQ(wide, u"ab");
  EXPECT_TRUE(TevrinAV::Utf8ToWide(wide, std::string("\0x", 2)));
  EXPECT_EQ(wide, u"");
}

TEST(WideTextTest, UnpairedSurrogatesBecomeReplacementCharacters) {
  const struct {
    const char* name;
    WideString wide;
    std::string utf8;
  } cases[] = {
      {"lone high", WideString(1, char16_t(0xD800)), "\xEF\xBF\xBD"},
      {"lone low", WideString(1, char16_t(0xDC00)), "\xEF\xBF\xBD"},
      {"high then letter", WideString{char16_t(0xDBFF), u'a'},
       "\xEF\xBF\xBD"
       "a"},
      {"low before high", WideString{char16_t(0xDC00), char16_t(0xD800)}, "\xEF\xBF\xBD\xEF\xBF\xBD"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string utf8;
    EXPECT_TRUE(TevrinAV::WideToUtf8(utf8, c.wide));
    EXPECT_EQ(utf8, c.utf8);
  }
}

TEST(WideTextTest, InvalidUtf8ArrivesWithReplacementCharactersNotAsAnError) {
  const struct {
    const char* name;
    std::string utf8;
    WideString wide;
  } cases[] = {
      {"stray continuation", "a\x80z", u"a\uFFFDz"},
      {"invalid byte", "\xFF", u"\uFFFD"},
      {"truncated at the end", "ok\xE2\x82", u"ok\uFFFD"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    WideString wide;
    EXPECT_TRUE(TevrinAV::Utf8ToWide(wide, c.utf8));
    EXPECT_EQ(wide, c.wide);
  }
}

TEST(WideTextTest, ProtocolStringsCarryUtf8) {
  auto buffer = std::make_shared<apache::thrift::transport::TMemoryBuffer>();
  apache::thrift::protocol::TBinaryProtocol protocol(buffer);
  TevrinAV::WriteWideString(&protocol, u"\u00E9t\u00E9");
  EXPECT_EQ(buffer->getBufferAsString(), std::string("\0\0\0\x05\xC3\xA9t\xC3\xA9", 9));

  WideString back = u"overwritten";
  TevrinAV::ReadWideString(&protocol, back);
  EXPECT_EQ(back, u"\u00E9t\u00E9");
}

}  // namespace
