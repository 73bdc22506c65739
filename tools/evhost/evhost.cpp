// evhost: a protection host for testing. It loads the rule module as the real
// host does (dlopen / LoadLibrary, exports resolved by name), sets up the
// machine a scenario file describes, registers its callbacks, feeds the
// scenario's events and prints one JSON line per event. With expectations in
// the scenario it checks them and exits 1 on any mismatch.
//
//   evhost --module PATH [--quiet] SCENARIO.json...
//
// On Linux the machine is the module's emulation (EvEmu_* exports); on
// Windows it is the real one: files are created for real, and parts that
// only the emulation can change (folder answers, fixed date, debugger
// output) are marked "requires": ["emulation"] in a scenario.
#include <nlohmann/json.hpp>

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "HostRecord.h"
#include "HostText.h"
#include "Machine.h"
#include "Module.h"
#include "evrules.h"

using nlohmann::json;
// Output lines keep their fields in a readable order.
using Line = nlohmann::ordered_json;

using rulehost::AnsiToUtf8;
using rulehost::FromUtf8;
using rulehost::Module;
using rulehost::ToUtf8;
using rulehost::UpperAscii;

namespace {

// A member that may be missing, without building temporaries to iterate.
const json& Field(const json& section, const char* name, const json& fallback) {
  auto found = section.find(name);
  return found != section.end() ? *found : fallback;
}
const json kNoArray = json::array();
const json kNoObject = json::object();

// ---- The host's callbacks -------------------------------------------------------

// What the host answers and what it saw during one event.
class ScenarioHost : public rulehost::Host {
 public:
  std::map<std::string, int32_t> whiteListAnswers;  // upper-cased UTF-8 path -> answer
  int32_t whiteListDefault = 0;
  std::map<std::string, int32_t> queryFileAnswers;
  int32_t queryFileDefault = 0;
  Line reports = Line::array();
  Line whiteListAsked = Line::array();
  Line queryFileAsked = Line::array();
  Line debugOutput = Line::array();

  void OnReport(std::u16string_view path, std::string_view verdict, int32_t kind) override {
    reports.push_back({{"path", ToUtf8(path)}, {"verdict", AnsiToUtf8(verdict)}, {"kind", kind}});
  }
  int32_t OnQueryFile(std::u16string_view path) override {
    std::string text = ToUtf8(path);
    queryFileAsked.push_back(text);
    return Answer(queryFileAnswers, queryFileDefault, text);
  }
  int32_t OnCheckWhiteList(std::u16string_view path) override {
    std::string text = ToUtf8(path);
    whiteListAsked.push_back(text);
    return Answer(whiteListAnswers, whiteListDefault, text);
  }

