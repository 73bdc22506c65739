// Sample calls of every operation of ServiceRpc, at least one each, in the
// interface's order: the arguments as CoreCall takes them (JSON by name), the
// call as the stand-in service notes it, and the answer the service is given
// with the result as CoreCall prints it. The CoreCall tests make every one of
// them end to end; the client's tests call each operation with its first
// sample's arguments (OperationTable.h).
#pragma once

#include <string>

namespace testing_support {

struct OperationSample {
  std::string operation;
  std::string arguments;  // as typed on the command line
  std::string call;       // as the service noted it
  std::string answer;     // the service's answers member that holds the result, or empty
  std::string result;     // that member's value, which CoreCall must print back exactly
};

// A JSON list of `count` i64, from the least to the greatest.
inline std::string Numbers(int count) {
  std::string list = "[-9223372036854775808";
  for (int i = 1; i < count - 1; ++i) list += "," + std::to_string(i * 1000003LL);
  return list + ",9223372036854775807]";
}
// `count` names beyond ASCII, as a JSON list (`open` "[") or as a noted call
// writes a list.
inline std::string Names(int count, const char* open, const char* separator) {
  std::string list = open;
  for (int i = 0; i < count; ++i)
    list += (i ? separator : "") + std::string("\"n\xC3\xA4me ") + std::to_string(i) + "\"";
  return list + (open[0] == '[' ? "]" : "");
}

inline const OperationSample kOperationSamples[] = {
    {"QueryInformation", R"({"id":-2147483648})", "QueryInformation(-2147483648)", "text",
     "\"Gr\xC3\xBC\xC3\x9F"
     "e \xE2\x82\xAC \xF0\x9F\x98\x80 \xD0\x96\""},
    {"QueryInformation", R"({"id":1})", "QueryInformation(1)", "text", R"("esc \u001b[31m, C1 \u0085, DEL \u007f")"},
    {"SetOption", "{\"id\":2147483647,\"value\":\"\xC3\xBCn\xC3\xAF \xF0\x9F\x98\x80\"}",
     "SetOption(2147483647, \"\xC3\xBCn\xC3\xAF \xF0\x9F\x98\x80\")", "", ""},
    {"GetOption", R"({"id":0})", "GetOption(0)", "text", R"("")"},
    {"ValidateOption", R"({"id":3,"value":""})", "ValidateOption(3, \"\")", "flag", "false"},
    {"ResetOption", R"({"id":-1})", "ResetOption(-1)", "", ""},
    {"StartTask", R"({"task":9223372036854775807})", "StartTask(9223372036854775807)", "", ""},
    {"StopTask", R"({"task":-9223372036854775808})", "StopTask(-9223372036854775808)", "", ""},
    {"PauseTask", "{}", "PauseTask(0)", "", ""},
    {"ResumeTask", R"({"task":1})", "ResumeTask(1)", "", ""},
    {"GetTaskInfo", R"({"task":5})", "GetTaskInfo(5)", "taskInfo",
     "{\"code1\":3,\"text3\":\"Z\xC3\xBCrich\",\"numbers8\":{\"number2\":-9223372036854775808,"
     "\"number5\":9223372036854775807},\"code9\":-1}"},
    {"GetRunningTasks", "{}", "GetRunningTasks()", "runningTasks", Numbers(2000)},
    {"GetRunningTasks", "{}", "GetRunningTasks()", "runningTasks", "[]"},
    {"GetTaskThreatsCount", R"({"task":2})", "GetTaskThreatsCount(2)", "number64", "9223372036854775807"},
    {"CreateQuickScanner", "{}", "CreateQuickScanner()", "number64", "-9223372036854775808"},
    {"CreateFullScanner", "{}", "CreateFullScanner()", "number64", "0"},
    {"CreateCustomScanner", "{\"pathList\":[\"C:\\\\Temp\",\"D:\\\\\xC3\x9Cn\xC3\xAF\\\\\xF0\x9F\x98\x80\",\"\"]}",
     "CreateCustomScanner([\"C:\\Temp\", \"D:\\\xC3\x9Cn\xC3\xAF\\\xF0\x9F\x98\x80\", \"\"])", "number64", "42"},
    {"CreateActionPerformer",
     R"({"targets":{"9223372036854775807":2147483647,"0":0,"-9223372036854775808":-2147483648},"parentTask":-1})",
     "CreateActionPerformer({-9223372036854775808: -2147483648, 0: 0, 9223372036854775807: 2147483647}, -1)",
     "number64", "7"},
    {"CreateQuarantinePerformer", R"({"targets":{}})", "CreateQuarantinePerformer({})", "number64", "8"},
    {"GetCollectionDelta", R"({"collectionId":1,"snapshotId":2})", "GetCollectionDelta(1, 2)", "collectionDelta",
     R"({"number1":3,"changes":{"-5":true,"7":false,"9223372036854775807":true}})"},
    {"GetQuarantineEntry", R"({"id":3})", "GetQuarantineEntry(3)", "quarantineEntry",
     "{\"id\":-1,\"text2\":\"a\",\"text3\":\"\xCE\xA9\",\"text4\":\"\",\"code5\":0,\"flag6\":true,"
     "\"number7\":-2147483648,\"code8\":2147483647}"},
    {"GetDomainEntry", R"({"id":4})", "GetDomainEntry(4)", "domainEntry",
     "{\"domain\":\"b\xC3\xBC"
     "cher.example\"}"},
    {"GetThreatEntry", R"({"collectionId":-1,"id":9223372036854775807})", "GetThreatEntry(-1, 9223372036854775807)",
     "threatEntry", "{\"id\":1,\"text2\":\"Trojan.\xCE\xA9\",\"flag9\":false}"},
    {"BlockDomain", R"({"domain":"ex.ample","block":true})", "BlockDomain(\"ex.ample\", true)", "", ""},
    {"SetDefaultAction", R"({"type":3,"action":-1})", "SetDefaultAction(3, -1)", "", ""},
    {"GetDefaultAction", R"({"type":3})", "GetDefaultAction(3)", "number32", "-2147483648"},
    {"GetThreatNotification", "{}", "GetThreatNotification()", "threatNotification",
     "{\"id\":9,\"threat\":{\"id\":9,\"text3\":\"C:\\\\Users\\\\\xC3\x9Cn\xC3\xAF\\\\a.exe\",\"code4\":2}}"},
    {"ReplyThreatNotification", R"({"id":-9223372036854775808,"action":2147483647})",
     "ReplyThreatNotification(-9223372036854775808, 2147483647)", "", ""},
    {"GetMailNotification", "{}", "GetMailNotification()", "mailNotification",
     "{\"flag1\":true,\"flag2\":false,\"text3\":\"Betreff: Gr\xC3\xBC\xC3\x9F"
     "e\",\"text7\":\"\xE6\x97\xA5\xE6\x9C\xAC\"}"},
    {"GetIncompatibleApplications", "{}", "GetIncompatibleApplications()", "incompatibleApplications", "[]"},
    {"GetIncompatibleApplications", "{}", "GetIncompatibleApplications()", "incompatibleApplications",
     Names(500, "[", ",")},
    {"EnableFeature", R"({"id":7,"enable":false})", "EnableFeature(7, false)", "", ""},
    {"GetFeatureStatus", R"({"id":7})", "GetFeatureStatus(7)", "number32", "2147483647"},
    {"GetHistoryStatistics", "{}", "GetHistoryStatistics()", "historyStatistics",
     R"({"count1":1,"count2":0,"count3":-1})"},
    {"UpdateCore",
     "{\"diffPath\":\"C:\\\\\xC3\x9C\\\\d.bin\",\"oldVersion\":\"1.0\",\"newVersion\":\"2 \xF0\x9F\x98\x80\"}",
     "UpdateCore(\"C:\\\xC3\x9C\\d.bin\", \"1.0\", \"2 \xF0\x9F\x98\x80\")", "flag", "true"},
    {"ReloadCore", "{}", "ReloadCore()", "flag", "false"},
    {"GetQuarantineProgress", "{}", "GetQuarantineProgress()", "number32", "100"},
    {"GetSkipList", "{}", "GetSkipList()", "skipList",
     "[{\"number1\":1,\"text2\":\"C:\\\\a\",\"flag4\":true},{},{\"text3\":\"\xD0\x96\",\"flag5\":false}]"},
    {"AddSkipItem", "{\"filename_path\":\"C:\\\\\xC3\x9C\",\"isrecursive\":true,\"isfolder\":false}",
     "AddSkipItem(\"C:\\\xC3\x9C\", true, false)", "number64", "-2"},
    {"RemoveSkipItem", R"({"id":0})", "RemoveSkipItem(0)", "", ""},
    {"SetSkipItemsNames", "{\"names\":" + Names(300, "[", ",") + "}",
     "SetSkipItemsNames(" + Names(300, "[", ", ") + ")", "", ""},
    {"SetSkipItemsNames", R"({"names":[]})", "SetSkipItemsNames([])", "", ""},
    {"IncrementStatItem", R"({"id":-2147483648})", "IncrementStatItem(-2147483648)", "", ""},
    {"GetStatValue", R"({"id":1})", "GetStatValue(1)", "number32", "-1"},
    {"SetStatValue", R"({"id":3,"value":-2})", "SetStatValue(3, -2)", "", ""},
    {"FilemonAddSkipThread", R"({"threadId":4660})", "FilemonAddSkipThread(4660)", "", ""},
    {"FilemonRemoveSkipThread", R"({"threadId":4660})", "FilemonRemoveSkipThread(4660)", "", ""},
    {"GetDeviceListChanged", "{}", "GetDeviceListChanged()", "deviceListChange",
     "{\"number1\":1,\"text2\":\"USB \xE2\x9C\x93\",\"number7\":7,\"text8\":\"\"}"},
    {"SetAutorunDeviceStatus", R"({"deviceId":1,"devRule":2})", "SetAutorunDeviceStatus(1, 2)", "number64",
     "9223372036854775807"},
};

// The first sample of `operation`; null when it has none.
inline const OperationSample* FirstSampleOf(const std::string& operation) {
  for (const OperationSample& sample : kOperationSamples)
    if (sample.operation == operation) return &sample;
  return nullptr;
}

}  // namespace testing_support
