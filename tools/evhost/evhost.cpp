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

#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <dlfcn.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <utime.h>
#endif

#include "evrules.h"

using nlohmann::json;
// Output lines keep their fields in a readable order.
using Line = nlohmann::ordered_json;

namespace {

// ---- Text -------------------------------------------------------------------

std::u16string FromUtf8(const std::string& text) {
  std::u16string out;
  for (std::size_t i = 0; i < text.size();) {
    auto lead = static_cast<unsigned char>(text[i]);
    char32_t code = lead;
    std::size_t extra = lead < 0x80 ? 0 : lead < 0xE0 ? 1 : lead < 0xF0 ? 2 : 3;
    if (extra > 0) code = lead & (0x3F >> extra);
    for (std::size_t k = 1; k <= extra && i + k < text.size(); ++k)
      code = (code << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3Fu);
    i += extra + 1;
    if (code >= 0x10000) {
      out += static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
    } else {
      out += static_cast<char16_t>(code);
    }
  }
  return out;
}

// Unpaired surrogates become U+FFFD, as the JSON output must be valid UTF-8.
std::string ToUtf8(std::u16string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t code = text[i];
    if (code >= 0xD800 && code <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      code = 0x10000 + ((code - 0xD800) << 10) + (char32_t(text[++i]) - 0xDC00);
    } else if (code >= 0xD800 && code <= 0xDFFF) {
      code = 0xFFFD;
    }
    if (code < 0x80) {
      out += static_cast<char>(code);
    } else if (code < 0x800) {
      out += static_cast<char>(0xC0 | (code >> 6));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
      out += static_cast<char>(0xE0 | (code >> 12));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (code >> 18));
      out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    }
  }
  return out;
}

std::u16string_view Wide(const EvWideChar* text) {
  return text == nullptr ? std::u16string_view() : std::u16string_view(reinterpret_cast<const char16_t*>(text));
}

// Verdicts and debugger lines are ANSI; as Windows-1252 they map to Latin-1
// for the bytes a verdict can hold.
std::string AnsiToUtf8(const std::string& ansi) {
  std::u16string wide;
  for (unsigned char byte : ansi) wide += static_cast<char16_t>(byte);
  return ToUtf8(wide);
}

// A member that may be missing, without building temporaries to iterate.
const json& Field(const json& section, const char* name, const json& fallback) {
  auto found = section.find(name);
  return found != section.end() ? *found : fallback;
}
const json kNoArray = json::array();
const json kNoObject = json::object();

std::string UpperAscii(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  return text;
}

// ---- The module ---------------------------------------------------------------

using InitLibraryFn = int32_t(EVRULES_CALL*)(const HostCallbacks*);
using RegEventFn = int32_t(EVRULES_CALL*)(const EvWideChar*, const EvWideChar*, const EvWideChar*, int32_t);
using RegEventExFn = int32_t(EVRULES_CALL*)(const EvWideChar*, const EvWideChar*, const EvWideChar*, int32_t,
                                            uint32_t, uint32_t, uint32_t, uint32_t, uint32_t);
using ProcessEventFn = int32_t(EVRULES_CALL*)(const EvWideChar*, const EvWideChar*, const EvWideChar*, int32_t,
                                              uint32_t, uint32_t);
using ProcessEventExFn = int32_t(EVRULES_CALL*)(const EvWideChar*, const EvWideChar*, const EvWideChar*, int32_t,
                                                uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t,
                                                uint32_t);
using NetConnectEventFn = int32_t(EVRULES_CALL*)(uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t,
                                                 uint32_t, uint32_t);
using NetProtocolDataFn = int32_t(EVRULES_CALL*)(uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t,
                                                 uint32_t);

// The Linux emulation's set-up (PlatformEmulation.h); absent from the Windows DLL.
using EmuResetFn = void (*)();
using EmuMapDriveFn = int32_t (*)(const char16_t*, const char*, uint32_t);
using EmuSetFolderFn = void (*)(int32_t, const char16_t*);
using EmuSetTodayFn = void (*)(int32_t, int32_t, int32_t);
using EmuDebugSinkFn = void (*)(const char*, void*);
using EmuSetDebugSinkFn = void (*)(EmuDebugSinkFn, void*);

