#include "SysmonRecord.h"

#include <type_traits>

namespace evreplay {
namespace {

using simdjson::dom::element;
using simdjson::dom::object;

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i] >= 'a' && a[i] <= 'z' ? static_cast<char>(a[i] - 32) : a[i];
    char y = b[i] >= 'a' && b[i] <= 'z' ? static_cast<char>(b[i] - 32) : b[i];
    if (x != y) return false;
  }
  return true;
}

void NoteSource(std::string_view source, SysmonRecord& record) {
  record.hasSource = true;
  if (EqualsIgnoringCase(source, "Microsoft-Windows-Sysmon") ||
      EqualsIgnoringCase(source, "Microsoft-Windows-Sysmon/Operational"))
    record.isSysmon = true;
}

// Numbers come as JSON numbers or as decimal strings, depending on the exporter.
template <typename Number>
bool ReadNumber(element value, Number& out) {
  if (value.is_int64()) {
    int64_t number = value.get_int64().value_unsafe();
    if (number < 0 && std::is_unsigned_v<Number>) return false;
    out = static_cast<Number>(number);
    return true;
  }
  if (value.is_uint64()) {
    out = static_cast<Number>(value.get_uint64().value_unsafe());
    return true;
  }
  std::string_view text;
  if (value.get_string().get(text) != simdjson::SUCCESS || text.empty() || text.size() > 19) return false;
  Number number = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    number = static_cast<Number>(number * 10 + static_cast<Number>(c - '0'));
  }
  out = number;
  return true;
}

bool ReadText(element value, std::string_view& out) { return value.get_string().get(out) == simdjson::SUCCESS; }

// The first occurrence wins, so a flat field is not overwritten by an
// exporter's copy of it elsewhere.
void SetText(element value, std::string_view& out, bool* present = nullptr) {
  std::string_view text;
  if (!ReadText(value, text)) return;
  if (present != nullptr) {
    if (*present) return;
    *present = true;
  } else if (!out.empty()) {
    return;
  }
  out = text;
}

// Sysmon's own field names, at the top level or in winlog.event_data.
bool ReadEventData(std::string_view key, element value, SysmonRecord& record) {
  switch (key.size()) {
    case 5:
      if (key == "Image") SetText(value, record.image, &record.hasImage);
      else return false;
      return true;
    case 7:
      if (key == "UtcTime") SetText(value, record.utcTime);
      else if (key == "UserSid" || key == "UserSID") SetText(value, record.userSid);
      else return false;
      return true;
    case 9:
      if (key == "EventType") SetText(value, record.eventType);
      else return false;
      return true;
    case 11:
      if (key == "ParentImage") SetText(value, record.parentImage, &record.hasParentImage);
      else if (key == "CommandLine") SetText(value, record.commandLine);
      else return false;
      return true;
    case 12:
      if (key == "TargetObject") SetText(value, record.targetObject, &record.hasTargetObject);
      else return false;
      return true;
    case 14:
      if (key == "TargetFilename") SetText(value, record.targetFilename, &record.hasTargetFilename);
      else return false;
      return true;
    case 15:
      if (key == "CreationUtcTime") SetText(value, record.creationUtcTime);
      else return false;
      return true;
    case 17:
      if (key == "ParentCommandLine") SetText(value, record.parentCommandLine);
      else return false;
      return true;
    default:
      return false;
  }
}

void ReadWinlog(object winlog, SysmonRecord& record) {
  for (auto [key, value] : winlog) {
    if (key == "event_id") {
      if (!record.hasEventId) record.hasEventId = ReadNumber(value, record.eventId);
    } else if (key == "record_id") {
      if (!record.hasRecordId) record.hasRecordId = ReadNumber(value, record.recordId);
    } else if (key == "computer_name") {
      SetText(value, record.computer);
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
        SetText(identifier, record.userSid);
    }
  }
}

}  // namespace

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
      if (!record.hasEventId) record.hasEventId = ReadNumber(value, record.eventId);
    } else if (key == "EventRecordID") {
      if (!record.hasRecordId) record.hasRecordId = ReadNumber(value, record.recordId);
    } else if (key == "SourceName" || key == "Channel" || key == "ProviderName") {
      std::string_view source;
      if (ReadText(value, source)) NoteSource(source, record);
    } else if (key == "Hostname" || key == "Computer") {
      SetText(value, record.computer);
    } else if (key == "@timestamp") {
      SetText(value, record.timestamp);
    } else if (key == "UserID") {
      SetText(value, record.userSid);
    } else if (key == "winlog") {
      object winlog;
      if (value.get_object().get(winlog) == simdjson::SUCCESS) ReadWinlog(winlog, record);
    }
  }
  return ParseStatus::Ok;
}

}  // namespace evreplay