 private:
  static int32_t Answer(const std::map<std::string, int32_t>& answers, int32_t fallback, const std::string& path) {
    auto found = answers.find(UpperAscii(path));
    return found == answers.end() ? fallback : found->second;
  }
};
ScenarioHost theHost;

void OnDebugOutput(const char* text, void*) { theHost.debugOutput.push_back(AnsiToUtf8(text)); }

void ReadAnswers(const json& section, std::map<std::string, int32_t>& answers, int32_t& fallback) {
  answers.clear();
  fallback = section.value("default", 0);
  if (section.contains("answers"))
    for (const auto& [path, answer] : section["answers"].items()) answers[UpperAscii(path)] = answer.get<int32_t>();
}

// The HostCallbacks record a scenario's "host" describes, or null for
// "record": "null".
std::optional<HostCallbacks> BuildRecord(const json& host) {
  std::string record = host.value("record", "full");
  if (record == "null") return std::nullopt;
  rulehost::RecordShape shape;
  shape.size = record == "full"         ? rulehost::RecordSize::Full
               : record == "reportOnly" ? rulehost::RecordSize::ReportOnly
               : record == "tooSmall"   ? rulehost::RecordSize::TooSmall
                                        : rulehost::RecordSize::Empty;
  shape.reportDetection = host.value("reportDetection", true);
  shape.queryFile = host.contains("queryFile") && !host["queryFile"].is_null();
  shape.checkWhiteList = host.contains("whiteList") && !host["whiteList"].is_null();
  if (shape.queryFile) ReadAnswers(host["queryFile"], theHost.queryFileAnswers, theHost.queryFileDefault);
  if (shape.checkWhiteList) ReadAnswers(host["whiteList"], theHost.whiteListAnswers, theHost.whiteListDefault);
  return rulehost::MakeRecord(theHost, shape);
}

// ---- The machine ----------------------------------------------------------------

struct Date {
  int year, month, day;
};

Date LocalToday() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
#if defined(_WIN32)
  ::localtime_s(&local, &now);
#else
  ::localtime_r(&now, &local);
#endif
  return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

// Noon, local time, `ageDays` before `today`.
std::time_t NoonDaysBefore(Date today, int ageDays) {
  std::tm noon{};
  noon.tm_year = today.year - 1900;
  noon.tm_mon = today.month - 1;
  noon.tm_mday = today.day - ageDays;
  noon.tm_hour = 12;
  noon.tm_isdst = -1;
  return std::mktime(&noon);
}

// Sets up the machine a scenario's "machine" section describes. On Windows
// drives, folder answers and the date are the real ones.
bool SetUpMachine(const Module& module, rulehost::Machine& machine, const json& section) {
  auto fail = [](const std::string& why) {
    std::cerr << "evhost: machine set-up failed: " << why << "\n";
    return false;
  };
  Date today = LocalToday();
  if (section.contains("today")) {
    std::string text = section["today"];
    if (std::sscanf(text.c_str(), "%d-%d-%d", &today.year, &today.month, &today.day) != 3) return fail("bad today");
  }
  if (!machine.Open("", "evhost")) return fail(machine.error());
  if (module.emulated()) {
    machine.SetDebugSink(OnDebugOutput, nullptr);
    if (section.contains("today")) machine.SetToday(today.year, today.month, today.day);
    static const json kOnlyDriveC = json::array({{{"root", "C:"}, {"type", 3}}});
    for (const json& drive : Field(section, "drives", kOnlyDriveC))
      if (!machine.MapDrive(drive.at("root").get<std::string>(), drive.value("type", 3u))) return fail(machine.error());
    const std::pair<const char*, rulehost::FolderAnswer> kFolders[] = {{"system", rulehost::FolderAnswer::System},
                                                                       {"windows", rulehost::FolderAnswer::Windows},
                                                                       {"profiles", rulehost::FolderAnswer::Profiles}};
    const json& folders = Field(section, "folders", kNoObject);
    for (const auto& [name, which] : kFolders) {
      if (!folders.contains(name)) continue;
      machine.SetFolder(which, folders[name].is_null() ? std::nullopt
                                                       : std::optional<std::string>(folders[name].get<std::string>()));
    }
  }
  for (const auto& [name, value] : Field(section, "environment", kNoObject).items())
    machine.SetEnvironment(name, value.is_null() ? std::nullopt : std::optional<std::string>(value.get<std::string>()));
  for (const json& file : Field(section, "files", kNoArray)) {
    const std::string path = file.at("path");
    bool made = file.value("directory", false)
                    ? machine.MakeDirectory(path)
                    : machine.WriteFile(path, {NoonDaysBefore(today, file.value("ageDays", 0)), 0});
    if (!made) return fail(machine.error());
  }
  return true;
}

// ---- Events -----------------------------------------------------------------------

// A string argument: missing is "", null is a null pointer.
struct WideArgument {
  std::optional<std::u16string> text;
  WideArgument(const json& event, const char* name) {
    if (!event.contains(name)) text = std::u16string();
    else if (!event[name].is_null()) text = FromUtf8(event[name].get<std::string>());
  }
  const EvWideChar* get() const { return text ? reinterpret_cast<const EvWideChar*>(text->c_str()) : nullptr; }
};

int32_t CallExport(const Module& module, const json& event) {
  const std::string call = event.value("call", "RegEvent");
  if (call == "InitLibrary") {
    std::optional<HostCallbacks> record = BuildRecord(Field(event, "host", kNoObject));
    return module.InitLibrary(record ? &*record : nullptr);
  }
  if (call == "NetConnectEvent") return module.NetConnectEvent(1, 2, 3, 4, 5, 6, 7, 8);
  if (call == "NetProtocolData") return module.NetProtocolData(1, 2, 3, 4, 5, 6, 7);
  if (call == "RegEvent" || call == "RegEventEx") {
    WideArgument process(event, "process"), key(event, "key"), value(event, "value");
    int32_t operation = event.value("operation", 0);
    if (call == "RegEvent") return module.RegEvent(process.get(), key.get(), value.get(), operation);
    return module.RegEventEx(process.get(), key.get(), value.get(), operation, 1, 2, 3, 4, 5);
  }
  if (call == "ProcessEvent" || call == "ProcessEventEx") {
    WideArgument process(event, "process"), target(event, "target"), commandLine(event, "commandLine");
    int32_t flags = event.value("flags", 0);
    if (call == "ProcessEvent") return module.ProcessEvent(process.get(), target.get(), commandLine.get(), flags, 0, 0);
    return module.ProcessEventEx(process.get(), target.get(), commandLine.get(), flags, 1, 2, 3, 4, 5, 6, 7);
  }
  throw std::runtime_error("unknown call \"" + call + "\"");
}

// Compares what an event produced with what its "expect" says; returns the
// differences.
json Mismatches(const json& expect, const Line& line, bool emulated) {
  json differences = json::array();
  auto check = [&](const char* field) {
    if (expect.contains(field) && expect[field] != json::parse(line[field].dump()))
      differences.push_back(std::string(field) + ": expected " + expect[field].dump());
  };
  check("result");
  check("reports");
  check("whiteListAsked");
  check("queryFileAsked");
  // Debugger output is only captured by the emulation.
  if (emulated) check("debugOutput");
  return differences;
}

struct Totals {
  int events = 0;
  int failed = 0;
};

bool RunScenario(const Module& module, const std::string& file, bool quiet, Totals& totals) {
  json scenario;
  try {
    std::ifstream in(file);
    if (!in) throw std::runtime_error("cannot open");
    scenario = json::parse(in);
  } catch (const std::exception& error) {
    std::cerr << "evhost: " << file << ": " << error.what() << "\n";
    return false;
  }
  const std::string name = std::filesystem::path(file).stem().string();
  for (const json& requirement : Field(scenario, "requires", kNoArray)) {
    if (requirement == "emulation" && !module.emulated()) {
      std::cout << json{{"scenario", name}, {"skipped", "needs the Linux emulation"}}.dump() << "\n";
      return true;
    }
  }

  const json& machineSection = Field(scenario, "machine", kNoObject);
  rulehost::Machine machine(module);
  if (!SetUpMachine(module, machine, machineSection)) return false;

  json events = scenario.value("events", json::array());
  const json& host = Field(scenario, "host", kNoObject);
  // Every scenario starts with the host's InitLibrary call.
  json init = {{"name", "init"}, {"call", "InitLibrary"}, {"host", host}};
  if (host.contains("expectInit")) init["expect"] = {{"result", host["expectInit"]}};
  events.insert(events.begin(), init);

  bool allPassed = true;
  for (const json& event : events) {
    theHost.reports = Line::array();
    theHost.whiteListAsked = Line::array();
    theHost.queryFileAsked = Line::array();
    theHost.debugOutput = Line::array();
    Line line = {{"scenario", name}, {"event", event.value("name", "")}, {"call", event.value("call", "RegEvent")}};
    try {
      line["result"] = CallExport(module, event);
    } catch (const std::exception& error) {
      std::cerr << "evhost: " << file << ": " << error.what() << "\n";
      return false;
    }
    line["reports"] = theHost.reports;
    line["whiteListAsked"] = theHost.whiteListAsked;
    line["queryFileAsked"] = theHost.queryFileAsked;
    if (module.emulated()) line["debugOutput"] = theHost.debugOutput;
    json differences = Mismatches(Field(event, "expect", kNoObject), line, module.emulated());
    line["ok"] = differences.empty();
    if (!differences.empty()) line["mismatches"] = Line::parse(differences.dump());
    ++totals.events;
    if (!differences.empty()) {
      ++totals.failed;
      allPassed = false;
    }
    if (!quiet || !differences.empty()) std::cout << line.dump() << "\n";
  }
  return allPassed;
}

}  // namespace

int main(int argc, char** argv) {
  std::string modulePath;
  bool quiet = false;
  std::vector<std::string> scenarios;
  bool usable = true;
  for (int i = 1; i < argc; ++i) {
    std::string argument = argv[i];
    if (argument == "--module" && i + 1 < argc) modulePath = argv[++i];
    else if (argument == "--quiet") quiet = true;
    else if (argument.rfind("--", 0) == 0) usable = false;
    else scenarios.push_back(argument);
  }
  if (!usable || modulePath.empty() || scenarios.empty()) {
    std::cerr << "usage: evhost --module PATH [--quiet] SCENARIO.json...\n";
    return 2;
  }
  std::string error;
  std::optional<Module> module = rulehost::LoadModule(modulePath, error);
  if (!module) {
    std::cerr << "evhost: " << error << "\n";
    return 2;
  }

  Totals totals;
  bool allPassed = true;
  for (const std::string& scenario : scenarios) allPassed = RunScenario(*module, scenario, quiet, totals) && allPassed;
  std::cout << (totals.events - totals.failed) << " passed, " << totals.failed << " failed\n";
  return allPassed ? 0 : 1;
}
