#include "ServiceRpc.h"

namespace TevrinAV {

using wire::ReceiveReply;
using wire::ReceiveValue;
using wire::SendCall;

ServiceRpcClient::ServiceRpcClient(std::shared_ptr<apache::thrift::protocol::TProtocol> prot)
    : piprot_(prot), poprot_(prot), iprot_(prot.get()), oprot_(prot.get()) {}

void ServiceRpcClient::QueryInformation(WideString& _return, const int32_t id) {
  send_QueryInformation(id);
  recv_QueryInformation(_return);
}
void ServiceRpcClient::send_QueryInformation(const int32_t id) { SendCall<ops::QueryInformation>(*oprot_, id); }
void ServiceRpcClient::recv_QueryInformation(WideString& _return) {
  ReceiveReply<ops::QueryInformation>(*iprot_, &_return);
}

void ServiceRpcClient::SetOption(const int32_t id, const WideString& value) {
  send_SetOption(id, value);
  recv_SetOption();
}
void ServiceRpcClient::send_SetOption(const int32_t id, const WideString& value) {
  SendCall<ops::SetOption>(*oprot_, id, value);
}
void ServiceRpcClient::recv_SetOption() { ReceiveReply<ops::SetOption>(*iprot_); }

void ServiceRpcClient::GetOption(WideString& _return, const int32_t id) {
  send_GetOption(id);
  recv_GetOption(_return);
}
void ServiceRpcClient::send_GetOption(const int32_t id) { SendCall<ops::GetOption>(*oprot_, id); }
void ServiceRpcClient::recv_GetOption(WideString& _return) { ReceiveReply<ops::GetOption>(*iprot_, &_return); }

bool ServiceRpcClient::ValidateOption(const int32_t id, const WideString& value) {
  send_ValidateOption(id, value);
  return recv_ValidateOption();
}
void ServiceRpcClient::send_ValidateOption(const int32_t id, const WideString& value) {
  SendCall<ops::ValidateOption>(*oprot_, id, value);
}
bool ServiceRpcClient::recv_ValidateOption() { return ReceiveValue<ops::ValidateOption>(*iprot_); }

void ServiceRpcClient::ResetOption(const int32_t id) {
  send_ResetOption(id);
  recv_ResetOption();
}
void ServiceRpcClient::send_ResetOption(const int32_t id) { SendCall<ops::ResetOption>(*oprot_, id); }
void ServiceRpcClient::recv_ResetOption() { ReceiveReply<ops::ResetOption>(*iprot_); }

void ServiceRpcClient::StartTask(const int64_t task) {
  send_StartTask(task);
  recv_StartTask();
}
void ServiceRpcClient::send_StartTask(const int64_t task) { SendCall<ops::StartTask>(*oprot_, task); }
void ServiceRpcClient::recv_StartTask() { ReceiveReply<ops::StartTask>(*iprot_); }

void ServiceRpcClient::StopTask(const int64_t task) {
  send_StopTask(task);
  recv_StopTask();
}
void ServiceRpcClient::send_StopTask(const int64_t task) { SendCall<ops::StopTask>(*oprot_, task); }
void ServiceRpcClient::recv_StopTask() { ReceiveReply<ops::StopTask>(*iprot_); }

void ServiceRpcClient::PauseTask(const int64_t task) {
  send_PauseTask(task);
  recv_PauseTask();
}
void ServiceRpcClient::send_PauseTask(const int64_t task) { SendCall<ops::PauseTask>(*oprot_, task); }
void ServiceRpcClient::recv_PauseTask() { ReceiveReply<ops::PauseTask>(*iprot_); }

void ServiceRpcClient::ResumeTask(const int64_t task) {
  send_ResumeTask(task);
  recv_ResumeTask();
}
void ServiceRpcClient::send_ResumeTask(const int64_t task) { SendCall<ops::ResumeTask>(*oprot_, task); }
void ServiceRpcClient::recv_ResumeTask() { ReceiveReply<ops::ResumeTask>(*iprot_); }

void ServiceRpcClient::GetTaskInfo(TaskInfo& _return, const int64_t task) {
  send_GetTaskInfo(task);
  recv_GetTaskInfo(_return);
}
void ServiceRpcClient::send_GetTaskInfo(const int64_t task) { SendCall<ops::GetTaskInfo>(*oprot_, task); }
void ServiceRpcClient::recv_GetTaskInfo(TaskInfo& _return) { ReceiveReply<ops::GetTaskInfo>(*iprot_, &_return); }

void ServiceRpcClient::GetRunningTasks(std::vector<int64_t>& _return) {
  send_GetRunningTasks();
  recv_GetRunningTasks(_return);
}
void ServiceRpcClient::send_GetRunningTasks() { SendCall<ops::GetRunningTasks>(*oprot_); }
void ServiceRpcClient::recv_GetRunningTasks(std::vector<int64_t>& _return) {
  ReceiveReply<ops::GetRunningTasks>(*iprot_, &_return);
}

int64_t ServiceRpcClient::GetTaskThreatsCount(const int64_t task) {
  send_GetTaskThreatsCount(task);
  return recv_GetTaskThreatsCount();
}
void ServiceRpcClient::send_GetTaskThreatsCount(const int64_t task) {
  SendCall<ops::GetTaskThreatsCount>(*oprot_, task);
}
int64_t ServiceRpcClient::recv_GetTaskThreatsCount() { return ReceiveValue<ops::GetTaskThreatsCount>(*iprot_); }

int64_t ServiceRpcClient::CreateQuickScanner() {
  send_CreateQuickScanner();
  return recv_CreateQuickScanner();
}
void ServiceRpcClient::send_CreateQuickScanner() { SendCall<ops::CreateQuickScanner>(*oprot_); }
int64_t ServiceRpcClient::recv_CreateQuickScanner() { return ReceiveValue<ops::CreateQuickScanner>(*iprot_); }

int64_t ServiceRpcClient::CreateFullScanner() {
  send_CreateFullScanner();
  return recv_CreateFullScanner();
}
void ServiceRpcClient::send_CreateFullScanner() { SendCall<ops::CreateFullScanner>(*oprot_); }
int64_t ServiceRpcClient::recv_CreateFullScanner() { return ReceiveValue<ops::CreateFullScanner>(*iprot_); }

int64_t ServiceRpcClient::CreateCustomScanner(const std::vector<WideString>& pathList) {
  send_CreateCustomScanner(pathList);
  return recv_CreateCustomScanner();
}
void ServiceRpcClient::send_CreateCustomScanner(const std::vector<WideString>& pathList) {
  SendCall<ops::CreateCustomScanner>(*oprot_, pathList);
}
int64_t ServiceRpcClient::recv_CreateCustomScanner() { return ReceiveValue<ops::CreateCustomScanner>(*iprot_); }

int64_t ServiceRpcClient::CreateActionPerformer(const TargetMap& targets, const int64_t parentTask) {
  send_CreateActionPerformer(targets, parentTask);
  return recv_CreateActionPerformer();
}
void ServiceRpcClient::send_CreateActionPerformer(const TargetMap& targets, const int64_t parentTask) {
  SendCall<ops::CreateActionPerformer>(*oprot_, targets, parentTask);
}
int64_t ServiceRpcClient::recv_CreateActionPerformer() { return ReceiveValue<ops::CreateActionPerformer>(*iprot_); }

int64_t ServiceRpcClient::CreateQuarantinePerformer(const TargetMap& targets) {
  send_CreateQuarantinePerformer(targets);
  return recv_CreateQuarantinePerformer();
}
void ServiceRpcClient::send_CreateQuarantinePerformer(const TargetMap& targets) {
  SendCall<ops::CreateQuarantinePerformer>(*oprot_, targets);
}
int64_t ServiceRpcClient::recv_CreateQuarantinePerformer() {
  return ReceiveValue<ops::CreateQuarantinePerformer>(*iprot_);
}

void ServiceRpcClient::GetCollectionDelta(CollectionDelta& _return, const int64_t collectionId,
                                          const int64_t snapshotId) {
  send_GetCollectionDelta(collectionId, snapshotId);
  recv_GetCollectionDelta(_return);
}
void ServiceRpcClient::send_GetCollectionDelta(const int64_t collectionId, const int64_t snapshotId) {
  SendCall<ops::GetCollectionDelta>(*oprot_, collectionId, snapshotId);
}
void ServiceRpcClient::recv_GetCollectionDelta(CollectionDelta& _return) {
  ReceiveReply<ops::GetCollectionDelta>(*iprot_, &_return);
}

void ServiceRpcClient::GetQuarantineEntry(QuarantineEntry& _return, const int64_t id) {
  send_GetQuarantineEntry(id);
  recv_GetQuarantineEntry(_return);
}
void ServiceRpcClient::send_GetQuarantineEntry(const int64_t id) { SendCall<ops::GetQuarantineEntry>(*oprot_, id); }
void ServiceRpcClient::recv_GetQuarantineEntry(QuarantineEntry& _return) {
  ReceiveReply<ops::GetQuarantineEntry>(*iprot_, &_return);
}

void ServiceRpcClient::GetDomainEntry(DomainEntry& _return, const int64_t id) {
  send_GetDomainEntry(id);
  recv_GetDomainEntry(_return);
}
void ServiceRpcClient::send_GetDomainEntry(const int64_t id) { SendCall<ops::GetDomainEntry>(*oprot_, id); }
void ServiceRpcClient::recv_GetDomainEntry(DomainEntry& _return) {
  ReceiveReply<ops::GetDomainEntry>(*iprot_, &_return);
}

void ServiceRpcClient::GetThreatEntry(ThreatEntry& _return, const int64_t collectionId, const int64_t id) {
  send_GetThreatEntry(collectionId, id);
  recv_GetThreatEntry(_return);
}
void ServiceRpcClient::send_GetThreatEntry(const int64_t collectionId, const int64_t id) {
  SendCall<ops::GetThreatEntry>(*oprot_, collectionId, id);
}
void ServiceRpcClient::recv_GetThreatEntry(ThreatEntry& _return) {
  ReceiveReply<ops::GetThreatEntry>(*iprot_, &_return);
}

void ServiceRpcClient::BlockDomain(const WideString& domain, const bool block) {
  send_BlockDomain(domain, block);
  recv_BlockDomain();
}
void ServiceRpcClient::send_BlockDomain(const WideString& domain, const bool block) {
  SendCall<ops::BlockDomain>(*oprot_, domain, block);
}
void ServiceRpcClient::recv_BlockDomain() { ReceiveReply<ops::BlockDomain>(*iprot_); }

void ServiceRpcClient::SetDefaultAction(const int32_t type, const int32_t action) {
  send_SetDefaultAction(type, action);
  recv_SetDefaultAction();
}
void ServiceRpcClient::send_SetDefaultAction(const int32_t type, const int32_t action) {
  SendCall<ops::SetDefaultAction>(*oprot_, type, action);
}
void ServiceRpcClient::recv_SetDefaultAction() { ReceiveReply<ops::SetDefaultAction>(*iprot_); }

ActionCode ServiceRpcClient::GetDefaultAction(const int32_t type) {
  send_GetDefaultAction(type);
  return recv_GetDefaultAction();
}
void ServiceRpcClient::send_GetDefaultAction(const int32_t type) { SendCall<ops::GetDefaultAction>(*oprot_, type); }
ActionCode ServiceRpcClient::recv_GetDefaultAction() { return ReceiveValue<ops::GetDefaultAction>(*iprot_); }

void ServiceRpcClient::GetThreatNotification(ThreatNotification& _return) {
  send_GetThreatNotification();
  recv_GetThreatNotification(_return);
}
void ServiceRpcClient::send_GetThreatNotification() { SendCall<ops::GetThreatNotification>(*oprot_); }
void ServiceRpcClient::recv_GetThreatNotification(ThreatNotification& _return) {
  ReceiveReply<ops::GetThreatNotification>(*iprot_, &_return);
}

void ServiceRpcClient::ReplyThreatNotification(const int64_t id, const int32_t action) {
  send_ReplyThreatNotification(id, action);
  recv_ReplyThreatNotification();
}
void ServiceRpcClient::send_ReplyThreatNotification(const int64_t id, const int32_t action) {
  SendCall<ops::ReplyThreatNotification>(*oprot_, id, action);
}
void ServiceRpcClient::recv_ReplyThreatNotification() { ReceiveReply<ops::ReplyThreatNotification>(*iprot_); }

void ServiceRpcClient::GetMailNotification(MailNotification& _return) {
  send_GetMailNotification();
  recv_GetMailNotification(_return);
}
void ServiceRpcClient::send_GetMailNotification() { SendCall<ops::GetMailNotification>(*oprot_); }
void ServiceRpcClient::recv_GetMailNotification(MailNotification& _return) {
  ReceiveReply<ops::GetMailNotification>(*iprot_, &_return);
}

void ServiceRpcClient::GetIncompatibleApplications(std::vector<WideString>& _return) {
  send_GetIncompatibleApplications();
  recv_GetIncompatibleApplications(_return);
}
void ServiceRpcClient::send_GetIncompatibleApplications() { SendCall<ops::GetIncompatibleApplications>(*oprot_); }
void ServiceRpcClient::recv_GetIncompatibleApplications(std::vector<WideString>& _return) {
  ReceiveReply<ops::GetIncompatibleApplications>(*iprot_, &_return);
}

void ServiceRpcClient::EnableFeature(const int32_t id, const bool enable) {
  send_EnableFeature(id, enable);
  recv_EnableFeature();
}
void ServiceRpcClient::send_EnableFeature(const int32_t id, const bool enable) {
  SendCall<ops::EnableFeature>(*oprot_, id, enable);
}
void ServiceRpcClient::recv_EnableFeature() { ReceiveReply<ops::EnableFeature>(*iprot_); }

FeatureStatus ServiceRpcClient::GetFeatureStatus(const int32_t id) {
  send_GetFeatureStatus(id);
  return recv_GetFeatureStatus();
}
void ServiceRpcClient::send_GetFeatureStatus(const int32_t id) { SendCall<ops::GetFeatureStatus>(*oprot_, id); }
FeatureStatus ServiceRpcClient::recv_GetFeatureStatus() { return ReceiveValue<ops::GetFeatureStatus>(*iprot_); }

void ServiceRpcClient::GetHistoryStatistics(HistoryStatistics& _return) {
  send_GetHistoryStatistics();
  recv_GetHistoryStatistics(_return);
}
void ServiceRpcClient::send_GetHistoryStatistics() { SendCall<ops::GetHistoryStatistics>(*oprot_); }
void ServiceRpcClient::recv_GetHistoryStatistics(HistoryStatistics& _return) {
  ReceiveReply<ops::GetHistoryStatistics>(*iprot_, &_return);
}

bool ServiceRpcClient::UpdateCore(const WideString& diffPath, const WideString& oldVersion,
                                  const WideString& newVersion) {
  send_UpdateCore(diffPath, oldVersion, newVersion);
  return recv_UpdateCore();
}
void ServiceRpcClient::send_UpdateCore(const WideString& diffPath, const WideString& oldVersion,
                                       const WideString& newVersion) {
  SendCall<ops::UpdateCore>(*oprot_, diffPath, oldVersion, newVersion);
}
bool ServiceRpcClient::recv_UpdateCore() { return ReceiveValue<ops::UpdateCore>(*iprot_); }

bool ServiceRpcClient::ReloadCore() {
  send_ReloadCore();
  return recv_ReloadCore();
}
void ServiceRpcClient::send_ReloadCore() { SendCall<ops::ReloadCore>(*oprot_); }
bool ServiceRpcClient::recv_ReloadCore() { return ReceiveValue<ops::ReloadCore>(*iprot_); }

int32_t ServiceRpcClient::GetQuarantineProgress() {
  send_GetQuarantineProgress();
  return recv_GetQuarantineProgress();
}
void ServiceRpcClient::send_GetQuarantineProgress() { SendCall<ops::GetQuarantineProgress>(*oprot_); }
int32_t ServiceRpcClient::recv_GetQuarantineProgress() { return ReceiveValue<ops::GetQuarantineProgress>(*iprot_); }

void ServiceRpcClient::GetSkipList(std::vector<SkipItem>& _return) {
  send_GetSkipList();
  recv_GetSkipList(_return);
}
void ServiceRpcClient::send_GetSkipList() { SendCall<ops::GetSkipList>(*oprot_); }
void ServiceRpcClient::recv_GetSkipList(std::vector<SkipItem>& _return) {
  ReceiveReply<ops::GetSkipList>(*iprot_, &_return);
}

int64_t ServiceRpcClient::AddSkipItem(const WideString& filename_path, const bool isrecursive, const bool isfolder) {
  send_AddSkipItem(filename_path, isrecursive, isfolder);
  return recv_AddSkipItem();
}
void ServiceRpcClient::send_AddSkipItem(const WideString& filename_path, const bool isrecursive, const bool isfolder) {
  SendCall<ops::AddSkipItem>(*oprot_, filename_path, isrecursive, isfolder);
}
int64_t ServiceRpcClient::recv_AddSkipItem() { return ReceiveValue<ops::AddSkipItem>(*iprot_); }

void ServiceRpcClient::RemoveSkipItem(const int64_t id) {
  send_RemoveSkipItem(id);
  recv_RemoveSkipItem();
}
void ServiceRpcClient::send_RemoveSkipItem(const int64_t id) { SendCall<ops::RemoveSkipItem>(*oprot_, id); }
void ServiceRpcClient::recv_RemoveSkipItem() { ReceiveReply<ops::RemoveSkipItem>(*iprot_); }

void ServiceRpcClient::SetSkipItemsNames(const std::vector<WideString>& names) {
  send_SetSkipItemsNames(names);
  recv_SetSkipItemsNames();
}
void ServiceRpcClient::send_SetSkipItemsNames(const std::vector<WideString>& names) {
  SendCall<ops::SetSkipItemsNames>(*oprot_, names);
}
void ServiceRpcClient::recv_SetSkipItemsNames() { ReceiveReply<ops::SetSkipItemsNames>(*iprot_); }

void ServiceRpcClient::IncrementStatItem(const int32_t id) {
  send_IncrementStatItem(id);
  recv_IncrementStatItem();
}
void ServiceRpcClient::send_IncrementStatItem(const int32_t id) { SendCall<ops::IncrementStatItem>(*oprot_, id); }
void ServiceRpcClient::recv_IncrementStatItem() { ReceiveReply<ops::IncrementStatItem>(*iprot_); }

int32_t ServiceRpcClient::GetStatValue(const int32_t id) {
  send_GetStatValue(id);
  return recv_GetStatValue();
}
void ServiceRpcClient::send_GetStatValue(const int32_t id) { SendCall<ops::GetStatValue>(*oprot_, id); }
int32_t ServiceRpcClient::recv_GetStatValue() { return ReceiveValue<ops::GetStatValue>(*iprot_); }

void ServiceRpcClient::SetStatValue(const int32_t id, const int32_t value) {
  send_SetStatValue(id, value);
  recv_SetStatValue();
}
void ServiceRpcClient::send_SetStatValue(const int32_t id, const int32_t value) {
  SendCall<ops::SetStatValue>(*oprot_, id, value);
}
void ServiceRpcClient::recv_SetStatValue() { ReceiveReply<ops::SetStatValue>(*iprot_); }

void ServiceRpcClient::FilemonAddSkipThread(const int32_t threadId) {
  send_FilemonAddSkipThread(threadId);
  recv_FilemonAddSkipThread();
}
void ServiceRpcClient::send_FilemonAddSkipThread(const int32_t threadId) {
  SendCall<ops::FilemonAddSkipThread>(*oprot_, threadId);
}
void ServiceRpcClient::recv_FilemonAddSkipThread() { ReceiveReply<ops::FilemonAddSkipThread>(*iprot_); }

void ServiceRpcClient::FilemonRemoveSkipThread(const int32_t threadId) {
  send_FilemonRemoveSkipThread(threadId);
  recv_FilemonRemoveSkipThread();
}
void ServiceRpcClient::send_FilemonRemoveSkipThread(const int32_t threadId) {
  SendCall<ops::FilemonRemoveSkipThread>(*oprot_, threadId);
}
void ServiceRpcClient::recv_FilemonRemoveSkipThread() { ReceiveReply<ops::FilemonRemoveSkipThread>(*iprot_); }

void ServiceRpcClient::GetDeviceListChanged(DeviceListChange& _return) {
  send_GetDeviceListChanged();
  recv_GetDeviceListChanged(_return);
}
void ServiceRpcClient::send_GetDeviceListChanged() { SendCall<ops::GetDeviceListChanged>(*oprot_); }
void ServiceRpcClient::recv_GetDeviceListChanged(DeviceListChange& _return) {
  ReceiveReply<ops::GetDeviceListChanged>(*iprot_, &_return);
}

int64_t ServiceRpcClient::SetAutorunDeviceStatus(const int32_t deviceId, const int32_t devRule) {
  send_SetAutorunDeviceStatus(deviceId, devRule);
  return recv_SetAutorunDeviceStatus();
}
void ServiceRpcClient::send_SetAutorunDeviceStatus(const int32_t deviceId, const int32_t devRule) {
  SendCall<ops::SetAutorunDeviceStatus>(*oprot_, deviceId, devRule);
}
int64_t ServiceRpcClient::recv_SetAutorunDeviceStatus() { return ReceiveValue<ops::SetAutorunDeviceStatus>(*iprot_); }
}  // namespace TevrinAV
