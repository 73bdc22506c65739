#include "Scenario.h"

#include <cmath>
#include <fstream>
#include <iterator>
#include <set>

#include "Calendar.h"
#include "HostText.h"
#include "JsonShape.h"

namespace evhost {
namespace {

using nlohmann::json;
using rulehost::ReadDigits;

// Deeper nesting than any scenario needs is refused while it is read.
constexpr std::size_t kMaxDepth = 32;
// A scenario is a few kilobytes; this is far more than any needs.
constexpr std::size_t kMaxFileBytes = std::size_t{64} << 20;

std::string KindOf(const json& value) {
  switch (value.type()) {
    case json::value_t::null: return "null";
    case json::value_t::boolean: return value.get<bool>() ? "true" : "false";
    case json::value_t::string: return "a string";
    case json::value_t::array: return "an array";
    case json::value_t::object: return "an object";
    default: return "the number " + value.dump();
  }
}

// A place in the document, as a JSON pointer ("/machine/files/2/ageDays").
class Place {
 public:
  Place(const std::string& file, std::string pointer = "") : file_(file), pointer_(std::move(pointer)) {}
  Place operator/(const std::string& member) const { return Place(file_, pointer_ + "/" + member); }
  Place operator/(std::size_t index) const { return Place(file_, pointer_ + "/" + std::to_string(index)); }
  [[noreturn]] void fail(const std::string& problem) const {
    throw ScenarioError(file_ + ": at " + (pointer_.empty() ? "/" : pointer_) + ": " + problem);
  }

