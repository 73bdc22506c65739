// The ServiceRpc interface of the core service and its client.
#pragma once

#include <thrift/protocol/TProtocol.h>

#include <memory>

#include "ServiceRpcTypes.h"

namespace TevrinAV {

// One pure virtual function per service operation, in the interface's order.
// Results that are texts, records or containers come back through the first
// parameter; bools and numbers are returned.
class ServiceRpcIf {
public:
  virtual ~ServiceRpcIf() = default;

  virtual void QueryInformation(WideString& _return, const int32_t id) = 0;
  virtual void SetOption(const int32_t id, const WideString& value) = 0;
  virtual void GetOption(WideString& _return, const int32_t id) = 0;
  virtual bool ValidateOption(const int32_t id, const WideString& value) = 0;
  virtual void ResetOption(const int32_t id) = 0;
  virtual void StartTask(const int64_t task) = 0;
  virtual void StopTask(const int64_t task) = 0;
  virtual void PauseTask(const int64_t task) = 0;
  virtual void ResumeTask(const int64_t task) = 0;
  virtual void GetTaskInfo(TaskInfo& _return, const int64_t task) = 0;
  virtual void GetRunningTasks(std::vector<int64_t>& _return) = 0;
  virtual int64_t GetTaskThreatsCount(const int64_t task) = 0;
  virtual int64_t CreateQuickScanner() = 0;
  virtual int64_t CreateFullScanner() = 0;
  virtual int64_t CreateCustomScanner(const std::vector<WideString>& pathList) = 0;
  virtual int64_t CreateActionPerformer(const TargetMap& targets, const int64_t parentTask) = 0;
  virtual int64_t CreateQuarantinePerformer(const TargetMap& targets) = 0;
  virtual void GetCollectionDelta(CollectionDelta& _return, const int64_t collectionId, const int64_t snapshotId) = 0;
  virtual void GetQuarantineEntry(QuarantineEntry& _return, const int64_t id) = 0;
  virtual void GetDomainEntry(DomainEntry& _return, const int64_t id) = 0;
  virtual void GetThreatEntry(ThreatEntry& _return, const int64_t collectionId, const int64_t id) = 0;
  virtual void BlockDomain(const WideString& domain, const bool block) = 0;
  virtual void SetDefaultAction(const int32_t type, const int32_t action) = 0;
  virtual ActionCode GetDefaultAction(const int32_t type) = 0;
  virtual void GetThreatNotification(ThreatNotification& _return) = 0;
  virtual void ReplyThreatNotification(const int64_t id, const int32_t action) = 0;
  virtual void GetMailNotification(MailNotification& _return) = 0;
  virtual void GetIncompatibleApplications(std::vector<WideString>& _return) = 0;
  virtual void EnableFeature(const int32_t id, const bool enable) = 0;
  virtual FeatureStatus GetFeatureStatus(const int32_t id) = 0;
  virtual void GetHistoryStatistics(HistoryStatistics& _return) = 0;
  virtual bool UpdateCore(const WideString& diffPath, const WideString& oldVersion, const WideString& newVersion) = 0;
  virtual bool ReloadCore() = 0;
  virtual int32_t GetQuarantineProgress() = 0;
  virtual void GetSkipList(std::vector<SkipItem>& _return) = 0;
  virtual int64_t AddSkipItem(const WideString& filename_path, const bool isrecursive, const bool isfolder) = 0;
  virtual void RemoveSkipItem(const int64_t id) = 0;
  virtual void SetSkipItemsNames(const std::vector<WideString>& names) = 0;
  virtual void IncrementStatItem(const int32_t id) = 0;
  virtual int32_t GetStatValue(const int32_t id) = 0;
  virtual void SetStatValue(const int32_t id, const int32_t value) = 0;
  virtual void FilemonAddSkipThread(const int32_t threadId) = 0;
  virtual void FilemonRemoveSkipThread(const int32_t threadId) = 0;
  virtual void GetDeviceListChanged(DeviceListChange& _return) = 0;
  virtual int64_t SetAutorunDeviceStatus(const int32_t deviceId, const int32_t devRule) = 0;
};

// Sends each call as one request on the protocol and reads its one reply.
// Requests and replies share the one protocol given to the constructor; the
// client keeps no other state.
class ServiceRpcClient : virtual public ServiceRpcIf {
public:
  explicit ServiceRpcClient(std::shared_ptr<apache::thrift::protocol::TProtocol> prot);

