#include "evrules_Common.h"

#include <gtest/gtest.h>

#include "EmulatedMachine.h"

namespace {

using evrules::NormalizeText;
using evrules_test::Recorded;
using evrules_test::Utf8;

TEST(NormalizeTextTest, UpperCasesAsciiThroughTheCodePage) {
  struct Case {
    std::u16string in;
    std::u16string out;
  };
  const Case kCases[] = {
      {u"", u""},
      {u"abcxyz", u"ABCXYZ"},
      {u"C:\\Program Files (x86)\\a`{~", u"C:\\PROGRAM FILES (X86)\\A`{~"},
      {u"\u00e9\u00fc\u00e0", u"\u00e9\u00fc\u00e0"},          // Latin-1 letters keep their case
      {u"\u0161\u0153\u017e\u20ac", u"\u0161\u0153\u017e\u20ac"},  // Windows-1252 0x80-0x9F row
      {u"\u0081\u008d\u008f\u0090\u009d", u"\u0081\u008d\u008f\u0090\u009d"},  // undefined bytes round-trip
      {u"\u0080\u0100\u0430\u4e2d", u"????"},                   // not in the code page
      {u"a\U0001F600b", u"A?B"},                                // a surrogate pair is one character
      {std::u16string(u"a") + char16_t(0xD800) + u"b", u"A?B"},  // unpaired high surrogate
      {std::u16string(1, char16_t(0xDC00)), u"?"},              // unpaired low surrogate
      {std::u16string(1, char16_t(0xD800)), u"?"},              // high surrogate at the end
      {u"\t\r\n", u"\t\r\n"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(Utf8(c.in));
    EXPECT_EQ(NormalizeText(c.in).view(), c.out);
  }
}

TEST(NormalizeTextTest, LongTextsLeaveTheStackBuffer) {
  for (std::size_t length : {299u, 300u, 301u, 599u, 600u, 601u, 100000u}) {
    SCOPED_TRACE(length);
    evrules::WideText text = NormalizeText(std::u16string(length, u'q'));
    EXPECT_EQ(text.view(), std::u16string(length, u'Q'));
    EXPECT_EQ(text.c_str()[length], 0);
  }
}

TEST(SplitPathTest, SplitsAtTheLastBackslashOrColon) {
  struct Case {
    std::u16string_view path, folder, name;
  };
  constexpr Case kCases[] = {
      {u"C:\\a\\b.exe", u"C:\\a\\", u"b.exe"},
      {u"C:b.exe", u"C:", u"b.exe"},
      {u"b.exe", u"", u"b.exe"},
      {u"C:\\a\\", u"C:\\a\\", u""},
      {u"\\\\srv\\share\\x:y", u"\\\\srv\\share\\x:", u"y"},
      {u"", u"", u""},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(Utf8(c.path));
    evrules::PathParts parts = evrules::SplitPath(c.path);
    EXPECT_EQ(parts.folder, c.folder);
    EXPECT_EQ(parts.name, c.name);
  }
}

TEST(SplitCommandLineTest, QuotesGroupAndSpacesSeparate) {
  struct Case {
    std::u16string_view line;
    std::vector<std::u16string> tokens;
  };
  const Case kCases[] = {
      {u"", {}},
      {u"   ", {}},
      {u"wscript.exe", {u"wscript.exe"}},
      {u"  a   b  ", {u"a", u"b"}},
      {u"wscript.exe \"E:\\My Scripts\\run.vbs\"", {u"wscript.exe", u"E:\\My Scripts\\run.vbs"}},
      {u"a\"b c\"d e", {u"ab cd", u"e"}},
      {u"\"\" a", {u"a"}},                // an empty quoted token is dropped
      {u"\" \" a", {u" ", u"a"}},         // a quoted space is kept
      {u"a\tb\tc", {u"a\tb\tc"}},         // tabs are ordinary characters
      {u"a \"b c", {u"a", u"b c"}},       // unclosed quote runs to the end
      {u"cmd \"/c x\"", {u"cmd", u"/c x"}},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(Utf8(c.line));
    EXPECT_EQ(evrules::SplitCommandLine(c.line), c.tokens);
  }
}

TEST(SplitCommandLineTest, StopsAfterTenTokens) {
  const auto tokens = evrules::SplitCommandLine(u"1 2 3 4 5 6 7 8 9 10 11 12");
  ASSERT_EQ(tokens.size(), 10u);
  EXPECT_EQ(tokens.back(), u"10");
  EXPECT_EQ(evrules::SplitCommandLine(u"1 2 3 4 5 6 7 8 9 10").size(), 10u);
  EXPECT_EQ(evrules::SplitCommandLine(u"1 2 3 4 5 6 7 8 9 \"10 11\" 12").back(), u"10 11");
  EXPECT_EQ(evrules::SplitCommandLine(u"1 2 3 4 5 6 7 8 9 10    ").back(), u"10");
}

TEST(ExportResultTest, MapsRuleCodes) {
  EXPECT_EQ(evrules::ExportResultFor(0), 1);
  EXPECT_EQ(evrules::ExportResultFor(1), 3);
  EXPECT_EQ(evrules::ExportResultFor(2), 4);
  EXPECT_EQ(evrules::ExportResultFor(3), 2);
  EXPECT_EQ(evrules::ExportResultFor(4), 1);
  EXPECT_EQ(evrules::ExportResultFor(-1), 1);
}

class CommonRoutinesTest : public evrules_test::EmulatedMachine {};

TEST_F(CommonRoutinesTest, IsWrittenTodayComparesTheLocalDateOnly) {
  CreateFile(u"C:\\t\\today.exe", 0);
  CreateFile(u"C:\\t\\yesterday.exe", 1);
  CreateFile(u"C:\\t\\old.exe", 400);
  CreateDirectory(u"C:\\t\\dir.exe");
  EXPECT_TRUE(evrules::IsWrittenToday(u"C:\\t\\today.exe"));
  EXPECT_TRUE(evrules::IsWrittenToday(u"c:\\T\\TODAY.EXE"));
  EXPECT_FALSE(evrules::IsWrittenToday(u"C:\\t\\yesterday.exe"));
  EXPECT_FALSE(evrules::IsWrittenToday(u"C:\\t\\old.exe"));
  EXPECT_FALSE(evrules::IsWrittenToday(u"C:\\t\\dir.exe"));
  EXPECT_FALSE(evrules::IsWrittenToday(u"C:\\t\\missing.exe"));
  EXPECT_FALSE(evrules::IsWrittenToday(u"C:\\t\\to?ay.exe"));
  EXPECT_FALSE(evrules::IsWrittenToday(u"D:\\t\\today.exe"));
  EXPECT_FALSE(evrules::IsWrittenToday(u""));
}

TEST_F(CommonRoutinesTest, IsWrittenTodayJudgesNamesOutsideTheCodePage) {
  CreateFile(u"C:\\t\\\u0444\u0430\u0439\u043b.exe", 0);
  EXPECT_TRUE(evrules::IsWrittenToday(u"C:\\t\\\u0444\u0430\u0439\u043b.exe"));
}

TEST_F(CommonRoutinesTest, WhiteListQuestionWritesTwoDebuggerLines) {
  evrules_test::Answers().whiteList[u"C:\\a.exe"] = -1;
  EXPECT_EQ(evrules::HIPSCheckWhiteListEntry(u"C:\\a.exe"), -1);
  EXPECT_EQ(evrules::HIPSCheckWhiteListEntry(u"C:\\b\u00e9\u0430.exe"), 0);
  EXPECT_EQ(Recorded().debugLines,
            (std::vector<std::string>{"==HIPSCheckWhiteListEntry: Check for white list C:\\a.exe",
                                      "==HIPSCheckWhiteListEntry: Checked. Result=4294967295",
                                      "==HIPSCheckWhiteListEntry: Check for white list C:\\b\xe9?.exe",
                                      "==HIPSCheckWhiteListEntry: Checked. Result=0"}));
}

TEST_F(CommonRoutinesTest, WhiteListQuestionWithoutCallbackWritesOneLine) {
  Init(HostCallbacks{EVRULES_SIZE_WITH_REPORT, evrules_test::RecordReport, evrules_test::AnswerQueryFile,
                     evrules_test::AnswerWhiteList});
  evrules_test::Answers().whiteList[u"C:\\a.exe"] = 1;
  EXPECT_EQ(evrules::HIPSCheckWhiteListEntry(u"C:\\a.exe"), 0);
  EXPECT_EQ(Recorded().debugLines,
            std::vector<std::string>{"==HIPSCheckWhiteListEntry: Check for white list C:\\a.exe"});
  EXPECT_TRUE(Recorded().whiteListAsked.empty());
}

TEST_F(CommonRoutinesTest, QueryHostFileAnswersZeroWithoutCallback) {
  evrules_test::Answers().queryFile[u"C:\\a.exe"] = 7;
  char16_t buffer[8] = {};
  EXPECT_EQ(evrules::QueryHostFile(u"C:\\a.exe", buffer, 8), 7);
  Init(HostCallbacks{EVRULES_SIZE_WITH_ALL - 1, evrules_test::RecordReport, evrules_test::AnswerQueryFile,
                     evrules_test::AnswerWhiteList});
  EXPECT_EQ(evrules::QueryHostFile(u"C:\\a.exe", buffer, 8), 0);
  EXPECT_EQ(Recorded().queryFileAsked.size(), 1u);
}

TEST_F(CommonRoutinesTest, ReportWithoutCallbackIsSkipped) {
  Init(HostCallbacks{EVRULES_SIZE_WITH_ALL, nullptr, nullptr, nullptr});
  evrules::ReportDetectionFor(u"C:\\a.exe", "HIPS:Test");
  Init();
  evrules::ReportDetectionFor(u"C:\\a.exe", "HIPS:Test");
  EXPECT_EQ(Recorded().reports, (std::vector<evrules_test::Report>{{u"C:\\a.exe", "HIPS:Test", 2}}));
}

}  // namespace