struct Module {
  InitLibraryFn InitLibrary = nullptr;
  RegEventFn RegEvent = nullptr;
  RegEventExFn RegEventEx = nullptr;
  ProcessEventFn ProcessEvent = nullptr;
  ProcessEventExFn ProcessEventEx = nullptr;
  NetConnectEventFn NetConnectEvent = nullptr;
  NetProtocolDataFn NetProtocolData = nullptr;
  EmuResetFn EmuReset = nullptr;
  EmuMapDriveFn EmuMapDrive = nullptr;
  EmuSetFolderFn EmuSetFolder = nullptr;
  EmuSetTodayFn EmuSetToday = nullptr;
  EmuSetDebugSinkFn EmuSetDebugSink = nullptr;
  bool emulated() const { return EmuReset != nullptr; }
};

template <typename Fn>
bool Resolve(void* library, const char* name, Fn& out) {
#if defined(_WIN32)
  out = reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(library), name)));
#else
  out = reinterpret_cast<Fn>(::dlsym(library, name));
#endif
  return out != nullptr;
}

std::optional<Module> LoadModule(const std::string& path) {
#if defined(_WIN32)
  void* library = ::LoadLibraryW(std::filesystem::u8path(path).wstring().c_str());
  if (library == nullptr) {
    std::cerr << "evhost: cannot load " << path << " (error " << ::GetLastError() << ")\n";
    return std::nullopt;
  }
#else
  void* library = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    std::cerr << "evhost: cannot load " << path << ": " << ::dlerror() << "\n";
    return std::nullopt;
  }
#endif
  Module module;
  bool complete = Resolve(library, "InitLibrary", module.InitLibrary) && Resolve(library, "RegEvent", module.RegEvent) &&
                  Resolve(library, "RegEventEx", module.RegEventEx) &&
                  Resolve(library, "ProcessEvent", module.ProcessEvent) &&
                  Resolve(library, "ProcessEventEx", module.ProcessEventEx) &&
                  Resolve(library, "NetConnectEvent", module.NetConnectEvent) &&
                  Resolve(library, "NetProtocolData", module.NetProtocolData);
  if (!complete) {
    std::cerr << "evhost: " << path << " lacks one of the seven exports\n";
    return std::nullopt;
  }
  bool emulated = Resolve(library, "EvEmu_Reset", module.EmuReset) &&
                  Resolve(library, "EvEmu_MapDrive", module.EmuMapDrive) &&
                  Resolve(library, "EvEmu_SetFolder", module.EmuSetFolder) &&
                  Resolve(library, "EvEmu_SetToday", module.EmuSetToday) &&
                  Resolve(library, "EvEmu_SetDebugSink", module.EmuSetDebugSink);
  if (!emulated) module.EmuReset = nullptr;
  return module;
}

// ---- The host's callbacks -------------------------------------------------------

// What the host answers and what it saw during one event. The host is single
// threaded; the callbacks reach this through one global.
struct HostState {
  std::map<std::string, int32_t> whiteListAnswers;  // upper-cased UTF-8 path -> answer
  int32_t whiteListDefault = 0;
  std::map<std::string, int32_t> queryFileAnswers;
  int32_t queryFileDefault = 0;
  Line reports = Line::array();
  Line whiteListAsked = Line::array();
  Line queryFileAsked = Line::array();
  Line debugOutput = Line::array();
};
HostState theHost;

int32_t EVRULES_CALL OnReportDetection(const DetectionReport* report) {
  theHost.reports.push_back({{"path", ToUtf8(Wide(report->Path))},
                             {"verdict", AnsiToUtf8(report->Verdict != nullptr ? report->Verdict : "")},
                             {"kind", report->Kind}});
  return 0;
}

int32_t Answer(const std::map<std::string, int32_t>& answers, int32_t fallback, const std::string& path) {
  auto found = answers.find(UpperAscii(path));
  return found == answers.end() ? fallback : found->second;
}

int32_t EVRULES_CALL OnQueryFile(const EvWideChar* path, EvWideChar*, int32_t) {
  std::string text = ToUtf8(Wide(path));
  theHost.queryFileAsked.push_back(text);
  return Answer(theHost.queryFileAnswers, theHost.queryFileDefault, text);
}

