#include "EvtxRecord.h"

#include <string_view>

#include "JsonText.h"

namespace evreplay {
namespace {

// A decimal text: 1 a number, 0 no number, -1 too large for one.
int Decimal(std::string_view text, uint64_t& value) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string_view::npos) return 0;
  value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return 0;
    const auto digit = static_cast<uint64_t>(c - '0');
    if (value > (UINT64_MAX - digit) / 10) return -1;
    value = value * 10 + digit;
  }
  return 1;
}

}  // namespace

void RecordFromEvtx(const evtx::ParsedChunk& chunk, const evtx::ParsedEvent& event, SysmonRecord& record) {
  record = SysmonRecord{};
  if (event.provider.present) NoteEventSource(chunk.view(event.provider), record);
  if (event.channel.present) NoteEventSource(chunk.view(event.channel), record);
  record.hasSource = event.provider.present || event.channel.present;
  uint64_t number = 0;
  if (event.eventId.present) {
    switch (Decimal(chunk.view(event.eventId), number)) {
      case 1:
        record.hasEventId = true;
        record.eventId = number > static_cast<uint64_t>(INT64_MAX) ? -1 : static_cast<int64_t>(number);
        break;
      case -1:
        record.hasEventId = true;
        record.eventId = -1;  // out of range
        break;
      default: break;
    }
  }
  record.hasRecordId = true;
  record.recordId = event.eventRecordId.present && Decimal(chunk.view(event.eventRecordId), number) == 1
                        ? number
                        : event.recordNumber;
  record.computer = chunk.view(event.computer);
  record.timestamp = chunk.view(event.timeCreated);
  record.userSid = chunk.view(event.userId);
  for (uint32_t i = 0; i < event.fieldCount; ++i) {
    const evtx::ParsedField& field = chunk.fields[event.firstField + i];
    const std::string_view value = chunk.view(field.value);
    SetEventData(chunk.view(field.name), &value, record);
  }
}

void AppendEventLine(std::string& out, const evtx::ParsedChunk& chunk, const evtx::ParsedEvent& event) {
  out += '{';
  bool first = true;
  auto key = [&](std::string_view name) {
    if (!first) out += ',';
    first = false;
    AppendJsonString(out, name);
    out += ':';
  };
  uint64_t number = 0;
  auto numberOrText = [&](std::string_view text) {
    if (Decimal(text, number) == 1) AppendNumber(out, number);
    else AppendJsonString(out, text);
  };
  if (event.eventId.present) {
    key("EventID");
    numberOrText(chunk.view(event.eventId));
  }
  key("EventRecordID");
  if (event.eventRecordId.present) numberOrText(chunk.view(event.eventRecordId));
  else AppendNumber(out, event.recordNumber);
  const std::pair<const char*, const evtx::TextRef*> system[] = {
      {"Computer", &event.computer}, {"Channel", &event.channel}, {"ProviderName", &event.provider},
      {"UserID", &event.userId}};
  for (const auto& [name, text] : system) {
    if (!text->present) continue;
    key(name);
    AppendJsonString(out, chunk.view(*text));
  }
  if (event.timeCreated.present) {
    // "YYYY-MM-DD HH:MM:SS[.ffffff]" (UTC) as ISO 8601.
    std::string time(chunk.view(event.timeCreated));
    if (time.size() > 10 && time[10] == ' ') time[10] = 'T';
    key("@timestamp");
    AppendJsonString(out, time + "Z");
  }
  // Data pairs by name; a name that is taken gets a number.
  static constexpr std::string_view kTaken[] = {"EventID", "EventRecordID", "Computer", "Channel",
                                                "ProviderName", "UserID", "@timestamp"};
  for (uint32_t i = 0; i < event.fieldCount; ++i) {
    const evtx::ParsedField& field = chunk.fields[event.firstField + i];
    const std::string_view name = chunk.view(field.name);
    int uses = 0;
    for (std::string_view taken : kTaken) uses += name == taken;
    for (uint32_t j = 0; j < i; ++j) uses += chunk.view(chunk.fields[event.firstField + j].name) == name;
    if (uses == 0) {
      key(name);
    } else {
      key(std::string(name) + "_" + std::to_string(uses + 1));
    }
    AppendJsonString(out, chunk.view(field.value));
  }
  out += "}\n";
}

}  // namespace evreplay
