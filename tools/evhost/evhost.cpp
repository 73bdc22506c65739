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

#include <algorithm>
#include <csignal>

#include "CommandLine.h"
#include "HostRecord.h"
#include "HostText.h"
#include "Machine.h"
#include "Module.h"
#include "Scenario.h"
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

using evhost::EventSpec;
using evhost::HostSpec;
using evhost::Scenario;

// Exit statuses, as every tool of the project has them: every event as
// expected; a mismatch; a command line or scenario evhost cannot use; a
// module it cannot load.
constexpr int kAllPassed = cli::kOk;
constexpr int kMismatch = cli::kNegative;
constexpr int kCannotRun = cli::kUsage;
constexpr int kNoModule = cli::kUnavailable;

const cli::Parser& CommandLine() {
  static const cli::Parser parser(
      "evhost",
      {{"module", "PATH", "the rule module (evrules.dll, libevrules.so)"},
       {"quiet", "", "print only the events that differ from their expectation"}},
      "evhost --module PATH [--quiet] SCENARIO.json...",
      "Loads the rule module as the protection host does and replays each scenario's events through its exports, "
      "comparing every result, report and callback with the scenario's expectations: one JSON line per event.",
      "Exit status: 0 every event as expected; 1 a mismatch; 2 bad usage or a scenario that cannot be read or set "
      "up; 4 the module cannot be loaded; 128+N stopped by signal N.\n");
  return parser;
}

volatile std::sig_atomic_t stopSignal = 0;
void RequestStop(int signal) { stopSignal = signal; }

// ---- The host's callbacks -------------------------------------------------------

// What the host answers and what it saw during one event.
class ScenarioHost : public rulehost::Host {
 public:
  evhost::Answers whiteList;
  evhost::Answers queryFile;
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
    return Answer(queryFile, text);
  }
  int32_t OnCheckWhiteList(std::u16string_view path) override {
    std::string text = ToUtf8(path);
    whiteListAsked.push_back(text);
    return Answer(whiteList, text);
  }

 private:
  static int32_t Answer(const evhost::Answers& answers, const std::string& path) {
    auto found = answers.byPath.find(UpperAscii(path));
    return found == answers.byPath.end() ? answers.fallback : found->second;
  }
};
ScenarioHost theHost;

void OnDebugOutput(const char* text, void*) { theHost.debugOutput.push_back(AnsiToUtf8(text)); }

// The HostCallbacks record a scenario's host describes, or none for "null".
std::optional<HostCallbacks> BuildRecord(const HostSpec& host) {
  if (host.record == "null") return std::nullopt;
  rulehost::RecordShape shape;
  shape.size = host.record == "full"         ? rulehost::RecordSize::Full
               : host.record == "reportOnly" ? rulehost::RecordSize::ReportOnly
               : host.record == "tooSmall"   ? rulehost::RecordSize::TooSmall
                                             : rulehost::RecordSize::Empty;
  shape.reportDetection = host.reportDetection;
  shape.queryFile = host.queryFile.has_value();
  shape.checkWhiteList = host.whiteList.has_value();
  if (host.queryFile) theHost.queryFile = *host.queryFile;
  if (host.whiteList) theHost.whiteList = *host.whiteList;
  return rulehost::MakeRecord(theHost, shape);
}

// ---- The machine ----------------------------------------------------------------

