// How each operation reads its reply: the result kinds, the records, and the
// edge cases of skipped, missing and repeated fields.
#include <gtest/gtest.h>
#include <thrift/TApplicationException.h>

#include <functional>

#include "FakeServiceTransport.h"
#include "service/ServiceRpc.h"

namespace {

using namespace testing_support;
using apache::thrift::TApplicationException;
using namespace TevrinAV;

struct ReplyCase {
  const char* name;
  const char* operation;
  Bytes result;  // the result struct
  std::function<void(ServiceRpcClient&)> callAndCheck;
};
void PrintTo(const ReplyCase& c, std::ostream* out) { *out << c.name; }

const Bytes kStop = {0x00};
Bytes I32Field(int16_t id, int32_t v) { return Cat({Field(8, id), I32(v)}); }
Bytes I64Field(int16_t id, int64_t v) { return Cat({Field(10, id), I64(v)}); }
Bytes BoolField(int16_t id, bool v) { return Cat({Field(2, id), {uint8_t(v)}}); }
Bytes StrField(int16_t id, const std::string& v) { return Cat({Field(11, id), Str(v)}); }
Bytes Failure(int32_t number) { return Cat({Field(12, 1), I32Field(1, number), kStop}); }
Bytes Record(int16_t id, const Bytes& fields) { return Cat({Field(12, id), fields, kStop}); }

// Expects `call` to raise the missing-result error of `operation`.
void ExpectUnknownResult(const char* operation, const std::function<void()>& call) {
  try {
    call();
    ADD_FAILURE() << "no exception";
  } catch (const TApplicationException& e) {
    EXPECT_EQ(e.getType(), TApplicationException::MISSING_RESULT);
    EXPECT_EQ(std::string(e.what()), std::string(operation) + " failed: unknown result");
  }
}

void ExpectFailure(int32_t number, const std::function<void()>& call) {
  try {
    call();
    ADD_FAILURE() << "no exception";
  } catch (const OperationFailed& e) {
    EXPECT_EQ(e.number1, number);
  }
}

const ReplyCase kReplies[] = {
    // Options
    {"ValidateOption true", "ValidateOption", {0x02, 0x00, 0x00, 0x01, 0x00},
     [](auto& c) { EXPECT_TRUE(c.ValidateOption(1, u"x")); }},
    {"GetOption text", "GetOption", Cat({StrField(0, "\xE2\x82\xAC 5"), kStop}),
     [](auto& c) {
       WideString r = u"old";
       c.GetOption(r, 1);
       EXPECT_EQ(r, u"\u20AC 5");
     }},
    {"GetOption i32 field 0 leaves output", "GetOption", Cat({I32Field(0, 1), kStop}),
     [](auto& c) {
       WideString r = u"old";
       ExpectUnknownResult("GetOption", [&] { c.GetOption(r, 1); });
       EXPECT_EQ(r, u"old");
     }},
    {"QueryInformation result wins over failure", "QueryInformation",
     Cat({Failure(4), StrField(0, "info"), kStop}),
     [](auto& c) {
       WideString r;
       c.QueryInformation(r, 1);
       EXPECT_EQ(r, u"info");
     }},
    {"SetOption unexpected field 0 is success", "SetOption", Cat({StrField(0, "x"), kStop}),
     [](auto& c) { EXPECT_NO_THROW(c.SetOption(1, u"v")); }},
    {"ResetOption failure", "ResetOption", Cat({Failure(9), kStop}),
     [](auto& c) { ExpectFailure(9, [&] { c.ResetOption(1); }); }},
    // Tasks
    {"GetRunningTasks empty list replaces", "GetRunningTasks", Cat({Field(15, 0), {10}, I32(0), kStop}),
     [](auto& c) {
       std::vector<int64_t> r = {1, 2};
       c.GetRunningTasks(r);
       EXPECT_TRUE(r.empty());
     }},
    {"GetRunningTasks order and duplicates", "GetRunningTasks",
     Cat({Field(15, 0), {10}, I32(3), I64(5), I64(-1), I64(5), kStop}),
     [](auto& c) {
       std::vector<int64_t> r;
       c.GetRunningTasks(r);
       EXPECT_EQ(r, (std::vector<int64_t>{5, -1, 5}));
     }},
    {"GetRunningTasks body", "GetRunningTasks",
     Cat({{0x0F, 0x00, 0x00, 0x0A, 0x00, 0x00, 0x00, 0x02}, I64(4), I64(9), {0x00}}),
     [](auto& c) {
       std::vector<int64_t> r;
       c.GetRunningTasks(r);
       EXPECT_EQ(r, (std::vector<int64_t>{4, 9}));
     }},
    {"TaskInfo with fields 1, 3 and 9 only", "GetTaskInfo",
     Cat({Record(0, Cat({I32Field(1, 1000), StrField(3, "scan"), I32Field(9, -3)})), kStop}),
     [](auto& c) {
       TaskInfo r;
       r.number4 = 44;
       r.isset.number4 = true;
       c.GetTaskInfo(r, 1);
       EXPECT_EQ(static_cast<int32_t>(r.code1), 1000);
       EXPECT_EQ(r.text3, u"scan");
       EXPECT_EQ(static_cast<int32_t>(r.code9), -3);
       EXPECT_TRUE(r.isset.code1 && r.isset.text3 && r.isset.code9);
       EXPECT_FALSE(r.isset.code2 || r.isset.number5 || r.isset.numbers8);
       EXPECT_EQ(r.number4, 44);
       EXPECT_TRUE(r.isset.number4);
     }},
    {"TaskInfo nested numbers, wrong-typed field 8 and extra fields", "GetTaskInfo",
     Cat({Record(0, Cat({Record(8, Cat({I64Field(2, 22), StrField(6, "extra")})), I64Field(8, 5), StrField(10, "x")})),
          kStop}),
     [](auto& c) {
       TaskInfo r;
       c.GetTaskInfo(r, 1);
       EXPECT_EQ(r.numbers8.number2, 22);
       EXPECT_TRUE(r.numbers8.isset.number2);
       EXPECT_FALSE(r.numbers8.isset.number1);
       EXPECT_TRUE(r.isset.numbers8);
     }},
    {"GetTaskThreatsCount zero", "GetTaskThreatsCount", Cat({I64Field(0, 0), kStop}),
     [](auto& c) { EXPECT_EQ(c.GetTaskThreatsCount(1), 0); }},
    {"GetTaskThreatsCount i32 field 0", "GetTaskThreatsCount", Cat({I32Field(0, 3), kStop}),
     [](auto& c) { ExpectUnknownResult("GetTaskThreatsCount", [&] { c.GetTaskThreatsCount(1); }); }},
    {"StopTask stop byte only", "StopTask", kStop, [](auto& c) { EXPECT_NO_THROW(c.StopTask(1)); }},
    // Scanners and performers
    {"CreateFullScanner i32 field 0", "CreateFullScanner", Cat({I32Field(0, 3), kStop}),
     [](auto& c) { ExpectUnknownResult("CreateFullScanner", [&] { c.CreateFullScanner(); }); }},
    {"CreateQuickScanner negative number", "CreateQuickScanner", Cat({I64Field(0, -8), kStop}),
     [](auto& c) { EXPECT_EQ(c.CreateQuickScanner(), -8); }},
    // Collections and entries
    {"CollectionDelta map cases", "GetCollectionDelta",
     Cat({Record(0, Cat({Field(13, 2), {10, 2}, I32(5), I64(9), {1}, I64(7), {1}, I64(-1), {0}, I64(7), {0}, I64(4),
                         {1}})),
          kStop}),
     [](auto& c) {
       CollectionDelta r;
       r.changes = {{100, true}};
       c.GetCollectionDelta(r, 1, 2);
       EXPECT_EQ(r.changes, (std::map<int64_t, bool>{{-1, false}, {4, true}, {7, false}, {9, true}}));
       EXPECT_TRUE(r.isset.changes);
     }},
    {"CollectionDelta empty map", "GetCollectionDelta", Cat({Record(0, Cat({Field(13, 2), {10, 2}, I32(0)})), kStop}),
     [](auto& c) {
       CollectionDelta r;
       r.changes = {{1, true}};
       c.GetCollectionDelta(r, 1, 2);
       EXPECT_TRUE(r.changes.empty());
       EXPECT_TRUE(r.isset.changes);
     }},
    {"CollectionDelta without field 2", "GetCollectionDelta", Cat({Record(0, I64Field(1, 3)), kStop}),
     [](auto& c) {
       CollectionDelta r;
       r.changes = {{1, true}};
       c.GetCollectionDelta(r, 1, 2);
       EXPECT_EQ(r.changes.size(), 1u);
       EXPECT_FALSE(r.isset.changes);
       EXPECT_EQ(r.number1, 3);
     }},
    {"ThreatEntry fields 1 and 9 only", "GetThreatEntry",
     Cat({Record(0, Cat({I64Field(1, 11), BoolField(9, true)})), kStop}),
     [](auto& c) {
       ThreatEntry r;
       r.text2 = u"kept";
       c.GetThreatEntry(r, 1, 2);
       EXPECT_EQ(r.id, 11);
       EXPECT_TRUE(r.flag9);
       EXPECT_TRUE(r.isset.id && r.isset.flag9);
       EXPECT_FALSE(r.isset.text2 || r.isset.flag5);
       EXPECT_EQ(r.text2, u"kept");
     }},
    {"QuarantineEntry i32 field 4 skipped", "GetQuarantineEntry",
     Cat({Record(0, Cat({I32Field(4, 1), StrField(2, "\xD0\x96")})), kStop}),
     [](auto& c) {
       QuarantineEntry r;
       r.text4 = u"old";
       c.GetQuarantineEntry(r, 1);
       EXPECT_EQ(r.text4, u"old");
       EXPECT_FALSE(r.isset.text4);
       EXPECT_EQ(r.text2, u"\u0416");
     }},
    {"DomainEntry body", "GetDomainEntry",
     {0x0C, 0x00, 0x00, 0x0A, 0x00, 0x01, 0, 0, 0, 0, 0, 0, 0, 0x07, 0x02, 0x00, 0x03, 0x01, 0x00, 0x00},
     [](auto& c) {
       DomainEntry r;
       r.domain = u"kept";
       c.GetDomainEntry(r, 1);
       EXPECT_EQ(r.id, 7);
       EXPECT_TRUE(r.blocked);
       EXPECT_TRUE(r.isset.id && r.isset.blocked);
       EXPECT_EQ(r.domain, u"kept");
       EXPECT_FALSE(r.isset.domain);
     }},
    {"DomainEntry extra field 4", "GetDomainEntry",
     Cat({Record(0, Cat({Field(15, 4), {8}, I32(1), I32(3), StrField(2, "a.b")})), kStop}),
     [](auto& c) {
       DomainEntry r;
       c.GetDomainEntry(r, 1);
       EXPECT_EQ(r.domain, u"a.b");
     }},
    {"GetDomainEntry failure leaves the record", "GetDomainEntry", Cat({Failure(2), kStop}),
     [](auto& c) {
       DomainEntry r;
       r.id = 5;
       ExpectFailure(2, [&] { c.GetDomainEntry(r, 1); });
       EXPECT_EQ(r.id, 5);
       EXPECT_FALSE(r.isset.id);
     }},
    // Domain blocking and default actions
    {"GetDefaultAction body", "GetDefaultAction", {0x08, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02, 0x00},
     [](auto& c) { EXPECT_EQ(static_cast<int32_t>(c.GetDefaultAction(1)), 2); }},
    {"GetDefaultAction unnamed number", "GetDefaultAction", Cat({I32Field(0, 42), kStop}),
     [](auto& c) { EXPECT_EQ(static_cast<int32_t>(c.GetDefaultAction(1)), 42); }},
    {"GetDefaultAction i64 field 0", "GetDefaultAction", Cat({I64Field(0, 2), kStop}),
     [](auto& c) { ExpectUnknownResult("GetDefaultAction", [&] { c.GetDefaultAction(1); }); }},
    {"SetDefaultAction stop byte only", "SetDefaultAction", kStop,
     [](auto& c) { EXPECT_NO_THROW(c.SetDefaultAction(1, 2)); }},
    // Notifications
    {"MailNotification field 4 only", "GetMailNotification", Cat({Record(0, StrField(4, "four")), kStop}),
     [](auto& c) {
       MailNotification r;
       r.text3 = u"three";
       r.flag1 = true;
       c.GetMailNotification(r);
       EXPECT_EQ(r.text4, u"four");
       EXPECT_TRUE(r.isset.text4);
       EXPECT_FALSE(r.isset.text3 || r.isset.flag1);
       EXPECT_EQ(r.text3, u"three");
       EXPECT_TRUE(r.flag1);
     }},
    {"MailNotification i32 field 3 skipped, repeated field keeps the last", "GetMailNotification",
     Cat({Record(0, Cat({I32Field(3, 1), StrField(5, "a"), StrField(5, "b")})), kStop}),
     [](auto& c) {
       MailNotification r;
       r.text3 = u"old";
       c.GetMailNotification(r);
       EXPECT_EQ(r.text3, u"old");
       EXPECT_EQ(r.text5, u"b");
     }},
    {"ThreatNotification i32 field 1 skipped, threat read", "GetThreatNotification",
     Cat({Record(0, Cat({I32Field(1, 4), Record(2, I64Field(1, 6))})), kStop}),
     [](auto& c) {
       ThreatNotification r;
       c.GetThreatNotification(r);
       EXPECT_FALSE(r.isset.id);
       EXPECT_EQ(r.threat.id, 6);
       EXPECT_TRUE(r.isset.threat);
     }},
    {"GetThreatNotification empty result", "GetThreatNotification", kStop,
     [](auto& c) {
       ThreatNotification r;
       ExpectUnknownResult("GetThreatNotification", [&] { c.GetThreatNotification(r); });
     }},
    {"ReplyThreatNotification empty result", "ReplyThreatNotification", kStop,
     [](auto& c) { EXPECT_NO_THROW(c.ReplyThreatNotification(1, 2)); }},
    // Incompatible applications, features and history
    {"GetIncompatibleApplications second text empty", "GetIncompatibleApplications",
     Cat({Field(15, 0), {11}, I32(2), Str("app"), Str(""), kStop}),
     [](auto& c) {
       std::vector<WideString> r = {u"old1", u"old2", u"old3"};
       c.GetIncompatibleApplications(r);
       EXPECT_EQ(r, (std::vector<WideString>{u"app", u""}));
     }},
    {"GetIncompatibleApplications element type not checked", "GetIncompatibleApplications",
     Cat({Field(15, 0), {8}, I32(1), Str("app"), kStop}),
     [](auto& c) {
       std::vector<WideString> r;
       c.GetIncompatibleApplications(r);
       EXPECT_EQ(r, (std::vector<WideString>{u"app"}));
     }},
    {"GetFeatureStatus unnamed number", "GetFeatureStatus", Cat({I32Field(0, -77), kStop}),
     [](auto& c) { EXPECT_EQ(static_cast<int32_t>(c.GetFeatureStatus(1)), -77); }},
    {"GetFeatureStatus i64 field 0", "GetFeatureStatus", Cat({I64Field(0, 1), kStop}),
     [](auto& c) { ExpectUnknownResult("GetFeatureStatus", [&] { c.GetFeatureStatus(1); }); }},
    {"HistoryStatistics field 2 only", "GetHistoryStatistics", Cat({Record(0, I32Field(2, 20)), kStop}),
     [](auto& c) {
       HistoryStatistics r;
       r.count1 = 1;
       r.count3 = 3;
       c.GetHistoryStatistics(r);
       EXPECT_EQ(r.count1, 1);
       EXPECT_EQ(r.count2, 20);
       EXPECT_EQ(r.count3, 3);
       EXPECT_TRUE(r.isset.count2);
       EXPECT_FALSE(r.isset.count1 || r.isset.count3);
     }},
    // Core and quarantine progress
    {"UpdateCore result and failure", "UpdateCore", Cat({BoolField(0, true), Failure(1), kStop}),
     [](auto& c) { EXPECT_TRUE(c.UpdateCore(u"d", u"1", u"2")); }},
    {"UpdateCore i32 field 0", "UpdateCore", Cat({I32Field(0, 1), kStop}),
     [](auto& c) { ExpectUnknownResult("UpdateCore", [&] { c.UpdateCore(u"d", u"1", u"2"); }); }},
    {"UpdateCore unknown string field 7", "UpdateCore", Cat({StrField(7, "x"), BoolField(0, false), kStop}),
     [](auto& c) { EXPECT_FALSE(c.UpdateCore(u"d", u"1", u"2")); }},
    {"GetQuarantineProgress negative", "GetQuarantineProgress", Cat({I32Field(0, -5), kStop}),
     [](auto& c) { EXPECT_EQ(c.GetQuarantineProgress(), -5); }},
    // Skip list
    {"GetSkipList empty list replaces", "GetSkipList", Cat({Field(15, 0), {12}, I32(0), kStop}),
     [](auto& c) {
       std::vector<SkipItem> r(3);
       c.GetSkipList(r);
       EXPECT_TRUE(r.empty());
     }},
    {"GetSkipList elements, element type not checked", "GetSkipList",
     Cat({Field(15, 0), {8}, I32(2), I64Field(1, 9), StrField(2, "C:\\a"), BoolField(5, true), kStop, kStop, kStop}),
     [](auto& c) {
       std::vector<SkipItem> r;
       c.GetSkipList(r);
       ASSERT_EQ(r.size(), 2u);
       EXPECT_EQ(r[0].number1, 0) << "an i64 field 1 is skipped";
       EXPECT_FALSE(r[0].isset.number1);
       EXPECT_EQ(r[0].text2, u"C:\\a");
       EXPECT_TRUE(r[0].flag5);
       EXPECT_EQ(r[1].number1, 0);
       EXPECT_TRUE(r[1].text2.empty() && r[1].text3.empty());
       EXPECT_FALSE(r[1].flag4 || r[1].flag5);
       EXPECT_FALSE(r[1].isset.number1 || r[1].isset.text2 || r[1].isset.text3 || r[1].isset.flag4 ||
                    r[1].isset.flag5);
     }},
    {"GetSkipList field 0 as a set", "GetSkipList", Cat({Field(14, 0), {12}, I32(0), kStop}),
     [](auto& c) {
       std::vector<SkipItem> r;
       ExpectUnknownResult("GetSkipList", [&] { c.GetSkipList(r); });
     }},
    {"AddSkipItem number", "AddSkipItem", Cat({I64Field(0, INT64_MIN), kStop}),
     [](auto& c) { EXPECT_EQ(c.AddSkipItem(u"p", false, true), INT64_MIN); }},
    // Statistic items
    {"IncrementStatItem skips a failure", "IncrementStatItem", Cat({Failure(1), kStop}),
     [](auto& c) { EXPECT_NO_THROW(c.IncrementStatItem(1)); }},
    {"GetStatValue failure only", "GetStatValue", Cat({Failure(1), kStop}),
     [](auto& c) { ExpectUnknownResult("GetStatValue", [&] { c.GetStatValue(1); }); }},
    {"GetStatValue i64 field 0", "GetStatValue", Cat({I64Field(0, 1), kStop}),
     [](auto& c) { ExpectUnknownResult("GetStatValue", [&] { c.GetStatValue(1); }); }},
    {"SetStatValue skips everything", "SetStatValue", Cat({I32Field(0, 1), Failure(1), kStop}),
     [](auto& c) { EXPECT_NO_THROW(c.SetStatValue(1, 2)); }},
    // File monitor and devices
    {"DeviceListChange field 6 skipped, 7 read", "GetDeviceListChanged",
     Cat({Record(0, Cat({StrField(6, "six"), I32Field(7, 7), I32Field(8, 8)})), kStop}),
     [](auto& c) {
       DeviceListChange r;
       r.text8 = u"old";
       c.GetDeviceListChanged(r);
       EXPECT_EQ(r.number7, 7);
       EXPECT_TRUE(r.isset.number7);
       EXPECT_EQ(r.text8, u"old");
       EXPECT_FALSE(r.isset.text8);
     }},
    {"SetAutorunDeviceStatus i32 field 0", "SetAutorunDeviceStatus", Cat({I32Field(0, 1), kStop}),
     [](auto& c) { ExpectUnknownResult("SetAutorunDeviceStatus", [&] { c.SetAutorunDeviceStatus(1, 2); }); }},
    {"SetAutorunDeviceStatus skips a failure", "SetAutorunDeviceStatus", Cat({Failure(3), kStop}),
     [](auto& c) { ExpectUnknownResult("SetAutorunDeviceStatus", [&] { c.SetAutorunDeviceStatus(1, 2); }); }},
    {"FilemonRemoveSkipThread empty result", "FilemonRemoveSkipThread", kStop,
     [](auto& c) { EXPECT_NO_THROW(c.FilemonRemoveSkipThread(1)); }},
    {"FilemonAddSkipThread failure", "FilemonAddSkipThread", Cat({Failure(6), kStop}),
     [](auto& c) { ExpectFailure(6, [&] { c.FilemonAddSkipThread(1); }); }},
};

class OperationReplyTest : public ::testing::TestWithParam<ReplyCase> {};

TEST_P(OperationReplyTest, IsReadAsDeclared) {
  const ReplyCase& c = GetParam();
  auto transport = std::make_shared<FakeServiceTransport>();
  ServiceRpcClient client(TevrinAV::wire::MakeServiceProtocol(transport));
  transport->queueReply(Cat({ReplyHeader(c.operation), c.result}));
  c.callAndCheck(client);
  EXPECT_EQ(transport->unread(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Replies, OperationReplyTest, ::testing::ValuesIn(kReplies), CaseName());

}  // namespace
