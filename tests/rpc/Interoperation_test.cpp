// The client against the server side that Thrift's compiler generates from
// ServiceRpc.thrift, over a real pipe: every operation's arguments arrive as
// sent and its answer comes back as the service gave it. The service follows
// the fixed exchange of InteroperationScript.h, which takes only the calls
// made here with exactly these arguments (any other call fails), either on a
// thread of this process or, in rpc_interop_client, in processes of its own.
#include <gtest/gtest.h>
#include <thrift/TApplicationException.h>
#include <thrift/protocol/TBinaryProtocol.h>
#include <thrift/transport/TBufferTransports.h>

#include <atomic>
#include <cstring>
#include <future>
#include <memory>
#include <string>
#include <thread>

#include "InteroperationScript.h"
#include "InteroperationService.h"
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

namespace testing_support {

InteroperationPipes& InteroperationService() {
  static InteroperationPipes pipes;
  return pipes;
}

}  // namespace testing_support

namespace {

using apache::thrift::protocol::TBinaryProtocol;
using apache::thrift::transport::TBufferedTransport;
using apache::thrift::transport::TMemoryBuffer;
using apache::thrift::transport::TWin32PipeClient;
using coreservice::Answers;
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

const std::string kMixedText = coreservice::kInteroperationText;
const WideString kMixedWide = u"Gr\u00FC\u00DFe \u20AC \U0001F600 \u0416";

class InteroperationTest : public ::testing::Test {
protected:
  void SetUp() override { Connect(false); }
  void TearDown() override { Disconnect(); }

  // Connects anew, to the service whose every operation raises
  // InteroperationFailure().
  void ConnectToFailingService() {
    Disconnect();
    Connect(true);
  }

  ServiceRpcClient& client() { return *client_; }

  // The answers the service gives to `call`.
  static Answers Expected(const std::string& call, std::size_t occurrence = 1) {
    auto answers = coreservice::InteroperationAnswers(call, occurrence);
    if (!answers) {
      ADD_FAILURE() << "not part of the exchange: " << call;
      return Answers();
    }
    return *answers;
  }

private:
  void Connect(bool failing) {
    const auto& pipes = testing_support::InteroperationService();
    std::string name = failing ? pipes.failing : pipes.scripted;
    if (name.empty()) {
      static std::atomic<int> counter{0};
      name = "\\\\.\\pipe\\tevrin-interop-" + std::to_string(getpid()) + "-" + std::to_string(++counter);
      handler_ = std::make_unique<ScriptedHandler>();
      if (failing)
        handler_->answers.failure = coreservice::InteroperationFailure();
      else
        coreservice::FollowInteroperationScript(*handler_);
      listener_ = std::make_unique<coreservice::PipeListener>(name);
      server_ = std::async(std::launch::async,
                           [this] { coreservice::ServeCalls(listener_->Accept(), *handler_, nullptr); });
    }
    auto pipe = std::make_shared<TWin32PipeClient>(name);
    client_ = std::make_unique<ServiceRpcClient>(
        TevrinAV::wire::MakeServiceProtocol(std::make_shared<TBufferedTransport>(pipe)));
  }

  void Disconnect() {
    if (client_) {
      client_->getOutputProtocol()->getTransport()->close();
      client_.reset();
    }
    if (server_.valid()) server_.get();
    listener_.reset();
  }

