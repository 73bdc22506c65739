// Writes Windows XML event logs (EVTX), for tests and benchmarks: a file
// header, 64 KiB chunks, event records whose Binary XML is a template
// instance. A template is defined in full the first time a chunk uses it and
// referred to by its offset after that; element and attribute names are
// written once a chunk and referred to the same way, as Windows does.
// Checksums are right unless a test breaks them on purpose (Layout says
// where everything is).
#ifndef EVTX_WRITER_H
#define EVTX_WRITER_H

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace evtx::write {

// A substitution value: its type and its bytes as the format stores them.
struct Value {
  uint8_t type = 0;
  std::string bytes;
};

Value Null();
Value Text(std::u16string_view text);          // 0x01
Value Ansi(std::string_view text);             // 0x02
Value Int8(int8_t v);                          // 0x03
Value UInt8(uint8_t v);                        // 0x04
Value Int16(int16_t v);                        // 0x05
Value UInt16(uint16_t v);                      // 0x06
Value Int32(int32_t v);                        // 0x07
Value UInt32(uint32_t v);                      // 0x08
Value Int64(int64_t v);                        // 0x09
Value UInt64(uint64_t v);                      // 0x0a
Value Real32(float v);                         // 0x0b
Value Real64(double v);                        // 0x0c
Value Bool(bool v);                            // 0x0d, 32 bits
Value Binary(std::string_view bytes);          // 0x0e
Value Guid(const std::array<uint8_t, 16>& bytes);  // 0x0f, as stored
Value Size(uint64_t v, int bytes);             // 0x10, 4 or 8 bytes
Value FileTime(uint64_t ticks);                // 0x11
Value SystemTime(int year, int month, int dayOfWeek, int day, int hour, int minute, int second, int ms);  // 0x12
Value Sid(uint8_t revision, uint64_t authority, const std::vector<uint32_t>& subAuthorities);  // 0x13
Value Hex32(uint32_t v);                       // 0x14
Value Hex64(uint64_t v);                       // 0x15
// An array (type | 0x80) of scalar values of `elementType`; texts are
// NUL-terminated one after the other.
Value Array(uint8_t elementType, const std::vector<Value>& items);

// A node of Binary XML.
struct Node {
  enum class Kind { Element, Text, Substitution, OptionalSubstitution, CharRef, EntityRef, CData };
  Kind kind = Kind::Element;
  std::u16string name;  // element or entity name
  std::u16string text;  // Text, CData
  uint16_t index = 0;   // substitutions
  uint8_t type = 0;     // substitutions: the value type the template expects
  uint16_t character = 0;  // CharRef
  std::vector<std::pair<std::u16string, std::vector<Node>>> attributes;
  std::vector<Node> children;
};

Node Element(std::u16string name, std::vector<std::pair<std::u16string, std::vector<Node>>> attributes,
             std::vector<Node> children);
Node TextNode(std::u16string text);
Node Sub(uint16_t index, uint8_t type);
Node OptionalSub(uint16_t index, uint8_t type);
Node CharRef(uint16_t character);
Node EntityRef(std::u16string name);
Node CData(std::u16string text);

// A template: its identifier and its element (usually "Event").
struct Template {
  std::array<uint8_t, 16> guid{};
  Node root;
};

// A fragment as a value of type 0x21, to stand in a substitution: the
// element, or an instance of `nested` with `values`.
Value Xml(const Node& element);
Value XmlInstance(const Template& nested, std::vector<Value> values);

struct Record {
  uint64_t id = 0;
  uint64_t written = 0;  // FILETIME
  const Template* tmpl = nullptr;
  std::vector<Value> values;
  // Without a template: the element itself, its start tokens without a
  // dependency identifier, as some exporting tools write records.
  const Node* bare = nullptr;
};

// Where the parts of a written file are, for tests that damage them.
struct Layout {
  struct Chunk {
    std::size_t offset = 0;                // in the file
    std::vector<std::size_t> records;      // offsets in the file
  };
  std::vector<Chunk> chunks;
};

class FileWriter {
 public:
  FileWriter();
  ~FileWriter();
  // Adds a record to the current chunk; a new chunk begins when it is full.
  void Add(const Record& record);
  // Ends the current chunk; the next record begins a new one.
  void EndChunk();
  // The whole file. `flags` of the header (1: dirty, 2: full).
  std::string Finish(uint32_t flags = 0);
  const Layout& layout() const { return layout_; }

  // Recomputes the header's checksum of `file` (after a test changed it).
  static void SealHeader(std::string& file);
  // Recomputes the checksums of the chunk at `offset` of `file` (as far as
  // the file holds it).
  static void SealChunk(std::string& file, std::size_t offset);

 private:
  class Chunk;
  std::vector<std::string> done_;
  Chunk* current_ = nullptr;
  uint64_t nextRecordId_ = 1;
  Layout layout_;
};

}  // namespace evtx::write

#endif
