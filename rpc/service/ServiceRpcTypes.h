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

// Records keep one was-set flag per field, in field order. Reading a record
// neither clears it nor resets its flags: fields a reply lacks keep their
// values. Writing puts out the fields whose flags are set.

// Counters of a task, nested in TaskInfo.
struct TaskNumbers {
  int64_t number1 = 0;
  int64_t number2 = 0;
  int64_t number3 = 0;
  int64_t number4 = 0;
  int64_t number5 = 0;

  struct Isset {
    bool number1 = false;
    bool number2 = false;
    bool number3 = false;
    bool number4 = false;
    bool number5 = false;
  } isset;

  uint32_t read(apache::thrift::protocol::TProtocol* iprot);
  uint32_t write(apache::thrift::protocol::TProtocol* oprot) const;
};

// What the service reports about one task.
struct TaskInfo {
  ServiceCode code1{};
  ServiceCode code2{};
  WideString text3;
  int32_t number4 = 0;
  int64_t number5 = 0;
  int64_t number6 = 0;
  int64_t number7 = 0;
  TaskNumbers numbers8;
  ServiceCode code9{};

  struct Isset {
    bool code1 = false;
    bool code2 = false;
    bool text3 = false;
    bool number4 = false;
    bool number5 = false;
    bool number6 = false;
    bool number7 = false;
    bool numbers8 = false;
    bool code9 = false;
  } isset;

  uint32_t read(apache::thrift::protocol::TProtocol* iprot);
  uint32_t write(apache::thrift::protocol::TProtocol* oprot) const;
};

// The changes of a collection since a snapshot.
struct CollectionDelta {
  int64_t number1 = 0;
  std::map<int64_t, bool> changes;

  struct Isset {
    bool number1 = false;
    bool changes = false;
  } isset;

  uint32_t read(apache::thrift::protocol::TProtocol* iprot);
  uint32_t write(apache::thrift::protocol::TProtocol* oprot) const;
};

// One entry of the quarantine.
struct QuarantineEntry {
  int64_t id = 0;
  WideString text2;
  WideString text3;
  WideString text4;
  ServiceCode code5{};
  bool flag6 = false;
  int32_t number7 = 0;
  ServiceCode code8{};

  struct Isset {
    bool id = false;
    bool text2 = false;
    bool text3 = false;
    bool text4 = false;
    bool code5 = false;
    bool flag6 = false;
    bool number7 = false;
    bool code8 = false;
  } isset;

  uint32_t read(apache::thrift::protocol::TProtocol* iprot);
  uint32_t write(apache::thrift::protocol::TProtocol* oprot) const;
};

// One domain of the domain block list.
struct DomainEntry {
  int64_t id = 0;
  WideString domain;
  bool blocked = false;

  struct Isset {
    bool id = false;
    bool domain = false;
    bool blocked = false;
  } isset;

  uint32_t read(apache::thrift::protocol::TProtocol* iprot);
  uint32_t write(apache::thrift::protocol::TProtocol* oprot) const;
};

// One threat of a collection; also the subject of a threat notification.
struct ThreatEntry {
  int64_t id = 0;
  WideString text2;
  WideString text3;
  ServiceCode code4{};
  bool flag5 = false;
  bool flag6 = false;
  int32_t number7 = 0;
  ServiceCode code8{};
  bool flag9 = false;

  struct Isset {
    bool id = false;
    bool text2 = false;
    bool text3 = false;
    bool code4 = false;
    bool flag5 = false;
    bool flag6 = false;
    bool number7 = false;
    bool code8 = false;
    bool flag9 = false;
  } isset;

  uint32_t read(apache::thrift::protocol::TProtocol* iprot);
  uint32_t write(apache::thrift::protocol::TProtocol* oprot) const;
};

// A threat the service asks the user about.
struct ThreatNotification {
  int64_t id = 0;
  ThreatEntry threat;

  struct Isset {
    bool id = false;
    bool threat = false;
  } isset;

  uint32_t read(apache::thrift::protocol::TProtocol* iprot);
  uint32_t write(apache::thrift::protocol::TProtocol* oprot) const;
};

// A notification about mail.
struct MailNotification {
  bool flag1 = false;
  bool flag2 = false;
  WideString text3;
  WideString text4;
  WideString text5;
  WideString text6;
  WideString text7;

  struct Isset {
    bool flag1 = false;
    bool flag2 = false;
    bool text3 = false;
    bool text4 = false;
    bool text5 = false;
    bool text6 = false;
    bool text7 = false;
  } isset;

  uint32_t read(apache::thrift::protocol::TProtocol* iprot);
  uint32_t write(apache::thrift::protocol::TProtocol* oprot) const;
};

