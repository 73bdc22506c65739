#include "EventMapping.h"

#include <array>

#include "Calendar.h"
#include "rules/WindowsPaths.h"

namespace evreplay {
namespace {

using evrules::windows_paths::AsciiUpper;

bool EqualsIgnoringCase(std::string_view text, std::string_view upper) {
  return evrules::windows_paths::EqualsIgnoringAsciiCase(text, upper);
}

using rulehost::ReadDigits;

bool StartsIgnoringCase(std::string_view text, std::string_view upper) {
  return text.size() >= upper.size() && EqualsIgnoringCase(text.substr(0, upper.size()), upper);
}

}  // namespace

const char* ReasonText(SkipReason reason) {
  switch (reason) {
    case SkipReason::LineTooLong: return "line too long";
    case SkipReason::NotJson: return "not JSON";
    case SkipReason::NotObject: return "not a JSON object";
    case SkipReason::NoSource: return "no SourceName or Channel";
    case SkipReason::NotSysmon: return "not a Sysmon event";
    case SkipReason::NoEventId: return "no EventID";
    case SkipReason::EventIdOutOfRange: return "EventID outside 0 to 65535";
    case SkipReason::IdNotUsed: return "Sysmon id not used";
    case SkipReason::NulInText: return "NUL inside a text";
    case SkipReason::MissingImage: return "missing field Image";
    case SkipReason::MissingParentImage: return "missing field ParentImage";
    case SkipReason::MissingTargetObject: return "missing field TargetObject";
    case SkipReason::MissingEventType: return "missing field EventType";
    case SkipReason::MissingTargetFilename: return "missing field TargetFilename";
    case SkipReason::MissingTime: return "missing field UtcTime or @timestamp";
    case SkipReason::MissingCreationUtcTime: return "missing field CreationUtcTime";
    case SkipReason::BadTime: return "unreadable time";
    case SkipReason::UnknownEventType: return "unknown registry EventType";
    case SkipReason::UnknownRegistryRoot: return "unknown registry root";
    case SkipReason::UserKeyWithoutSid: return "HKCU without a user SID";
    case SkipReason::FileNotHeld: return "file path the machine cannot hold";
    case SkipReason::SandboxFull: return "sandbox full (--sandbox-files, --sandbox-bytes)";
    case SkipReason::Count: break;
  }
  return "?";
}

int64_t DaysFromCivil(int year, int month, int day) {
  return rulehost::DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day));
}

namespace {
void CivilFromDays(int64_t days, int& year, int& month, int& day) {
  int64_t y = 0;
  unsigned m = 0, d = 0;
  rulehost::CivilFromDays(days, y, m, d);
  year = static_cast<int>(y);
  month = static_cast<int>(m);
  day = static_cast<int>(d);
}

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}
}  // namespace

bool ParseTime(std::string_view text, EventTime& time) {
  int year, month, day, hour, minute, second;
  if (!ReadDigits(text, 0, 4, year) || text.size() < 19 || text[4] != '-' || !ReadDigits(text, 5, 2, month) ||
      text[7] != '-' || !ReadDigits(text, 8, 2, day) || (text[10] != ' ' && text[10] != 'T') ||
      !ReadDigits(text, 11, 2, hour) || text[13] != ':' || !ReadDigits(text, 14, 2, minute) || text[16] != ':' ||
      !ReadDigits(text, 17, 2, second))
    return false;
  if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) || hour > 23 || minute > 59 ||
      second > 60)
    return false;
  std::size_t at = 19;
  int32_t nanoseconds = 0;
  if (at < text.size() && text[at] == '.') {
    ++at;
    int digits = 0;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9') {
      if (digits < 9) nanoseconds = nanoseconds * 10 + (text[at] - '0');
      ++digits;
      ++at;
    }
    if (digits == 0) return false;
    for (int i = digits; i < 9; ++i) nanoseconds *= 10;
  }
  int offsetMinutes = 0;
  if (at < text.size() && text[at] == 'Z') {
    ++at;
  } else if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
    int offsetHours = 0, offsetMins = 0;
    const bool colon = at + 3 < text.size() && text[at + 3] == ':';
    if (!ReadDigits(text, at + 1, 2, offsetHours) || !ReadDigits(text, at + (colon ? 4 : 3), 2, offsetMins))
      return false;
    offsetMinutes = (offsetHours * 60 + offsetMins) * (text[at] == '-' ? -1 : 1);
    at += colon ? 6 : 5;
  }
  if (at != text.size()) return false;

  const int64_t local = DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
  time.seconds = local - int64_t{offsetMinutes} * 60;
  time.nanoseconds = nanoseconds;
  int64_t days = time.seconds >= 0 ? time.seconds / 86400 : (time.seconds - 86399) / 86400;
  int64_t secondOfDay = time.seconds - days * 86400;
  CivilFromDays(days, time.year, time.month, time.day);
  time.hour = static_cast<int>(secondOfDay / 3600);
  time.minute = static_cast<int>(secondOfDay / 60 % 60);
  time.second = static_cast<int>(secondOfDay % 60);
  return true;
}

