// The tools' shared command line: the forms of options, the help's layout,
// the suggestions and the numbers' messages.
#include "CommandLine.h"

#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <utility>
#include <vector>

namespace cli {
namespace {

constexpr char kLongHelp[] =
    "write what comes out into FILE instead of standard output, which is where it goes when no option says "
    "otherwise";

const Parser& TestParser() {
  static const Parser parser("tool",
                             {{"pipe", "NAME", "the pipe"},
                              {"compact", "", "one line"},
                              {"output", "FILE", kLongHelp, 'o'}},
                             "tool [options] WORD...", "Does things.");
  return parser;
}

Parser::Outcome Parse(std::vector<const char*> words, Arguments& arguments, std::string* printed = nullptr) {
  words.insert(words.begin(), "tool");
  std::ostringstream out;
  const auto outcome = TestParser().Parse(static_cast<int>(words.size()), words.data(), arguments, out);
  if (printed != nullptr) *printed = out.str();
  return outcome;
}

TEST(CommandLineTest, EveryFormOfAnOption) {
  Arguments a;
  ASSERT_EQ(Parse({"--pipe", "a", "--pipe=b", "-oout", "-o", "two", "-o=three", "--compact", "w", "-", "--", "--x"}, a),
            Parser::Outcome::Run);
  EXPECT_EQ(a.values("pipe"), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(a.value("pipe"), "b");
  EXPECT_EQ(a.values("output"), (std::vector<std::string>{"out", "two", "three"}));
  EXPECT_TRUE(a.has("compact"));
  EXPECT_FALSE(a.has("other"));
  EXPECT_EQ(a.value("other", "default"), "default");
  EXPECT_EQ(a.words(), (std::vector<std::string>{"w", "-", "--x"}));
}

TEST(CommandLineTest, UsageErrorsSayWhatIsWrong) {
  const std::pair<std::vector<const char*>, const char*> cases[] = {
      {{"--pip", "a"}, "unknown option '--pip' (did you mean '--pipe'?)"},
      {{"--frobnicate"}, "unknown option '--frobnicate'"},
      {{"-x"}, "unknown option '-x'"},
      {{"--compact=yes"}, "option '--compact' takes no value"},
      {{"--pipe"}, "option '--pipe' needs a value (NAME)"},
      {{"--\x1b[2J"}, "unknown option '--\\x1B[2J'"},
  };
  for (const auto& [words, problem] : cases) {
    SCOPED_TRACE(problem);
    Arguments a;
    try {
      Parse(words, a);
      ADD_FAILURE() << "accepted";
    } catch (const UsageError& e) {
      EXPECT_STREQ(e.what(), problem);
    }
  }
  std::ostringstream err;
  TestParser().PrintUsageError(err, "bad");
  EXPECT_EQ(err.str(), "tool: bad\nTry 'tool --help' for more information.\n");
}

TEST(CommandLineTest, HelpAndVersion) {
  Arguments a;
  std::string printed;
  ASSERT_EQ(Parse({"--pipe", "x", "-h", "--bogus"}, a, &printed), Parser::Outcome::Help);
  EXPECT_EQ(printed.rfind("Usage: tool [options] WORD...\n\nDoes things.\n\nOptions:\n      --pipe NAME    the pipe\n", 0), 0u)
      << printed;
  for (std::size_t at = 0, end; (end = printed.find('\n', at)) != std::string::npos; at = end + 1)
    EXPECT_LE(end - at, 80u) << printed.substr(at, end - at);
  EXPECT_NE(printed.find("  -h, --help         show this text and exit\n"), std::string::npos) << printed;
  ASSERT_EQ(Parse({"--version"}, a, &printed), Parser::Outcome::Version);
  EXPECT_EQ(printed, std::string("tool (Tevrin Security Suite) ") + Version() + "\n");
}

TEST(CommandLineTest, NearestNamesAreLikelySlips) {
  const std::vector<std::string> names = {"ReloadCore", "GetOption", "SetOption", "StartTask"};
  const std::pair<std::string, std::vector<std::string>> cases[] = {
      {"reloadcore", {"ReloadCore"}}, {"GetOptoin", {"GetOption"}}, {"etOption", {"GetOption", "SetOption"}},
      {"StartTaks", {"StartTask"}},   {"Reload", {}},               {"", {}},
  };
  for (const auto& [name, nearest] : cases) EXPECT_EQ(NearestNames(names, name), nearest) << name;
}

TEST(CommandLineTest, NumbersOfOptions) {
  EXPECT_EQ(WholeNumber("n", "42", 1, 100), 42u);
  EXPECT_EQ(Seconds("t", "0.25"), 0.25);
  const std::pair<std::function<void()>, const char*> cases[] = {
      {[] { WholeNumber("n", "0", 1, 100); }, "--n takes a whole number from 1 to 100, not '0'"},
      {[] { WholeNumber("n", "99999999999999999999999", 1, 100); }, "--n takes a whole number from 1 to 100, not '99999999999999999999999'"},
      {[] { WholeNumber("n", "-1", 1, 100); }, "--n takes a whole number from 1 to 100, not '-1'"},
      {[] { Seconds("t", "nan"); }, "--t takes a positive number of seconds, not 'nan'"},
      {[] { Seconds("t", "1e999"); }, "--t takes a positive number of seconds, not '1e999'"},
  };
  for (const auto& [call, problem] : cases) {
    try {
      call();
      ADD_FAILURE() << problem;
    } catch (const UsageError& e) {
      EXPECT_STREQ(e.what(), problem);
    }
  }
}

}  // namespace
}  // namespace cli
