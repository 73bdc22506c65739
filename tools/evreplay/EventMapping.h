// How a Sysmon event becomes the module's arguments: times, registry paths,
// operations and the process event's flags. Pure functions over UTF-8 text.
#ifndef EVREPLAY_EVENT_MAPPING_H
#define EVREPLAY_EVENT_MAPPING_H

#include <cstdint>
#include <string>
#include <string_view>

namespace evreplay {

// Why a line was not used. The order is the order of the summary.
enum class SkipReason : uint8_t {
  LineTooLong,
  NotJson,
  NotObject,
  NoSource,
  NotSysmon,
  NoEventId,
  EventIdOutOfRange,
  IdNotUsed,
  NulInText,
  MissingImage,
  MissingParentImage,
  MissingTargetObject,
  MissingEventType,
  MissingTargetFilename,
  MissingTime,
  MissingCreationUtcTime,
  BadTime,
  UnknownEventType,
  UnknownRegistryRoot,
  UserKeyWithoutSid,
  FileNotHeld,
  SandboxFull,
  Count
};
const char* ReasonText(SkipReason reason);

// A UTC instant with its calendar date.
struct EventTime {
  int64_t seconds = 0;  // since 1970-01-01
  int32_t nanoseconds = 0;
  int year = 0, month = 0, day = 0;
  int hour = 0, minute = 0, second = 0;
};

// Reads "YYYY-MM-DD HH:MM:SS[.fraction]" (Sysmon's UtcTime) or the same with
// "T" and an optional "Z" or "+HH:MM"/"-HH:MM" (@timestamp); false otherwise.
bool ParseTime(std::string_view text, EventTime& time);
// "YYYY-MM-DDTHH:MM:SS.mmmZ".
void AppendTime(std::string& out, const EventTime& time);
// Days since 1970-01-01 of a proleptic Gregorian date.
int64_t DaysFromCivil(int year, int month, int day);

// Registry operations as the module numbers them.
enum RegistryOperation : int32_t { kSetValue = 2, kCreateKey = 3, kDeleteValue = 4, kDeleteKey = 5, kRenameKey = 6 };

// The operation of a Sysmon 12, 13 or 14 event from its EventType (empty:
// 13 is SetValue, 14 RenameKey, 12 cannot be told); false with `reason`.
bool OperationFor(int64_t eventId, std::string_view eventType, int32_t& operation, SkipReason& reason);

// The EventType a registry event really had: `eventType`, unless it is
// missing or "INFO" (older Sysmon versions), where the rendered `message`
// names it in a line "EventType: SetValue".
std::string_view EffectiveEventType(std::string_view eventType, std::string_view message);

// Sysmon's TargetObject ("HKLM\...", "HKU\...", "HKCR\...", "HKCU\...", or
// already "\REGISTRY\...") as the native path the module expects, into
// `key` and `value`: a value event (SetValue, DeleteValue) splits at the
// last backslash, the key keeping it; a key event gets a trailing backslash
// and an empty value name. Sysmon's "(Default)" is the empty value name.
// HKCU needs the user's SID. False with `reason`.
bool MapRegistryPath(std::string_view targetObject, std::string_view userSid, int32_t operation, std::string& key,
                     std::string& value, SkipReason& reason);

// Process events: 0x80 when the parent is a script host (wscript.exe,
// cscript.exe) or the command interpreter (cmd.exe) in the system folder or
// SysWOW64 of C:\Windows, else 0.
constexpr int32_t kStartsProgramWrittenToday = 0x80;
int32_t FlagsFor(std::string_view parentImage);
// True for wscript.exe or cscript.exe in one of those folders.
bool IsScriptHost(std::string_view image);

// Calls `onScript(token)` for each command-line token that names a script by
// its extension (.vbs, .vbe, .js, .jse, .wsf, .wsh) with a drive or share
// root. Tokens are split as the module splits them: double quotes group and
// are dropped, unquoted spaces separate, at most 10 tokens.
bool IsScriptPath(std::string_view token);

template <typename OnScript>
void ForEachScript(std::string_view commandLine, std::string& token, OnScript&& onScript) {
  constexpr int kMaxTokens = 10;
  int tokens = 0;
  bool quoted = false;
  token.clear();
  auto finish = [&] {
    if (token.empty()) return;
    ++tokens;
    if (IsScriptPath(token)) onScript(std::string_view(token));
    token.clear();
  };
  for (char c : commandLine) {
    if (tokens == kMaxTokens) return;
    if (c == '"') quoted = !quoted;
    else if (c == ' ' && !quoted) finish();
    else token += c;
  }
  if (tokens < kMaxTokens) finish();
}

}  // namespace evreplay

#endif