int32_t EVRULES_CALL OnCheckWhiteList(const EvWideChar* path) {
  std::string text = ToUtf8(Wide(path));
  theHost.whiteListAsked.push_back(text);
  return Answer(theHost.whiteListAnswers, theHost.whiteListDefault, text);
}

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
  HostCallbacks callbacks{};
  callbacks.Size = record == "full"         ? EVRULES_SIZE_WITH_ALL
                   : record == "reportOnly" ? EVRULES_SIZE_WITH_REPORT
                   : record == "tooSmall"   ? EVRULES_SIZE_WITH_REPORT - 1
                                            : 0;
  if (host.value("reportDetection", true)) callbacks.ReportDetection = OnReportDetection;
  if (host.contains("queryFile") && !host["queryFile"].is_null()) {
    callbacks.QueryFile = OnQueryFile;
    ReadAnswers(host["queryFile"], theHost.queryFileAnswers, theHost.queryFileDefault);
  }
  if (host.contains("whiteList") && !host["whiteList"].is_null()) {
    callbacks.CheckWhiteList = OnCheckWhiteList;
    ReadAnswers(host["whiteList"], theHost.whiteListAnswers, theHost.whiteListDefault);
  }
  return callbacks;
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

class Machine {
 public:
  Machine(const Module& module, const json& section) : module_(module), section_(section) {}
  ~Machine() { TearDown(); }

  bool SetUp() {
    Date today = LocalToday();
    if (section_.contains("today")) {
      std::string text = section_["today"];
      if (std::sscanf(text.c_str(), "%d-%d-%d", &today.year, &today.month, &today.day) != 3) return Fail("bad today");
    }
    if (module_.emulated()) {
      module_.EmuReset();
      module_.EmuSetDebugSink(OnDebugOutput, nullptr);
      if (section_.contains("today")) module_.EmuSetToday(today.year, today.month, today.day);
      if (!MapDrives()) return false;
      SetFolders();
    }
    SetEnvironment();
    for (const json& file : Field(section_, "files", kNoArray))
      if (!CreateEntry(file, today)) return false;
    return true;
  }

 private:
  bool Fail(const std::string& why) {
    std::cerr << "evhost: machine set-up failed: " << why << "\n";
    return false;
  }

#if !defined(_WIN32)
  bool MapDrives() {
    char pattern[] = "/tmp/evhost-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) return Fail("no temporary folder");
    root_ = pattern;
    static const json kOnlyDriveC = json::array({{{"root", "C:"}, {"type", 3}}});
    int index = 0;
    for (const json& drive : Field(section_, "drives", kOnlyDriveC)) {
      std::string folder = root_ + "/drive" + std::to_string(index++);
      std::filesystem::create_directories(folder);
      std::u16string root = FromUtf8(drive.at("root").get<std::string>());
      if (module_.EmuMapDrive(root.c_str(), folder.c_str(), drive.value("type", 3u)) == 0)
        return Fail("bad drive root " + drive.at("root").get<std::string>());
      driveFolders_.emplace_back(UpperAscii(drive.at("root").get<std::string>()), folder);
    }
    return true;
  }

  void SetFolders() {
    const std::pair<const char*, int32_t> kFolders[] = {{"system", 1}, {"windows", 2}, {"profiles", 3}};
    const json& folders = Field(section_, "folders", kNoObject);
    for (const auto& [name, which] : kFolders) {
      if (!folders.contains(name)) continue;
      if (folders[name].is_null()) {
        module_.EmuSetFolder(which, nullptr);
      } else {
        std::u16string path = FromUtf8(folders[name].get<std::string>());
        module_.EmuSetFolder(which, path.c_str());
      }
    }
  }

  void SetEnvironment() {
    for (const auto& [name, value] : Field(section_, "environment", kNoObject).items()) {
      const char* old = std::getenv(name.c_str());
      savedEnvironment_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
      if (value.is_null()) ::unsetenv(name.c_str());
      else ::setenv(name.c_str(), value.get<std::string>().c_str(), 1);
    }
  }

  std::optional<std::string> HostPath(const std::string& windowsPath) {
    std::string upper = UpperAscii(windowsPath);
    for (const auto& [root, folder] : driveFolders_) {
      if (upper.compare(0, root.size(), root) != 0) continue;
      std::string rest = windowsPath.substr(root.size());
      for (char& c : rest)
        if (c == '\\') c = '/';
      return folder + rest;
    }
    return std::nullopt;
  }