  std::shared_ptr<apache::thrift::protocol::TProtocol> getInputProtocol() { return piprot_; }
  std::shared_ptr<apache::thrift::protocol::TProtocol> getOutputProtocol() { return poprot_; }

  void QueryInformation(WideString& _return, const int32_t id) override;
  void send_QueryInformation(const int32_t id);
  void recv_QueryInformation(WideString& _return);
  void SetOption(const int32_t id, const WideString& value) override;
  void send_SetOption(const int32_t id, const WideString& value);
  void recv_SetOption();
  void GetOption(WideString& _return, const int32_t id) override;
  void send_GetOption(const int32_t id);
  void recv_GetOption(WideString& _return);
  bool ValidateOption(const int32_t id, const WideString& value) override;
  void send_ValidateOption(const int32_t id, const WideString& value);
  bool recv_ValidateOption();
  void ResetOption(const int32_t id) override;
  void send_ResetOption(const int32_t id);
  void recv_ResetOption();
  void StartTask(const int64_t task) override;
  void send_StartTask(const int64_t task);
  void recv_StartTask();
  void StopTask(const int64_t task) override;
  void send_StopTask(const int64_t task);
  void recv_StopTask();
  void PauseTask(const int64_t task) override;
  void send_PauseTask(const int64_t task);
  void recv_PauseTask();
  void ResumeTask(const int64_t task) override;
  void send_ResumeTask(const int64_t task);
  void recv_ResumeTask();
  void GetTaskInfo(TaskInfo& _return, const int64_t task) override;
  void send_GetTaskInfo(const int64_t task);
  void recv_GetTaskInfo(TaskInfo& _return);
  void GetRunningTasks(std::vector<int64_t>& _return) override;
  void send_GetRunningTasks();
  void recv_GetRunningTasks(std::vector<int64_t>& _return);
  int64_t GetTaskThreatsCount(const int64_t task) override;
  void send_GetTaskThreatsCount(const int64_t task);
  int64_t recv_GetTaskThreatsCount();
  int64_t CreateQuickScanner() override;
  void send_CreateQuickScanner();
  int64_t recv_CreateQuickScanner();
  int64_t CreateFullScanner() override;
  void send_CreateFullScanner();
  int64_t recv_CreateFullScanner();
  int64_t CreateCustomScanner(const std::vector<WideString>& pathList) override;
  void send_CreateCustomScanner(const std::vector<WideString>& pathList);
  int64_t recv_CreateCustomScanner();
  int64_t CreateActionPerformer(const TargetMap& targets, const int64_t parentTask) override;
  void send_CreateActionPerformer(const TargetMap& targets, const int64_t parentTask);
  int64_t recv_CreateActionPerformer();
  int64_t CreateQuarantinePerformer(const TargetMap& targets) override;
  void send_CreateQuarantinePerformer(const TargetMap& targets);
  int64_t recv_CreateQuarantinePerformer();
  void GetCollectionDelta(CollectionDelta& _return, const int64_t collectionId, const int64_t snapshotId) override;
  void send_GetCollectionDelta(const int64_t collectionId, const int64_t snapshotId);
  void recv_GetCollectionDelta(CollectionDelta& _return);
  void GetQuarantineEntry(QuarantineEntry& _return, const int64_t id) override;
  void send_GetQuarantineEntry(const int64_t id);
  void recv_GetQuarantineEntry(QuarantineEntry& _return);
  void GetDomainEntry(DomainEntry& _return, const int64_t id) override;
  void send_GetDomainEntry(const int64_t id);
  void recv_GetDomainEntry(DomainEntry& _return);
  void GetThreatEntry(ThreatEntry& _return, const int64_t collectionId, const int64_t id) override;
  void send_GetThreatEntry(const int64_t collectionId, const int64_t id);
  void recv_GetThreatEntry(ThreatEntry& _return);
  void BlockDomain(const WideString& domain, const bool block) override;
  void send_BlockDomain(const WideString& domain, const bool block);
  void recv_BlockDomain();
  void SetDefaultAction(const int32_t type, const int32_t action) override;
  void send_SetDefaultAction(const int32_t type, const int32_t action);
  void recv_SetDefaultAction();
  ActionCode GetDefaultAction(const int32_t type) override;
  void send_GetDefaultAction(const int32_t type);
  ActionCode recv_GetDefaultAction();
  void GetThreatNotification(ThreatNotification& _return) override;
  void send_GetThreatNotification();
  void recv_GetThreatNotification(ThreatNotification& _return);
  void ReplyThreatNotification(const int64_t id, const int32_t action) override;
  void send_ReplyThreatNotification(const int64_t id, const int32_t action);
  void recv_ReplyThreatNotification();
  void GetMailNotification(MailNotification& _return) override;
  void send_GetMailNotification();
  void recv_GetMailNotification(MailNotification& _return);
  void GetIncompatibleApplications(std::vector<WideString>& _return) override;
  void send_GetIncompatibleApplications();
  void recv_GetIncompatibleApplications(std::vector<WideString>& _return);
  void EnableFeature(const int32_t id, const bool enable) override;
  void send_EnableFeature(const int32_t id, const bool enable);
  void recv_EnableFeature();
  FeatureStatus GetFeatureStatus(const int32_t id) override;
  void send_GetFeatureStatus(const int32_t id);
  FeatureStatus recv_GetFeatureStatus();
  void GetHistoryStatistics(HistoryStatistics& _return) override;
  void send_GetHistoryStatistics();
  void recv_GetHistoryStatistics(HistoryStatistics& _return);
  bool UpdateCore(const WideString& diffPath, const WideString& oldVersion, const WideString& newVersion) override;
  void send_UpdateCore(const WideString& diffPath, const WideString& oldVersion, const WideString& newVersion);
  bool recv_UpdateCore();
  bool ReloadCore() override;
  void send_ReloadCore();
  bool recv_ReloadCore();
  int32_t GetQuarantineProgress() override;
  void send_GetQuarantineProgress();
  int32_t recv_GetQuarantineProgress();
  void GetSkipList(std::vector<SkipItem>& _return) override;
  void send_GetSkipList();
  void recv_GetSkipList(std::vector<SkipItem>& _return);
  int64_t AddSkipItem(const WideString& filename_path, const bool isrecursive, const bool isfolder) override;
  void send_AddSkipItem(const WideString& filename_path, const bool isrecursive, const bool isfolder);
  int64_t recv_AddSkipItem();
  void RemoveSkipItem(const int64_t id) override;
  void send_RemoveSkipItem(const int64_t id);
  void recv_RemoveSkipItem();
  void SetSkipItemsNames(const std::vector<WideString>& names) override;
  void send_SetSkipItemsNames(const std::vector<WideString>& names);
  void recv_SetSkipItemsNames();
  void IncrementStatItem(const int32_t id) override;
  void send_IncrementStatItem(const int32_t id);
  void recv_IncrementStatItem();
  int32_t GetStatValue(const int32_t id) override;
  void send_GetStatValue(const int32_t id);
  int32_t recv_GetStatValue();
  void SetStatValue(const int32_t id, const int32_t value) override;
  void send_SetStatValue(const int32_t id, const int32_t value);
  void recv_SetStatValue();
  void FilemonAddSkipThread(const int32_t threadId) override;
  void send_FilemonAddSkipThread(const int32_t threadId);
  void recv_FilemonAddSkipThread();
  void FilemonRemoveSkipThread(const int32_t threadId) override;
  void send_FilemonRemoveSkipThread(const int32_t threadId);
  void recv_FilemonRemoveSkipThread();
  void GetDeviceListChanged(DeviceListChange& _return) override;
  void send_GetDeviceListChanged();
  void recv_GetDeviceListChanged(DeviceListChange& _return);
  int64_t SetAutorunDeviceStatus(const int32_t deviceId, const int32_t devRule) override;
  void send_SetAutorunDeviceStatus(const int32_t deviceId, const int32_t devRule);
  int64_t recv_SetAutorunDeviceStatus();

protected:
  std::shared_ptr<apache::thrift::protocol::TProtocol> piprot_;
  std::shared_ptr<apache::thrift::protocol::TProtocol> poprot_;
  apache::thrift::protocol::TProtocol* iprot_;
  apache::thrift::protocol::TProtocol* oprot_;
};

}  // namespace TevrinAV
