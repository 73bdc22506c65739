#include "EvtxWriter.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <stdexcept>

namespace evtx::write {
namespace {

constexpr std::size_t kChunkSize = 65536;
constexpr std::size_t kChunkHeaderSize = 512;
constexpr std::size_t kFileHeaderSize = 4096;

void PutLe(std::string& out, uint64_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}
void PatchLe(std::string& out, std::size_t at, uint64_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out[at + static_cast<std::size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
}
void PutUnits(std::string& out, std::u16string_view text) {
  for (char16_t c : text) PutLe(out, c, 2);
}
Value Scalar(uint8_t type, uint64_t bits, int bytes) {
  Value v;
  v.type = type;
  PutLe(v.bytes, bits, bytes);
  return v;
}
uint32_t Crc(const char* data, std::size_t size) {
  return static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(data), static_cast<uInt>(size)));
}
// The hash of a name in the chunk's table of names.
uint16_t NameHash(std::u16string_view name) {
  uint32_t hash = 0;
  for (char16_t c : name) hash = hash * 65599 + c;
  return static_cast<uint16_t>(hash);
}

}  // namespace

// ---- Values ---------------------------------------------------------------------

Value Null() { return Value{}; }
Value Text(std::u16string_view text) {
  Value v;
  v.type = 0x01;
  PutUnits(v.bytes, text);
  return v;
}
Value Ansi(std::string_view text) { return Value{0x02, std::string(text)}; }
Value Int8(int8_t v) { return Scalar(0x03, static_cast<uint8_t>(v), 1); }
Value UInt8(uint8_t v) { return Scalar(0x04, v, 1); }
Value Int16(int16_t v) { return Scalar(0x05, static_cast<uint16_t>(v), 2); }
Value UInt16(uint16_t v) { return Scalar(0x06, v, 2); }
Value Int32(int32_t v) { return Scalar(0x07, static_cast<uint32_t>(v), 4); }
Value UInt32(uint32_t v) { return Scalar(0x08, v, 4); }
Value Int64(int64_t v) { return Scalar(0x09, static_cast<uint64_t>(v), 8); }
Value UInt64(uint64_t v) { return Scalar(0x0a, v, 8); }
Value Real32(float v) {
  uint32_t bits = 0;
  std::memcpy(&bits, &v, 4);
  return Scalar(0x0b, bits, 4);
}
Value Real64(double v) {
  uint64_t bits = 0;
  std::memcpy(&bits, &v, 8);
  return Scalar(0x0c, bits, 8);
}
Value Bool(bool v) { return Scalar(0x0d, v ? 1 : 0, 4); }
Value Binary(std::string_view bytes) { return Value{0x0e, std::string(bytes)}; }
Value Guid(const std::array<uint8_t, 16>& bytes) { return Value{0x0f, std::string(bytes.begin(), bytes.end())}; }
Value Size(uint64_t v, int bytes) { return Scalar(0x10, v, bytes); }
Value FileTime(uint64_t ticks) { return Scalar(0x11, ticks, 8); }
Value SystemTime(int year, int month, int dayOfWeek, int day, int hour, int minute, int second, int ms) {
  Value v;
  v.type = 0x12;
  for (int part : {year, month, dayOfWeek, day, hour, minute, second, ms}) PutLe(v.bytes, static_cast<uint16_t>(part), 2);
  return v;
}
Value Sid(uint8_t revision, uint64_t authority, const std::vector<uint32_t>& subAuthorities) {
  Value v;
  v.type = 0x13;
  v.bytes += static_cast<char>(revision);
  v.bytes += static_cast<char>(subAuthorities.size());
  for (int i = 5; i >= 0; --i) v.bytes += static_cast<char>((authority >> (8 * i)) & 0xFF);  // big-endian
  for (uint32_t sub : subAuthorities) PutLe(v.bytes, sub, 4);
  return v;
}
Value Hex32(uint32_t v) { return Scalar(0x14, v, 4); }
Value Hex64(uint64_t v) { return Scalar(0x15, v, 8); }
Value Array(uint8_t elementType, const std::vector<Value>& items) {
  Value v;
  v.type = static_cast<uint8_t>(elementType | 0x80);
  for (const Value& item : items) {
    v.bytes += item.bytes;
    if (elementType == 0x01) PutLe(v.bytes, 0, 2);
    if (elementType == 0x02) v.bytes += '\0';
  }
  return v;
}

