#include "SysmonRecord.h"

#include <gtest/gtest.h>

#include <string>

namespace evreplay {
namespace {

// The record's views point into the parser, which therefore outlives it.
RecordParser theParser;

SysmonRecord Read(const std::string& line, ParseStatus expected = ParseStatus::Ok) {
  SysmonRecord record;
  // No padding behind the line: the parser must copy it.
  EXPECT_EQ(theParser.Parse(line.data(), line.size(), line.size(), record), expected);
  return record;
}

TEST(SysmonRecordTest, FlatShape) {
  const SysmonRecord record = Read(
      R"({"EventID":13,"SourceName":"Microsoft-Windows-Sysmon","Hostname":"WS01","EventRecordID":42,)"
      R"("UtcTime":"2024-05-01 09:00:00.000","@timestamp":"2024-05-01T09:00:01Z","EventType":"SetValue",)"
      R"("Image":"C:\\a.exe","TargetObject":"HKLM\\x","UserID":"S-1-5-18","Extra":{"Image":"ignored"}})");
  EXPECT_TRUE(record.hasSource);
  EXPECT_TRUE(record.isSysmon);
  ASSERT_TRUE(record.hasEventId);
  EXPECT_EQ(record.eventId, 13);
  ASSERT_TRUE(record.hasRecordId);
  EXPECT_EQ(record.recordId, 42u);
  EXPECT_EQ(record.computer, "WS01");
  EXPECT_EQ(record.utcTime, "2024-05-01 09:00:00.000");
  EXPECT_EQ(record.timestamp, "2024-05-01T09:00:01Z");
  EXPECT_EQ(record.eventType, "SetValue");
  EXPECT_EQ(record.image, "C:\\a.exe");
  EXPECT_TRUE(record.hasImage);
  EXPECT_EQ(record.targetObject, "HKLM\\x");
  EXPECT_EQ(record.userSid, "S-1-5-18");
  EXPECT_FALSE(record.hasParentImage);
}

TEST(SysmonRecordTest, WinlogbeatShape) {
  const SysmonRecord record = Read(
      R"({"@timestamp":"2024-05-01T09:00:01.000Z","host":{"name":"ignored"},"winlog":{)"
      R"("channel":"Microsoft-Windows-Sysmon/Operational","computer_name":"ws02.corp","event_id":"1",)"
      R"("record_id":"7002","user":{"identifier":"S-1-5-21-7"},"event_data":{"UtcTime":"2024-05-01 09:00:00.000",)"
      R"("Image":"C:\\b.exe","ParentImage":"C:\\p.exe","ParentCommandLine":"p.exe \"x y\"","CommandLine":"b.exe",)"
      R"("TargetFilename":"C:\\f.txt","CreationUtcTime":"2024-01-01 00:00:00.000"}}})");
  EXPECT_TRUE(record.isSysmon);
  EXPECT_EQ(record.eventId, 1);
  EXPECT_EQ(record.recordId, 7002u);
  EXPECT_EQ(record.computer, "ws02.corp");
  EXPECT_EQ(record.image, "C:\\b.exe");
  EXPECT_EQ(record.parentImage, "C:\\p.exe");
  EXPECT_EQ(record.parentCommandLine, "p.exe \"x y\"");
  EXPECT_EQ(record.commandLine, "b.exe");
  EXPECT_EQ(record.targetFilename, "C:\\f.txt");
  EXPECT_EQ(record.creationUtcTime, "2024-01-01 00:00:00.000");
  EXPECT_EQ(record.userSid, "S-1-5-21-7");
}

TEST(SysmonRecordTest, Sources) {
  struct Case {
    const char* line;
    bool hasSource;
    bool isSysmon;
  };
  const Case cases[] = {
      {R"({"SourceName":"Microsoft-Windows-Sysmon"})", true, true},
      {R"({"Channel":"microsoft-windows-sysmon/operational"})", true, true},
      {R"({"winlog":{"provider_name":"Microsoft-Windows-Sysmon"}})", true, true},
      {R"({"SourceName":"Microsoft-Windows-Security-Auditing"})", true, false},
      {R"({"Channel":"Security","SourceName":"Microsoft-Windows-Sysmon"})", true, true},
      {R"({"EventID":1})", false, false},
      {R"({"SourceName":7})", false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    const SysmonRecord record = Read(c.line);
    EXPECT_EQ(record.hasSource, c.hasSource);
    EXPECT_EQ(record.isSysmon, c.isSysmon);
  }
}

TEST(SysmonRecordTest, EventIdsAsNumbersOrDecimalText) {
  struct Case {
    const char* line;
    bool has;
    int64_t id;
  };
  const Case cases[] = {
      {R"({"EventID":1})", true, 1},          {R"({"EventID":"13"})", true, 13},
      {R"({"EventID":"one"})", false, 0},     {R"({"EventID":"-1"})", false, 0},
      {R"({"EventID":""})", false, 0},        {R"({"EventID":1.5})", false, 0},
      {R"({"EventID":null})", false, 0},      {R"({"winlog":{"event_id":26}})", true, 26},
      {R"({"EventID":12,"winlog":{"event_id":13}})", true, 12},
      // Too large for any id: kept, out of range, never wrapped.
      {R"({"EventID":"9999999999999999999"})", true, -1},
      {R"({"EventID":"99999999999999999999999999"})", true, -1},
      {R"({"EventID":9223372036854775807})", true, INT64_MAX},
      {R"({"EventID":-3})", true, -3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    const SysmonRecord record = Read(c.line);
    EXPECT_EQ(record.hasEventId, c.has);
    if (c.has) {
      EXPECT_EQ(record.eventId, c.id);
    }
  }
}

TEST(SysmonRecordTest, RecordNumbersAtTheirLimits) {
  EXPECT_EQ(Read(R"({"EventRecordID":"18446744073709551615"})").recordId, UINT64_MAX);
  EXPECT_FALSE(Read(R"({"EventRecordID":"18446744073709551616"})").hasRecordId);
  EXPECT_FALSE(Read(R"({"EventRecordID":-1})").hasRecordId);
  EXPECT_EQ(Read(R"({"RecordNumber":77})").recordId, 77u);
}

TEST(SysmonRecordTest, ANulInsideAUsedTextIsNoted) {
  EXPECT_TRUE(Read(R"({"Image":"C:\\Windows\\System32\\svchost.exe\u0000C:\\x.exe"})").nulInText);
  EXPECT_TRUE(Read(R"({"winlog":{"event_data":{"TargetObject":"HKLM\u0000"}}})").nulInText);
  EXPECT_FALSE(Read(R"({"Image":"C:\\x.exe","Other":"\u0000"})").nulInText);
}

TEST(SysmonRecordTest, PresentButEmptyDiffersFromMissing) {
  SysmonRecord record = Read(R"({"Image":"","ParentImage":""})");
  EXPECT_TRUE(record.hasImage);
  EXPECT_TRUE(record.hasParentImage);
  record = Read(R"({"Image":null})");
  EXPECT_FALSE(record.hasImage);
}

TEST(SysmonRecordTest, WhatIsNotAJsonObject) {
  Read("not json", ParseStatus::NotJson);
  Read(R"({"EventID":1,"Image")", ParseStatus::NotJson);
  Read(R"({"a":1} {"b":2})", ParseStatus::NotJson);
  Read("{\"a\":\"\xff\"}", ParseStatus::NotJson);
  Read("[1,2]", ParseStatus::NotObject);
  Read("42", ParseStatus::NotObject);
}

TEST(SysmonRecordTest, ParsesInPlaceWhenThePaddingIsThere) {
  std::string buffer = R"({"EventID":5})";
  const std::size_t size = buffer.size();
  buffer.resize(size + simdjson::SIMDJSON_PADDING, 'x');
  RecordParser parser;
  SysmonRecord record;
  ASSERT_EQ(parser.Parse(buffer.data(), size, buffer.size(), record), ParseStatus::Ok);
  EXPECT_EQ(record.eventId, 5);
}

}  // namespace
}  // namespace evreplay
