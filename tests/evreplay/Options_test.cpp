#include "Options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace evreplay {
namespace {

bool Parse(std::vector<const char*> arguments, Options& options, std::string& error) {
  arguments.insert(arguments.begin(), "evreplay");
  return ParseOptions(static_cast<int>(arguments.size()), arguments.data(), options, error);
}

TEST(OptionsTest, EveryOption) {
  Options options;
  std::string error;
  ASSERT_TRUE(Parse({"--module", "m.so", "--all", "--explain", "--flags", "0x80", "--removable", "e:", "--removable",
                     "F:", "--trust", "C:\\Program Files", "--white-list", "w.txt", "--sandbox", "/var/tmp", "a.jsonl",
                     "-", "--", "--odd-name"},
                    options, error))
      << error;
  EXPECT_EQ(options.modulePath, "m.so");
  EXPECT_TRUE(options.all);
  EXPECT_TRUE(options.explain);
  ASSERT_TRUE(options.flags.has_value());
  EXPECT_EQ(*options.flags, 0x80);
  EXPECT_EQ(options.removableDrives, (std::vector<std::string>{"e:", "F:"}));
  EXPECT_EQ(options.trustedFolders, (std::vector<std::string>{"C:\\Program Files"}));
  EXPECT_EQ(options.whiteListFile, "w.txt");
  EXPECT_EQ(options.sandboxParent, "/var/tmp");
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
    std::string error;
    ASSERT_TRUE(Parse({"--module", "m", "--flags", c.text, "x"}, options, error)) << c.text << ": " << error;
    EXPECT_EQ(*options.flags, c.flags) << c.text;
  }
}

TEST(OptionsTest, WhatCannotBeUsedIsSaid) {
  struct Case {
    std::vector<const char*> arguments;
    const char* error;
  };
  const Case cases[] = {
      {{"a.jsonl"}, "--module PATH is missing"},
      {{"--module", "m"}, "no FILE given (- reads standard input)"},
      {{"--module"}, "--module needs a value"},
      {{"--module", "m", "--frobnicate", "a"}, "unknown option --frobnicate"},
      {{"--module", "m", "-x", "a"}, "unknown option -x"},
      {{"--module", "m", "--flags", "lots", "a"}, "--flags takes a number (decimal, or hexadecimal with 0x), not \"lots\""},
      {{"--module", "m", "--flags", "0x100000000", "a"},
       "--flags takes a number (decimal, or hexadecimal with 0x), not \"0x100000000\""},
      {{"--module", "m", "--removable", "E", "a"}, "--removable takes a drive such as E:, not \"E\""},
      {{"--module", "m", "--removable", "E:\\", "a"}, "--removable takes a drive such as E:, not \"E:\\\""},
      {{"--module", "m", "--trust", "", "a"}, "--trust takes a folder"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.error);
    Options options;
    std::string error;
    EXPECT_FALSE(Parse(c.arguments, options, error));
    EXPECT_EQ(error, c.error);
  }
}

TEST(OptionsTest, HelpNeedsNothingElse) {
  Options options;
  std::string error;
  ASSERT_TRUE(Parse({"--help"}, options, error));
  EXPECT_TRUE(options.help);
}

}  // namespace
}  // namespace evreplay
