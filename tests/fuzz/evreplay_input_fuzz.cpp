// evreplay's reading of one input, whatever its bytes: told by content,
// decompressed and unpacked (archives and streams inside each other), split
// into lines or EVTX chunks, each event parsed and mapped as the replay maps
// it (times, registry paths, operations, script tokens) and written as
// --events writes it. Whatever it holds,
// the reading ends in lines or a named problem, in memory that follows its
// size; nothing is written (the machine is not fuzzed here).
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "EventMapping.h"
#include "EvtxRecord.h"
#include "LogReader.h"
#include "SysmonRecord.h"

namespace {

class MemorySource : public evreplay::ByteSource {
 public:
  MemorySource(const uint8_t* data, std::size_t size) : ByteSource(nullptr), data_(data), size_(size) {}
  long Read(char* into, std::size_t size) override {
    const std::size_t n = size < size_ - at_ ? size : size_ - at_;
    if (n > 0) std::memcpy(into, data_ + at_, n);
    at_ += n;
    return static_cast<long>(n);
  }

 private:
  const uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

class MappingSink : public evreplay::LogSink {
 public:
  void OnSource(const std::string&) override {}
  void OnLongLine(uint64_t) override {}
  void OnEvtxDamage(evtx::Damage, uint64_t) override {}
  bool OnEvtxChunk(const evtx::ParsedChunk& chunk) override {
    for (const auto& event : chunk.events) {
      evreplay::SysmonRecord record;
      evreplay::RecordFromEvtx(chunk, event, record);
      Map(record);
      line_.clear();
      evreplay::AppendEventLine(line_, chunk, event);
    }
    return true;
  }
  bool OnLine(const char* data, std::size_t size, std::size_t capacity, uint64_t) override {
    evreplay::SysmonRecord record;
    if (parser_.Parse(data, size, capacity, record) != evreplay::ParseStatus::Ok) return true;
    Map(record);
    return true;
  }

 private:
  void Map(const evreplay::SysmonRecord& record) {    evreplay::EventTime time;
    evreplay::ParseTime(record.utcTime, time);
    evreplay::ParseTime(record.timestamp, time);
    int32_t operation = 0;
    evreplay::SkipReason reason{};
    if (evreplay::OperationFor(record.eventId, record.eventType, operation, reason))
      evreplay::MapRegistryPath(record.targetObject, record.userSid, operation, key_, value_, reason);
    evreplay::FlagsFor(record.parentImage);
    evreplay::ForEachScript(record.parentCommandLine, token_, [](std::string_view) {});
  }

  evreplay::RecordParser parser_;
  std::string key_, value_, token_, line_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  MappingSink sink;
  evreplay::LogReader reader(sink, [](const std::string&) {});
  reader.SetMaxLine(1 << 16);
  reader.SetUnpackedLimit(8 << 20);
  MemorySource source(data, size);
  reader.ReadSource(source, "input");
  return 0;
}
