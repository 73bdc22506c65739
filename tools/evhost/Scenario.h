// A scenario file of evhost, read and checked whole before anything runs: a
// file that is not JSON, too deep, holds a key twice, a member evhost does
// not know, or a value of the wrong kind or range fails with one message
// naming the file, the place and the problem.
#ifndef EVHOST_SCENARIO_H
#define EVHOST_SCENARIO_H

#include <nlohmann/json.hpp>

#include <cstdint>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "Machine.h"

namespace evhost {

// "FILE:LINE:COLUMN: PROBLEM" or "FILE: at /json/pointer: PROBLEM".
class ScenarioError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// What a callback answers: per path (upper-cased UTF-8), else the default.
struct Answers {
  std::map<std::string, int32_t> byPath;
  int32_t fallback = 0;
};

struct HostSpec {
  std::string record = "full";  // full, reportOnly, tooSmall, empty or null
  bool reportDetection = true;
  std::optional<Answers> queryFile;
  std::optional<Answers> whiteList;
  std::optional<int32_t> expectInit;
};

struct Date {
  int year = 0, month = 0, day = 0;
};

struct MachineSpec {
  std::optional<Date> today;
  std::vector<std::pair<std::string, uint32_t>> drives{{"C:", 3}};
  std::vector<std::pair<rulehost::FolderAnswer, std::optional<std::string>>> folders;
  std::vector<std::pair<std::string, std::optional<std::string>>> environment;
  struct File {
    std::string path;
    int ageDays = 0;
    bool directory = false;
  };
  std::vector<File> files;
};

// A string argument of an export: missing is "", null a null pointer.
using Argument = std::optional<std::string>;

struct EventSpec {
  std::string name;
  std::string call = "RegEvent";
  Argument process = std::string(), key = std::string(), value = std::string();
  Argument target = std::string(), commandLine = std::string();
  int32_t operation = 0;
  int32_t flags = 0;
  HostSpec host;                                  // InitLibrary's
  nlohmann::json expect = nlohmann::json::object();  // result, reports, ...Asked, debugOutput
};

struct Scenario {
  bool needsEmulation = false;
  MachineSpec machine;
  HostSpec host;
  std::vector<EventSpec> events;
};

// Reads and checks `file`; throws ScenarioError.
Scenario ReadScenario(const std::string& file);

// The same for a text already read, named `file` in messages.
Scenario ParseScenario(const std::string& text, const std::string& file);

}  // namespace evhost

#endif
