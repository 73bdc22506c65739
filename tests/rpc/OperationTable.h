// Every operation of ServiceRpc in interface order, with whether it returns a
// result and whether it can raise OperationFailed, and a call of it with
// plain arguments.
#pragma once

#include <functional>

#include "service/ServiceRpc.h"

namespace testing_support {

struct OperationCall {
  const char* name;
  bool hasResult;
  bool mayFail;
  std::function<void(TevrinAV::ServiceRpcClient&)> call;
};

// A call whose result comes back through an object of type R.
template <class R, class Call>
std::function<void(TevrinAV::ServiceRpcClient&)> Into(Call call) {
  return [call](TevrinAV::ServiceRpcClient& client) {
    R result;
    call(client, result);
  };
}

inline const OperationCall kAllOperations[] = {
    {"QueryInformation", true, true, Into<TevrinAV::WideString>([](auto& c, auto& r) { c.QueryInformation(r, 1); })},
    {"SetOption", false, true, [](auto& c) { c.SetOption(1, u"v"); }},
    {"GetOption", true, true, Into<TevrinAV::WideString>([](auto& c, auto& r) { c.GetOption(r, 1); })},
    {"ValidateOption", true, true, [](auto& c) { c.ValidateOption(1, u"v"); }},
    {"ResetOption", false, true, [](auto& c) { c.ResetOption(1); }},
    {"StartTask", false, true, [](auto& c) { c.StartTask(1); }},
    {"StopTask", false, true, [](auto& c) { c.StopTask(1); }},
    {"PauseTask", false, true, [](auto& c) { c.PauseTask(1); }},
    {"ResumeTask", false, true, [](auto& c) { c.ResumeTask(1); }},
    {"GetTaskInfo", true, true, Into<TevrinAV::TaskInfo>([](auto& c, auto& r) { c.GetTaskInfo(r, 1); })},
    {"GetRunningTasks", true, true, Into<std::vector<int64_t>>([](auto& c, auto& r) { c.GetRunningTasks(r); })},
    {"GetTaskThreatsCount", true, true, [](auto& c) { c.GetTaskThreatsCount(1); }},
    {"CreateQuickScanner", true, true, [](auto& c) { c.CreateQuickScanner(); }},
    {"CreateFullScanner", true, true, [](auto& c) { c.CreateFullScanner(); }},
    {"CreateCustomScanner", true, true, [](auto& c) { c.CreateCustomScanner({u"C:"}); }},
    {"CreateActionPerformer", true, true,
     [](auto& c) {
       c.CreateActionPerformer({{5, 1}}, 2);
     }},
    {"CreateQuarantinePerformer", true, true,
     [](auto& c) {
       c.CreateQuarantinePerformer({{5, 1}});
     }},
    {"GetCollectionDelta", true, true,
     Into<TevrinAV::CollectionDelta>([](auto& c, auto& r) { c.GetCollectionDelta(r, 1, 2); })},
    {"GetQuarantineEntry", true, true,
     Into<TevrinAV::QuarantineEntry>([](auto& c, auto& r) { c.GetQuarantineEntry(r, 1); })},
    {"GetDomainEntry", true, true, Into<TevrinAV::DomainEntry>([](auto& c, auto& r) { c.GetDomainEntry(r, 1); })},
    {"GetThreatEntry", true, true, Into<TevrinAV::ThreatEntry>([](auto& c, auto& r) { c.GetThreatEntry(r, 1, 2); })},
    {"BlockDomain", false, true, [](auto& c) { c.BlockDomain(u"a", true); }},
    {"SetDefaultAction", false, true, [](auto& c) { c.SetDefaultAction(3, -1); }},
    {"GetDefaultAction", true, true, [](auto& c) { c.GetDefaultAction(3); }},
    {"GetThreatNotification", true, true,
     Into<TevrinAV::ThreatNotification>([](auto& c, auto& r) { c.GetThreatNotification(r); })},
    {"ReplyThreatNotification", false, true, [](auto& c) { c.ReplyThreatNotification(-1, 0); }},
    {"GetMailNotification", true, true,
     Into<TevrinAV::MailNotification>([](auto& c, auto& r) { c.GetMailNotification(r); })},
    {"GetIncompatibleApplications", true, true,
     Into<std::vector<TevrinAV::WideString>>([](auto& c, auto& r) { c.GetIncompatibleApplications(r); })},
    {"EnableFeature", false, true, [](auto& c) { c.EnableFeature(7, false); }},
    {"GetFeatureStatus", true, true, [](auto& c) { c.GetFeatureStatus(7); }},
    {"GetHistoryStatistics", true, true,
     Into<TevrinAV::HistoryStatistics>([](auto& c, auto& r) { c.GetHistoryStatistics(r); })},
    {"UpdateCore", true, true, [](auto& c) { c.UpdateCore(u"d", u"1", u"2"); }},
    {"ReloadCore", true, true, [](auto& c) { c.ReloadCore(); }},
    {"GetQuarantineProgress", true, true, [](auto& c) { c.GetQuarantineProgress(); }},
    {"GetSkipList", true, true, Into<std::vector<TevrinAV::SkipItem>>([](auto& c, auto& r) { c.GetSkipList(r); })},
    {"AddSkipItem", true, true, [](auto& c) { c.AddSkipItem(u"C:\\x", true, false); }},
    {"RemoveSkipItem", false, true, [](auto& c) { c.RemoveSkipItem(1); }},
    {"SetSkipItemsNames", false, true, [](auto& c) { c.SetSkipItemsNames({u"n"}); }},
    {"IncrementStatItem", false, false, [](auto& c) { c.IncrementStatItem(1); }},
    {"GetStatValue", true, false, [](auto& c) { c.GetStatValue(1); }},
    {"SetStatValue", false, false, [](auto& c) { c.SetStatValue(3, -2); }},
    {"FilemonAddSkipThread", false, true, [](auto& c) { c.FilemonAddSkipThread(0x1234); }},
    {"FilemonRemoveSkipThread", false, true, [](auto& c) { c.FilemonRemoveSkipThread(0x1234); }},
    {"GetDeviceListChanged", true, true,
     Into<TevrinAV::DeviceListChange>([](auto& c, auto& r) { c.GetDeviceListChanged(r); })},
    {"SetAutorunDeviceStatus", true, false, [](auto& c) { c.SetAutorunDeviceStatus(1, 2); }},
};

}  // namespace testing_support
