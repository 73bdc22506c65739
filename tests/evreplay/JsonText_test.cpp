#include "JsonText.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace evreplay {
namespace {

TEST(JsonTextTest, StringsEscapeQuotesBackslashesAndControls) {
  struct Case {
    std::string text;
    const char* json;
  };
  const Case cases[] = {
      {"", "\"\""},
      {"plain", "\"plain\""},
      {"C:\\Windows\\x.exe", "\"C:\\\\Windows\\\\x.exe\""},
      {"say \"hi\"", "\"say \\\"hi\\\"\""},
      {"a\nb\rc\td\be\ff", "\"a\\nb\\rc\\td\\be\\ff\""},
      {std::string("nul\0x", 5), "\"nul\\u0000x\""},
      {"\x1f\x7f", "\"\\u001f\\u007f\""},
      {"c1 \xc2\x80\xc2\x9b[2J \xc2\xa0", "\"c1 \\u0080\\u009b[2J \xc2\xa0\""},
      {"\xc2", "\"\xc2\""},
      {"caf\xc3\xa9 \xf0\x9f\x98\x80", "\"caf\xc3\xa9 \xf0\x9f\x98\x80\""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.json);
    std::string out = "x";
    AppendJsonString(out, c.text);
    EXPECT_EQ(out, std::string("x") + c.json);
  }
}

TEST(JsonTextTest, NumbersAtTheirLimits) {
  struct Case {
    int64_t value;
    const char* text;
  };
  const Case cases[] = {{0, "0"}, {7, "7"}, {-1, "-1"}, {INT64_MAX, "9223372036854775807"},
                        {INT64_MIN, "-9223372036854775808"}};
  for (const Case& c : cases) {
    std::string out;
    AppendNumber(out, c.value);
    EXPECT_EQ(out, c.text);
  }
  std::string out;
  AppendNumber(out, UINT64_MAX);
  EXPECT_EQ(out, "18446744073709551615");
}

}  // namespace
}  // namespace evreplay
