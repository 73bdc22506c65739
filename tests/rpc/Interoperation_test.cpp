// The client against the server side that Thrift's compiler generates from
// ServiceRpc.thrift, over a real pipe: every operation's arguments arrive as
// sent and its answer comes back as the service gave it.
#include <gtest/gtest.h>
#include <thrift/TApplicationException.h>
#include <thrift/protocol/TBinaryProtocol.h>
#include <thrift/transport/TBufferTransports.h>

#include <atomic>
#include <future>
#include <memory>
#include <string>
#include <thread>

#include "OperationTable.h"
#include "PipeListener.h"
#include "ScriptedHandler.h"
#include "Serving.h"
#include "service/ServiceRpc.h"
#include "transport/TWin32PipeClient.h"

#ifdef _WIN32
#include <process.h>
#define getpid _getpid
#else
#include <unistd.h>
#endif

namespace {

using apache::thrift::protocol::TBinaryProtocol;
using apache::thrift::transport::TBufferedTransport;
using apache::thrift::transport::TMemoryBuffer;
using apache::thrift::transport::TWin32PipeClient;
using coreservice::ScriptedHandler;
namespace idl = coreservice::idl;
using namespace TevrinAV;

// The wire form of a record: equal for our record and the service's exactly
// when they hold the same fields with the same values.
template <class Record>
std::string WireForm(const Record& record) {
  auto buffer = std::make_shared<TMemoryBuffer>();
  TBinaryProtocol protocol(buffer);
  record.write(&protocol);
  return buffer->getBufferAsString();
}

template <class Ours, class Theirs>
void ExpectSameRecords(const std::vector<Ours>& ours, const std::vector<Theirs>& theirs) {
  ASSERT_EQ(ours.size(), theirs.size());
  for (std::size_t i = 0; i < ours.size(); ++i) EXPECT_EQ(WireForm(ours[i]), WireForm(theirs[i])) << "element " << i;
}

const std::string kMixedText =
    "Gr\xC3\xBC\xC3\x9F"
    "e \xE2\x82\xAC \xF0\x9F\x98\x80 \xD0\x96";
const WideString kMixedWide = u"Gr\u00FC\u00DFe \u20AC \U0001F600 \u0416";

class InteroperationTest : public ::testing::Test {
protected:
  void SetUp() override {
    static std::atomic<int> counter{0};
    std::string name = "\\\\.\\pipe\\tevrin-interop-" + std::to_string(getpid()) + "-" + std::to_string(++counter);
    listener_ = std::make_unique<coreservice::PipeListener>(name);
    server_ =
        std::async(std::launch::async, [this] { coreservice::ServeCalls(listener_->Accept(), handler_, nullptr); });
    auto pipe = std::make_shared<TWin32PipeClient>(name);
    client_ = std::make_unique<ServiceRpcClient>(
        TevrinAV::wire::MakeServiceProtocol(std::make_shared<TBufferedTransport>(pipe)));
  }

  void TearDown() override {
    client_->getOutputProtocol()->getTransport()->close();
    client_.reset();
    server_.get();
  }

  // The arguments of the last call, as the service received them.
  const std::string& lastCall() const { return handler_.calls.back(); }
  coreservice::Answers& answers() { return handler_.answers; }