 private:
  const std::string& file_;
  std::string pointer_;
};

const json& Object(const json& value, const Place& place) {
  if (!value.is_object()) place.fail("expected an object, got " + KindOf(value));
  return value;
}
const json& Array(const json& value, const Place& place) {
  if (!value.is_array()) place.fail("expected an array, got " + KindOf(value));
  return value;
}
std::string Text(const json& value, const Place& place) {
  if (!value.is_string()) place.fail("expected a string, got " + KindOf(value));
  return value.get<std::string>();
}
std::optional<std::string> TextOrNull(const json& value, const Place& place) {
  if (value.is_null()) return std::nullopt;
  if (!value.is_string()) place.fail("expected a string or null, got " + KindOf(value));
  return value.get<std::string>();
}
bool Flag(const json& value, const Place& place) {
  if (!value.is_boolean()) place.fail("expected true or false, got " + KindOf(value));
  return value.get<bool>();
}
// A whole number from `low` to `high`; a fraction or a number out of range
// is refused rather than converted.
int64_t Whole(const json& value, const Place& place, int64_t low, int64_t high) {
  const std::string range = "a whole number from " + std::to_string(low) + " to " + std::to_string(high);
  if (!value.is_number_integer()) place.fail("expected " + range + ", got " + KindOf(value));
  int64_t number = 0;
  if (value.is_number_unsigned()) {
    const uint64_t big = value.get<uint64_t>();
    if (big > static_cast<uint64_t>(high)) place.fail("expected " + range + ", got " + value.dump());
    number = static_cast<int64_t>(big);
  } else {
    number = value.get<int64_t>();
  }
  if (number < low || number > high) place.fail("expected " + range + ", got " + value.dump());
  return number;
}
int32_t Int32(const json& value, const Place& place) {
  return static_cast<int32_t>(Whole(value, place, INT32_MIN, INT32_MAX));
}
// Flags are a bit set: any 32-bit pattern, written signed or unsigned.
int32_t Bits32(const json& value, const Place& place) {
  return static_cast<int32_t>(static_cast<uint32_t>(Whole(value, place, INT32_MIN, UINT32_MAX)));
}

// Calls `take(name, value, place)` for each member of `object`; a member not
// in `known` is an error, so that a misspelt "expect" is not silently unchecked.
template <class Take>
void Members(const json& object, const Place& place, std::initializer_list<const char*> known, Take take) {
  for (const auto& [name, value] : Object(object, place).items()) {
    bool isKnown = false;
    for (const char* k : known) isKnown = isKnown || name == k;
    if (!isKnown) {
      std::string list;
      for (const char* k : known) list += (list.empty() ? "" : ", ") + std::string(k);
      (place / name).fail("unknown member \"" + name + "\"; expected one of " + list);
    }
    take(name, value, place / name);
  }
}

Answers ReadAnswers(const json& value, const Place& place) {
  Answers answers;
  Members(value, place, {"default", "answers"}, [&](const std::string& name, const json& v, const Place& at) {
    if (name == "default") {
      answers.fallback = Int32(v, at);
    } else {
      for (const auto& [path, answer] : Object(v, at).items())
        answers.byPath[rulehost::UpperAscii(path)] = Int32(answer, at / path);
    }
  });
  return answers;
}

HostSpec ReadHost(const json& value, const Place& place) {
  HostSpec host;
  Members(value, place, {"record", "reportDetection", "queryFile", "whiteList", "expectInit"},
          [&](const std::string& name, const json& v, const Place& at) {
            if (name == "record") {
              host.record = Text(v, at);
              if (host.record != "full" && host.record != "reportOnly" && host.record != "tooSmall" &&
                  host.record != "empty" && host.record != "null")
                at.fail("expected full, reportOnly, tooSmall, empty or null, not \"" + host.record + "\"");
            } else if (name == "reportDetection") {
              host.reportDetection = Flag(v, at);
            } else if (name == "queryFile") {
              if (!v.is_null()) host.queryFile = ReadAnswers(v, at);
            } else if (name == "whiteList") {
              if (!v.is_null()) host.whiteList = ReadAnswers(v, at);
            } else {
              host.expectInit = Int32(v, at);
            }
          });
  return host;
}

Date ReadDate(const json& value, const Place& place) {
  const std::string text = Text(value, place);
  Date date;
  static constexpr int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (text.size() != 10 || text[4] != '-' || text[7] != '-' || !ReadDigits(text, 0, 4, date.year) ||
      !ReadDigits(text, 5, 2, date.month) || !ReadDigits(text, 8, 2, date.day) || date.year < 1601 || date.month < 1 ||
      date.month > 12 || date.day < 1 || date.day > kDays[date.month - 1] ||
      (date.month == 2 && date.day == 29 && !(date.year % 4 == 0 && (date.year % 100 != 0 || date.year % 400 == 0))))
    place.fail("expected a date YYYY-MM-DD, not \"" + text + "\"");
  return date;
}

MachineSpec ReadMachine(const json& value, const Place& place) {
  MachineSpec machine;
  Members(value, place, {"today", "drives", "folders", "environment", "files"},
          [&](const std::string& name, const json& v, const Place& at) {
            if (name == "today") {
              machine.today = ReadDate(v, at);
            } else if (name == "drives") {
              machine.drives.clear();
              for (std::size_t i = 0; i < Array(v, at).size(); ++i) {
                std::pair<std::string, uint32_t> drive{"", 3};
                bool rooted = false;
                Members(v[i], at / i, {"root", "type"}, [&](const std::string& n, const json& d, const Place& p) {
                  if (n == "root") {
                    drive.first = Text(d, p);
                    rooted = true;
                  } else {
                    drive.second = static_cast<uint32_t>(Whole(d, p, 0, 6));
                  }
                });
                if (!rooted) (at / i).fail("a drive needs its \"root\"");
                machine.drives.push_back(drive);
              }
            } else if (name == "folders") {
              const std::pair<const char*, rulehost::FolderAnswer> kFolders[] = {
                  {"system", rulehost::FolderAnswer::System},
                  {"windows", rulehost::FolderAnswer::Windows},
                  {"profiles", rulehost::FolderAnswer::Profiles}};
              Members(v, at, {"system", "windows", "profiles"}, [&](const std::string& n, const json& f, const Place& p) {
                for (const auto& [folder, which] : kFolders)
                  if (n == folder) machine.folders.emplace_back(which, TextOrNull(f, p));
              });
            } else if (name == "environment") {
              for (const auto& [variable, text] : Object(v, at).items())
                machine.environment.emplace_back(variable, TextOrNull(text, at / variable));
            } else {
              for (std::size_t i = 0; i < Array(v, at).size(); ++i) {
                MachineSpec::File file;
                bool named = false;
                Members(v[i], at / i, {"path", "ageDays", "directory"},
                        [&](const std::string& n, const json& f, const Place& p) {
                          if (n == "path") {
                            file.path = Text(f, p);
                            named = true;
                          } else if (n == "ageDays") {
                            file.ageDays = static_cast<int>(Whole(f, p, -36500, 36500));
                          } else {
                            file.directory = Flag(f, p);
                          }
                        });
                if (!named) (at / i).fail("a file needs its \"path\"");
                machine.files.push_back(std::move(file));
              }
            }
          });
  return machine;
}

void CheckExpect(const json& value, const Place& place) {
  Members(value, place, {"result", "reports", "whiteListAsked", "queryFileAsked", "debugOutput"},
          [&](const std::string& name, const json& v, const Place& at) {
            if (name == "result") {
              Int32(v, at);
            } else if (name == "reports") {
              for (std::size_t i = 0; i < Array(v, at).size(); ++i)
                Members(v[i], at / i, {"path", "verdict", "kind"}, [&](const std::string& n, const json& r, const Place& p) {
                  if (n == "kind") Int32(r, p);
                  else Text(r, p);
                });
            } else {
              for (std::size_t i = 0; i < Array(v, at).size(); ++i) Text(v[i], at / i);
            }
          });
}

const char* const kCalls[] = {"InitLibrary", "RegEvent",        "RegEventEx",     "ProcessEvent",
                              "ProcessEventEx", "NetConnectEvent", "NetProtocolData"};

EventSpec ReadEvent(const json& value, const Place& place) {
  EventSpec event;
  Members(value, place,
          {"name", "call", "process", "key", "value", "target", "commandLine", "operation", "flags", "host", "expect"},
          [&](const std::string& name, const json& v, const Place& at) {
            if (name == "name") {
              event.name = Text(v, at);
            } else if (name == "call") {
              event.call = Text(v, at);
              bool known = false;
              for (const char* call : kCalls) known = known || event.call == call;
              if (!known)
                at.fail("unknown call \"" + event.call +
                        "\"; expected InitLibrary, RegEvent, RegEventEx, ProcessEvent, ProcessEventEx, "
                        "NetConnectEvent or NetProtocolData");
            } else if (name == "operation") {
              event.operation = Int32(v, at);
            } else if (name == "flags") {
              event.flags = Bits32(v, at);
            } else if (name == "host") {
              event.host = ReadHost(v, at);
            } else if (name == "expect") {
              CheckExpect(v, at);
              event.expect = v;
            } else {
              Argument& argument = name == "process" ? event.process
                                   : name == "key"   ? event.key
                                   : name == "value" ? event.value
                                   : name == "target" ? event.target
                                                      : event.commandLine;
              argument = TextOrNull(v, at);
            }
          });
  return event;
}

// The line and column of byte `offset` (1-based, as editors count).
std::string LineAndColumn(const std::string& text, std::size_t offset) {
  std::size_t line = 1, column = 1;
  for (std::size_t i = 0; i < offset && i < text.size(); ++i) {
    if (text[i] == '\n') {
      ++line;
      column = 1;
    } else if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
      ++column;
    }
  }
  return std::to_string(line) + ":" + std::to_string(column);
}

// Parses `text`, refusing nesting beyond kMaxDepth and keys given twice in
// one object; both are told with their place.
json ParseChecked(const std::string& text, const std::string& file) {
  try {
    cli::CheckJsonShape(text, kMaxDepth);
  } catch (const cli::JsonShapeError& e) {
    throw ScenarioError(file + ": at " + e.pointer() + ": " + e.problem());
  }
  try {
    return json::parse(text);
  } catch (const json::parse_error& e) {
    // "[json.exception.parse_error.101] parse error at line 1, column 9: syntax error ..."
    std::string words = e.what();
    const std::size_t colon = words.find(": ");
    if (colon != std::string::npos) words = words.substr(colon + 2);
    const std::size_t offset = e.byte > 0 ? e.byte - 1 : 0;
    throw ScenarioError(file + ":" + LineAndColumn(text, offset) + ": not JSON: " + words);
  }
}

}  // namespace

