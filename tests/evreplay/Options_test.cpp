#include "Options.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace evreplay {
namespace {

cli::Parser::Outcome Parse(std::vector<const char*> arguments, Options& options, std::string* printed = nullptr) {
  arguments.insert(arguments.begin(), "evreplay");
  std::ostringstream out;
  const auto outcome = ParseOptions(static_cast<int>(arguments.size()), arguments.data(), options, out);
  if (printed != nullptr) *printed = out.str();
  return outcome;
}

TEST(OptionsTest, EveryOption) {
  Options options;
  ASSERT_EQ(Parse({"--module", "m.so", "--all", "--explain", "--flags=0x80", "--removable", "e:", "--removable=F:",
                   "--trust", "C:\\Program Files", "--white-list", "w.txt", "--sandbox", "/var/tmp", "--format=csv",
                   "-o", "out.csv", "--report", "r.html", "--fail-on-report", "--threads", "3", "a.jsonl", "-", "--",
                   "--odd-name"},
                  options),
            cli::Parser::Outcome::Run);
  EXPECT_EQ(options.modulePath, "m.so");
  EXPECT_TRUE(options.all);
  EXPECT_TRUE(options.explain);
  ASSERT_TRUE(options.flags.has_value());
  EXPECT_EQ(*options.flags, 0x80);
  EXPECT_EQ(options.removableDrives, (std::vector<std::string>{"e:", "F:"}));
  EXPECT_EQ(options.trustedFolders, (std::vector<std::string>{"C:\\Program Files"}));
  EXPECT_EQ(options.whiteListFile, "w.txt");
  EXPECT_EQ(options.sandboxParent, "/var/tmp");
  EXPECT_EQ(options.format, Format::Csv);
  EXPECT_EQ(options.outputFile, "out.csv");
  EXPECT_EQ(options.reportFile, "r.html");
  EXPECT_TRUE(options.failOnReport);
  EXPECT_EQ(options.threads, 3);
  EXPECT_EQ(options.files, (std::vector<std::string>{"a.jsonl", "-", "--odd-name"}));
}

TEST(OptionsTest, FlagsTakeDecimalHexadecimalAndAllBits) {
  struct Case {
    const char* text;
    int32_t flags;
  };
  const Case cases[] = {{"0", 0}, {"128", 128}, {"0x80", 0x80}, {"0xFFFFFFFF", -1}, {"-1", -1}};
  for (const Case& c : cases) {
    Options options;
    ASSERT_EQ(Parse({"--flags", c.text, "x"}, options), cli::Parser::Outcome::Run) << c.text;
    EXPECT_EQ(*options.flags, c.flags) << c.text;
  }
}

TEST(OptionsTest, WhatCannotBeUsedIsSaid) {
  struct Case {
    std::vector<const char*> arguments;
    const char* error;
  };
  const Case cases[] = {
      {{"--module", "m"}, "no FILE given (- reads standard input)"},
      {{"a", "--module"}, "option '--module' needs a value (PATH)"},
      {{"--modul", "m", "a"}, "unknown option '--modul' (did you mean '--module'?)"},
      {{"--frobnicate", "a"}, "unknown option '--frobnicate'"},
      {{"-x", "a"}, "unknown option '-x'"},
      {{"--all=yes", "a"}, "option '--all' takes no value"},
      {{"--flags", "lots", "a"}, "--flags takes a number (decimal, or hexadecimal with 0x), not 'lots'"},
      {{"--flags", "0x100000000", "a"}, "--flags takes a number (decimal, or hexadecimal with 0x), not '0x100000000'"},
      {{"--removable", "E", "a"}, "--removable takes a drive such as E:, not 'E'"},
      {{"--removable", "E:\\", "a"}, "--removable takes a drive such as E:, not 'E:\\'"},
      {{"--trust", "", "a"}, "--trust takes a folder"},
      {{"--threads", "0", "a"}, "--threads takes a whole number from 1 to 256, not '0'"},
      {{"--format", "xml", "a"}, "--format takes jsonl, csv or table, not 'xml'"},
      {{"--events", "--report", "r.html", "a"},
       "--events writes events as JSON lines; --format, --report and --fail-on-report judge them"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.error);
    Options options;
    try {
      Parse(c.arguments, options);
      ADD_FAILURE() << "accepted";
    } catch (const cli::UsageError& e) {
      EXPECT_STREQ(e.what(), c.error);
    }
  }
}

TEST(OptionsTest, HelpAndVersionNeedNothingElse) {
  Options options;
  std::string printed;
  ASSERT_EQ(Parse({"-h"}, options, &printed), cli::Parser::Outcome::Help);
  EXPECT_EQ(printed.rfind("Usage: evreplay [options] FILE...\n       evreplay --events FILE...\n", 0), 0u) << printed;
  EXPECT_NE(printed.find("  -o, --output FILE"), std::string::npos) << printed;
  ASSERT_EQ(Parse({"--version"}, options, &printed), cli::Parser::Outcome::Version);
  EXPECT_EQ(printed.rfind("evreplay (Tevrin Security Suite) ", 0), 0u) << printed;
}

TEST(OptionsTest, TheModuleIsLookedForInTheBuildTreeThenTheInstall) {
  const std::vector<std::string> candidates = ModuleCandidates("/opt/x/bin");
  ASSERT_EQ(candidates.size(), 2u);
  EXPECT_EQ(candidates[0], "/opt/x/bin/../../evrules/libevrules.so");
  EXPECT_EQ(candidates[1].rfind("/opt/x/bin/../", 0), 0u) << candidates[1];
}

}  // namespace
}  // namespace evreplay