void AppendTime(std::string& out, const EventTime& time) {
  // Each part with the separator that ends it: 2024-05-01T09:00:05.250Z
  const struct {
    int value;
    int digits;
    char end;
  } parts[] = {{time.year, 4, '-'},   {time.month, 2, '-'},  {time.day, 2, 'T'},
               {time.hour, 2, ':'},   {time.minute, 2, ':'}, {time.second, 2, '.'},
               {time.nanoseconds / 1000000, 3, 'Z'}};
  for (const auto& part : parts) {
    if (part.value < 0) out += '-';
    rulehost::AppendDigits(out, static_cast<unsigned>(part.value < 0 ? -part.value : part.value), part.digits);
    out += part.end;
  }
}

bool OperationFor(int64_t eventId, std::string_view eventType, int32_t& operation, SkipReason& reason) {
  if (eventType.empty()) {
    if (eventId == 13) operation = kSetValue;
    else if (eventId == 14) operation = kRenameKey;
    else {
      reason = SkipReason::MissingEventType;
      return false;
    }
    return true;
  }
  struct Named {
    std::string_view name;
    int32_t operation;
  };
  // A value Sysmon reports as created has been set.
  static constexpr Named kOperations[] = {{"SETVALUE", kSetValue},     {"CREATEVALUE", kSetValue},
                                          {"CREATEKEY", kCreateKey},   {"DELETEVALUE", kDeleteValue},
                                          {"DELETEKEY", kDeleteKey},   {"RENAMEKEY", kRenameKey}};
  for (const Named& named : kOperations) {
    if (EqualsIgnoringCase(eventType, named.name)) {
      operation = named.operation;
      return true;
    }
  }
  reason = SkipReason::UnknownEventType;
  return false;
}

std::string_view EffectiveEventType(std::string_view eventType, std::string_view message) {
  if (!eventType.empty() && !EqualsIgnoringCase(eventType, "INFO")) return eventType;
  constexpr std::string_view kLabel = "EventType: ";
  std::size_t at = message.find(kLabel);
  // The label at the start of a line.
  while (at != std::string_view::npos && at > 0 && message[at - 1] != '\n') at = message.find(kLabel, at + 1);
  if (at == std::string_view::npos) return eventType;
  const std::size_t start = at + kLabel.size();
  std::size_t end = start;
  while (end < message.size() && message[end] != '\r' && message[end] != '\n' && message[end] != ' ') ++end;
  return end > start ? message.substr(start, end - start) : eventType;
}