// Nested fragments are encoded where they land, since their names and
// template definitions are placed by offset: the node rides in `bytes` as a
// marker, resolved by the record's encoder.
namespace {
struct NestedXml {
  Node element;
  const Template* tmpl = nullptr;
  std::vector<Value> values;
};
std::vector<std::unique_ptr<NestedXml>>& NestedStore() {
  static std::vector<std::unique_ptr<NestedXml>> store;
  return store;
}
Value NestedValue(std::unique_ptr<NestedXml> nested) {
  Value v;
  v.type = 0x21;
  PutLe(v.bytes, NestedStore().size(), 8);
  NestedStore().push_back(std::move(nested));
  return v;
}
}  // namespace

Value Xml(const Node& element) {
  auto nested = std::make_unique<NestedXml>();
  nested->element = element;
  return NestedValue(std::move(nested));
}
Value XmlInstance(const Template& tmpl, std::vector<Value> values) {
  auto nested = std::make_unique<NestedXml>();
  nested->tmpl = &tmpl;
  nested->values = std::move(values);
  return NestedValue(std::move(nested));
}

// ---- Nodes ----------------------------------------------------------------------

namespace {
Node OfKind(Node::Kind kind) {
  Node node;
  node.kind = kind;
  return node;
}
Node WithText(Node::Kind kind, std::u16string text) {
  Node node = OfKind(kind);
  node.text = std::move(text);
  return node;
}
}  // namespace

Node Element(std::u16string name, std::vector<std::pair<std::u16string, std::vector<Node>>> attributes,
             std::vector<Node> children) {
  Node node = OfKind(Node::Kind::Element);
  node.name = std::move(name);
  node.attributes = std::move(attributes);
  node.children = std::move(children);
  return node;
}
Node TextNode(std::u16string text) { return WithText(Node::Kind::Text, std::move(text)); }
Node CData(std::u16string text) { return WithText(Node::Kind::CData, std::move(text)); }
Node Sub(uint16_t index, uint8_t type) {
  Node node = OfKind(Node::Kind::Substitution);
  node.index = index;
  node.type = type;
  return node;
}
Node OptionalSub(uint16_t index, uint8_t type) {
  Node node = Sub(index, type);
  node.kind = Node::Kind::OptionalSubstitution;
  return node;
}
Node CharRef(uint16_t character) {
  Node node = OfKind(Node::Kind::CharRef);
  node.character = character;
  return node;
}
Node EntityRef(std::u16string name) {
  Node node = OfKind(Node::Kind::EntityRef);
  node.name = std::move(name);
  return node;
}

// ---- One chunk --------------------------------------------------------------------

// What a chunk has defined so far, and the encoding of Binary XML into it.
class FileWriter::Chunk {
 public:
  std::string data = std::string(kChunkSize, '\0');
  std::size_t end = kChunkHeaderSize;  // where the next record goes
  std::size_t lastRecord = 0;
  uint64_t firstId = 0, lastId = 0;
  std::size_t records = 0;
  std::map<std::u16string, uint32_t> names;       // name -> offset
  std::map<const Template*, uint32_t> templates;  // template -> definition offset
  std::vector<uint32_t> nameOrder, templateOrder;

  // The record's bytes, placed at `at`; the chunk's tables grow with it.
  std::string Encode(const Record& record, std::size_t at) {
    std::string out;
    out += std::string("\x2a\x2a\0\0", 4);
    PutLe(out, 0, 4);  // size, patched
    PutLe(out, record.id, 8);
    PutLe(out, record.written, 8);
    out += std::string("\x0f\x01\x01\x00", 4);
    if (record.bare != nullptr) {
      PutElement(out, at, *record.bare, false);
    } else {
      PutInstance(out, at, *record.tmpl, record.values);
    }
    out += '\0';  // the document's end
    while ((out.size() + 4) % 8 != 0) out += '\0';
    PatchLe(out, 4, out.size() + 4, 4);
    PutLe(out, out.size() + 4, 4);
    return out;
  }

 private:
  void PutName(std::string& out, std::size_t base, const std::u16string& name) {
    auto known = names.find(name);
    if (known != names.end()) {
      PutLe(out, known->second, 4);
      return;
    }
    const auto offset = static_cast<uint32_t>(base + out.size() + 4);
    PutLe(out, offset, 4);
    names.emplace(name, offset);
    nameOrder.push_back(offset);
    PutLe(out, 0, 4);  // next name of the same hash, linked when the chunk ends
    PutLe(out, NameHash(name), 2);
    PutLe(out, name.size(), 2);
    PutUnits(out, name);
    PutLe(out, 0, 2);
  }

