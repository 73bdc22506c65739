/*
 * ServiceRpc: the remote interface of the Tevrin core service.
 *
 * The service serves it on the local named pipe
 * \\.\pipe\TevrinAV-Core-780863D5-5ABD-4b1a-AAF3-427AF74D4ECE with the binary
 * protocol (strict message headers, sequence id 0), one request and one reply
 * per call. Texts are UTF-8 on the wire. No field of a record is required: a
 * record may carry any subset of its fields, and readers skip unknown fields
 * and fields of an unexpected type.
 *
 * Enumerated values travel as i32; their numbers are the service's, and a
 * client passes every number through unchanged.
 */

namespace cpp TevrinAV.Idl

/** An enumerated value whose names only the service knows. */
typedef i32 ServiceCode
/** The default action for a kind of detection. */
typedef i32 ActionCode
/** The state of a feature. */
typedef i32 FeatureStatus

/** The service's report that an operation failed. */
exception OperationFailed {
  1: i32 number1,
  2: string text2,
}

struct TaskNumbers {
  1: optional i64 number1,
  2: optional i64 number2,
  3: optional i64 number3,
  4: optional i64 number4,
  5: optional i64 number5,
}

struct TaskInfo {
  1: optional ServiceCode code1,
  2: optional ServiceCode code2,
  3: optional string text3,
  4: optional i32 number4,
  5: optional i64 number5,
  6: optional i64 number6,
  7: optional i64 number7,
  8: optional TaskNumbers numbers8,
  9: optional ServiceCode code9,
}

struct CollectionDelta {
  1: optional i64 number1,
  2: optional map<i64, bool> changes,
}

struct QuarantineEntry {
  1: optional i64 id,
  2: optional string text2,
  3: optional string text3,
  4: optional string text4,
  5: optional ServiceCode code5,
  6: optional bool flag6,
  7: optional i32 number7,
  8: optional ServiceCode code8,
}

struct DomainEntry {
  1: optional i64 id,
  2: optional string domain,
  3: optional bool blocked,
}

struct ThreatEntry {
  1: optional i64 id,
  2: optional string text2,
  3: optional string text3,
  4: optional ServiceCode code4,
  5: optional bool flag5,
  6: optional bool flag6,
  7: optional i32 number7,
  8: optional ServiceCode code8,
  9: optional bool flag9,
}

struct ThreatNotification {
  1: optional i64 id,
  2: optional ThreatEntry threat,
}

struct MailNotification {
  1: optional bool flag1,
  2: optional bool flag2,
  3: optional string text3,
  4: optional string text4,
  5: optional string text5,
  6: optional string text6,
  7: optional string text7,
}

struct HistoryStatistics {
  1: optional i32 count1,
  2: optional i32 count2,
  3: optional i32 count3,
}

struct SkipItem {
  1: optional i32 number1,
  2: optional string text2,
  3: optional string text3,
  4: optional bool flag4,
  5: optional bool flag5,
}

/** There is no field 6. */
struct DeviceListChange {
  1: optional i32 number1,
  2: optional string text2,
  3: optional string text3,
  4: optional i32 number4,
  5: optional i32 number5,
  7: optional i32 number7,
  8: optional string text8,
}

service ServiceRpc {
  // Options and information
  string QueryInformation(1: i32 id) throws (1: OperationFailed failure),
  void SetOption(1: i32 id, 2: string value) throws (1: OperationFailed failure),
  string GetOption(1: i32 id) throws (1: OperationFailed failure),
  bool ValidateOption(1: i32 id, 2: string value) throws (1: OperationFailed failure),
  void ResetOption(1: i32 id) throws (1: OperationFailed failure),

  // Tasks
  void StartTask(1: i64 task) throws (1: OperationFailed failure),
  void StopTask(1: i64 task) throws (1: OperationFailed failure),
  void PauseTask(1: i64 task) throws (1: OperationFailed failure),
  void ResumeTask(1: i64 task) throws (1: OperationFailed failure),
  TaskInfo GetTaskInfo(1: i64 task) throws (1: OperationFailed failure),
  list<i64> GetRunningTasks() throws (1: OperationFailed failure),
  i64 GetTaskThreatsCount(1: i64 task) throws (1: OperationFailed failure),

  // Scanners and performers; each answers the new object's task number
  i64 CreateQuickScanner() throws (1: OperationFailed failure),
  i64 CreateFullScanner() throws (1: OperationFailed failure),
  i64 CreateCustomScanner(1: list<string> pathList) throws (1: OperationFailed failure),
  i64 CreateActionPerformer(1: map<i64, i32> targets, 2: i64 parentTask) throws (1: OperationFailed failure),
  i64 CreateQuarantinePerformer(1: map<i64, i32> targets) throws (1: OperationFailed failure),

  // Collections and entries
  CollectionDelta GetCollectionDelta(1: i64 collectionId, 2: i64 snapshotId) throws (1: OperationFailed failure),
  QuarantineEntry GetQuarantineEntry(1: i64 id) throws (1: OperationFailed failure),
  DomainEntry GetDomainEntry(1: i64 id) throws (1: OperationFailed failure),
  ThreatEntry GetThreatEntry(1: i64 collectionId, 2: i64 id) throws (1: OperationFailed failure),

  // Domain blocking and default actions
  void BlockDomain(1: string domain, 2: bool block) throws (1: OperationFailed failure),
  void SetDefaultAction(1: i32 type, 2: i32 action) throws (1: OperationFailed failure),
  ActionCode GetDefaultAction(1: i32 type) throws (1: OperationFailed failure),

  // Notifications
  ThreatNotification GetThreatNotification() throws (1: OperationFailed failure),
  void ReplyThreatNotification(1: i64 id, 2: i32 action) throws (1: OperationFailed failure),
  MailNotification GetMailNotification() throws (1: OperationFailed failure),

  // Incompatible applications, features and history
  list<string> GetIncompatibleApplications() throws (1: OperationFailed failure),
  void EnableFeature(1: i32 id, 2: bool enable) throws (1: OperationFailed failure),
  FeatureStatus GetFeatureStatus(1: i32 id) throws (1: OperationFailed failure),
  HistoryStatistics GetHistoryStatistics() throws (1: OperationFailed failure),

  // The antivirus core and quarantine progress
  bool UpdateCore(1: string diffPath, 2: string oldVersion, 3: string newVersion) throws (1: OperationFailed failure),
  bool ReloadCore() throws (1: OperationFailed failure),
  i32 GetQuarantineProgress() throws (1: OperationFailed failure),

  // Skip list
  list<SkipItem> GetSkipList() throws (1: OperationFailed failure),
  i64 AddSkipItem(1: string filename_path, 2: bool isrecursive, 3: bool isfolder) throws (1: OperationFailed failure),
  void RemoveSkipItem(1: i64 id) throws (1: OperationFailed failure),
  void SetSkipItemsNames(1: list<string> names) throws (1: OperationFailed failure),

  // Statistic items: these declare no failure
  void IncrementStatItem(1: i32 id),
  i32 GetStatValue(1: i32 id),
  void SetStatValue(1: i32 id, 2: i32 value),

  // File-monitor exclusions and devices
  void FilemonAddSkipThread(1: i32 threadId) throws (1: OperationFailed failure),
  void FilemonRemoveSkipThread(1: i32 threadId) throws (1: OperationFailed failure),
  DeviceListChange GetDeviceListChanged() throws (1: OperationFailed failure),
  i64 SetAutorunDeviceStatus(1: i32 deviceId, 2: i32 devRule),
}
