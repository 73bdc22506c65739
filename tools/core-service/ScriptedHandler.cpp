#include "ScriptedHandler.h"

#include <sstream>

namespace coreservice {

namespace {

void Put(std::ostream& out, bool v) { out << (v ? "true" : "false"); }
void Put(std::ostream& out, int32_t v) { out << v; }
void Put(std::ostream& out, int64_t v) { out << v; }
void Put(std::ostream& out, const std::string& v) { out << '"' << v << '"'; }

template <class T>
void Put(std::ostream& out, const std::vector<T>& v) {
  out << '[';
  for (std::size_t i = 0; i < v.size(); ++i) {
    if (i) out << ", ";
    Put(out, v[i]);
  }
  out << ']';
}

template <class K, class V>
void Put(std::ostream& out, const std::map<K, V>& m) {
  out << '{';
  const char* separator = "";
  for (const auto& [key, value] : m) {
    out << separator;
    Put(out, key);
    out << ": ";
    Put(out, value);
    separator = ", ";
  }
  out << '}';
}

}  // namespace

template <class... Args>
void ScriptedHandler::note(const char* operation, const Args&... args) {
  std::ostringstream line;
  line << operation << '(';
  [[maybe_unused]] const char* separator = "";
  ((line << separator, Put(line, args), separator = ", "), ...);
  line << ')';
  calls.push_back(line.str());
  if (beforeAnswer) beforeAnswer(calls.back());
  if (answers.failure) throw *answers.failure;
}

Answers UniformAnswers(bool flag, int64_t number, const std::string& text) {
  Answers a;
  auto n32 = static_cast<int32_t>(number);
  a.text = text;
  a.flag = flag;
  a.number32 = n32;
  a.number64 = number;

  idl::TaskNumbers numbers;
  numbers.__set_number1(number);
  numbers.__set_number2(number);
  numbers.__set_number3(number);
  numbers.__set_number4(number);
  numbers.__set_number5(number);
  a.taskInfo.__set_code1(n32);
  a.taskInfo.__set_code2(n32);
  a.taskInfo.__set_text3(text);
  a.taskInfo.__set_number4(n32);
  a.taskInfo.__set_number5(number);
  a.taskInfo.__set_number6(number);
  a.taskInfo.__set_number7(number);
  a.taskInfo.__set_numbers8(numbers);
  a.taskInfo.__set_code9(n32);
  a.runningTasks = {number};
  a.collectionDelta.__set_number1(number);
  a.collectionDelta.__set_changes({{number, flag}});
  a.quarantineEntry.__set_id(number);
  a.quarantineEntry.__set_text2(text);
  a.quarantineEntry.__set_text3(text);
  a.quarantineEntry.__set_text4(text);
  a.quarantineEntry.__set_code5(n32);
  a.quarantineEntry.__set_flag6(flag);
  a.quarantineEntry.__set_number7(n32);
  a.quarantineEntry.__set_code8(n32);
  a.domainEntry.__set_id(number);
  a.domainEntry.__set_domain(text);
  a.domainEntry.__set_blocked(flag);
  a.threatEntry.__set_id(number);
  a.threatEntry.__set_text2(text);
  a.threatEntry.__set_text3(text);
  a.threatEntry.__set_code4(n32);
  a.threatEntry.__set_flag5(flag);
  a.threatEntry.__set_flag6(flag);
  a.threatEntry.__set_number7(n32);
  a.threatEntry.__set_code8(n32);
  a.threatEntry.__set_flag9(flag);
  a.threatNotification.__set_id(number);
  a.threatNotification.__set_threat(a.threatEntry);
  a.mailNotification.__set_flag1(flag);
  a.mailNotification.__set_flag2(flag);
  a.mailNotification.__set_text3(text);
  a.mailNotification.__set_text4(text);
  a.mailNotification.__set_text5(text);
  a.mailNotification.__set_text6(text);
  a.mailNotification.__set_text7(text);
  a.incompatibleApplications = {text};
  a.historyStatistics.__set_count1(n32);
  a.historyStatistics.__set_count2(n32);
  a.historyStatistics.__set_count3(n32);
  idl::SkipItem item;
  item.__set_number1(n32);
  item.__set_text2(text);
  item.__set_text3(text);
  item.__set_flag4(flag);
  item.__set_flag5(flag);
  a.skipList = {item};
  a.deviceListChange.__set_number1(n32);
  a.deviceListChange.__set_text2(text);
  a.deviceListChange.__set_text3(text);
  a.deviceListChange.__set_number4(n32);
  a.deviceListChange.__set_number5(n32);
  a.deviceListChange.__set_number7(n32);
  a.deviceListChange.__set_text8(text);
  return a;
}

void ScriptedHandler::QueryInformation(std::string& _return, const int32_t id) {
  note("QueryInformation", id);
  _return = answers.text;
}
void ScriptedHandler::SetOption(const int32_t id, const std::string& value) { note("SetOption", id, value); }
void ScriptedHandler::GetOption(std::string& _return, const int32_t id) {
  note("GetOption", id);
  _return = answers.text;
}
bool ScriptedHandler::ValidateOption(const int32_t id, const std::string& value) {
  note("ValidateOption", id, value);
  return answers.flag;
}
void ScriptedHandler::ResetOption(const int32_t id) { note("ResetOption", id); }
void ScriptedHandler::StartTask(const int64_t task) { note("StartTask", task); }
void ScriptedHandler::StopTask(const int64_t task) { note("StopTask", task); }
void ScriptedHandler::PauseTask(const int64_t task) { note("PauseTask", task); }
void ScriptedHandler::ResumeTask(const int64_t task) { note("ResumeTask", task); }
void ScriptedHandler::GetTaskInfo(idl::TaskInfo& _return, const int64_t task) {
  note("GetTaskInfo", task);
  _return = answers.taskInfo;
}
void ScriptedHandler::GetRunningTasks(std::vector<int64_t>& _return) {
  note("GetRunningTasks");
  _return = answers.runningTasks;
}
int64_t ScriptedHandler::GetTaskThreatsCount(const int64_t task) {
  note("GetTaskThreatsCount", task);
  return answers.number64;
}
int64_t ScriptedHandler::CreateQuickScanner() {
  note("CreateQuickScanner");
  return answers.number64;
}
int64_t ScriptedHandler::CreateFullScanner() {
  note("CreateFullScanner");
  return answers.number64;
}
int64_t ScriptedHandler::CreateCustomScanner(const std::vector<std::string>& pathList) {
  note("CreateCustomScanner", pathList);
  return answers.number64;
}
int64_t ScriptedHandler::CreateActionPerformer(const std::map<int64_t, int32_t>& targets, const int64_t parentTask) {
  note("CreateActionPerformer", targets, parentTask);
  return answers.number64;
}
int64_t ScriptedHandler::CreateQuarantinePerformer(const std::map<int64_t, int32_t>& targets) {
  note("CreateQuarantinePerformer", targets);
  return answers.number64;
}
void ScriptedHandler::GetCollectionDelta(idl::CollectionDelta& _return, const int64_t collectionId,
                                         const int64_t snapshotId) {
  note("GetCollectionDelta", collectionId, snapshotId);
  _return = answers.collectionDelta;
}
void ScriptedHandler::GetQuarantineEntry(idl::QuarantineEntry& _return, const int64_t id) {
  note("GetQuarantineEntry", id);
  _return = answers.quarantineEntry;
}
void ScriptedHandler::GetDomainEntry(idl::DomainEntry& _return, const int64_t id) {
  note("GetDomainEntry", id);
  _return = answers.domainEntry;
}
void ScriptedHandler::GetThreatEntry(idl::ThreatEntry& _return, const int64_t collectionId, const int64_t id) {
  note("GetThreatEntry", collectionId, id);
  _return = answers.threatEntry;
}
void ScriptedHandler::BlockDomain(const std::string& domain, const bool block) { note("BlockDomain", domain, block); }
void ScriptedHandler::SetDefaultAction(const int32_t type, const int32_t action) {
  note("SetDefaultAction", type, action);
}
idl::ActionCode ScriptedHandler::GetDefaultAction(const int32_t type) {
  note("GetDefaultAction", type);
  return answers.number32;
}
void ScriptedHandler::GetThreatNotification(idl::ThreatNotification& _return) {
  note("GetThreatNotification");
  _return = answers.threatNotification;
}
void ScriptedHandler::ReplyThreatNotification(const int64_t id, const int32_t action) {
  note("ReplyThreatNotification", id, action);
}
void ScriptedHandler::GetMailNotification(idl::MailNotification& _return) {
  note("GetMailNotification");
  _return = answers.mailNotification;
}
void ScriptedHandler::GetIncompatibleApplications(std::vector<std::string>& _return) {
  note("GetIncompatibleApplications");
  _return = answers.incompatibleApplications;
}
void ScriptedHandler::EnableFeature(const int32_t id, const bool enable) { note("EnableFeature", id, enable); }
idl::FeatureStatus ScriptedHandler::GetFeatureStatus(const int32_t id) {
  note("GetFeatureStatus", id);
  return answers.number32;
}
void ScriptedHandler::GetHistoryStatistics(idl::HistoryStatistics& _return) {
  note("GetHistoryStatistics");
  _return = answers.historyStatistics;
}
bool ScriptedHandler::UpdateCore(const std::string& diffPath, const std::string& oldVersion,
                                 const std::string& newVersion) {
  note("UpdateCore", diffPath, oldVersion, newVersion);
  return answers.flag;
}
bool ScriptedHandler::ReloadCore() {
  note("ReloadCore");
  return answers.flag;
}
int32_t ScriptedHandler::GetQuarantineProgress() {
  note("GetQuarantineProgress");
  return answers.number32;
}
void ScriptedHandler::GetSkipList(std::vector<idl::SkipItem>& _return) {
  note("GetSkipList");
  _return = answers.skipList;
}
int64_t ScriptedHandler::AddSkipItem(const std::string& filename_path, const bool isrecursive, const bool isfolder) {
  note("AddSkipItem", filename_path, isrecursive, isfolder);
  return answers.number64;
}
void ScriptedHandler::RemoveSkipItem(const int64_t id) { note("RemoveSkipItem", id); }
void ScriptedHandler::SetSkipItemsNames(const std::vector<std::string>& names) { note("SetSkipItemsNames", names); }
void ScriptedHandler::IncrementStatItem(const int32_t id) { note("IncrementStatItem", id); }
int32_t ScriptedHandler::GetStatValue(const int32_t id) {
  note("GetStatValue", id);
  return answers.number32;
}
void ScriptedHandler::SetStatValue(const int32_t id, const int32_t value) { note("SetStatValue", id, value); }
void ScriptedHandler::FilemonAddSkipThread(const int32_t threadId) { note("FilemonAddSkipThread", threadId); }
void ScriptedHandler::FilemonRemoveSkipThread(const int32_t threadId) { note("FilemonRemoveSkipThread", threadId); }
void ScriptedHandler::GetDeviceListChanged(idl::DeviceListChange& _return) {
  note("GetDeviceListChanged");
  _return = answers.deviceListChange;
}
int64_t ScriptedHandler::SetAutorunDeviceStatus(const int32_t deviceId, const int32_t devRule) {
  note("SetAutorunDeviceStatus", deviceId, devRule);
  return answers.number64;
}

}  // namespace coreservice
