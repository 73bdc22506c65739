// The request body of each operation, byte for byte.
#include <gtest/gtest.h>

#include <functional>

#include "FakeServiceTransport.h"
#include "service/ServiceRpc.h"

namespace {

using namespace testing_support;
using TevrinAV::ServiceRpcClient;
using TevrinAV::WideString;

struct RequestCase {
  const char* name;
  const char* operation;
  std::function<void(ServiceRpcClient&)> send;
  Bytes body;
};
void PrintTo(const RequestCase& c, std::ostream* out) { *out << c.name; }

const Bytes kStop = {0x00};
Bytes I32Field(int16_t id, int32_t v) { return Cat({Field(8, id), I32(v)}); }
Bytes I64Field(int16_t id, int64_t v) { return Cat({Field(10, id), I64(v)}); }
Bytes BoolField(int16_t id, bool v) { return Cat({Field(2, id), {uint8_t(v)}}); }
Bytes StrField(int16_t id, const std::string& v) { return Cat({Field(11, id), Str(v)}); }

const RequestCase kRequests[] = {
    {"QueryInformation negative id", "QueryInformation", [](auto& c) { c.send_QueryInformation(-1); },
     Cat({I32Field(1, -1), kStop})},
    {"SetOption",
     "SetOption",
     [](auto& c) { c.send_SetOption(1, u"ab"); },
     {0x08, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x0B, 0x00, 0x02, 0x00, 0x00, 0x00, 0x02, 0x61, 0x62, 0x00}},
    {"SetOption empty value", "SetOption", [](auto& c) { c.send_SetOption(1, u""); },
     Cat({I32Field(1, 1), StrField(2, ""), kStop})},
    {"SetOption value cut at NUL", "SetOption", [](auto& c) { c.send_SetOption(2, WideString(u"a\0b", 3)); },
     Cat({I32Field(1, 2), StrField(2, "a"), kStop})},
    {"GetOption", "GetOption", [](auto& c) { c.send_GetOption(5); }, {0x08, 0x00, 0x01, 0x00, 0x00, 0x00, 0x05, 0x00}},
    {"ValidateOption non-ASCII", "ValidateOption", [](auto& c) { c.send_ValidateOption(9, u"\u00FC"); },
     Cat({I32Field(1, 9), StrField(2, "\xC3\xBC"), kStop})},
    {"ResetOption", "ResetOption", [](auto& c) { c.send_ResetOption(INT32_MIN); },
     Cat({I32Field(1, INT32_MIN), kStop})},
    {"StartTask",
     "StartTask",
     [](auto& c) { c.send_StartTask(1); },
     {0x0A, 0x00, 0x01, 0, 0, 0, 0, 0, 0, 0, 0x01, 0x00}},
    {"StopTask", "StopTask", [](auto& c) { c.send_StopTask(-1); }, Cat({I64Field(1, -1), kStop})},
    {"PauseTask", "PauseTask", [](auto& c) { c.send_PauseTask(INT64_MAX); }, Cat({I64Field(1, INT64_MAX), kStop})},
    {"ResumeTask", "ResumeTask", [](auto& c) { c.send_ResumeTask(0); }, Cat({I64Field(1, 0), kStop})},
    {"GetTaskInfo", "GetTaskInfo", [](auto& c) { c.send_GetTaskInfo(3); }, Cat({I64Field(1, 3), kStop})},
    {"GetRunningTasks", "GetRunningTasks", [](auto& c) { c.send_GetRunningTasks(); }, kStop},
    {"GetTaskThreatsCount", "GetTaskThreatsCount", [](auto& c) { c.send_GetTaskThreatsCount(4); },
     Cat({I64Field(1, 4), kStop})},
    {"CreateQuickScanner", "CreateQuickScanner", [](auto& c) { c.send_CreateQuickScanner(); }, kStop},
    {"CreateFullScanner", "CreateFullScanner", [](auto& c) { c.send_CreateFullScanner(); }, kStop},
    {"CreateCustomScanner one path",
     "CreateCustomScanner",
     [](auto& c) { c.send_CreateCustomScanner({u"C:"}); },
     {0x0F, 0x00, 0x01, 0x0B, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x02, 0x43, 0x3A, 0x00}},
    {"CreateCustomScanner no path", "CreateCustomScanner", [](auto& c) { c.send_CreateCustomScanner({}); },
     Cat({Field(15, 1), {11}, I32(0), kStop})},
    {"CreateCustomScanner equal, empty and NUL paths", "CreateCustomScanner",
     [](auto& c) {
       c.send_CreateCustomScanner({u"x", u"x", u"", WideString(u"y\0z", 3)});
     },
     Cat({Field(15, 1), {11}, I32(4), Str("x"), Str("x"), Str(""), Str("y"), kStop})},
    {"CreateActionPerformer", "CreateActionPerformer",
     [](auto& c) {
       c.send_CreateActionPerformer({{5, 1}}, 2);
     },
     Cat({{0x0D, 0x00, 0x01, 0x0A, 0x08, 0x00, 0x00, 0x00, 0x01}, I64(5), I32(1), {0x0A, 0x00, 0x02}, I64(2), {0x00}})},
    {"CreateActionPerformer in key order", "CreateActionPerformer",
     [](auto& c) {
       c.send_CreateActionPerformer({{5, 1}, {-2, 7}}, 0);
     },
     Cat({Field(13, 1), {10, 8}, I32(2), I64(-2), I32(7), I64(5), I32(1), I64Field(2, 0), kStop})},
    {"CreateQuarantinePerformer empty", "CreateQuarantinePerformer",
     [](auto& c) { c.send_CreateQuarantinePerformer({}); }, Cat({Field(13, 1), {10, 8}, I32(0), kStop})},
    {"GetCollectionDelta", "GetCollectionDelta", [](auto& c) { c.send_GetCollectionDelta(1, -2); },
     Cat({I64Field(1, 1), I64Field(2, -2), kStop})},
    {"GetQuarantineEntry", "GetQuarantineEntry", [](auto& c) { c.send_GetQuarantineEntry(8); },
     Cat({I64Field(1, 8), kStop})},
    {"GetDomainEntry", "GetDomainEntry", [](auto& c) { c.send_GetDomainEntry(7); }, Cat({I64Field(1, 7), kStop})},
    {"GetThreatEntry",
     "GetThreatEntry",
     [](auto& c) { c.send_GetThreatEntry(1, 2); },
     {0x0A, 0x00, 0x01, 0, 0, 0, 0, 0, 0, 0, 0x01, 0x0A, 0x00, 0x02, 0, 0, 0, 0, 0, 0, 0, 0x02, 0x00}},
    {"BlockDomain",
     "BlockDomain",
     [](auto& c) { c.send_BlockDomain(u"a", true); },
     {0x0B, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x61, 0x02, 0x00, 0x02, 0x01, 0x00}},
    {"BlockDomain empty, false", "BlockDomain", [](auto& c) { c.send_BlockDomain(u"", false); },
     Cat({StrField(1, ""), BoolField(2, false), kStop})},
    {"BlockDomain cut at NUL", "BlockDomain", [](auto& c) { c.send_BlockDomain(WideString(u"a.b\0c", 5), true); },
     Cat({StrField(1, "a.b"), BoolField(2, true), kStop})},
    {"SetDefaultAction", "SetDefaultAction", [](auto& c) { c.send_SetDefaultAction(3, -1); },
     Cat({I32Field(1, 3), I32Field(2, -1), kStop})},
    {"GetDefaultAction", "GetDefaultAction", [](auto& c) { c.send_GetDefaultAction(3); }, Cat({I32Field(1, 3), kStop})},
    {"GetThreatNotification", "GetThreatNotification", [](auto& c) { c.send_GetThreatNotification(); }, kStop},
    {"ReplyThreatNotification", "ReplyThreatNotification", [](auto& c) { c.send_ReplyThreatNotification(-1, 0); },
     Cat({{0x0A, 0x00, 0x01}, Bytes(8, 0xFF), {0x08, 0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00}})},
    {"GetMailNotification", "GetMailNotification", [](auto& c) { c.send_GetMailNotification(); }, kStop},
    {"GetIncompatibleApplications", "GetIncompatibleApplications",
     [](auto& c) { c.send_GetIncompatibleApplications(); }, kStop},
    {"EnableFeature",
     "EnableFeature",
     [](auto& c) { c.send_EnableFeature(7, false); },
     {0x08, 0x00, 0x01, 0x00, 0x00, 0x00, 0x07, 0x02, 0x00, 0x02, 0x00, 0x00}},
    {"GetFeatureStatus", "GetFeatureStatus", [](auto& c) { c.send_GetFeatureStatus(7); }, Cat({I32Field(1, 7), kStop})},
    {"GetHistoryStatistics", "GetHistoryStatistics", [](auto& c) { c.send_GetHistoryStatistics(); }, kStop},
    {"UpdateCore empty texts", "UpdateCore", [](auto& c) { c.send_UpdateCore(u"", u"", u""); },
     Cat({StrField(1, ""), StrField(2, ""), StrField(3, ""), kStop})},
    {"UpdateCore", "UpdateCore", [](auto& c) { c.send_UpdateCore(u"C:\\d.bin", u"1.0", u"1.1"); },
     Cat({StrField(1, "C:\\d.bin"), StrField(2, "1.0"), StrField(3, "1.1"), kStop})},
    {"ReloadCore", "ReloadCore", [](auto& c) { c.send_ReloadCore(); }, kStop},
    {"GetQuarantineProgress", "GetQuarantineProgress", [](auto& c) { c.send_GetQuarantineProgress(); }, kStop},
    {"GetSkipList", "GetSkipList", [](auto& c) { c.send_GetSkipList(); }, kStop},
    {"AddSkipItem", "AddSkipItem", [](auto& c) { c.send_AddSkipItem(u"C:\\tmp", true, false); },
     Cat({StrField(1, "C:\\tmp"), {0x02, 0x00, 0x02, 0x01}, {0x02, 0x00, 0x03, 0x00}, kStop})},
    {"RemoveSkipItem", "RemoveSkipItem", [](auto& c) { c.send_RemoveSkipItem(12); }, Cat({I64Field(1, 12), kStop})},
    {"SetSkipItemsNames empty", "SetSkipItemsNames", [](auto& c) { c.send_SetSkipItemsNames({}); },
     Cat({Field(15, 1), {11}, I32(0), kStop})},
    {"SetSkipItemsNames", "SetSkipItemsNames", [](auto& c) { c.send_SetSkipItemsNames({u"a", u"\u00DF"}); },
     Cat({Field(15, 1), {11}, I32(2), Str("a"), Str("\xC3\x9F"), kStop})},
    {"IncrementStatItem", "IncrementStatItem", [](auto& c) { c.send_IncrementStatItem(4); },
     Cat({I32Field(1, 4), kStop})},
    {"GetStatValue", "GetStatValue", [](auto& c) { c.send_GetStatValue(4); }, Cat({I32Field(1, 4), kStop})},
    {"SetStatValue",
     "SetStatValue",
     [](auto& c) { c.send_SetStatValue(3, -2); },
     {0x08, 0x00, 0x01, 0x00, 0x00, 0x00, 0x03, 0x08, 0x00, 0x02, 0xFF, 0xFF, 0xFF, 0xFE, 0x00}},
    {"FilemonAddSkipThread",
     "FilemonAddSkipThread",
     [](auto& c) { c.send_FilemonAddSkipThread(0x1234); },
     {0x08, 0x00, 0x01, 0x00, 0x00, 0x12, 0x34, 0x00}},
    {"FilemonRemoveSkipThread", "FilemonRemoveSkipThread", [](auto& c) { c.send_FilemonRemoveSkipThread(0x1234); },
     Cat({I32Field(1, 0x1234), kStop})},
    {"GetDeviceListChanged", "GetDeviceListChanged", [](auto& c) { c.send_GetDeviceListChanged(); }, kStop},
    {"SetAutorunDeviceStatus", "SetAutorunDeviceStatus", [](auto& c) { c.send_SetAutorunDeviceStatus(1, 2); },
     Cat({I32Field(1, 1), I32Field(2, 2), kStop})},
};

class OperationRequestTest : public ::testing::TestWithParam<RequestCase> {};

TEST_P(OperationRequestTest, BodyIsExact) {
  const RequestCase& c = GetParam();
  auto transport = std::make_shared<FakeServiceTransport>();
  ServiceRpcClient client(TevrinAV::wire::MakeServiceProtocol(transport));
  c.send(client);
  EXPECT_EQ(transport->sent(), Cat({{0x80, 0x01, 0x00, 0x01}, Str(c.operation), I32(0), c.body}));
  EXPECT_EQ(transport->flushes(), 1);
}

INSTANTIATE_TEST_SUITE_P(Requests, OperationRequestTest, ::testing::ValuesIn(kRequests), CaseName());

}  // namespace