  void PutContent(std::string& out, std::size_t base, const Node& node, bool dependency = true) {
    switch (node.kind) {
      case Node::Kind::Element: PutElement(out, base, node, dependency); break;
      case Node::Kind::Text:
        out += '\x05';
        out += '\x01';
        PutLe(out, node.text.size(), 2);
        PutUnits(out, node.text);
        break;
      case Node::Kind::Substitution:
      case Node::Kind::OptionalSubstitution:
        out += node.kind == Node::Kind::Substitution ? '\x0d' : '\x0e';
        PutLe(out, node.index, 2);
        out += static_cast<char>(node.type);
        break;
      case Node::Kind::CharRef:
        out += '\x08';
        PutLe(out, node.character, 2);
        break;
      case Node::Kind::EntityRef:
        out += '\x09';
        PutName(out, base, node.name);
        break;
      case Node::Kind::CData:
        out += '\x07';
        PutLe(out, node.text.size(), 2);
        PutUnits(out, node.text);
        break;
    }
  }

  void PutElement(std::string& out, std::size_t base, const Node& node, bool dependency = true) {
    out += node.attributes.empty() ? '\x01' : '\x41';
    if (dependency) PutLe(out, 0xFFFF, 2);  // no dependency
    const std::size_t sizeAt = out.size();
    PutLe(out, 0, 4);
    PutName(out, base, node.name);
    if (!node.attributes.empty()) {
      const std::size_t listAt = out.size();
      PutLe(out, 0, 4);
      for (std::size_t i = 0; i < node.attributes.size(); ++i) {
        out += i + 1 < node.attributes.size() ? '\x46' : '\x06';
        PutName(out, base, node.attributes[i].first);
        for (const Node& value : node.attributes[i].second) PutContent(out, base, value, dependency);
      }
      PatchLe(out, listAt, out.size() - listAt - 4, 4);
    }
    if (node.children.empty()) {
      out += '\x03';
    } else {
      out += '\x02';
      for (const Node& child : node.children) PutContent(out, base, child, dependency);
      out += '\x04';
    }
    PatchLe(out, sizeAt, out.size() - sizeAt - 4, 4);
  }

  void PutInstance(std::string& out, std::size_t base, const Template& tmpl, const std::vector<Value>& values) {
    out += '\x0c';
    out += '\x01';
    uint32_t id = 0;
    std::memcpy(&id, tmpl.guid.data(), 4);
    PutLe(out, id, 4);
    auto known = templates.find(&tmpl);
    if (known != templates.end()) {
      PutLe(out, known->second, 4);
    } else {
      const auto offset = static_cast<uint32_t>(base + out.size() + 4);
      PutLe(out, offset, 4);
      templates.emplace(&tmpl, offset);
      templateOrder.push_back(offset);
      PutLe(out, 0, 4);  // next definition, linked when the chunk ends
      out.append(reinterpret_cast<const char*>(tmpl.guid.data()), 16);
      const std::size_t sizeAt = out.size();
      PutLe(out, 0, 4);
      out += std::string("\x0f\x01\x01\x00", 4);
      PutElement(out, base, tmpl.root);
      out += '\0';
      PatchLe(out, sizeAt, out.size() - sizeAt - 4, 4);
    }
    PutValues(out, base, values);
  }

  void PutValues(std::string& out, std::size_t base, const std::vector<Value>& values) {
    PutLe(out, values.size(), 4);
    const std::size_t descriptorsAt = out.size();
    out.append(values.size() * 4, '\0');
    for (std::size_t i = 0; i < values.size(); ++i) {
      const std::size_t start = out.size();
      const Value& value = values[i];
      if (value.type == 0x21) {
        uint64_t index = 0;
        for (int b = 0; b < 8; ++b) index |= uint64_t{static_cast<uint8_t>(value.bytes[static_cast<std::size_t>(b)])} << (8 * b);
        const NestedXml& nested = *NestedStore()[index];
        out += std::string("\x0f\x01\x01\x00", 4);
        if (nested.tmpl != nullptr) {
          PutInstance(out, base, *nested.tmpl, nested.values);
          out += '\0';
        } else {
          PutElement(out, base, nested.element);
          out += '\0';
        }
      } else {
        out += value.bytes;
      }
      PatchLe(out, descriptorsAt + 4 * i, out.size() - start, 2);
      out[descriptorsAt + 4 * i + 2] = static_cast<char>(value.type);
    }
  }
};

// ---- The file ---------------------------------------------------------------------

FileWriter::FileWriter() = default;
FileWriter::~FileWriter() { delete current_; }