evhost::Date LocalToday() {
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
std::time_t NoonDaysBefore(evhost::Date today, int ageDays) {
  std::tm noon{};
  noon.tm_year = today.year - 1900;
  noon.tm_mon = today.month - 1;
  noon.tm_mday = today.day - ageDays;
  noon.tm_hour = 12;
  noon.tm_isdst = -1;
  return std::mktime(&noon);
}

// Sets up the machine a scenario describes. On Windows drives, folder
// answers and the date are the real ones.
bool SetUpMachine(const Module& module, rulehost::Machine& machine, const evhost::MachineSpec& spec,
                  const std::string& file) {
  auto fail = [&](const std::string& why) {
    std::cerr << "evhost: " << file << ": machine set-up failed: " << why << "\n";
    return false;
  };
  const evhost::Date today = spec.today.value_or(LocalToday());
  if (!machine.Open("", "evhost")) return fail(machine.error());
  if (module.emulated()) {
    machine.SetDebugSink(OnDebugOutput, nullptr);
    if (spec.today) machine.SetToday(today.year, today.month, today.day);
    for (const auto& [root, type] : spec.drives)
      if (!machine.MapDrive(root, type)) return fail(machine.error());
    for (const auto& [which, path] : spec.folders) machine.SetFolder(which, path);
  }
  for (const auto& [name, value] : spec.environment) machine.SetEnvironment(name, value);
  for (const auto& made : spec.files) {
    bool ok = made.directory ? machine.MakeDirectory(made.path)
                             : machine.WriteFile(made.path, {NoonDaysBefore(today, made.ageDays), 0});
    if (!ok) return fail(machine.error());
  }
  return true;
}

// ---- Events -----------------------------------------------------------------------

// A string argument: missing is "", null is a null pointer.
struct WideArgument {
  std::optional<std::u16string> text;
  explicit WideArgument(const evhost::Argument& argument) {
    if (argument) text = FromUtf8(*argument);
  }
  const EvWideChar* get() const { return text ? reinterpret_cast<const EvWideChar*>(text->c_str()) : nullptr; }
};

int32_t CallExport(const Module& module, const EventSpec& event) {
  const std::string& call = event.call;
  if (call == "InitLibrary") {
    std::optional<HostCallbacks> record = BuildRecord(event.host);
    return module.InitLibrary(record ? &*record : nullptr);
  }
  if (call == "NetConnectEvent") return module.NetConnectEvent(1, 2, 3, 4, 5, 6, 7, 8);
  if (call == "NetProtocolData") return module.NetProtocolData(1, 2, 3, 4, 5, 6, 7);
  if (call == "RegEvent" || call == "RegEventEx") {
    WideArgument process(event.process), key(event.key), value(event.value);
    if (call == "RegEvent") return module.RegEvent(process.get(), key.get(), value.get(), event.operation);
    return module.RegEventEx(process.get(), key.get(), value.get(), event.operation, 1, 2, 3, 4, 5);
  }
  WideArgument process(event.process), target(event.target), commandLine(event.commandLine);
  if (call == "ProcessEvent")
    return module.ProcessEvent(process.get(), target.get(), commandLine.get(), event.flags, 0, 0);
  return module.ProcessEventEx(process.get(), target.get(), commandLine.get(), event.flags, 1, 2, 3, 4, 5, 6, 7);
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

enum class Outcome { Passed, Mismatch, CannotRun };

Outcome RunScenario(const Module& module, const std::string& file, bool quiet, Totals& totals) {
  Scenario scenario;
  try {
    scenario = evhost::ReadScenario(file);
  } catch (const evhost::ScenarioError& error) {
    std::cerr << "evhost: " << error.what() << "\n";
    return Outcome::CannotRun;
  }
  const std::string name = std::filesystem::path(file).stem().string();
  if (scenario.needsEmulation && !module.emulated()) {
    std::cout << json{{"scenario", name}, {"skipped", "needs the Linux emulation"}}.dump() << "\n";
    return Outcome::Passed;
  }

  // Removed on every way out of this function.
  rulehost::Machine machine(module);
  if (!SetUpMachine(module, machine, scenario.machine, file)) return Outcome::CannotRun;

  // Every scenario starts with the host's InitLibrary call.
  EventSpec init;
  init.name = "init";
  init.call = "InitLibrary";
  init.host = scenario.host;
  if (scenario.host.expectInit) init.expect = {{"result", *scenario.host.expectInit}};
  scenario.events.insert(scenario.events.begin(), init);

  Outcome outcome = Outcome::Passed;
  for (const EventSpec& event : scenario.events) {
    if (stopSignal != 0) return Outcome::CannotRun;
    theHost.reports = Line::array();
    theHost.whiteListAsked = Line::array();
    theHost.queryFileAsked = Line::array();
    theHost.debugOutput = Line::array();
    Line line = {{"scenario", name}, {"event", event.name}, {"call", event.call}};
    line["result"] = CallExport(module, event);
    line["reports"] = theHost.reports;
    line["whiteListAsked"] = theHost.whiteListAsked;
    line["queryFileAsked"] = theHost.queryFileAsked;
    if (module.emulated()) line["debugOutput"] = theHost.debugOutput;
    json differences = Mismatches(event.expect, line, module.emulated());
    line["ok"] = differences.empty();
    if (!differences.empty()) line["mismatches"] = Line::parse(differences.dump());
    ++totals.events;
    if (!differences.empty()) {
      ++totals.failed;
      outcome = Outcome::Mismatch;
    }
    if (!quiet || !differences.empty()) std::cout << line.dump() << "\n";
  }
  return outcome;
}

}  // namespace

int main(int argc, char** argv) {
  cli::Arguments arguments;
  try {
    if (CommandLine().Parse(argc, argv, arguments, std::cout) != cli::Parser::Outcome::Run) return kAllPassed;
    if (!arguments.has("module") || arguments.value("module").empty()) throw cli::UsageError("--module PATH is missing");
    if (arguments.words().empty()) throw cli::UsageError("no SCENARIO.json given");
  } catch (const cli::UsageError& e) {
    CommandLine().PrintUsageError(std::cerr, e.what());
    return kCannotRun;
  }
  const std::string modulePath = arguments.value("module");
  const bool quiet = arguments.has("quiet");
  const std::vector<std::string>& scenarios = arguments.words();
  std::string error;
  std::optional<Module> module = rulehost::LoadModule(modulePath, error);
  if (!module) {
    std::cerr << "evhost: " << error << "\n";
    return kNoModule;
  }
  // Ctrl-C and termination end the run between events, the machine's
  // folder removed.
  std::signal(SIGINT, RequestStop);
  std::signal(SIGTERM, RequestStop);

  Totals totals;
  int status = kAllPassed;
  for (const std::string& scenario : scenarios) {
    if (stopSignal != 0) break;
    switch (RunScenario(*module, scenario, quiet, totals)) {
      case Outcome::Passed: break;
      case Outcome::Mismatch: status = std::max(status, kMismatch); break;
      case Outcome::CannotRun: status = kCannotRun; break;
    }
  }
  if (stopSignal != 0) {
    std::cerr << "evhost: stopped before the end\n";
    return 128 + stopSignal;
  }
  std::cout << (totals.events - totals.failed) << " passed, " << totals.failed << " failed\n";
  return status;
}
