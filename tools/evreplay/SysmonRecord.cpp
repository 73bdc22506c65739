#include "SysmonRecord.h"

#include "rules/WindowsPaths.h"

#include <cstdint>
#include <limits>
#include <type_traits>

namespace evreplay {
namespace {

using simdjson::dom::element;
using simdjson::dom::object;

using evrules::windows_paths::EqualsIgnoringAsciiCase;

void NoteSource(std::string_view source, SysmonRecord& record) {
  record.hasSource = true;
  // As Windows writes them, then in any case.
  constexpr std::string_view kProvider = "Microsoft-Windows-Sysmon";
  constexpr std::string_view kChannel = "Microsoft-Windows-Sysmon/Operational";
  if (source == kProvider || source == kChannel || EqualsIgnoringAsciiCase(source, kProvider) ||
      EqualsIgnoringAsciiCase(source, kChannel))
    record.isSysmon = true;
}

// Numbers come as JSON numbers or as decimal strings, depending on the
// exporter. Answers kNumber, kNoNumber, or kTooLarge for a whole number that
// `Number` cannot hold.
enum NumberRead { kNoNumber, kNumber, kTooLarge };
template <typename Number>
NumberRead ReadNumber(element value, Number& out) {
  constexpr uint64_t kMax = static_cast<uint64_t>(std::numeric_limits<Number>::max());
  uint64_t number = 0;
  if (value.is_int64()) {
    const int64_t signedNumber = value.get_int64().value_unsafe();
    if (signedNumber < 0) {
      if (std::is_unsigned_v<Number> || signedNumber < static_cast<int64_t>(std::numeric_limits<Number>::min()))
        return kTooLarge;
      out = static_cast<Number>(signedNumber);
      return kNumber;
    }
    number = static_cast<uint64_t>(signedNumber);
  } else if (value.is_uint64()) {
    number = value.get_uint64().value_unsafe();
  } else {
    std::string_view text;
    if (value.get_string().get(text) != simdjson::SUCCESS || text.empty()) return kNoNumber;
    bool overflow = false;
    for (char c : text) {
      if (c < '0' || c > '9') return kNoNumber;
      const auto digit = static_cast<uint64_t>(c - '0');
      overflow = overflow || number > (UINT64_MAX - digit) / 10;  // the rest is still checked
      number = number * 10 + digit;
    }
    if (overflow) return kTooLarge;
  }
  if (number > kMax) return kTooLarge;
  out = static_cast<Number>(number);
  return kNumber;
}

// The event id: one too large for any id is kept as out of range.
void ReadEventId(element value, SysmonRecord& record) {
  if (record.hasEventId) return;
  switch (ReadNumber(value, record.eventId)) {
    case kNumber: record.hasEventId = true; break;
    case kTooLarge:
      record.hasEventId = true;
      record.eventId = -1;
      break;
    case kNoNumber: break;
  }
}

void ReadRecordId(element value, SysmonRecord& record) {
  if (!record.hasRecordId) record.hasRecordId = ReadNumber(value, record.recordId) == kNumber;
}

bool ReadText(element value, std::string_view& out) { return value.get_string().get(out) == simdjson::SUCCESS; }

// The first occurrence wins, so a flat field is not overwritten by an
// exporter's copy of it elsewhere.
void Assign(std::string_view text, std::string_view& out, SysmonRecord& record, bool* present = nullptr) {
  if (present != nullptr) {
    if (*present) return;
    *present = true;
  } else if (!out.empty()) {
    return;
  }
  out = text;
  // A text with a NUL inside would be cut by the module's zero-terminated
  // strings: it is no event to judge.
  if (text.find('\0') != std::string_view::npos) record.nulInText = true;
}

void SetText(element value, std::string_view& out, SysmonRecord& record, bool* present = nullptr) {
  std::string_view text;
  if (ReadText(value, text)) Assign(text, out, record, present);
}

bool ReadEventData(std::string_view key, element value, SysmonRecord& record) {
  std::string_view text;
  return SetEventData(key, ReadText(value, text) ? &text : nullptr, record);
}

void ReadWinlog(object winlog, SysmonRecord& record) {
  for (auto [key, value] : winlog) {
    if (key == "event_id") {
      ReadEventId(value, record);
    } else if (key == "record_id") {
      ReadRecordId(value, record);
    } else if (key == "computer_name") {
      SetText(value, record.computer, record);
    } else if (key == "channel" || key == "provider_name") {
      std::string_view source;
      if (ReadText(value, source)) NoteSource(source, record);
    } else if (key == "event_data") {
      object data;
      if (value.get_object().get(data) == simdjson::SUCCESS)
        for (auto [name, field] : data) ReadEventData(name, field, record);
    } else if (key == "user") {
      object user;
      element identifier;
      if (value.get_object().get(user) == simdjson::SUCCESS &&
          user.at_key("identifier").get(identifier) == simdjson::SUCCESS)
        SetText(identifier, record.userSid, record);
    }
  }
}

}  // namespace

bool SetEventData(std::string_view key, const std::string_view* text, SysmonRecord& record) {
  std::string_view* out = nullptr;
  bool* present = nullptr;
  switch (key.size()) {
    case 5:
      if (key == "Image") out = &record.image, present = &record.hasImage;
      break;
    case 7:
      if (key == "UtcTime") out = &record.utcTime;
      else if (key == "UserSid" || key == "UserSID") out = &record.userSid;
      else if (key == "Message") out = &record.message;
      break;
    case 9:
      if (key == "EventType") out = &record.eventType;
      break;
    case 11:
      if (key == "ParentImage") out = &record.parentImage, present = &record.hasParentImage;
      else if (key == "CommandLine") out = &record.commandLine;
      break;
    case 12:
      if (key == "TargetObject") out = &record.targetObject, present = &record.hasTargetObject;
      break;
    case 14:
      if (key == "TargetFilename") out = &record.targetFilename, present = &record.hasTargetFilename;
      break;
    case 15:
      if (key == "CreationUtcTime") out = &record.creationUtcTime;
      break;
    case 17:
      if (key == "ParentCommandLine") out = &record.parentCommandLine;
      break;
    default:
      break;
  }
  if (out == nullptr) return false;
  if (text != nullptr) Assign(*text, *out, record, present);
  return true;
}

void NoteEventSource(std::string_view source, SysmonRecord& record) { NoteSource(source, record); }

ParseStatus RecordParser::Parse(const char* data, std::size_t size, std::size_t capacity, SysmonRecord& record) {
  record = SysmonRecord{};
  if (capacity < size + simdjson::SIMDJSON_PADDING) {
    padded_.assign(data, size);
    padded_.resize(size + simdjson::SIMDJSON_PADDING);
    data = padded_.data();
  }
  element root;
  auto error = parser_.parse(data, size, false).get(root);
  if (error != simdjson::SUCCESS) {
    lastError_ = simdjson::error_message(error);
    return ParseStatus::NotJson;
  }
  object top;
  if (root.get_object().get(top) != simdjson::SUCCESS) return ParseStatus::NotObject;
  for (auto [key, value] : top) {
    if (ReadEventData(key, value, record)) continue;
    if (key == "EventID") {
      ReadEventId(value, record);
    } else if (key == "EventRecordID" || key == "RecordNumber") {
      ReadRecordId(value, record);
    } else if (key == "SourceName" || key == "Channel" || key == "ProviderName") {
      std::string_view source;
      if (ReadText(value, source)) NoteSource(source, record);
    } else if (key == "Hostname" || key == "Computer") {
      SetText(value, record.computer, record);
    } else if (key == "@timestamp") {
      SetText(value, record.timestamp, record);
    } else if (key == "UserID") {
      SetText(value, record.userSid, record);
    } else if (key == "winlog") {
      object winlog;
      if (value.get_object().get(winlog) == simdjson::SUCCESS) ReadWinlog(winlog, record);
    }
  }
  return ParseStatus::Ok;
}

}  // namespace evreplay
