// Records of the ServiceRpc interface and the declaration of each operation:
// its name, result type, whether it can raise OperationFailed, and its
// argument fields. The argument and result records of an operation,
// ServiceRpc_<Op>_pargs and ServiceRpc_<Op>_presult, follow from its
// declaration.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "CallFrame.h"
#include "OperationFailed.h"
#include "WideText.h"

namespace TevrinAV {

// Enumerated values whose names only the service knows. They travel as i32
// and every number arrives unchanged, named or not.
enum class ServiceCode : int32_t {};
enum class ActionCode : int32_t {};
enum class FeatureStatus : int32_t {};

namespace wire {
template <>
struct EnumTraits<ServiceCode> {
  static constexpr const char* name = "ServiceCode";
};
template <>
struct EnumTraits<ActionCode> {
  static constexpr const char* name = "ActionCode";
};
template <>
struct EnumTraits<FeatureStatus> {
  static constexpr const char* name = "FeatureStatus";
};
}  // namespace wire

// Targets of a performer: entry number to action.
using TargetMap = std::map<int64_t, int32_t>;

// ---- Records ------------------------------------------------------------------
// Each record is one list of its fields, FIELD(id, name, type): the struct's
// members, its was-set flags (`isset`, one per field, in field order) and its
// field table (wire::RecordTraits, which reading, writing, JSON and the
// tools' descriptions use) all follow from it. Reading a record neither
// clears it nor resets its flags: fields a reply lacks keep their values.
// Writing puts out the fields whose flags are set.

// Counters of a task, nested in TaskInfo.
#define TEVRIN_RECORD_TaskNumbers(FIELD) \
  FIELD(1, number1, int64_t) FIELD(2, number2, int64_t) FIELD(3, number3, int64_t) FIELD(4, number4, int64_t) \
  FIELD(5, number5, int64_t)
// What the service reports about one task.
#define TEVRIN_RECORD_TaskInfo(FIELD) \
  FIELD(1, code1, ServiceCode) FIELD(2, code2, ServiceCode) FIELD(3, text3, WideString) FIELD(4, number4, int32_t) \
  FIELD(5, number5, int64_t) FIELD(6, number6, int64_t) FIELD(7, number7, int64_t) FIELD(8, numbers8, TaskNumbers) \
  FIELD(9, code9, ServiceCode)
// The changes of a collection since a snapshot.
#define TEVRIN_RECORD_CollectionDelta(FIELD) FIELD(1, number1, int64_t) FIELD(2, changes, std::map<int64_t, bool>)
// One entry of the quarantine.
#define TEVRIN_RECORD_QuarantineEntry(FIELD) \
  FIELD(1, id, int64_t) FIELD(2, text2, WideString) FIELD(3, text3, WideString) FIELD(4, text4, WideString) \
  FIELD(5, code5, ServiceCode) FIELD(6, flag6, bool) FIELD(7, number7, int32_t) FIELD(8, code8, ServiceCode)
// One domain of the domain block list.
#define TEVRIN_RECORD_DomainEntry(FIELD) FIELD(1, id, int64_t) FIELD(2, domain, WideString) FIELD(3, blocked, bool)
// One threat of a collection; also the subject of a threat notification.
#define TEVRIN_RECORD_ThreatEntry(FIELD) \
  FIELD(1, id, int64_t) FIELD(2, text2, WideString) FIELD(3, text3, WideString) FIELD(4, code4, ServiceCode) \
  FIELD(5, flag5, bool) FIELD(6, flag6, bool) FIELD(7, number7, int32_t) FIELD(8, code8, ServiceCode) \
  FIELD(9, flag9, bool)
// A threat the service asks the user about.
#define TEVRIN_RECORD_ThreatNotification(FIELD) FIELD(1, id, int64_t) FIELD(2, threat, ThreatEntry)
// A notification about mail.
#define TEVRIN_RECORD_MailNotification(FIELD) \
  FIELD(1, flag1, bool) FIELD(2, flag2, bool) FIELD(3, text3, WideString) FIELD(4, text4, WideString) \
  FIELD(5, text5, WideString) FIELD(6, text6, WideString) FIELD(7, text7, WideString)
// Three counts of the service's history.
#define TEVRIN_RECORD_HistoryStatistics(FIELD) FIELD(1, count1, int32_t) FIELD(2, count2, int32_t) FIELD(3, count3, int32_t)
// One entry of the skip list (a polymorphic value type, as callers hold it).
#define TEVRIN_RECORD_SkipItem(FIELD) \
  FIELD(1, number1, int32_t) FIELD(2, text2, WideString) FIELD(3, text3, WideString) FIELD(4, flag4, bool) \
  FIELD(5, flag5, bool)
// A change in the list of devices. There is no field 6.
#define TEVRIN_RECORD_DeviceListChange(FIELD) \
  FIELD(1, number1, int32_t) FIELD(2, text2, WideString) FIELD(3, text3, WideString) FIELD(4, number4, int32_t) \
  FIELD(5, number5, int32_t) FIELD(7, number7, int32_t) FIELD(8, text8, WideString)

// Every record, a record before those that hold it: RECORD(name, what else
// its struct declares).
#define TEVRIN_SERVICE_RECORDS(RECORD)                                                                       \
  RECORD(TaskNumbers, ) RECORD(TaskInfo, ) RECORD(CollectionDelta, ) RECORD(QuarantineEntry, )               \
  RECORD(DomainEntry, ) RECORD(ThreatEntry, ) RECORD(ThreatNotification, ) RECORD(MailNotification, )        \
  RECORD(HistoryStatistics, ) RECORD(SkipItem, TEVRIN_POLYMORPHIC_RECORD(SkipItem)) RECORD(DeviceListChange, )

#define TEVRIN_POLYMORPHIC_RECORD(Record)           \
  Record() = default;                               \
  Record(const Record&) = default;                  \
  Record(Record&&) noexcept = default;              \
  Record& operator=(const Record&) = default;       \
  Record& operator=(Record&&) noexcept = default;   \
  virtual ~Record() = default;

#define TEVRIN_DECLARE_RECORD(Record, Extra) \
  struct Record {                            \
    Extra TEVRIN_RECORD_MEMBERS(Record)      \
  };                                         \
  namespace wire {                           \
  TEVRIN_RECORD_TRAITS(Record)               \
  }

TEVRIN_SERVICE_RECORDS(TEVRIN_DECLARE_RECORD)

#undef TEVRIN_DECLARE_RECORD

// Declares operation Op and its records ServiceRpc_<Op>_pargs and
// ServiceRpc_<Op>_presult. The trailing arguments are the argument fields,
// wire::Arg<id, type, name>, in id order.
#define TEVRIN_OPERATION(Op, ResultType, MayFail, ...)                         \
  namespace ops {                                                              \
  TEVRIN_DESCRIBE_OPERATION(ServiceRpc, Op, ResultType, MayFail, __VA_ARGS__) \
  }                                                                            \
  using ServiceRpc_##Op##_pargs = ::TevrinAV::wire::CallArgs<ops::Op>;         \
  using ServiceRpc_##Op##_presult = ::TevrinAV::wire::CallResult<ops::Op>;

inline constexpr bool kMayFail = true;
inline constexpr bool kNeverFails = false;

// ---- Operations, in the interface's order ----------------------------------
// Each line is OPERATION(name, result, failure, arguments: ARG(id, name, type)...).
// The argument names are the interface's own (ServiceRpc.thrift); tools that
// take arguments by name read them from here.
//
// What one line becomes: for
//
//   OPERATION(GetSkipList, std::vector<SkipItem>, kMayFail, /* none */)
//
// ServiceRpcIf (ServiceRpc.h) gets
//
//   virtual void GetSkipList(std::vector<SkipItem>& _return) = 0;
//
// and ServiceRpcClient, through its layer for the operation, gets
//
//   void GetSkipList(std::vector<SkipItem>& _return) override;  // send_, then recv_
//   void send_GetSkipList();                 // wire::SendCall<ops::GetSkipList>
//   void recv_GetSkipList(std::vector<SkipItem>& _return);  // wire::ReceiveReply
//
// with the records ServiceRpc_GetSkipList_pargs and _presult, and CoreCall
// knows the operation by name, with its arguments and result.
#define TEVRIN_SERVICE_OPERATIONS(OPERATION, ARG) \
  OPERATION(QueryInformation,            WideString,                kMayFail,    ARG(1, id, int32_t)) \
  OPERATION(SetOption,                   void,                      kMayFail,    ARG(1, id, int32_t), ARG(2, value, WideString)) \
  OPERATION(GetOption,                   WideString,                kMayFail,    ARG(1, id, int32_t)) \
  OPERATION(ValidateOption,              bool,                      kMayFail,    ARG(1, id, int32_t), ARG(2, value, WideString)) \
  OPERATION(ResetOption,                 void,                      kMayFail,    ARG(1, id, int32_t)) \
  OPERATION(StartTask,                   void,                      kMayFail,    ARG(1, task, int64_t)) \
  OPERATION(StopTask,                    void,                      kMayFail,    ARG(1, task, int64_t)) \
  OPERATION(PauseTask,                   void,                      kMayFail,    ARG(1, task, int64_t)) \
  OPERATION(ResumeTask,                  void,                      kMayFail,    ARG(1, task, int64_t)) \
  OPERATION(GetTaskInfo,                 TaskInfo,                  kMayFail,    ARG(1, task, int64_t)) \
  OPERATION(GetRunningTasks,             std::vector<int64_t>,      kMayFail,    /* none */) \
  OPERATION(GetTaskThreatsCount,         int64_t,                   kMayFail,    ARG(1, task, int64_t)) \
  OPERATION(CreateQuickScanner,          int64_t,                   kMayFail,    /* none */) \
  OPERATION(CreateFullScanner,           int64_t,                   kMayFail,    /* none */) \
  OPERATION(CreateCustomScanner,         int64_t,                   kMayFail,    ARG(1, pathList, std::vector<WideString>)) \
  OPERATION(CreateActionPerformer,       int64_t,                   kMayFail,    ARG(1, targets, TargetMap), ARG(2, parentTask, int64_t)) \
  OPERATION(CreateQuarantinePerformer,   int64_t,                   kMayFail,    ARG(1, targets, TargetMap)) \
  OPERATION(GetCollectionDelta,          CollectionDelta,           kMayFail,    ARG(1, collectionId, int64_t), ARG(2, snapshotId, int64_t)) \
  OPERATION(GetQuarantineEntry,          QuarantineEntry,           kMayFail,    ARG(1, id, int64_t)) \
  OPERATION(GetDomainEntry,              DomainEntry,               kMayFail,    ARG(1, id, int64_t)) \
  OPERATION(GetThreatEntry,              ThreatEntry,               kMayFail,    ARG(1, collectionId, int64_t), ARG(2, id, int64_t)) \
  OPERATION(BlockDomain,                 void,                      kMayFail,    ARG(1, domain, WideString), ARG(2, block, bool)) \
  OPERATION(SetDefaultAction,            void,                      kMayFail,    ARG(1, type, int32_t), ARG(2, action, int32_t)) \
  OPERATION(GetDefaultAction,            ActionCode,                kMayFail,    ARG(1, type, int32_t)) \
  OPERATION(GetThreatNotification,       ThreatNotification,        kMayFail,    /* none */) \
  OPERATION(ReplyThreatNotification,     void,                      kMayFail,    ARG(1, id, int64_t), ARG(2, action, int32_t)) \
  OPERATION(GetMailNotification,         MailNotification,          kMayFail,    /* none */) \
  OPERATION(GetIncompatibleApplications, std::vector<WideString>,   kMayFail,    /* none */) \
  OPERATION(EnableFeature,               void,                      kMayFail,    ARG(1, id, int32_t), ARG(2, enable, bool)) \
  OPERATION(GetFeatureStatus,            FeatureStatus,             kMayFail,    ARG(1, id, int32_t)) \
  OPERATION(GetHistoryStatistics,        HistoryStatistics,         kMayFail,    /* none */) \
  OPERATION(UpdateCore,                  bool,                      kMayFail,    ARG(1, diffPath, WideString), ARG(2, oldVersion, WideString), ARG(3, newVersion, WideString)) \
  OPERATION(ReloadCore,                  bool,                      kMayFail,    /* none */) \
  OPERATION(GetQuarantineProgress,       int32_t,                   kMayFail,    /* none */) \
  OPERATION(GetSkipList,                 std::vector<SkipItem>,     kMayFail,    /* none */) \
  OPERATION(AddSkipItem,                 int64_t,                   kMayFail,    ARG(1, filename_path, WideString), ARG(2, isrecursive, bool), ARG(3, isfolder, bool)) \
  OPERATION(RemoveSkipItem,              void,                      kMayFail,    ARG(1, id, int64_t)) \
  OPERATION(SetSkipItemsNames,           void,                      kMayFail,    ARG(1, names, std::vector<WideString>)) \
  OPERATION(IncrementStatItem,           void,                      kNeverFails, ARG(1, id, int32_t)) \
  OPERATION(GetStatValue,                int32_t,                   kNeverFails, ARG(1, id, int32_t)) \
  OPERATION(SetStatValue,                void,                      kNeverFails, ARG(1, id, int32_t), ARG(2, value, int32_t)) \
  OPERATION(FilemonAddSkipThread,        void,                      kMayFail,    ARG(1, threadId, int32_t)) \
  OPERATION(FilemonRemoveSkipThread,     void,                      kMayFail,    ARG(1, threadId, int32_t)) \
  OPERATION(GetDeviceListChanged,        DeviceListChange,          kMayFail,    /* none */) \
  OPERATION(SetAutorunDeviceStatus,      int64_t,                   kNeverFails, ARG(1, deviceId, int32_t), ARG(2, devRule, int32_t))

TEVRIN_SERVICE_OPERATIONS(TEVRIN_OPERATION, TEVRIN_ARG)

// Every operation as a type list, in the interface's order, for code that
// treats them all alike.
#define TEVRIN_LISTED_OPERATION(Op, ...) ops::Op,
using AllOperations = wire::OperationListOf<TEVRIN_SERVICE_OPERATIONS(TEVRIN_LISTED_OPERATION, TEVRIN_ARG) wire::EndOfList>;
#undef TEVRIN_LISTED_OPERATION
#undef TEVRIN_OPERATION

}  // namespace TevrinAV
