#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "ServiceRpc.h"

namespace coreservice {

namespace idl = TevrinAV::Idl;

// What the service answers; set between calls.
struct Answers {
  std::string text;      // QueryInformation, GetOption
  bool flag = true;      // ValidateOption, UpdateCore, ReloadCore
  int32_t number32 = 0;  // GetDefaultAction, GetFeatureStatus, GetQuarantineProgress, GetStatValue
  int64_t number64 = 0;  // GetTaskThreatsCount, the Create operations, AddSkipItem, SetAutorunDeviceStatus
  idl::TaskInfo taskInfo;
  std::vector<int64_t> runningTasks;
  idl::CollectionDelta collectionDelta;
  idl::QuarantineEntry quarantineEntry;
  idl::DomainEntry domainEntry;
  idl::ThreatEntry threatEntry;
  idl::ThreatNotification threatNotification;
  idl::MailNotification mailNotification;
  std::vector<std::string> incompatibleApplications;
  idl::HistoryStatistics historyStatistics;
  std::vector<idl::SkipItem> skipList;
  idl::DeviceListChange deviceListChange;
  // When set, every operation raises it instead of answering.
  std::optional<idl::OperationFailed> failure;
};

// Answers built from one bool, one number and one text: every result and
// every record field takes the value of its type, every list one element.
Answers UniformAnswers(bool flag, int64_t number, const std::string& text);

// The service's side of ServiceRpc, answering from `answers` and noting each
// call with its arguments, for example: SetOption(5, "on").
class ScriptedHandler : public idl::ServiceRpcIf {
public:
  Answers answers;
  std::vector<std::string> calls;
  // When set, runs for each call once it is noted, before the answer is
  // taken from `answers`; it may change them.
  std::function<void(const std::string& call)> beforeAnswer;

  void QueryInformation(std::string& _return, const int32_t id) override;
  void SetOption(const int32_t id, const std::string& value) override;
  void GetOption(std::string& _return, const int32_t id) override;
  bool ValidateOption(const int32_t id, const std::string& value) override;
  void ResetOption(const int32_t id) override;
  void StartTask(const int64_t task) override;
  void StopTask(const int64_t task) override;
  void PauseTask(const int64_t task) override;
  void ResumeTask(const int64_t task) override;
  void GetTaskInfo(idl::TaskInfo& _return, const int64_t task) override;
  void GetRunningTasks(std::vector<int64_t>& _return) override;
  int64_t GetTaskThreatsCount(const int64_t task) override;
  int64_t CreateQuickScanner() override;
  int64_t CreateFullScanner() override;
  int64_t CreateCustomScanner(const std::vector<std::string>& pathList) override;
  int64_t CreateActionPerformer(const std::map<int64_t, int32_t>& targets, const int64_t parentTask) override;
  int64_t CreateQuarantinePerformer(const std::map<int64_t, int32_t>& targets) override;
  void GetCollectionDelta(idl::CollectionDelta& _return, const int64_t collectionId, const int64_t snapshotId) override;
  void GetQuarantineEntry(idl::QuarantineEntry& _return, const int64_t id) override;
  void GetDomainEntry(idl::DomainEntry& _return, const int64_t id) override;
  void GetThreatEntry(idl::ThreatEntry& _return, const int64_t collectionId, const int64_t id) override;
  void BlockDomain(const std::string& domain, const bool block) override;
  void SetDefaultAction(const int32_t type, const int32_t action) override;
  idl::ActionCode GetDefaultAction(const int32_t type) override;
  void GetThreatNotification(idl::ThreatNotification& _return) override;
  void ReplyThreatNotification(const int64_t id, const int32_t action) override;
  void GetMailNotification(idl::MailNotification& _return) override;
  void GetIncompatibleApplications(std::vector<std::string>& _return) override;
  void EnableFeature(const int32_t id, const bool enable) override;
  idl::FeatureStatus GetFeatureStatus(const int32_t id) override;
  void GetHistoryStatistics(idl::HistoryStatistics& _return) override;
  bool UpdateCore(const std::string& diffPath, const std::string& oldVersion, const std::string& newVersion) override;
  bool ReloadCore() override;
  int32_t GetQuarantineProgress() override;
  void GetSkipList(std::vector<idl::SkipItem>& _return) override;
  int64_t AddSkipItem(const std::string& filename_path, const bool isrecursive, const bool isfolder) override;
  void RemoveSkipItem(const int64_t id) override;
  void SetSkipItemsNames(const std::vector<std::string>& names) override;
  void IncrementStatItem(const int32_t id) override;
  int32_t GetStatValue(const int32_t id) override;
  void SetStatValue(const int32_t id, const int32_t value) override;
  void FilemonAddSkipThread(const int32_t threadId) override;
  void FilemonRemoveSkipThread(const int32_t threadId) override;
  void GetDeviceListChanged(idl::DeviceListChange& _return) override;
  int64_t SetAutorunDeviceStatus(const int32_t deviceId, const int32_t devRule) override;

private:
  template <class... Args>
  void note(const char* operation, const Args&... args);
};

}  // namespace coreservice