  bool CreateEntry(const json& file, Date today) {
    std::string path = file.at("path");
    std::optional<std::string> host = HostPath(path);
    if (!host) return Fail("no drive for " + path);
    std::filesystem::path hostPath = std::filesystem::u8path(*host);
    if (file.value("directory", false)) {
      std::filesystem::create_directories(hostPath);
      return true;
    }
    std::filesystem::create_directories(hostPath.parent_path());
    std::ofstream(hostPath) << "evhost";
    std::time_t when = NoonDaysBefore(today, file.value("ageDays", 0));
    struct utimbuf times {when, when};
    return ::utime(host->c_str(), &times) == 0 || Fail("cannot date " + path);
  }

  void TearDown() {
    if (module_.emulated()) module_.EmuReset();
    for (const auto& [name, value] : savedEnvironment_) {
      if (value) ::setenv(name.c_str(), value->c_str(), 1);
      else ::unsetenv(name.c_str());
    }
    if (!root_.empty()) {
      std::error_code ignored;
      std::filesystem::remove_all(root_, ignored);
    }
  }
#else
  // The real machine: drives and folder answers are whatever Windows (or
  // Wine's prefix) has; files are created where the scenario says.
  bool MapDrives() { return true; }
  void SetFolders() {}

  void SetEnvironment() {
    for (const auto& [name, value] : Field(section_, "environment", kNoObject).items()) {
      std::wstring wideName = std::filesystem::u8path(name).wstring();
      wchar_t old[4096];
      DWORD length = ::GetEnvironmentVariableW(wideName.c_str(), old, 4096);
      savedEnvironment_.emplace_back(wideName, length > 0 && length < 4096 ? std::optional<std::wstring>(old)
                                                                           : std::nullopt);
      if (value.is_null()) ::SetEnvironmentVariableW(wideName.c_str(), nullptr);
      else ::SetEnvironmentVariableW(wideName.c_str(), std::filesystem::u8path(value.get<std::string>()).wstring().c_str());
    }
  }

  bool CreateEntry(const json& file, Date today) {
    std::filesystem::path path = std::filesystem::u8path(file.at("path").get<std::string>());
    std::error_code error;
    if (file.value("directory", false)) {
      std::filesystem::create_directories(path, error);
      created_.push_back(path);
      return true;
    }
    std::filesystem::create_directories(path.parent_path(), error);
    HANDLE handle = ::CreateFileW(path.wstring().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return Fail("cannot create " + file.at("path").get<std::string>());
    // Unix time to FILETIME (100 ns since 1601).
    ULONGLONG ticks = (static_cast<ULONGLONG>(NoonDaysBefore(today, file.value("ageDays", 0))) + 11644473600ULL) *
                      10000000ULL;
    FILETIME written{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    ::SetFileTime(handle, nullptr, nullptr, &written);
    ::CloseHandle(handle);
    created_.push_back(path);
    return true;
  }

  void TearDown() {
    for (const auto& [name, value] : savedEnvironment_)
      ::SetEnvironmentVariableW(name.c_str(), value ? value->c_str() : nullptr);
    std::error_code ignored;
    for (auto it = created_.rbegin(); it != created_.rend(); ++it) std::filesystem::remove(*it, ignored);
  }

  std::vector<std::filesystem::path> created_;
  std::vector<std::pair<std::wstring, std::optional<std::wstring>>> savedEnvironment_;
#endif

  const Module& module_;
  const json& section_;
#if !defined(_WIN32)
  std::string root_;
  std::vector<std::pair<std::string, std::string>> driveFolders_;
  std::vector<std::pair<std::string, std::optional<std::string>>> savedEnvironment_;
#endif
};

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
  Machine machine(module, machineSection);
  if (!machine.SetUp()) return false;

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
  std::optional<Module> module = LoadModule(modulePath);
  if (!module) return 2;

  Totals totals;
  bool allPassed = true;
  for (const std::string& scenario : scenarios) allPassed = RunScenario(*module, scenario, quiet, totals) && allPassed;
  std::cout << (totals.events - totals.failed) << " passed, " << totals.failed << " failed\n";
  return allPassed ? 0 : 1;
}