Scenario ParseScenario(const std::string& text, const std::string& file) {
  const json document = ParseChecked(text, file);
  const Place top(file);
  Scenario scenario;
  Members(document, top, {"description", "requires", "machine", "host", "events"},
          [&](const std::string& name, const json& v, const Place& at) {
            if (name == "description") {
              Text(v, at);
            } else if (name == "requires") {
              for (std::size_t i = 0; i < Array(v, at).size(); ++i) {
                if (Text(v[i], at / i) != "emulation") (at / i).fail("the only requirement known is \"emulation\"");
                scenario.needsEmulation = true;
              }
            } else if (name == "machine") {
              scenario.machine = ReadMachine(v, at);
            } else if (name == "host") {
              scenario.host = ReadHost(v, at);
            } else {
              for (std::size_t i = 0; i < Array(v, at).size(); ++i) scenario.events.push_back(ReadEvent(v[i], at / i));
            }
          });
  return scenario;
}

Scenario ReadScenario(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) throw ScenarioError(file + ": cannot be opened");
  std::string text;
  char block[1 << 16];
  while (in.read(block, sizeof block) || in.gcount() > 0) {
    text.append(block, static_cast<std::size_t>(in.gcount()));
    if (text.size() > kMaxFileBytes)
      throw ScenarioError(file + ": larger than " + std::to_string(kMaxFileBytes) + " bytes, more than a scenario holds");
  }
  if (in.bad()) throw ScenarioError(file + ": cannot be read");
  return ParseScenario(text, file);
}

}  // namespace evhost
