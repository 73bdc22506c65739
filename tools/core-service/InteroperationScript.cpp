#include "InteroperationScript.h"

#include <algorithm>
#include <climits>
#include <functional>
#include <map>
#include <sstream>

namespace coreservice {

const char kInteroperationText[] =
    "Gr\xC3\xBC\xC3\x9F"
    "e \xE2\x82\xAC \xF0\x9F\x98\x80 \xD0\x96";

namespace {

using Answer = std::function<void(Answers&)>;

const std::string kText = kInteroperationText;

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// The targets of CreateQuarantinePerformer's large call, and the call's line.
std::map<int64_t, int32_t> ManyTargets() {
  std::map<int64_t, int32_t> targets;
  for (int32_t i = 0; i < 5000; ++i) targets[int64_t{i} * 31 - 1000] = i;
  return targets;
}

std::string ManyTargetsCall() {
  std::ostringstream line;
  line << "CreateQuarantinePerformer({";
  const char* separator = "";
  for (const auto& [key, value] : ManyTargets()) {
    line << separator << key << ": " << value;
    separator = ", ";
  }
  line << "})";
  return line.str();
}

Answer Nothing() {
  return [](Answers&) {};
}
Answer Text(std::string text) {
  return [text](Answers& a) { a.text = text; };
}
Answer Flag(bool flag) {
  return [flag](Answers& a) { a.flag = flag; };
}
Answer Number32(int32_t number) {
  return [number](Answers& a) { a.number32 = number; };
}
Answer Number64(int64_t number) {
  return [number](Answers& a) { a.number64 = number; };
}

// Every call of the tests, keyed by its line; a call made again on the same
// connection is keyed by its line, '#' and its occurrence.
const std::map<std::string, Answer>& Script() {
  static const std::map<std::string, Answer> script = [] {
    std::map<std::string, Answer> s;
    // Options.
    s["QueryInformation(-1)"] = Nothing();
    s["GetOption(2147483647)"] = Text("");
    s["GetOption(0)"] = Text(std::string(100000, 'x') + "\xC3\xA9");
    s["SetOption(-2147483648, " + Quoted(kText) + ")"] = Nothing();
    s["ValidateOption(3, \"\")"] = Flag(false);
    s["ValidateOption(3, \"on\")"] = Flag(true);
    s["ResetOption(17)"] = Nothing();

    // Tasks.
    s["StartTask(-9223372036854775808)"] = Nothing();
    s["StopTask(9223372036854775807)"] = Nothing();
    s["PauseTask(-1)"] = Nothing();
    s["ResumeTask(0)"] = Nothing();
    s["GetTaskInfo(5)"] = [](Answers& a) { a.taskInfo = UniformAnswers(true, -123456789012, kText).taskInfo; };
    s["GetTaskInfo(6)"] = [](Answers& a) {
      a.taskInfo = idl::TaskInfo();
      a.taskInfo.__set_code2(1000);
      a.taskInfo.__set_number7(INT64_MIN);
    };
    s["GetRunningTasks()"] = [](Answers& a) { a.runningTasks.clear(); };
    s["GetRunningTasks()#2"] = [](Answers& a) {
      a.runningTasks.clear();
      for (int64_t i = 0; i < 20000; ++i) a.runningTasks.push_back(i * 7919 - 50000);
      a.runningTasks.push_back(INT64_MIN);
    };
    s["GetTaskThreatsCount(9)"] = Number64(INT64_MAX);

    // Scanners and performers.
    s["CreateQuickScanner()"] = Number64(-5);
    s["CreateFullScanner()"] = Number64(0);
    s["CreateCustomScanner([\"C:\\\", " + Quoted(kText) + ", \"\", \"C:\\\"])"] = Number64(77);
    s["CreateCustomScanner([])"] = Number64(77);
    s["CreateActionPerformer({-2: 7, 5: 1, 9223372036854775807: -2147483648}, -9)"] = Number64(77);
    s[ManyTargetsCall()] = Number64(78);
    s["CreateQuarantinePerformer({})"] = Number64(79);

    // Collections.
    s["GetCollectionDelta(1, -2)"] = [](Answers& a) {
      std::map<int64_t, bool> changes;
      for (int64_t i = 0; i < 3000; ++i) changes[(i * 7) % 3001 - 1500] = i % 3 == 0;
      a.collectionDelta.__set_changes(changes);
    };
    s["GetQuarantineEntry(3)"] = Nothing();
    s["GetDomainEntry(4)"] = [](Answers& a) {
      a.domainEntry = idl::DomainEntry();
      a.domainEntry.__set_domain("xn--80ak6aa92e.example");
    };
    s["GetThreatEntry(5, 6)"] = Nothing();

    // Domains and default actions.
    s["BlockDomain(" + Quoted(kText) + ", true)"] = Nothing();
    s["BlockDomain(\"\", false)"] = Nothing();
    s["SetDefaultAction(3, -1)"] = Nothing();
    s["GetDefaultAction(8)"] = Number32(INT32_MIN);

    // Notifications.
    s["GetThreatNotification()"] = [](Answers& a) {
      a.threatNotification = UniformAnswers(false, 7, kText).threatNotification;
    };
    s["ReplyThreatNotification(-1, 0)"] = Nothing();
    s["GetMailNotification()"] = [](Answers& a) {
      a.mailNotification = idl::MailNotification();
      a.mailNotification.__set_flag2(true);
      a.mailNotification.__set_text5("");
      a.mailNotification.__set_text7(kText);
    };

    // Applications, features, history.
    s["GetIncompatibleApplications()"] = [](Answers& a) {
      a.incompatibleApplications = {kText, "", std::string(5000, 'a')};
    };
    s["GetIncompatibleApplications()#2"] = [](Answers& a) { a.incompatibleApplications.clear(); };
    s["EnableFeature(7, false)"] = Nothing();
    s["GetFeatureStatus(-7)"] = Number32(1234567);
    s["GetHistoryStatistics()"] = [](Answers& a) {
      a.historyStatistics = idl::HistoryStatistics();
      a.historyStatistics.__set_count1(INT32_MAX);
      a.historyStatistics.__set_count3(-1);
    };

    // The core.
    s["UpdateCore(" + Quoted(kText) + ", \"1.0\", \"\")"] = Flag(false);
    s["ReloadCore()"] = Flag(true);
    s["GetQuarantineProgress()"] = Number32(-100);

    // The skip list.
    s["GetSkipList()"] = [](Answers& a) {
      idl::SkipItem partial;
      partial.__set_text3("only text3");
      a.skipList.push_back(partial);
      a.skipList.push_back(idl::SkipItem());
    };
    s["AddSkipItem(" + Quoted("C:\\Temp\\" + kText) + ", true, false)"] = Number64(INT64_MIN);
    s["RemoveSkipItem(-3)"] = Nothing();
    s["SetSkipItemsNames([\"a\", " + Quoted(kText) + ", \"\"])"] = Nothing();
    s["SetSkipItemsNames([])"] = Nothing();

    // Statistics.
    s["IncrementStatItem(2147483647)"] = Nothing();
    s["GetStatValue(4)"] = Number32(-2);
    s["SetStatValue(3, -2)"] = Nothing();

    // File monitor and devices.
    s["FilemonAddSkipThread(4660)"] = Nothing();
    s["FilemonRemoveSkipThread(-1)"] = Nothing();
    s["GetDeviceListChanged()"] = [](Answers& a) {
      a.deviceListChange = idl::DeviceListChange();
      a.deviceListChange.__set_number1(1);
      a.deviceListChange.__set_text8(kText);
      a.deviceListChange.__set_number7(-7);
    };
    s["SetAutorunDeviceStatus(2, -3)"] = Number64(int64_t{1} << 40);
    return s;
  }();
  return script;
}

}  // namespace

std::optional<Answers> InteroperationAnswers(const std::string& call, std::size_t occurrence) {
  const auto& script = Script();
  auto entry = script.find(occurrence == 1 ? call : call + "#" + std::to_string(occurrence));
  if (entry == script.end()) return std::nullopt;
  // Whatever a call does not set is the exchange's usual value.
  Answers answers = UniformAnswers(true, 42, kText);
  entry->second(answers);
  return answers;
}

void FollowInteroperationScript(ScriptedHandler& handler) {
  handler.beforeAnswer = [&handler](const std::string& call) {
    auto occurrence = static_cast<std::size_t>(std::count(handler.calls.begin(), handler.calls.end(), call));
    if (auto answers = InteroperationAnswers(call, occurrence)) {
      handler.answers = *answers;
    } else {
      idl::OperationFailed unexpected;
      unexpected.__set_number1(-1);
      unexpected.__set_text2("unexpected call: " + call);
      handler.answers.failure = unexpected;
    }
  };
}

idl::OperationFailed InteroperationFailure() {
  idl::OperationFailed failure;
  failure.__set_number1(-42);
  failure.__set_text2(kText);
  return failure;
}

}  // namespace coreservice