void FileWriter::Add(const Record& record) {
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (current_ == nullptr) current_ = new Chunk;
    Chunk trial = *current_;
    const std::string bytes = trial.Encode(record, trial.end);
    // Windows leaves room after the last record; readers such as libevtx
    // skip a record that ends at the chunk's last byte.
    if (trial.end + bytes.size() < kChunkSize) {
      *current_ = std::move(trial);
      std::memcpy(current_->data.data() + current_->end, bytes.data(), bytes.size());
      current_->lastRecord = current_->end;
      current_->end += bytes.size();
      if (current_->records++ == 0) current_->firstId = record.id;
      current_->lastId = record.id;
      if (layout_.chunks.size() <= done_.size()) layout_.chunks.emplace_back();
      layout_.chunks[done_.size()].records.push_back(kFileHeaderSize + done_.size() * kChunkSize + current_->lastRecord);
      nextRecordId_ = record.id + 1;
      return;
    }
    if (current_->records == 0) throw std::length_error("a record larger than a chunk");
    EndChunk();
  }
}

void FileWriter::EndChunk() {
  if (current_ == nullptr) return;
  Chunk& c = *current_;
  std::string& d = c.data;
  std::memcpy(d.data(), "ElfChnk\0", 8);
  PatchLe(d, 8, c.firstId, 8);
  PatchLe(d, 16, c.lastId, 8);
  PatchLe(d, 24, c.firstId, 8);
  PatchLe(d, 32, c.lastId, 8);
  PatchLe(d, 40, 128, 4);
  PatchLe(d, 44, c.lastRecord, 4);
  PatchLe(d, 48, c.end, 4);
  // The tables of names by hash and of template definitions, chained
  // through each entry's first four bytes.
  for (uint32_t offset : c.nameOrder) {
    const uint16_t hash = static_cast<uint16_t>(static_cast<uint8_t>(d[offset + 4]) | (static_cast<uint8_t>(d[offset + 5]) << 8));
    const std::size_t bucket = 128 + 4 * (hash % 64);
    uint32_t head = 0;
    for (int b = 0; b < 4; ++b) head |= uint32_t{static_cast<uint8_t>(d[bucket + static_cast<std::size_t>(b)])} << (8 * b);
    PatchLe(d, offset, head, 4);
    PatchLe(d, bucket, offset, 4);
  }
  for (std::size_t i = 0; i < c.templateOrder.size(); ++i) {
    const uint32_t offset = c.templateOrder[i];
    const std::size_t bucket = 384 + 4 * (i % 32);
    uint32_t head = 0;
    for (int b = 0; b < 4; ++b) head |= uint32_t{static_cast<uint8_t>(d[bucket + static_cast<std::size_t>(b)])} << (8 * b);
    PatchLe(d, offset, head, 4);
    PatchLe(d, bucket, offset, 4);
  }
  SealChunk(d, 0);
  if (layout_.chunks.size() <= done_.size()) layout_.chunks.emplace_back();
  layout_.chunks[done_.size()].offset = kFileHeaderSize + done_.size() * kChunkSize;
  done_.push_back(std::move(d));
  delete current_;
  current_ = nullptr;
}

std::string FileWriter::Finish(uint32_t flags) {
  EndChunk();
  std::string file(kFileHeaderSize, '\0');
  std::memcpy(file.data(), "ElfFile\0", 8);
  PatchLe(file, 8, 0, 8);
  PatchLe(file, 16, done_.empty() ? 0 : done_.size() - 1, 8);
  PatchLe(file, 24, nextRecordId_, 8);
  PatchLe(file, 32, 128, 4);
  PatchLe(file, 36, 1, 2);
  PatchLe(file, 38, 3, 2);
  PatchLe(file, 40, kFileHeaderSize, 2);
  PatchLe(file, 42, done_.size(), 2);
  PatchLe(file, 120, flags, 4);
  SealHeader(file);
  for (const std::string& chunk : done_) file += chunk;
  return file;
}

void FileWriter::SealHeader(std::string& file) { PatchLe(file, 124, Crc(file.data(), 120), 4); }

void FileWriter::SealChunk(std::string& file, std::size_t offset) {
  const char* chunk = file.data() + offset;
  uint32_t freeSpace = 0;
  for (int b = 0; b < 4; ++b) freeSpace |= uint32_t{static_cast<uint8_t>(chunk[48 + b])} << (8 * b);
  if (offset + kChunkHeaderSize > file.size()) return;
  const std::size_t available = std::min(kChunkSize, file.size() - offset);
  if (freeSpace >= kChunkHeaderSize && freeSpace <= available)
    PatchLe(file, offset + 52, Crc(chunk + kChunkHeaderSize, freeSpace - kChunkHeaderSize), 4);
  uint32_t crc = static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(chunk), 120));
  crc = static_cast<uint32_t>(crc32(crc, reinterpret_cast<const Bytef*>(chunk + 128), kChunkHeaderSize - 128));
  PatchLe(file, offset + 124, crc, 4);
}

}  // namespace evtx::write