// Three counts of the service's history.
struct HistoryStatistics {
  int32_t count1 = 0;
  int32_t count2 = 0;
  int32_t count3 = 0;

  struct Isset {
    bool count1 = false;
    bool count2 = false;
    bool count3 = false;
  } isset;

  uint32_t read(apache::thrift::protocol::TProtocol* iprot);
  uint32_t write(apache::thrift::protocol::TProtocol* oprot) const;
};

// One entry of the skip list.
struct SkipItem {
  SkipItem() = default;
  SkipItem(const SkipItem&) = default;
  SkipItem(SkipItem&&) noexcept = default;
  SkipItem& operator=(const SkipItem&) = default;
  SkipItem& operator=(SkipItem&&) noexcept = default;
  virtual ~SkipItem() = default;

  int32_t number1 = 0;
  WideString text2;
  WideString text3;
  bool flag4 = false;
  bool flag5 = false;

  struct Isset {
    bool number1 = false;
    bool text2 = false;
    bool text3 = false;
    bool flag4 = false;
    bool flag5 = false;
  } isset;

  uint32_t read(apache::thrift::protocol::TProtocol* iprot);
  uint32_t write(apache::thrift::protocol::TProtocol* oprot) const;
};

// A change in the list of devices. There is no field 6.
struct DeviceListChange {
  int32_t number1 = 0;
  WideString text2;
  WideString text3;
  int32_t number4 = 0;
  int32_t number5 = 0;
  int32_t number7 = 0;
  WideString text8;

  struct Isset {
    bool number1 = false;
    bool text2 = false;
    bool text3 = false;
    bool number4 = false;
    bool number5 = false;
    bool number7 = false;
    bool text8 = false;
  } isset;

  uint32_t read(apache::thrift::protocol::TProtocol* iprot);
  uint32_t write(apache::thrift::protocol::TProtocol* oprot) const;
};

