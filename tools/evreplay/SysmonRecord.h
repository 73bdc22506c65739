// One line of a Windows event log export, read with simdjson: the fields the
// replay needs, from the flat shape (Sysmon's field names at the top level)
// or Winlogbeat's nested one (winlog.event_id, winlog.event_data.*, ...).
#ifndef EVREPLAY_SYSMON_RECORD_H
#define EVREPLAY_SYSMON_RECORD_H

#include <simdjson.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace evreplay {

// Views into the parser's buffers: valid until the next line is read.
struct SysmonRecord {
  bool hasSource = false;  // SourceName, Channel or winlog.channel/provider_name present
  bool isSysmon = false;   // ... and one of them names Sysmon
  bool hasEventId = false;
  int64_t eventId = 0;
  bool hasRecordId = false;
  uint64_t recordId = 0;
  std::string_view computer;
  std::string_view utcTime;    // Sysmon's own
  std::string_view timestamp;  // the exporter's @timestamp
  std::string_view image;
  std::string_view parentImage;
  std::string_view parentCommandLine;
  std::string_view commandLine;
  std::string_view targetObject;
  std::string_view eventType;
  std::string_view targetFilename;
  std::string_view creationUtcTime;
  std::string_view userSid;
  std::string_view message;    // the rendered message, where the exporter kept it
  bool nulInText = false;  // a text the replay uses holds a NUL character
  // Fields present in the line, so that "missing" differs from empty.
  bool hasImage = false, hasParentImage = false, hasTargetObject = false, hasTargetFilename = false;
};

enum class ParseStatus { Ok, NotJson, NotObject };

// Takes one of Sysmon's event data fields by its name (`text`, or null for a
// value that is no text); false for a name the replay does not use. The
// first occurrence of a field wins.
bool SetEventData(std::string_view key, const std::string_view* text, SysmonRecord& record);
// Notes a provider or channel name: the event is Sysmon's when it names it.
void NoteEventSource(std::string_view source, SysmonRecord& record);

class RecordParser {
 public:
  // `capacity` is how many bytes from `data` on may be read; simdjson reads
  // up to SIMDJSON_PADDING past the line, so a line without that room is
  // copied first.
  ParseStatus Parse(const char* data, std::size_t size, std::size_t capacity, SysmonRecord& record);
  // simdjson's words for the last NotJson.
  const char* lastError() const { return lastError_; }

 private:
  simdjson::dom::parser parser_;
  std::string padded_;
  const char* lastError_ = "";
};

}  // namespace evreplay

#endif