  ScriptedHandler handler_;
  std::unique_ptr<coreservice::PipeListener> listener_;
  std::future<void> server_;
  std::unique_ptr<ServiceRpcClient> client_;
};

TEST_F(InteroperationTest, OptionOperations) {
  WideString text = u"stale";
  answers().text = kMixedText;
  client_->QueryInformation(text, -1);
  EXPECT_EQ(text, kMixedWide);
  EXPECT_EQ(lastCall(), "QueryInformation(-1)");

  answers().text = "";
  client_->GetOption(text, INT32_MAX);
  EXPECT_EQ(text, u"");
  EXPECT_EQ(lastCall(), "GetOption(2147483647)");

  answers().text = std::string(100000, 'x') + "\xC3\xA9";
  client_->GetOption(text, 0);
  EXPECT_EQ(text.size(), 100001u);
  EXPECT_EQ(text.back(), u'\u00E9');

  client_->SetOption(INT32_MIN, kMixedWide);
  EXPECT_EQ(lastCall(), "SetOption(-2147483648, \"" + kMixedText + "\")");

  answers().flag = false;
  EXPECT_FALSE(client_->ValidateOption(3, u""));
  EXPECT_EQ(lastCall(), "ValidateOption(3, \"\")");
  answers().flag = true;
  EXPECT_TRUE(client_->ValidateOption(3, u"on"));

  client_->ResetOption(17);
  EXPECT_EQ(lastCall(), "ResetOption(17)");
}

TEST_F(InteroperationTest, TaskOperations) {
  client_->StartTask(INT64_MIN);
  EXPECT_EQ(lastCall(), "StartTask(-9223372036854775808)");
  client_->StopTask(INT64_MAX);
  EXPECT_EQ(lastCall(), "StopTask(9223372036854775807)");
  client_->PauseTask(-1);
  EXPECT_EQ(lastCall(), "PauseTask(-1)");
  client_->ResumeTask(0);
  EXPECT_EQ(lastCall(), "ResumeTask(0)");

  answers() = coreservice::UniformAnswers(true, -123456789012, kMixedText);
  TaskInfo info;
  client_->GetTaskInfo(info, 5);
  EXPECT_EQ(WireForm(info), WireForm(answers().taskInfo));
  EXPECT_EQ(info.text3, kMixedWide);
  EXPECT_EQ(info.numbers8.number5, -123456789012);

  idl::TaskInfo partial;
  partial.__set_code2(1000);
  partial.__set_number7(INT64_MIN);
  answers().taskInfo = partial;
  TaskInfo partialInfo;
  client_->GetTaskInfo(partialInfo, 6);
  EXPECT_EQ(WireForm(partialInfo), WireForm(partial));
  EXPECT_TRUE(partialInfo.isset.code2 && partialInfo.isset.number7);
  EXPECT_FALSE(partialInfo.isset.text3 || partialInfo.isset.numbers8);

  std::vector<int64_t> tasks = {1, 2, 3};
  answers().runningTasks = {};
  client_->GetRunningTasks(tasks);
  EXPECT_TRUE(tasks.empty());
  answers().runningTasks.clear();
  for (int64_t i = 0; i < 20000; ++i) answers().runningTasks.push_back(i * 7919 - 50000);
  answers().runningTasks.push_back(INT64_MIN);
  client_->GetRunningTasks(tasks);
  EXPECT_EQ(tasks, answers().runningTasks);

  answers().number64 = INT64_MAX;
  EXPECT_EQ(client_->GetTaskThreatsCount(9), INT64_MAX);
  EXPECT_EQ(lastCall(), "GetTaskThreatsCount(9)");
}

TEST_F(InteroperationTest, ScannerAndPerformerOperations) {
  answers().number64 = -5;
  EXPECT_EQ(client_->CreateQuickScanner(), -5);
  EXPECT_EQ(lastCall(), "CreateQuickScanner()");
  answers().number64 = 0;
  EXPECT_EQ(client_->CreateFullScanner(), 0);
  EXPECT_EQ(lastCall(), "CreateFullScanner()");

  answers().number64 = 77;
  EXPECT_EQ(client_->CreateCustomScanner({u"C:\\", kMixedWide, u"", u"C:\\"}), 77);
  EXPECT_EQ(lastCall(), "CreateCustomScanner([\"C:\\\", \"" + kMixedText + "\", \"\", \"C:\\\"])");
  client_->CreateCustomScanner({});
  EXPECT_EQ(lastCall(), "CreateCustomScanner([])");

  EXPECT_EQ(client_->CreateActionPerformer({{5, 1}, {-2, 7}, {INT64_MAX, INT32_MIN}}, -9), 77);
  EXPECT_EQ(lastCall(), "CreateActionPerformer({-2: 7, 5: 1, 9223372036854775807: -2147483648}, -9)");
  TargetMap many;
  for (int64_t i = 0; i < 5000; ++i) many[i * 31 - 1000] = static_cast<int32_t>(i);
  client_->CreateQuarantinePerformer(many);
  EXPECT_EQ(lastCall().substr(0, 40), "CreateQuarantinePerformer({-1000: 0, -96");
  client_->CreateQuarantinePerformer({});
  EXPECT_EQ(lastCall(), "CreateQuarantinePerformer({})");
}

TEST_F(InteroperationTest, CollectionOperations) {
  answers() = coreservice::UniformAnswers(true, 42, kMixedText);
  std::map<int64_t, bool> changes;
  for (int64_t i = 0; i < 3000; ++i) changes[(i * 7) % 3001 - 1500] = i % 3 == 0;
  answers().collectionDelta.__set_changes(changes);
  CollectionDelta delta;
  delta.changes = {{999999, true}};
  client_->GetCollectionDelta(delta, 1, -2);
  EXPECT_EQ(lastCall(), "GetCollectionDelta(1, -2)");
  EXPECT_EQ(delta.changes, changes);
  EXPECT_EQ(WireForm(delta), WireForm(answers().collectionDelta));

  QuarantineEntry quarantine;
  client_->GetQuarantineEntry(quarantine, 3);
  EXPECT_EQ(WireForm(quarantine), WireForm(answers().quarantineEntry));
  EXPECT_EQ(lastCall(), "GetQuarantineEntry(3)");

  idl::DomainEntry someDomain;
  someDomain.__set_domain("xn--80ak6aa92e.example");
  answers().domainEntry = someDomain;
  DomainEntry domain;
  client_->GetDomainEntry(domain, 4);
  EXPECT_EQ(WireForm(domain), WireForm(someDomain));
  EXPECT_FALSE(domain.isset.id || domain.isset.blocked);

  ThreatEntry threat;
  client_->GetThreatEntry(threat, 5, 6);
  EXPECT_EQ(WireForm(threat), WireForm(answers().threatEntry));
  EXPECT_EQ(lastCall(), "GetThreatEntry(5, 6)");
}

TEST_F(InteroperationTest, DomainAndDefaultActionOperations) {
  client_->BlockDomain(kMixedWide, true);
  EXPECT_EQ(lastCall(), "BlockDomain(\"" + kMixedText + "\", true)");
  client_->BlockDomain(u"", false);
  EXPECT_EQ(lastCall(), "BlockDomain(\"\", false)");
  client_->SetDefaultAction(3, -1);
  EXPECT_EQ(lastCall(), "SetDefaultAction(3, -1)");
  answers().number32 = INT32_MIN;
  EXPECT_EQ(static_cast<int32_t>(client_->GetDefaultAction(8)), INT32_MIN);
  EXPECT_EQ(lastCall(), "GetDefaultAction(8)");
}

TEST_F(InteroperationTest, NotificationOperations) {
  answers() = coreservice::UniformAnswers(false, 7, kMixedText);
  ThreatNotification notification;
  client_->GetThreatNotification(notification);
  EXPECT_EQ(WireForm(notification), WireForm(answers().threatNotification));
  EXPECT_EQ(notification.threat.text2, kMixedWide);

  client_->ReplyThreatNotification(-1, 0);
  EXPECT_EQ(lastCall(), "ReplyThreatNotification(-1, 0)");

  idl::MailNotification mail;
  mail.__set_flag2(true);
  mail.__set_text5("");
  mail.__set_text7(kMixedText);
  answers().mailNotification = mail;
  MailNotification ours;
  client_->GetMailNotification(ours);
  EXPECT_EQ(WireForm(ours), WireForm(mail));
}

TEST_F(InteroperationTest, ApplicationFeatureAndHistoryOperations) {
  answers().incompatibleApplications = {kMixedText, "", std::string(5000, 'a')};
  std::vector<WideString> applications = {u"stale"};
  client_->GetIncompatibleApplications(applications);
  ASSERT_EQ(applications.size(), 3u);
  EXPECT_EQ(applications[0], kMixedWide);
  EXPECT_EQ(applications[1], u"");
  EXPECT_EQ(applications[2].size(), 5000u);
  answers().incompatibleApplications.clear();
  client_->GetIncompatibleApplications(applications);
  EXPECT_TRUE(applications.empty());

  client_->EnableFeature(7, false);
  EXPECT_EQ(lastCall(), "EnableFeature(7, false)");
  answers().number32 = 1234567;
  EXPECT_EQ(static_cast<int32_t>(client_->GetFeatureStatus(-7)), 1234567);
  EXPECT_EQ(lastCall(), "GetFeatureStatus(-7)");

  idl::HistoryStatistics history;
  history.__set_count1(INT32_MAX);
  history.__set_count3(-1);
  answers().historyStatistics = history;
  HistoryStatistics ours;
  client_->GetHistoryStatistics(ours);
  EXPECT_EQ(WireForm(ours), WireForm(history));
}

TEST_F(InteroperationTest, CoreOperations) {
  answers().flag = false;
  EXPECT_FALSE(client_->UpdateCore(kMixedWide, u"1.0", u""));
  EXPECT_EQ(lastCall(), "UpdateCore(\"" + kMixedText + "\", \"1.0\", \"\")");
  answers().flag = true;
  EXPECT_TRUE(client_->ReloadCore());
  EXPECT_EQ(lastCall(), "ReloadCore()");
  answers().number32 = -100;
  EXPECT_EQ(client_->GetQuarantineProgress(), -100);
}

TEST_F(InteroperationTest, SkipListOperations) {
  answers() = coreservice::UniformAnswers(true, 3, kMixedText);
  idl::SkipItem partial;
  partial.__set_text3("only text3");
  answers().skipList.push_back(partial);
  answers().skipList.push_back(idl::SkipItem());
  std::vector<SkipItem> items(5);
  client_->GetSkipList(items);
  ExpectSameRecords(items, answers().skipList);

  answers().number64 = INT64_MIN;
  EXPECT_EQ(client_->AddSkipItem(u"C:\\Temp\\" + kMixedWide, true, false), INT64_MIN);
  EXPECT_EQ(lastCall(), "AddSkipItem(\"C:\\Temp\\" + kMixedText + "\", true, false)");
  client_->RemoveSkipItem(-3);
  EXPECT_EQ(lastCall(), "RemoveSkipItem(-3)");
  client_->SetSkipItemsNames({u"a", kMixedWide, u""});
  EXPECT_EQ(lastCall(), "SetSkipItemsNames([\"a\", \"" + kMixedText + "\", \"\"])");
  client_->SetSkipItemsNames({});
  EXPECT_EQ(lastCall(), "SetSkipItemsNames([])");
}

TEST_F(InteroperationTest, StatisticOperations) {
  client_->IncrementStatItem(INT32_MAX);
  EXPECT_EQ(lastCall(), "IncrementStatItem(2147483647)");
  answers().number32 = -2;
  EXPECT_EQ(client_->GetStatValue(4), -2);
  EXPECT_EQ(lastCall(), "GetStatValue(4)");
  client_->SetStatValue(3, -2);
  EXPECT_EQ(lastCall(), "SetStatValue(3, -2)");
}

TEST_F(InteroperationTest, FileMonitorAndDeviceOperations) {
  client_->FilemonAddSkipThread(0x1234);
  EXPECT_EQ(lastCall(), "FilemonAddSkipThread(4660)");
  client_->FilemonRemoveSkipThread(-1);
  EXPECT_EQ(lastCall(), "FilemonRemoveSkipThread(-1)");

  idl::DeviceListChange change;
  change.__set_number1(1);
  change.__set_text8(kMixedText);
  change.__set_number7(-7);
  answers().deviceListChange = change;
  DeviceListChange ours;
  client_->GetDeviceListChanged(ours);
  EXPECT_EQ(WireForm(ours), WireForm(change));

  answers().number64 = 1LL << 40;
  EXPECT_EQ(client_->SetAutorunDeviceStatus(2, -3), 1LL << 40);
  EXPECT_EQ(lastCall(), "SetAutorunDeviceStatus(2, -3)");
}

// Every operation carries the service's failure with its number and text;
// those that declare none see an exception reply instead.
TEST_F(InteroperationTest, EveryOperationCarriesTheServicesFailure) {
  idl::OperationFailed failure;
  failure.__set_number1(-42);
  failure.__set_text2(kMixedText);
  answers().failure = failure;
  for (const auto& op : testing_support::kAllOperations) {
    SCOPED_TRACE(op.name);
    if (op.mayFail) {
      try {
        op.call(*client_);
        ADD_FAILURE() << "no exception";
      } catch (const OperationFailed& e) {
        EXPECT_EQ(e.number1, -42);
        EXPECT_EQ(e.text2, kMixedWide);
        EXPECT_TRUE(e.isset.number1 && e.isset.text2);
      }
    } else {
      EXPECT_THROW(op.call(*client_), apache::thrift::TApplicationException);
    }
    EXPECT_EQ(handler_.calls.back().substr(0, std::strlen(op.name) + 1), std::string(op.name) + "(");
  }
}

}  // namespace