namespace wire {
template <>
struct RecordTraits<TaskNumbers> {
  static constexpr const char* name = "TaskNumbers";
  static constexpr auto fields = std::make_tuple(
      TEVRIN_FIELD(TaskNumbers, 1, number1),
      TEVRIN_FIELD(TaskNumbers, 2, number2),
      TEVRIN_FIELD(TaskNumbers, 3, number3),
      TEVRIN_FIELD(TaskNumbers, 4, number4),
      TEVRIN_FIELD(TaskNumbers, 5, number5));
};
template <>
struct RecordTraits<TaskInfo> {
  static constexpr const char* name = "TaskInfo";
  static constexpr auto fields = std::make_tuple(
      TEVRIN_FIELD(TaskInfo, 1, code1),
      TEVRIN_FIELD(TaskInfo, 2, code2),
      TEVRIN_FIELD(TaskInfo, 3, text3),
      TEVRIN_FIELD(TaskInfo, 4, number4),
      TEVRIN_FIELD(TaskInfo, 5, number5),
      TEVRIN_FIELD(TaskInfo, 6, number6),
      TEVRIN_FIELD(TaskInfo, 7, number7),
      TEVRIN_FIELD(TaskInfo, 8, numbers8),
      TEVRIN_FIELD(TaskInfo, 9, code9));
};
template <>
struct RecordTraits<CollectionDelta> {
  static constexpr const char* name = "CollectionDelta";
  static constexpr auto fields = std::make_tuple(
      TEVRIN_FIELD(CollectionDelta, 1, number1),
      TEVRIN_FIELD(CollectionDelta, 2, changes));
};
template <>
struct RecordTraits<QuarantineEntry> {
  static constexpr const char* name = "QuarantineEntry";
  static constexpr auto fields = std::make_tuple(
      TEVRIN_FIELD(QuarantineEntry, 1, id),
      TEVRIN_FIELD(QuarantineEntry, 2, text2),
      TEVRIN_FIELD(QuarantineEntry, 3, text3),
      TEVRIN_FIELD(QuarantineEntry, 4, text4),
      TEVRIN_FIELD(QuarantineEntry, 5, code5),
      TEVRIN_FIELD(QuarantineEntry, 6, flag6),
      TEVRIN_FIELD(QuarantineEntry, 7, number7),
      TEVRIN_FIELD(QuarantineEntry, 8, code8));
};
template <>
struct RecordTraits<DomainEntry> {
  static constexpr const char* name = "DomainEntry";
  static constexpr auto fields = std::make_tuple(
      TEVRIN_FIELD(DomainEntry, 1, id),
      TEVRIN_FIELD(DomainEntry, 2, domain),
      TEVRIN_FIELD(DomainEntry, 3, blocked));
};
template <>
struct RecordTraits<ThreatEntry> {
  static constexpr const char* name = "ThreatEntry";
  static constexpr auto fields = std::make_tuple(
      TEVRIN_FIELD(ThreatEntry, 1, id),
      TEVRIN_FIELD(ThreatEntry, 2, text2),
      TEVRIN_FIELD(ThreatEntry, 3, text3),
      TEVRIN_FIELD(ThreatEntry, 4, code4),
      TEVRIN_FIELD(ThreatEntry, 5, flag5),
      TEVRIN_FIELD(ThreatEntry, 6, flag6),
      TEVRIN_FIELD(ThreatEntry, 7, number7),
      TEVRIN_FIELD(ThreatEntry, 8, code8),
      TEVRIN_FIELD(ThreatEntry, 9, flag9));
};
template <>
struct RecordTraits<ThreatNotification> {
  static constexpr const char* name = "ThreatNotification";
  static constexpr auto fields = std::make_tuple(
      TEVRIN_FIELD(ThreatNotification, 1, id),
      TEVRIN_FIELD(ThreatNotification, 2, threat));
};
template <>
struct RecordTraits<MailNotification> {
  static constexpr const char* name = "MailNotification";
  static constexpr auto fields = std::make_tuple(
      TEVRIN_FIELD(MailNotification, 1, flag1),
      TEVRIN_FIELD(MailNotification, 2, flag2),
      TEVRIN_FIELD(MailNotification, 3, text3),
      TEVRIN_FIELD(MailNotification, 4, text4),
      TEVRIN_FIELD(MailNotification, 5, text5),
      TEVRIN_FIELD(MailNotification, 6, text6),
      TEVRIN_FIELD(MailNotification, 7, text7));
};
template <>
struct RecordTraits<HistoryStatistics> {
  static constexpr const char* name = "HistoryStatistics";
  static constexpr auto fields = std::make_tuple(
      TEVRIN_FIELD(HistoryStatistics, 1, count1),
      TEVRIN_FIELD(HistoryStatistics, 2, count2),
      TEVRIN_FIELD(HistoryStatistics, 3, count3));
};
template <>
struct RecordTraits<SkipItem> {
  static constexpr const char* name = "SkipItem";
  static constexpr auto fields = std::make_tuple(
      TEVRIN_FIELD(SkipItem, 1, number1),
      TEVRIN_FIELD(SkipItem, 2, text2),
      TEVRIN_FIELD(SkipItem, 3, text3),
      TEVRIN_FIELD(SkipItem, 4, flag4),
      TEVRIN_FIELD(SkipItem, 5, flag5));
};
template <>
struct RecordTraits<DeviceListChange> {
  static constexpr const char* name = "DeviceListChange";
  static constexpr auto fields = std::make_tuple(
      TEVRIN_FIELD(DeviceListChange, 1, number1),
      TEVRIN_FIELD(DeviceListChange, 2, text2),
      TEVRIN_FIELD(DeviceListChange, 3, text3),
      TEVRIN_FIELD(DeviceListChange, 4, number4),
      TEVRIN_FIELD(DeviceListChange, 5, number5),
      TEVRIN_FIELD(DeviceListChange, 7, number7),
      TEVRIN_FIELD(DeviceListChange, 8, text8));
};
}  // namespace wire

// Declares operation Op and its records ServiceRpc_<Op>_pargs and
// ServiceRpc_<Op>_presult. The trailing arguments are the argument fields,
// wire::Arg<id, type, name>, in id order.
#define TEVRIN_OPERATION(Op, ResultType, MayFail, ...)                  \
  namespace ops {                                                       \
  struct Op {                                                           \
    static constexpr char name[] = #Op;                                 \
    static constexpr char argsName[] = "ServiceRpc_" #Op "_pargs";      \
    using Args = ::TevrinAV::wire::ArgList<__VA_ARGS__>;                \
    using Result = ResultType;                                          \
    static constexpr bool mayFail = MayFail;                            \
  };                                                                    \
  }                                                                     \
  using ServiceRpc_##Op##_pargs = ::TevrinAV::wire::CallArgs<ops::Op>;  \
  using ServiceRpc_##Op##_presult = ::TevrinAV::wire::CallResult<ops::Op>;

inline constexpr bool kMayFail = true;
inline constexpr bool kNeverFails = false;

// ---- Operations, in the interface's order ----------------------------------
// Each line is OPERATION(name, result, failure, arguments: ARG(id, name, type)...).
// The argument names are the interface's own (ServiceRpc.thrift); tools that
// take arguments by name read them from here.
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
