#include "Values.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

namespace evtx {
namespace {

std::string Real64(double v) {
  uint8_t bytes[8];
  std::memcpy(bytes, &v, 8);
  std::string out;
  EXPECT_TRUE(AppendValue(out, kReal64, bytes, 8));
  return out;
}

// Floats as Python's repr writes them.
TEST(ValuesTest, FloatsAsPythonWritesThem) {
  const std::pair<double, const char*> cases[] = {
      {0.0, "0.0"}, {-0.0, "-0.0"}, {1.0, "1.0"}, {0.1, "0.1"}, {1.5e-5, "1.5e-05"}, {0.0001, "0.0001"},
      {123456789012345.0, "123456789012345.0"}, {1e16, "1e+16"}, {1.25e100, "1.25e+100"}, {-2.5e-7, "-2.5e-07"},
      {std::numeric_limits<double>::infinity(), "inf"}, {-std::numeric_limits<double>::infinity(), "-inf"},
      {std::nan(""), "nan"}, {5e-324, "5e-324"}, {1.7976931348623157e308, "1.7976931348623157e+308"},
  };
  for (const auto& [value, text] : cases) EXPECT_EQ(Real64(value), text) << text;
}

TEST(ValuesTest, BytesTooShortForTheirTypeAreNoValue) {
  const uint8_t bytes[16] = {};
  std::string out;
  for (uint8_t type : {kInt16, kUInt32, kInt64, kReal32, kReal64, kBool, kGuid, kFileTime, kSysTime, kHexInt64})
    EXPECT_FALSE(AppendValue(out, type, bytes, 1)) << int{type};
  const uint8_t sid[8] = {1, 3, 0, 0, 0, 0, 0, 5};  // three sub-authorities that are not there
  EXPECT_FALSE(AppendValue(out, kSid, sid, 8));
  const uint8_t month13[16] = {0xE8, 0x07, 13, 0, 0, 0, 1};
  EXPECT_FALSE(AppendValue(out, kSysTime, month13, 16));
  EXPECT_FALSE(AppendValue(out, 0x20, bytes, 4));  // EvtHandle has no text
}

TEST(ValuesTest, TextsKeepEveryCharacter) {
  // An unpaired surrogate is U+FFFD; trailing NULs are dropped.
  const uint8_t units[] = {'a', 0, 0x00, 0xD8, 'b', 0, 0, 0, 0, 0};
  std::string out;
  EXPECT_TRUE(AppendValue(out, kString, units, sizeof units));
  EXPECT_EQ(out, "a\xef\xbf\xbd" "b");
}

TEST(ValuesTest, FileTimesAtTheirLimits) {
  std::string out;
  AppendFileTime(out, 0);
  EXPECT_EQ(out, "1601-01-01 00:00:00");
  out.clear();
  AppendFileTime(out, UINT64_MAX);
  EXPECT_EQ(out, "60056-05-28 05:36:10.955161");
}

}  // namespace
}  // namespace evtx
