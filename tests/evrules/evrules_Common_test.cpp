#include "evrules_Common.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>

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

TEST(CommandTokensTest, ViewTheSameTokensAsSplitCommandLine) {
  const std::u16string lines[] = {
      u"", u"   ", u"wscript.exe", u"  a   b  ", u"wscript.exe \"E:\\My Scripts\\run.vbs\"", u"a\"b c\"d e",
      u"\"\" a", u"\" \" a", u"a \"b c", u"1 2 3 4 5 6 7 8 9 \"10 11\" 12", u"x\"\"y \"\"z\"\"",
      // Longer than the stack buffer: the tokens go to the heap, unchanged.
      u"cmd /c " + std::u16string(1500, u'a') + u" \"" + std::u16string(600, u'b') + u" c\"d",
  };
  for (const std::u16string& line : lines) {
    SCOPED_TRACE(Utf8(line.substr(0, 40)));
    const evrules::CommandTokens tokens(line);
    const std::vector<std::u16string> expected = evrules::SplitCommandLine(line);
    ASSERT_EQ(tokens.size(), expected.size());
    for (std::size_t i = 0; i < tokens.size(); ++i) EXPECT_EQ(tokens[i], expected[i]);
  }
  const evrules::CommandTokens tokens(u"a\"b c\"d e");
  EXPECT_EQ(tokens[0], u"ab cd");  // quotes dropped from the middle of a token
  EXPECT_EQ(tokens[1], u"e");
}

// Texts against rows made by NormalizeText: the in-place comparison must
// answer exactly as comparing NormalizeText's result does.
TEST(NormalizedTest, ComparesAsNormalizeTextDoes) {
  const std::u16string texts[] = {
      u"", u"a", u"A", u"cmd.exe", u"CMD.EXE", u"Cmd.Exe", u"cmd.ex", u"cmd.exe ", u"C:\\Windows\\System32",
      u"c:\\windows\\system32", u"\u00e9", u"\u00c9", u"?", u"\u0430", u"a\U0001F600b", u"a?b", u"A?B",
      std::u16string(u"a") + char16_t(0xD800) + u"b", u"syst\u00e8me", u"SYST\u00e8ME", u"{}[]`~@", u"\u0161\u20ac",
  };
  for (const std::u16string& text : texts) {
    const evrules::Normalized viewed(text);
    const evrules::Normalized copied(text, false);  // normalised whether ASCII or not
    for (const std::u16string& other : texts) {
      SCOPED_TRACE(Utf8(text) + " / " + Utf8(other));
      const evrules::WideText row = NormalizeText(other);
      const bool same = NormalizeText(text).view() == row.view();
      EXPECT_EQ(viewed.view().Is(row.view()), same);
      EXPECT_EQ(copied.view().Is(row.view()), same);
      EXPECT_EQ(viewed.view().Is(evrules::Normalized(other).view()), same);
      const bool holds = NormalizeText(text).view().find(row.view()) != std::u16string_view::npos;
      EXPECT_EQ(viewed.view().Contains(row.view()), holds);
      EXPECT_EQ(copied.view().Contains(row.view()), holds);
    }
  }
}

TEST(NormalizedTest, ImagePathSplitsOnceAndNormalisesEachPart) {
  const evrules::ImagePath ascii(u"C:\\Temp\\svch0st.exe");
  EXPECT_TRUE(ascii.folder.view().Is(u"C:\\TEMP\\"));
  EXPECT_TRUE(ascii.name.view().Is(u"SVCH0ST.EXE"));
  const evrules::ImagePath other(u"C:\\Tem\u00e9\\\u0430.exe");
  EXPECT_TRUE(other.folder.view().Is(u"C:\\TEM\u00e9\\"));
  EXPECT_TRUE(other.name.view().Is(u"?.EXE"));
}

// Texts at every alignment and of every short length, with non-zero,
// non-ASCII units around them that must not be taken for theirs.
void ExpectMeasures(evrules::EventText (*measure)(const char16_t*)) {
  for (char16_t around : {char16_t(0xFF80), char16_t(0)}) {
  for (std::size_t start = 0; start < 12; ++start) {
    for (std::size_t length = 0; length < 40; ++length) {
      for (std::size_t nonAscii = 0; nonAscii <= length; ++nonAscii) {
        alignas(16) char16_t buffer[64];
        std::fill(std::begin(buffer), std::end(buffer), around);
        for (std::size_t i = 0; i < length; ++i) buffer[start + i] = static_cast<char16_t>(u'a' + i % 26);
        if (nonAscii < length) buffer[start + nonAscii] = 0x00E9;
        buffer[start + length] = 0;
        SCOPED_TRACE(testing::Message() << "start " << start << ", length " << length << ", non-ASCII at "
                                        << nonAscii);
        const evrules::EventText measured = measure(buffer + start);
        EXPECT_EQ(measured.text.data(), buffer + start);
        EXPECT_EQ(measured.text.size(), length);
        EXPECT_EQ(measured.ascii, nonAscii == length);
      }
    }
  }
  }
}

TEST(ReadHostTextTest, MeasuresAndTellsAscii) {
  ExpectMeasures(evrules::MeasureTextByUnit);
#if EVRULES_READS_PAST_TERMINATOR
  ExpectMeasures(evrules::MeasureTextByWord);
#ifdef __SSE2__
  ExpectMeasures(evrules::MeasureTextByBlock);
#endif
#endif
  ExpectMeasures([](const char16_t* text) { return evrules::ReadHostText(text); });
  EXPECT_TRUE(evrules::ReadHostText(nullptr).text.empty());
  EXPECT_TRUE(evrules::ReadHostText(nullptr).ascii);
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

TEST_F(CommonRoutinesTest, LongPathsMakeWholeDebuggerLines) {
  for (std::size_t length : {900u, 960u, 970u, 980u, 1100u, 5000u}) {
    SCOPED_TRACE(length);
    Recorded() = evrules_test::HostRecord{};
    const std::u16string path = u"C:\\" + std::u16string(length, u'x') + u"\u00e9.exe";
    evrules::HIPSCheckWhiteListEntry(path.c_str());
    ASSERT_EQ(Recorded().debugLines.size(), 2u);
    EXPECT_EQ(Recorded().debugLines[0],
              "==HIPSCheckWhiteListEntry: Check for white list C:\\" + std::string(length, 'x') + "\xe9.exe");
  }
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