  std::unique_ptr<ScriptedHandler> handler_;
  std::unique_ptr<coreservice::PipeListener> listener_;
  std::future<void> server_;
  std::unique_ptr<ServiceRpcClient> client_;
};

// The service takes each call only with the arguments written here: one that
// arrives otherwise is no part of the exchange and fails the call.

TEST_F(InteroperationTest, OptionOperations) {
  WideString text = u"stale";
  client().QueryInformation(text, -1);
  EXPECT_EQ(text, kMixedWide);

  client().GetOption(text, INT32_MAX);
  EXPECT_EQ(text, u"");

  client().GetOption(text, 0);
  EXPECT_EQ(text.size(), 100001u);
  EXPECT_EQ(text.back(), u'\u00E9');

  client().SetOption(INT32_MIN, kMixedWide);
  EXPECT_FALSE(client().ValidateOption(3, u""));
  EXPECT_TRUE(client().ValidateOption(3, u"on"));
  client().ResetOption(17);
}

TEST_F(InteroperationTest, TaskOperations) {
  client().StartTask(INT64_MIN);
  client().StopTask(INT64_MAX);
  client().PauseTask(-1);
  client().ResumeTask(0);

  TaskInfo info;
  client().GetTaskInfo(info, 5);
  EXPECT_EQ(WireForm(info), WireForm(Expected("GetTaskInfo(5)").taskInfo));
  EXPECT_EQ(info.text3, kMixedWide);
  EXPECT_EQ(info.numbers8.number5, -123456789012);

  TaskInfo partialInfo;
  client().GetTaskInfo(partialInfo, 6);
  EXPECT_EQ(WireForm(partialInfo), WireForm(Expected("GetTaskInfo(6)").taskInfo));
  EXPECT_EQ(static_cast<int32_t>(partialInfo.code2), 1000);
  EXPECT_EQ(partialInfo.number7, INT64_MIN);
  EXPECT_TRUE(partialInfo.isset.code2 && partialInfo.isset.number7);
  EXPECT_FALSE(partialInfo.isset.text3 || partialInfo.isset.numbers8);

  std::vector<int64_t> tasks = {1, 2, 3};
  client().GetRunningTasks(tasks);
  EXPECT_TRUE(tasks.empty());
  client().GetRunningTasks(tasks);
  ASSERT_EQ(tasks.size(), 20001u);
  EXPECT_EQ(tasks, Expected("GetRunningTasks()", 2).runningTasks);
  EXPECT_EQ(tasks.back(), INT64_MIN);

  EXPECT_EQ(client().GetTaskThreatsCount(9), INT64_MAX);
}

TEST_F(InteroperationTest, ScannerAndPerformerOperations) {
  EXPECT_EQ(client().CreateQuickScanner(), -5);
  EXPECT_EQ(client().CreateFullScanner(), 0);
  EXPECT_EQ(client().CreateCustomScanner({u"C:\\", kMixedWide, u"", u"C:\\"}), 77);
  EXPECT_EQ(client().CreateCustomScanner({}), 77);
  EXPECT_EQ(client().CreateActionPerformer({{5, 1}, {-2, 7}, {INT64_MAX, INT32_MIN}}, -9), 77);
  TargetMap many;
  for (int64_t i = 0; i < 5000; ++i) many[i * 31 - 1000] = static_cast<int32_t>(i);
  EXPECT_EQ(client().CreateQuarantinePerformer(many), 78);
  EXPECT_EQ(client().CreateQuarantinePerformer({}), 79);
}

TEST_F(InteroperationTest, CollectionOperations) {
  CollectionDelta delta;
  delta.changes = {{999999, true}};
  client().GetCollectionDelta(delta, 1, -2);
  const auto expectedDelta = Expected("GetCollectionDelta(1, -2)").collectionDelta;
  EXPECT_EQ(delta.changes.size(), 3000u);
  EXPECT_EQ(delta.changes, expectedDelta.changes);
  EXPECT_EQ(WireForm(delta), WireForm(expectedDelta));

  QuarantineEntry quarantine;
  client().GetQuarantineEntry(quarantine, 3);
  EXPECT_EQ(WireForm(quarantine), WireForm(Expected("GetQuarantineEntry(3)").quarantineEntry));
  EXPECT_EQ(quarantine.text4, kMixedWide);

  DomainEntry domain;
  client().GetDomainEntry(domain, 4);
  EXPECT_EQ(WireForm(domain), WireForm(Expected("GetDomainEntry(4)").domainEntry));
  EXPECT_EQ(domain.domain, u"xn--80ak6aa92e.example");
  EXPECT_FALSE(domain.isset.id || domain.isset.blocked);

  ThreatEntry threat;
  client().GetThreatEntry(threat, 5, 6);
  EXPECT_EQ(WireForm(threat), WireForm(Expected("GetThreatEntry(5, 6)").threatEntry));
}

TEST_F(InteroperationTest, DomainAndDefaultActionOperations) {
  client().BlockDomain(kMixedWide, true);
  client().BlockDomain(u"", false);
  client().SetDefaultAction(3, -1);
  EXPECT_EQ(static_cast<int32_t>(client().GetDefaultAction(8)), INT32_MIN);
}

TEST_F(InteroperationTest, NotificationOperations) {
  ThreatNotification notification;
  client().GetThreatNotification(notification);
  EXPECT_EQ(WireForm(notification), WireForm(Expected("GetThreatNotification()").threatNotification));
  EXPECT_EQ(notification.threat.text2, kMixedWide);
  EXPECT_FALSE(notification.threat.flag5);

  client().ReplyThreatNotification(-1, 0);

  MailNotification mail;
  client().GetMailNotification(mail);
  EXPECT_EQ(WireForm(mail), WireForm(Expected("GetMailNotification()").mailNotification));
  EXPECT_EQ(mail.text7, kMixedWide);
  EXPECT_TRUE(mail.isset.text5 && mail.text5.empty());
}

TEST_F(InteroperationTest, ApplicationFeatureAndHistoryOperations) {
  std::vector<WideString> applications = {u"stale"};
  client().GetIncompatibleApplications(applications);
  ASSERT_EQ(applications.size(), 3u);
  EXPECT_EQ(applications[0], kMixedWide);
  EXPECT_EQ(applications[1], u"");
  EXPECT_EQ(applications[2], WideString(5000, u'a'));
  client().GetIncompatibleApplications(applications);
  EXPECT_TRUE(applications.empty());

  client().EnableFeature(7, false);
  EXPECT_EQ(static_cast<int32_t>(client().GetFeatureStatus(-7)), 1234567);

  HistoryStatistics history;
  client().GetHistoryStatistics(history);
  EXPECT_EQ(WireForm(history), WireForm(Expected("GetHistoryStatistics()").historyStatistics));
  EXPECT_EQ(history.count1, INT32_MAX);
  EXPECT_EQ(history.count3, -1);
}

TEST_F(InteroperationTest, CoreOperations) {
  EXPECT_FALSE(client().UpdateCore(kMixedWide, u"1.0", u""));
  EXPECT_TRUE(client().ReloadCore());
  EXPECT_EQ(client().GetQuarantineProgress(), -100);
}

TEST_F(InteroperationTest, SkipListOperations) {
  std::vector<SkipItem> items(5);
  client().GetSkipList(items);
  ASSERT_EQ(items.size(), 3u);
  ExpectSameRecords(items, Expected("GetSkipList()").skipList);
  EXPECT_EQ(items[0].text2, kMixedWide);
  EXPECT_EQ(items[1].text3, u"only text3");

  EXPECT_EQ(client().AddSkipItem(u"C:\\Temp\\" + kMixedWide, true, false), INT64_MIN);
  client().RemoveSkipItem(-3);
  client().SetSkipItemsNames({u"a", kMixedWide, u""});
  client().SetSkipItemsNames({});
}

TEST_F(InteroperationTest, StatisticOperations) {
  client().IncrementStatItem(INT32_MAX);
  EXPECT_EQ(client().GetStatValue(4), -2);
  client().SetStatValue(3, -2);
}

TEST_F(InteroperationTest, FileMonitorAndDeviceOperations) {
  client().FilemonAddSkipThread(0x1234);
  client().FilemonRemoveSkipThread(-1);

  DeviceListChange change;
  client().GetDeviceListChanged(change);
  EXPECT_EQ(WireForm(change), WireForm(Expected("GetDeviceListChanged()").deviceListChange));
  EXPECT_EQ(change.text8, kMixedWide);
  EXPECT_EQ(change.number7, -7);

  EXPECT_EQ(client().SetAutorunDeviceStatus(2, -3), 1LL << 40);
}

// Every operation carries the service's failure with its number and text;
// those that declare none see an exception reply instead. (The operation is
// named in each message rather than by SCOPED_TRACE, which starts a thread of
// GoogleTest's on Windows: a second thread is what Wine under an emulator
// cannot run beside blocking pipe calls.)
TEST_F(InteroperationTest, EveryOperationCarriesTheServicesFailure) {
  ConnectToFailingService();
  for (const auto& op : testing_support::kAllOperations) {
    if (op.mayFail) {
      try {
        op.call(client());
        ADD_FAILURE() << op.name << ": no exception";
      } catch (const OperationFailed& e) {
        EXPECT_EQ(e.number1, -42) << op.name;
        EXPECT_EQ(e.text2, kMixedWide) << op.name;
        EXPECT_TRUE(e.isset.number1 && e.isset.text2) << op.name;
      }
    } else {
      EXPECT_THROW(op.call(client()), apache::thrift::TApplicationException) << op.name;
    }
  }
}

// A call with other arguments is no part of the exchange: the service refuses
// it, so a client that sent its arguments wrongly could not pass.
TEST_F(InteroperationTest, OtherArgumentsAreRefused) {
  try {
    client().ResetOption(18);
    ADD_FAILURE() << "no exception";
  } catch (const OperationFailed& e) {
    EXPECT_EQ(e.number1, -1);
    EXPECT_EQ(e.text2, u"unexpected call: ResetOption(18)");
  }
  WideString text;
  client().QueryInformation(text, -1);
  EXPECT_EQ(text, kMixedWide);
}

}  // namespace
