// Reads Windows XML event logs (EVTX) without building XML text: each
// record's System values (EventID, Provider, Channel, Computer,
// EventRecordID, TimeCreated, Security UserID) and its EventData (or
// UserData) name and value pairs, as texts python-evtx gives (Values.h).
//
// A chunk (64 KiB) is parsed on its own, so chunks can be parsed on several
// threads. Its templates are compiled once when first met and instantiated
// for each record that uses them: a record costs its substitutions. Damage
// is counted and skipped, never fatal: a chunk with a bad signature or
// checksum, a record with a bad size (the rest of its chunk is searched for
// the next record), a record whose Binary XML is broken, a file cut short.
// Memory is the parsed chunk's, reused from chunk to chunk.
#ifndef EVTX_READER_H
#define EVTX_READER_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace evtx {

inline constexpr std::size_t kFileHeaderSize = 4096;
inline constexpr std::size_t kChunkSize = 65536;

// What was skipped, and why.
enum class Damage : uint8_t {
  FileHeaderChecksum,  // the file header's checksum is wrong (its chunks are still read)
  ChunkSignature,      // a chunk that is neither a chunk nor empty
  ChunkChecksum,       // a chunk whose header or records do not match their checksum
  RecordSize,          // a record whose size or copy of size is wrong
  RecordXml,           // a record whose Binary XML cannot be read
  Truncated,           // the file ends inside a chunk
  Count
};
const char* DamageText(Damage damage);

// A text of a parsed chunk: where it lies in ParsedChunk::text.
struct TextRef {
  uint32_t offset = 0;
  uint32_t size = 0;
  bool present = false;
};

struct ParsedField {
  TextRef name, value;
};

struct ParsedEvent {
  uint64_t recordNumber = 0;  // the record header's identifier
  uint64_t written = 0;       // FILETIME of the record header
  TextRef eventId, provider, channel, computer, eventRecordId, timeCreated, userId;
  uint32_t firstField = 0, fieldCount = 0;
};

// The events of one chunk and what was skipped in it; reused from chunk to
// chunk, so that its memory is allocated once.
struct ParsedChunk {
  std::string text;
  std::vector<ParsedEvent> events;
  std::vector<ParsedField> fields;
  std::array<uint64_t, static_cast<std::size_t>(Damage::Count)> damage{};

  std::string_view view(TextRef t) const { return std::string_view(text).substr(t.offset, t.size); }
  void clear() {
    text.clear();
    events.clear();
    fields.clear();
    damage.fill(0);
  }
};

// The file header, checked.
struct FileHeader {
  bool signature = false;  // "ElfFile\0"
  bool checksum = false;   // CRC-32 of its first 120 bytes
  uint16_t chunkCount = 0;
  uint32_t flags = 0;      // 1 dirty, 2 full
};
FileHeader ReadFileHeader(const uint8_t* bytes, std::size_t size);

class ChunkParser {
 public:
  ChunkParser();
  ~ChunkParser();
  ChunkParser(const ChunkParser&) = delete;
  ChunkParser& operator=(const ChunkParser&) = delete;

  // Parses the chunk of `size` bytes at `chunk` (kChunkSize, fewer for the
  // end of a file cut short) into `out`, which is cleared first.
  void Parse(const uint8_t* chunk, std::size_t size, ParsedChunk& out);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// Reads an EVTX stream in order: the file header, then chunk after chunk to
// the end, whatever the header's chunk count says (a dirty log has more).
// Memory is one chunk. `pull(into, size)` gives up to `size` bytes, 0 at
// the end, -1 on a failure.
class StreamReader {
 public:
  template <class Pull>
  explicit StreamReader(Pull pull) : pull_(new PullOf<Pull>(std::move(pull))) {}
  ~StreamReader() { delete pull_; }
  StreamReader(const StreamReader&) = delete;
  StreamReader& operator=(const StreamReader&) = delete;

  // False when the stream fails or ends within the header.
  bool ReadHeader(FileHeader& header);
  // The next chunk into `chunk`: its size (kChunkSize, or fewer where the
  // stream ends inside it), 0 at the end, -1 on a failure.
  long NextChunk(std::vector<uint8_t>& chunk);

 private:
  struct Pull {
    virtual ~Pull() = default;
    virtual long operator()(char* into, std::size_t size) = 0;
  };
  template <class F>
  struct PullOf : Pull {
    explicit PullOf(F f) : f_(std::move(f)) {}
    long operator()(char* into, std::size_t size) override { return f_(into, size); }
    F f_;
  };
  // Fills `size` bytes unless the stream ends first: the count, or -1.
  long Fill(uint8_t* into, std::size_t size);
  Pull* pull_;
};

}  // namespace evtx

#endif