bool MapRegistryPath(std::string_view targetObject, std::string_view userSid, int32_t operation, std::string& key,
                     std::string& value, SkipReason& reason) {
  struct Root {
    std::string_view name;    // upper case, without the backslash
    std::string_view native;  // with the trailing backslash
  };
  static constexpr Root kRoots[] = {
      {"HKLM", "\\REGISTRY\\MACHINE\\"},
      {"HKEY_LOCAL_MACHINE", "\\REGISTRY\\MACHINE\\"},
      {"HKU", "\\REGISTRY\\USER\\"},
      {"HKEY_USERS", "\\REGISTRY\\USER\\"},
      {"HKCR", "\\REGISTRY\\MACHINE\\SOFTWARE\\CLASSES\\"},
      {"HKEY_CLASSES_ROOT", "\\REGISTRY\\MACHINE\\SOFTWARE\\CLASSES\\"},
      {"HKCU", ""},
      {"HKEY_CURRENT_USER", ""},
  };
  key.clear();
  value.clear();
  std::string_view rest;
  if (StartsIgnoringCase(targetObject, "\\REGISTRY\\")) {
    key.append(targetObject.substr(0, 10));
    rest = targetObject.substr(10);
  } else {
    const std::size_t slash = targetObject.find('\\');
    const std::string_view name = targetObject.substr(0, slash);
    const Root* root = nullptr;
    for (const Root& candidate : kRoots)
      if (EqualsIgnoringCase(name, candidate.name)) root = &candidate;
    if (root == nullptr) {
      reason = SkipReason::UnknownRegistryRoot;
      return false;
    }
    if (root->native.empty()) {
      if (userSid.size() < 3 || AsciiUpper(userSid[0]) != 'S' || userSid[1] != '-') {
        reason = SkipReason::UserKeyWithoutSid;
        return false;
      }
      key += "\\REGISTRY\\USER\\";
      key.append(userSid);
      key += '\\';
    } else {
      key.append(root->native);
    }
    rest = slash == std::string_view::npos ? std::string_view() : targetObject.substr(slash + 1);
  }
  key.append(rest);

  const bool valueEvent = operation == kSetValue || operation == kDeleteValue;
  if (valueEvent) {
    const std::size_t cut = key.rfind('\\');
    value.assign(key, cut + 1, std::string::npos);
    key.resize(cut + 1);
    if (value == "(Default)") value.clear();
  } else if (key.back() != '\\') {
    key += '\\';
  }
  return true;
}

namespace {
struct Interpreter {
  std::string_view path;  // upper case
  bool scriptHost;
};
constexpr Interpreter kInterpreters[] = {
    {"C:\\WINDOWS\\SYSTEM32\\WSCRIPT.EXE", true},  {"C:\\WINDOWS\\SYSWOW64\\WSCRIPT.EXE", true},
    {"C:\\WINDOWS\\SYSTEM32\\CSCRIPT.EXE", true},  {"C:\\WINDOWS\\SYSWOW64\\CSCRIPT.EXE", true},
    {"C:\\WINDOWS\\SYSTEM32\\CMD.EXE", false},     {"C:\\WINDOWS\\SYSWOW64\\CMD.EXE", false},
};

const Interpreter* FindInterpreter(std::string_view image) {
  for (const Interpreter& interpreter : kInterpreters)
    if (EqualsIgnoringCase(image, interpreter.path)) return &interpreter;
  return nullptr;
}
}  // namespace

int32_t FlagsFor(std::string_view parentImage) {
  return FindInterpreter(parentImage) != nullptr ? kStartsProgramWrittenToday : 0;
}

bool IsScriptHost(std::string_view image) {
  const Interpreter* interpreter = FindInterpreter(image);
  return interpreter != nullptr && interpreter->scriptHost;
}

bool IsScriptPath(std::string_view token) {
  static constexpr std::string_view kExtensions[] = {".VBS", ".VBE", ".JS", ".JSE", ".WSF", ".WSH"};
  const bool rooted = (token.size() >= 3 && token[1] == ':' && (token[2] == '\\' || token[2] == '/')) ||
                      (token.size() >= 2 && token[0] == '\\' && token[1] == '\\');
  if (!rooted) return false;
  const std::size_t dot = token.rfind('.');
  const std::size_t slash = token.find_last_of("\\/");
  if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) return false;
  for (std::string_view extension : kExtensions)
    if (EqualsIgnoringCase(token.substr(dot), extension)) return true;
  return false;
}

}  // namespace evreplay
