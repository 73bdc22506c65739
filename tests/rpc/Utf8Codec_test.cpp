// The Linux stand-in for the Windows converter: exact replacement behaviour.
#include "platform/Utf8Codec.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/PipeApi.h"

namespace {

namespace platform = tevrin::platform;

std::u16string Decode(const std::string& bytes) {
  int size = platform::Utf8ToWideChars(bytes.c_str(), nullptr, 0);
  std::u16string out(static_cast<std::size_t>(size), u'\0');
  EXPECT_EQ(platform::Utf8ToWideChars(bytes.c_str(), out.data(), size), size);
  out.pop_back();  // the terminator
  return out;
}

// Each maximal ill-formed subpart is one U+FFFD.
TEST(Utf8CodecTest, IllFormedSequencesAreReplacedByMaximalSubpart) {
  const struct {
    const char* name;
    std::string utf8;
    std::u16string wide;
  } cases[] = {
      {"overlong two-byte", "\xC0\xAF", u"\uFFFD\uFFFD"},
      {"overlong three-byte", "\xE0\x80\xAF", u"\uFFFD\uFFFD\uFFFD"},
      {"encoded surrogate", "\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},
      {"above U+10FFFF", "\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
      {"truncated three-byte then letter",
       "\xE2\x82"
       "A",
       u"\uFFFD"
       "A"},
      {"truncated four-byte", "\xF0\x9F\x98", u"\uFFFD"},
      {"five-byte lead", "\xF8\x88\x80\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD"},
      {"valid after invalid", "\xFE\xC3\xA9", u"\uFFFD\u00E9"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Decode(c.utf8), c.wide);
  }
}

TEST(Utf8CodecTest, SizeQueryIncludesTheTerminator) {
  EXPECT_EQ(platform::WideToUtf8Bytes(u"\u20AC", nullptr, 0), 4);
  EXPECT_EQ(platform::Utf8ToWideChars("\xF0\x9F\x98\x80", nullptr, 0), 3);
}

TEST(Utf8CodecTest, TooSmallBufferFailsWithInsufficientBuffer) {
  char out[3];
  EXPECT_EQ(platform::WideToUtf8Bytes(u"\u20AC", out, 3), 0);
  EXPECT_EQ(platform::LastError(), platform::kErrorInsufficientBuffer);
}

}  // namespace
