// The interface's values as JSON both ways: exact text out, every kind of
// misfit in, with its place and what was expected.
#include "reflect/JsonValue.h"

#include <gtest/gtest.h>

#include <functional>

#include "service/ServiceRpcTypes.h"

namespace {

using namespace TevrinAV;
using reflect::DumpJson;
using reflect::Json;
using reflect::ToJson;

template <class T>
std::string Out(const T& value) {
  return DumpJson(ToJson(value), true);
}

TaskInfo PartlySetTaskInfo() {
  TaskInfo info;
  info.code1 = ServiceCode{-3};
  info.isset.code1 = true;
  info.numbers8.number2 = INT64_MIN;
  info.numbers8.isset.number2 = true;
  info.isset.numbers8 = true;
  info.number5 = 77;  // not set: not written
  return info;
}

TEST(JsonValueTest, WritesEveryKindOfValueExactly) {
  SkipItem item;
  item.text2 = u"C:\\a";
  item.isset.text2 = true;
  const std::pair<std::string, std::string> cases[] = {
      {Out(true), "true"},
      {Out(int32_t{INT32_MIN}), "-2147483648"},
      {Out(int64_t{INT64_MIN}), "-9223372036854775808"},
      {Out(int64_t{INT64_MAX}), "9223372036854775807"},
      {Out(WideString(u"Gr\u00FC\u00DFe \U0001F600 \u0416")),
       "\"Gr\xC3\xBC\xC3\x9F"
       "e \xF0\x9F\x98\x80 \xD0\x96\""},
      {Out(WideString(u"")), "\"\""},
      {Out(WideString(u"\x1B[1m\t\u007F\u0085\u009F\u00A0")), "\"\\u001b[1m\\t\\u007f\\u0085\\u009f\xC2\xA0\""},
      {Out(WideString(u"a\xD800z")), "\"a\xEF\xBF\xBDz\""},
      {Out(ServiceCode{-3}), "-3"},
      {Out(std::vector<int64_t>{}), "[]"},
      {Out(std::vector<WideString>{u"a", u"\u00DF"}), "[\"a\",\"\xC3\x9F\"]"},
      {Out(std::set<int32_t>{3, -1}), "[-1,3]"},
      {Out(TargetMap{{10, 3}, {-1, 2}, {9, 1}}), "{\"-1\":2,\"9\":1,\"10\":3}"},
      {Out(std::map<int64_t, bool>{}), "{}"},
      {Out(PartlySetTaskInfo()), "{\"code1\":-3,\"numbers8\":{\"number2\":-9223372036854775808}}"},
      {Out(DomainEntry{}), "{}"},
      {Out(std::vector<SkipItem>{item, SkipItem{}}), "[{\"text2\":\"C:\\\\a\"},{}]"},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(cases[i].first, cases[i].second);
  }
}

TEST(JsonValueTest, IndentsByTwoUnlessCompact) {
  EXPECT_EQ(DumpJson(Json{{"result", Json::array({1})}}, false), "{\n  \"result\": [\n    1\n  ]\n}");
  EXPECT_EQ(DumpJson(Json::object(), false), "{}");
}

// Reads `text` as T and writes the value back, or tells the misfit.
template <class T>
std::string ReadBack(const std::string& text) {
  T value{};
  try {
    reflect::FromJson(Json::parse(text), value);
  } catch (const reflect::JsonTypeError& e) {
    return "at '" + e.where() + "': " + e.problem();
  }
  return Out(value);
}

struct ReadCase {
  std::string got;
  std::string want;
};

TEST(JsonValueTest, ReadsWhatItWritesAndNamesEveryMisfit) {
  const ReadCase cases[] = {
      {ReadBack<int64_t>("-9223372036854775808"), "-9223372036854775808"},
      {ReadBack<int64_t>("9223372036854775807"), "9223372036854775807"},
      {ReadBack<int64_t>("9223372036854775808"), "at '': expected i64, got number 9223372036854775808 (out of range)"},
      {ReadBack<int32_t>("-2147483649"), "at '': expected i32, got number -2147483649 (out of range)"},
      {ReadBack<int16_t>("40000"), "at '': expected i16, got number 40000 (out of range)"},
      {ReadBack<int32_t>("1e2"), "at '': expected i32, got number 100.0"},
      {ReadBack<int32_t>("\"5\""), "at '': expected i32, got string \"5\""},
      {ReadBack<double>("1.5"), "1.5"},
      {ReadBack<bool>("false"), "false"},
      {ReadBack<bool>("0"), "at '': expected bool, got number 0"},
      {ReadBack<WideString>("\"\\u00fc\\ud83d\\ude00\""), "\"\xC3\xBC\xF0\x9F\x98\x80\""},
      {ReadBack<WideString>("\"a\\u0000b\""), "at '': expected string, got string \"a\\u0000b\" (a text holds no NUL)"},
      {ReadBack<WideString>("null"), "at '': expected string, got null"},
      {ReadBack<WideString>("[\"x\"]"), "at '': expected string, got an array"},
      {ReadBack<int32_t>(R"("12345678901234567890123456789012345678901234567890")"),
       "at '': expected i32, got string \"123456789012345678901234567890123456789..."},
      {ReadBack<ServiceCode>("\"x\""), "at '': expected ServiceCode (an i32), got string \"x\""},
      {ReadBack<std::vector<WideString>>(R"(["a", 1])"), "at '[1]': expected string, got number 1"},
      {ReadBack<std::vector<int64_t>>("{}"), "at '': expected list<i64>, got an object"},
      {ReadBack<std::set<int32_t>>("[2, 1, 2]"), "[1,2]"},
      {ReadBack<TargetMap>(R"({"-9223372036854775808": 1, "007": 2})"), "{\"-9223372036854775808\":1,\"7\":2}"},
      {ReadBack<TargetMap>(R"({"-9223372036854775809": 1})"),
       "at '[\"-9223372036854775809\"]': expected i64 as a decimal key, got string \"-9223372036854775809\""},
      {ReadBack<TargetMap>(R"({"+1": 1})"), "at '[\"+1\"]': expected i64 as a decimal key, got string \"+1\""},
      {ReadBack<TargetMap>(R"({"": 1})"), "at '[\"\"]': expected i64 as a decimal key, got string \"\""},
      {ReadBack<std::map<int32_t, bool>>(R"({"2147483648": true})"),
       "at '[\"2147483648\"]': expected i32, got number 2147483648 (out of range)"},
      {ReadBack<TargetMap>(R"({"1": 2.5})"), "at '[\"1\"]': expected i32, got number 2.5"},
      {ReadBack<TargetMap>("[]"), "at '': expected map<i64,i32>, got an array"},
      {ReadBack<ThreatNotification>(R"({"threat": {"text2": "t", "flag9": false}, "id": 4})"),
       "{\"id\":4,\"threat\":{\"text2\":\"t\",\"flag9\":false}}"},
      {ReadBack<ThreatNotification>(R"({"threat": {"text2": 5}})"),
       "at '.threat.text2': expected string, got number 5"},
      {ReadBack<std::vector<SkipItem>>(R"([{}, {"flag4": "yes"}])"),
       "at '[1].flag4': expected bool, got string \"yes\""},
      {ReadBack<DomainEntry>(R"({"idd": 1})"),
       "at '': unknown field 'idd' of DomainEntry; its fields: id, domain, blocked"},
      {ReadBack<DomainEntry>("5"), "at '': expected DomainEntry, got number 5"},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(cases[i].got, cases[i].want);
  }
}

TEST(JsonValueTest, ARecordKeepsTheFieldsTheObjectLacks) {
  DomainEntry entry;
  entry.id = 5;
  entry.isset.id = true;
  reflect::FromJson(Json::parse(R"({"blocked": true})"), entry);
  EXPECT_EQ(Out(entry), "{\"id\":5,\"blocked\":true}");
}

TEST(JsonValueTest, ParsesWholeNumbersOnlyInRange) {
  const std::pair<const char*, bool> cases[] = {
      {"0", true},
      {"-0", true},
      {"9223372036854775807", true},
      {"-9223372036854775808", true},
      {"9223372036854775808", false},
      {"-9223372036854775809", false},
      {"", false},
      {"-", false},
      {"1.0", false},
      {" 1", false},
      {"0x10", false},
  };
  for (const auto& [text, fits] : cases) {
    SCOPED_TRACE(text);
    int64_t number = 0;
    EXPECT_EQ(reflect::ParseWholeNumber(text, number), fits);
  }
}

}  // namespace
