#include "EvtxReader.h"

#include <zlib.h>

#include <cstring>
#include <deque>
#include <string_view>

#include "Values.h"

namespace evtx {

const char* DamageText(Damage damage) {
  switch (damage) {
    case Damage::FileHeaderChecksum: return "EVTX file header with a bad checksum (its chunks read all the same)";
    case Damage::ChunkSignature: return "EVTX chunk with a bad signature";
    case Damage::ChunkChecksum: return "EVTX chunk with a bad checksum";
    case Damage::RecordSize: return "EVTX record with a bad size";
    case Damage::RecordXml: return "EVTX record whose Binary XML is broken";
    case Damage::Truncated: return "EVTX file cut short inside a chunk";
    case Damage::Count: break;
  }
  return "?";
}

namespace {

uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t U32(const uint8_t* p) { return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24); }
uint64_t U64(const uint8_t* p) { return uint64_t{U32(p)} | (uint64_t{U32(p + 4)} << 32); }

uint32_t Crc(uint32_t crc, const uint8_t* data, std::size_t size) {
  return static_cast<uint32_t>(crc32(crc, data, static_cast<uInt>(size)));
}

constexpr std::size_t kChunkHeaderSize = 512;
constexpr std::size_t kRecordHeaderSize = 24;
// Nesting of elements in one template, and of fragments inside values.
constexpr int kMaxDepth = 64;
constexpr int kMaxNesting = 8;

// Where an element stands, which decides what of it is kept.
enum class Context : uint8_t { Root, Event, System, EventData, Pairs, Ignored };
constexpr int kContexts = 6;

enum class Role : uint8_t { EventId, Provider, Channel, Computer, EventRecordId, TimeCreated, UserId, Pair, Nested };

// A piece of a text: literal (in the template's literals) or a substitution.
struct Part {
  enum Kind : uint8_t { Literal, Substitution, Optional } kind = Literal;
  uint16_t index = 0;
  uint32_t offset = 0, size = 0;
};

struct Capture {
  Role role = Role::Pair;
  Context nested = Context::Ignored;  // Nested: where the fragment stands
  uint16_t index = 0;                 // Nested: its value
  uint32_t nameFirst = 0, nameCount = 0;
  uint32_t valueFirst = 0, valueCount = 0;
};

struct Template {
  std::string literals;
  std::vector<Part> parts;
  std::vector<Capture> captures;
  uint32_t valueCount = 0;  // substitutions it refers to: the highest index and one
  void clear() {
    literals.clear();
    parts.clear();
    captures.clear();
    valueCount = 0;
  }
  void countValues() {
    for (const Part& part : parts)
      if (part.kind != Part::Literal && part.index + 1u > valueCount) valueCount = part.index + 1u;
    for (const Capture& capture : captures)
      if (capture.role == Role::Nested && capture.index + 1u > valueCount) valueCount = capture.index + 1u;
  }
};

// A template known in the whole file by its identifier.
struct KnownTemplate {
  std::array<uint8_t, 16> guid{};
  Context context = Context::Root;
  Template compiled;
};
// Templates a parser keeps across chunks; more are compiled chunk by chunk.
constexpr std::size_t kMaxKnownTemplates = 4096;

struct ValueSpan {
  uint32_t offset = 0;  // in the chunk
  uint16_t size = 0;
  uint8_t type = 0;
};

// Reads within [pos, end) of the chunk; any read past `end` fails it.
struct Cursor {
  const uint8_t* chunk;
  std::size_t size;  // of the chunk
  std::size_t pos;
  std::size_t end;
  bool ok = true;

  bool Need(std::size_t n) {
    if (!ok || n > end - pos) ok = false;
    return ok;
  }
  uint8_t Peek() { return Need(1) ? chunk[pos] : 0; }
  uint8_t U8() { return Need(1) ? chunk[pos++] : 0; }
  uint16_t Word() {
    if (!Need(2)) return 0;
    pos += 2;
    return U16(chunk + pos - 2);
  }
  uint32_t Dword() {
    if (!Need(4)) return 0;
    pos += 4;
    return U32(chunk + pos - 4);
  }
  void Skip(std::size_t n) {
    if (Need(n)) pos += n;
  }
};

bool Equals(std::string_view a, const char* b) { return a == b; }

}  // namespace

struct ChunkParser::State {
  const uint8_t* chunk = nullptr;
  std::size_t size = 0;
  ParsedChunk* out = nullptr;
  // Templates compiled in this chunk, by definition offset and context.
  std::vector<Template> pool;
  std::size_t used = 0;
  std::vector<std::pair<uint32_t, uint32_t>> byOffset;  // key -> pool index; few a chunk
  std::deque<KnownTemplate> knownTemplates;             // across chunks, by identifier
  // Scratch of each element depth, kept from chunk to chunk.
  std::vector<Part> textStack[kMaxDepth + 2];
  std::string elementStack[kMaxDepth + 2];
  std::string attributeName;
  Template scratch[kMaxNesting];           // elements met without a template
  std::vector<ValueSpan> valueStack[kMaxNesting + 1];
  std::string name;                        // scratch for names
  std::string textScratch;

  // ---- Names -----------------------------------------------------------------------

  // The name at the offset read at the cursor, as UTF-8 in `name`; a name
  // stored right there is stepped over.
  bool ReadName(Cursor& c) {
    const uint32_t offset = c.Dword();
    if (!c.ok || offset > size || size - offset < 8) return c.ok = false;
    const uint16_t units = U16(chunk + offset + 6);
    const std::size_t bytes = 8 + 2 * std::size_t{units} + 2;
    if (size - offset < bytes) return c.ok = false;
    name.clear();
    AppendUtf16(name, chunk + offset + 8, units);
    if (offset == c.pos) c.Skip(bytes);
    return c.ok;
  }

  // ---- Compiling -------------------------------------------------------------------

  uint32_t Literal(Template& t, std::string_view text) {
    const auto first = static_cast<uint32_t>(t.parts.size());
    Part part;
    part.kind = Part::Literal;
    part.offset = static_cast<uint32_t>(t.literals.size());
    part.size = static_cast<uint32_t>(text.size());
    t.literals += text;
    t.parts.push_back(part);
    return first;
  }

  // A text of a count of UTF-16 units and the units, at the cursor, as a literal.
  bool LiteralText(Cursor& c, Template& t) {
    const uint16_t units = c.Word();
    if (!c.Need(2 * std::size_t{units})) return false;
    textScratch.clear();
    AppendUtf16(textScratch, c.chunk + c.pos, units);
    c.pos += 2 * std::size_t{units};
    Literal(t, textScratch);
    return true;
  }

  // Reads the value tokens of an attribute or of an element's content into
  // `t.parts`: texts, substitutions, character and entity references. Stops
  // at the first other token. `nested` gets a substitution of Binary XML.
  bool ReadTextParts(Cursor& c, Template& t, bool content, Context childContext) {
    for (;;) {
      if (c.pos >= c.end) return c.ok = false;
      const uint8_t token = c.Peek();
      switch (token & 0x1F) {
        case 0x05: {  // value text
          c.U8();
          if (c.U8() != kString) return c.ok = false;
          if (!LiteralText(c, t)) return false;
          break;
        }
        case 0x07: {  // CDATA
          if (!content) return true;
          c.U8();
          if (!LiteralText(c, t)) return false;
          break;
        }
        case 0x08: {  // character reference
          c.U8();
          const uint16_t character = c.Word();
          uint8_t units[2] = {static_cast<uint8_t>(character & 0xFF), static_cast<uint8_t>(character >> 8)};
          textScratch.clear();
          AppendUtf16(textScratch, units, 1);
          Literal(t, textScratch);
          break;
        }
        case 0x09: {  // entity reference
          c.U8();
          if (!ReadName(c)) return false;
          const char* text = Equals(name, "lt") ? "<" : Equals(name, "gt") ? ">" : Equals(name, "amp") ? "&"
                           : Equals(name, "quot") ? "\"" : Equals(name, "apos") ? "'" : nullptr;
          if (text != nullptr) {
            Literal(t, text);
          } else {
            textScratch = "&" + name + ";";
            Literal(t, textScratch);
          }
          break;
        }
        case 0x0d:
        case 0x0e: {  // substitutions
          c.U8();
          Part part;
          part.kind = (token & 0x1F) == 0x0d ? Part::Substitution : Part::Optional;
          part.index = c.Word();
          const uint8_t type = c.U8();
          if (!c.ok) return false;
          if (type == kBinXml && content && childContext != Context::Ignored) {
            // A fragment in the content: its elements are children here.
            Capture nested;
            nested.role = Role::Nested;
            nested.nested = childContext;
            nested.index = part.index;
            t.captures.push_back(nested);
          } else {
            t.parts.push_back(part);
          }
          break;
        }
        default:
          return c.ok;
      }
      if (!c.ok) return false;
    }
  }

  static Context ChildContext(Context context, std::string_view element) {
    switch (context) {
      case Context::Root: return element == "Event" ? Context::Event : Context::Pairs;
      case Context::Event:
        if (element == "System") return Context::System;
        if (element == "EventData") return Context::EventData;
        return Context::Pairs;  // UserData, RenderingInfo, ProcessingErrorData, ...
      case Context::Pairs: return Context::Pairs;
      default: return Context::Ignored;
    }
  }

  void AddCapture(Template& t, Role role, uint32_t nameFirst, uint32_t nameCount, uint32_t valueFirst,
                  uint32_t valueCount) {
    t.captures.push_back(Capture{role, Context::Ignored, 0, nameFirst, nameCount, valueFirst, valueCount});
  }

  // Whether a name structure stands at `offset`: its units and terminator fit.
  bool IsNameAt(uint32_t offset) const {
    if (offset > size || size - offset < 10) return false;
    const std::size_t bytes = 8 + 2 * std::size_t{U16(chunk + offset + 6)} + 2;
    return size - offset >= bytes && U16(chunk + offset + bytes - 2) == 0;
  }

  // Element starts carry a dependency identifier in template definitions;
  // elements outside any template (records written without one, fragments
  // in values) may lack it. Which it is shows where the name offset points.
  bool HasDependencyIdentifier(const Cursor& c) const {
    const std::size_t at = c.pos;  // after the token
    if (at + 8 > c.end) return true;
    const uint32_t without = U32(chunk + at + 4), with = at + 10 <= c.end ? U32(chunk + at + 6) : 0;
    if (without == at + 8 && IsNameAt(without)) return false;
    if (with == at + 10 && IsNameAt(with)) return true;
    return !(IsNameAt(without) && without < at && !IsNameAt(with));
  }

  bool CompileElement(Cursor& c, Template& t, Context context, int depth, bool templated = true) {
    if (depth > kMaxDepth) return c.ok = false;
    const uint8_t token = c.U8();
    if ((token & 0x1F) != 0x01) return c.ok = false;
    if (templated || HasDependencyIdentifier(c)) c.Skip(2);  // dependency identifier
    c.Skip(4);  // data size
    if (!ReadName(c)) return false;
    std::string& element = elementStack[depth];
    element = name;
    const Context children = ChildContext(context, element);
    // Data's own name, when an attribute gives it.
    uint32_t dataNameFirst = 0, dataNameCount = 0;
    if (token & 0x40) {
      const uint32_t listSize = c.Dword();
      if (!c.Need(listSize)) return false;
      for (;;) {
        const uint8_t attribute = c.Peek();
        if ((attribute & 0x1F) != 0x06) break;
        c.U8();
        if (!ReadName(c)) return false;
        attributeName = name;
        const auto first = static_cast<uint32_t>(t.parts.size());
        if (!ReadTextParts(c, t, false, Context::Ignored)) return false;
        const auto count = static_cast<uint32_t>(t.parts.size()) - first;
        if (context == Context::System) {
          if (element == "Provider" && attributeName == "Name") AddCapture(t, Role::Provider, 0, 0, first, count);
          if (element == "TimeCreated" && attributeName == "SystemTime")
            AddCapture(t, Role::TimeCreated, 0, 0, first, count);
          if (element == "Security" && attributeName == "UserID") AddCapture(t, Role::UserId, 0, 0, first, count);
        } else if (context == Context::EventData && attributeName == "Name") {
          dataNameFirst = first;
          dataNameCount = count;
        } else if (context == Context::Pairs && attributeName != "xmlns" && attributeName.rfind("xmlns:", 0) != 0) {
          // Namespace declarations are no data.
          const uint32_t nameFirst = Literal(t, attributeName);
          AddCapture(t, Role::Pair, nameFirst, 1, first, count);
        }
        if ((attribute & 0x40) == 0) break;
      }
    }
    const uint8_t close = c.U8();
    if (close == 0x03) {
      // An empty Data is a name with an empty value.
      if (context == Context::EventData) {
        const uint32_t nameFirst = dataNameCount > 0 ? dataNameFirst : Literal(t, element);
        AddCapture(t, Role::Pair, nameFirst, dataNameCount > 0 ? dataNameCount : 1, 0, 0);
      }
      return c.ok;
    }
    if (close != 0x02) return c.ok = false;
    // The content: its own text, and child elements.
    std::vector<Part>& text = textStack[depth];
    text.clear();
    bool hasText = false;
    for (;;) {
      const uint8_t next = c.Peek();
      if (!c.ok) return false;
      if (next == 0x04) {
        c.U8();
        break;
      }
      if ((next & 0x1F) == 0x01) {
        if (!CompileElement(c, t, children, depth + 1, templated)) return false;
        continue;
      }
      if ((next & 0x1F) == 0x0a) {  // processing instruction: target, then data
        c.U8();
        if (!ReadName(c)) return false;
        if ((c.Peek() & 0x1F) == 0x0b) {
          c.U8();
          c.Skip(2 * std::size_t{c.Word()});
        }
        continue;
      }
      const std::size_t before = t.parts.size();
      const std::size_t at = c.pos;
      if (!ReadTextParts(c, t, true, children)) return false;
      if (c.pos == at) return c.ok = false;  // a token that has no place here
      hasText = hasText || t.parts.size() > before;
      text.insert(text.end(), t.parts.begin() + static_cast<long>(before), t.parts.end());
      t.parts.resize(before);
    }
    const auto first = static_cast<uint32_t>(t.parts.size());
    t.parts.insert(t.parts.end(), text.begin(), text.end());
    const auto count = static_cast<uint32_t>(text.size());
    switch (context) {
      case Context::System:
        if (element == "EventID") AddCapture(t, Role::EventId, 0, 0, first, count);
        else if (element == "Channel") AddCapture(t, Role::Channel, 0, 0, first, count);
        else if (element == "Computer") AddCapture(t, Role::Computer, 0, 0, first, count);
        else if (element == "EventRecordID") AddCapture(t, Role::EventRecordId, 0, 0, first, count);
        break;
      case Context::EventData: {
        const uint32_t nameFirst = dataNameCount > 0 ? dataNameFirst : Literal(t, element);
        AddCapture(t, Role::Pair, nameFirst, dataNameCount > 0 ? dataNameCount : 1, first, count);
        break;
      }
      case Context::Pairs:
        if (hasText) {
          const uint32_t nameFirst = Literal(t, element);
          AddCapture(t, Role::Pair, nameFirst, 1, first, count);
        }
        break;
      default:
        break;
    }
    return c.ok;
  }

  // Compiles the fragment of a template definition: header, element, end.
  bool CompileFragment(Cursor& c, Template& t, Context context) {
    t.clear();
    if (c.Peek() == 0x0f) c.Skip(4);
    if (!CompileElement(c, t, context, 0)) return false;
    return c.ok;
  }

  // The template whose definition is at `offset`, compiled for `context`.
  // The template whose definition is at `offset`, compiled for `context`,
  // for an instance of `values` values. A template is known across chunks by
  // its identifier (a GUID, as Windows gives each template of a provider):
  // later chunks define it again, and it is compiled once. An instance that
  // does not fit the one known (another number of values) gets its own
  // definition compiled.
  const Template* TemplateAt(uint32_t offset, Context context, std::size_t values) {
    // next definition (4), identifier (16), data size (4), then the data
    if (offset > size || size - offset < 24) return nullptr;
    std::array<uint8_t, 16> guid;
    std::memcpy(guid.data(), chunk + offset + 4, 16);
    const bool identified = guid != std::array<uint8_t, 16>{};
    if (identified) {
      for (const KnownTemplate& known : knownTemplates)
        if (known.guid == guid && known.context == context && known.compiled.valueCount <= values)
          return &known.compiled;
    }
    const uint32_t key = offset * kContexts + static_cast<uint32_t>(context);
    for (const auto& [knownKey, index] : byOffset)
      if (knownKey == key) return &pool[index];
    const uint32_t dataSize = U32(chunk + offset + 20);
    if (dataSize > size - offset - 24) return nullptr;
    Cursor c{chunk, size, offset + 24, offset + 24 + std::size_t{dataSize}};
    if (identified && knownTemplates.size() < kMaxKnownTemplates) {
      KnownTemplate known;
      known.guid = guid;
      known.context = context;
      if (!CompileFragment(c, known.compiled, context)) return nullptr;
      known.compiled.countValues();
      if (known.compiled.valueCount <= values) {
        knownTemplates.push_back(std::move(known));
        return &knownTemplates.back().compiled;
      }
      c.pos = offset + 24;
    }
    if (used == pool.size()) pool.emplace_back();
    Template& t = pool[used];
    if (!CompileFragment(c, t, context)) return nullptr;
    t.countValues();
    byOffset.emplace_back(key, static_cast<uint32_t>(used));
    return &pool[used++];
  }

  // ---- Values and instances --------------------------------------------------------

  bool ReadValues(Cursor& c, std::vector<ValueSpan>& values) {
    values.clear();
    const uint32_t count = c.Dword();
    if (!c.ok || count > (c.end - c.pos) / 4) return c.ok = false;
    std::size_t data = c.pos + 4 * std::size_t{count};
    for (uint32_t i = 0; i < count; ++i) {
      ValueSpan value;
      value.size = U16(chunk + c.pos + 4 * i);
      value.type = chunk[c.pos + 4 * i + 2];
      value.offset = static_cast<uint32_t>(data);
      if (value.size > c.end - data) return c.ok = false;
      data += value.size;
      values.push_back(value);
    }
    c.pos = data;
    return true;
  }

  // Calls `each(type, bytes, size)` for every element of an array value in
  // turn; false when an element cannot be measured or `each` says false.
  template <class Each>
  bool ForEachElement(const ValueSpan& v, Each each) {
    const uint8_t type = v.type & 0x7F;
    for (std::size_t at = 0; at < v.size;) {
      const std::size_t n = ArrayElementSize(type, chunk + v.offset + at, v.size - at);
      if (n == 0 || !each(type, chunk + v.offset + at, n)) return false;
      at += n;
    }
    return true;
  }

  // Appends the text of `parts`; false when a value cannot be read.
  bool Render(const Template& t, uint32_t first, uint32_t count, const std::vector<ValueSpan>& values,
              std::string& text) {
    for (uint32_t i = first; i < first + count; ++i) {
      const Part& part = t.parts[i];
      if (part.kind == Part::Literal) {
        text.append(t.literals, part.offset, part.size);
        continue;
      }
      if (part.index >= values.size()) continue;  // a value the instance lacks: nothing
      const ValueSpan& v = values[part.index];
      if (v.type == kBinXml) continue;
      if (v.type & kArray) {
        // Within a longer text the elements are joined.
        bool firstItem = true;
        const bool read = ForEachElement(v, [&](uint8_t type, const uint8_t* element, std::size_t n) {
          if (!firstItem) text += ", ";
          firstItem = false;
          return AppendValue(text, type, element, n);
        });
        if (!read) return false;
        continue;
      }
      if (!AppendValue(text, v.type, chunk + v.offset, v.size)) return false;
    }
    return true;
  }

  TextRef Emit(std::string_view text) {
    TextRef ref;
    ref.offset = static_cast<uint32_t>(out->text.size());
    ref.size = static_cast<uint32_t>(text.size());
    ref.present = true;
    out->text += text;
    return ref;
  }

  // Renders parts straight into the chunk's text.
  bool EmitParts(const Template& t, uint32_t first, uint32_t count, const std::vector<ValueSpan>& values,
                 TextRef& ref) {
    ref.offset = static_cast<uint32_t>(out->text.size());
    if (!Render(t, first, count, values, out->text)) return false;
    ref.size = static_cast<uint32_t>(out->text.size() - ref.offset);
    ref.present = true;
    return true;
  }

  // A text made of one optional substitution whose value is null is not there.
  static bool OnlyNull(const Template& t, uint32_t first, uint32_t count, const std::vector<ValueSpan>& values) {
    if (count != 1 || t.parts[first].kind != Part::Optional) return false;
    const uint16_t index = t.parts[first].index;
    return index >= values.size() || values[index].type == kNull;
  }

  bool Instantiate(const Template& t, const std::vector<ValueSpan>& values, ParsedEvent& e, int nesting) {
    for (const Capture& capture : t.captures) {
      if (capture.role == Role::Nested) {
        if (capture.index >= values.size() || values[capture.index].type != kBinXml) continue;
        const ValueSpan& v = values[capture.index];
        Cursor c{chunk, size, v.offset, std::size_t{v.offset} + v.size};
        if (!ReadFragment(c, capture.nested, e, nesting + 1)) return false;
        continue;
      }
      if (OnlyNull(t, capture.valueFirst, capture.valueCount, values)) continue;
      if (capture.role == Role::Pair) {
        if (!EmitPair(t, capture, values)) return false;
        continue;
      }
      TextRef* target = nullptr;
      switch (capture.role) {
        case Role::EventId: target = &e.eventId; break;
        case Role::Provider: target = &e.provider; break;
        case Role::Channel: target = &e.channel; break;
        case Role::Computer: target = &e.computer; break;
        case Role::EventRecordId: target = &e.eventRecordId; break;
        case Role::TimeCreated: target = &e.timeCreated; break;
        case Role::UserId: target = &e.userId; break;
        default: break;
      }
      if (target != nullptr && !target->present &&
          !EmitParts(t, capture.valueFirst, capture.valueCount, values, *target))
        return false;
    }
    return true;
  }

  bool EmitPair(const Template& t, const Capture& capture, const std::vector<ValueSpan>& values) {
    ParsedField field;
    if (!EmitParts(t, capture.nameFirst, capture.nameCount, values, field.name)) return false;
    // A value that is one array: one pair for each of its elements.
    if (capture.valueCount == 1 && t.parts[capture.valueFirst].kind != Part::Literal) {
      const uint16_t index = t.parts[capture.valueFirst].index;
      if (index < values.size() && (values[index].type & kArray) != 0) {
        bool any = false;
        const bool read = ForEachElement(values[index], [&](uint8_t type, const uint8_t* element, std::size_t n) {
          ParsedField item;
          item.name = field.name;
          item.value.offset = static_cast<uint32_t>(out->text.size());
          if (!AppendValue(out->text, type, element, n)) return false;
          item.value.size = static_cast<uint32_t>(out->text.size() - item.value.offset);
          item.value.present = true;
          out->fields.push_back(item);
          any = true;
          return true;
        });
        if (!read) return false;
        if (!any) {  // an empty array is one empty element
          field.value = Emit("");
          out->fields.push_back(field);
        }
        return true;
      }
    }
    if (!EmitParts(t, capture.valueFirst, capture.valueCount, values, field.value)) return false;
    out->fields.push_back(field);
    return true;
  }

  // A fragment: a template instance with its values, or an element.
  bool ReadFragment(Cursor& c, Context context, ParsedEvent& e, int nesting) {
    if (nesting >= kMaxNesting) return false;
    if (c.Peek() == 0x0f) c.Skip(4);
    if (!c.ok) return false;
    const uint8_t token = c.Peek();
    if (token == 0x0c) {
      c.U8();
      c.Skip(1);  // unknown
      c.Skip(4);  // template identifier
      const uint32_t offset = c.Dword();
      if (!c.ok) return false;
      if (offset == c.pos) {
        // Defined here: next definition (4), identifier (16), data size (4), data.
        if (!c.Need(24)) return false;
        const uint32_t dataSize = U32(chunk + c.pos + 20);
        c.Skip(24);
        c.Skip(dataSize);
        if (!c.ok) return false;
      }
      std::vector<ValueSpan>& values = valueStack[nesting];
      if (!ReadValues(c, values)) return false;
      const Template* t = TemplateAt(offset, context, values.size());
      if (t == nullptr) return false;
      return Instantiate(*t, values, e, nesting);
    }
    if ((token & 0x1F) == 0x01) {
      Template& t = scratch[nesting];
      t.clear();
      if (!CompileElement(c, t, context, 0, false)) return false;
      std::vector<ValueSpan>& values = valueStack[nesting];
      values.clear();
      return Instantiate(t, values, e, nesting);
    }
    return token == 0x00;  // an empty fragment
  }

  // ---- Records and chunks ----------------------------------------------------------

  void ReadRecord(std::size_t at, uint32_t recordSize) {
    ParsedEvent e;
    e.recordNumber = U64(chunk + at + 8);
    e.written = U64(chunk + at + 16);
    e.firstField = static_cast<uint32_t>(out->fields.size());
    const std::size_t textBefore = out->text.size();
    Cursor c{chunk, size, at + kRecordHeaderSize, at + recordSize - 4};
    if (!ReadFragment(c, Context::Root, e, 0)) {
      // Nothing of a broken record is kept.
      out->text.resize(textBefore);
      out->fields.resize(e.firstField);
      ++out->damage[static_cast<std::size_t>(Damage::RecordXml)];
      return;
    }
    e.fieldCount = static_cast<uint32_t>(out->fields.size()) - e.firstField;
    out->events.push_back(e);
  }

  // A record's size and its copy agree and fit before `end`.
  bool IsRecordAt(std::size_t at, std::size_t end) const {
    if (end - at < kRecordHeaderSize + 4 || std::memcmp(chunk + at, "\x2a\x2a\x00\x00", 4) != 0) return false;
    const uint32_t recordSize = U32(chunk + at + 4);
    return recordSize >= kRecordHeaderSize + 4 && recordSize <= end - at &&
           U32(chunk + at + recordSize - 4) == recordSize;
  }

  void Parse(const uint8_t* bytes, std::size_t length, ParsedChunk& parsed) {
    chunk = bytes;
    size = length;
    out = &parsed;
    parsed.clear();
    used = 0;
    byOffset.clear();
    auto count = [&](Damage d) { ++parsed.damage[static_cast<std::size_t>(d)]; };

    const bool cut = length < kChunkSize;
    if (cut) count(Damage::Truncated);
    if (length < kChunkHeaderSize || std::memcmp(bytes, "ElfChnk\0", 8) != 0) {
      // Chunks never written are zeros: nothing is lost there.
      bool empty = true;
      for (std::size_t i = 0; i < length && empty; ++i) empty = bytes[i] == 0;
      if (!empty && length >= 8) count(Damage::ChunkSignature);
      return;
    }
    const uint32_t freeSpace = U32(bytes + 48);
    std::size_t end = freeSpace >= kChunkHeaderSize && freeSpace <= kChunkSize ? freeSpace : kChunkSize;
    uint32_t headerCrc = Crc(0, bytes, 120);
    headerCrc = Crc(headerCrc, bytes + 128, kChunkHeaderSize - 128);
    if (headerCrc != U32(bytes + 124)) {
      count(Damage::ChunkChecksum);
      return;
    }
    if (end <= length) {
      if (Crc(0, bytes + kChunkHeaderSize, end - kChunkHeaderSize) != U32(bytes + 52)) {
        count(Damage::ChunkChecksum);
        return;
      }
    } else {
      end = length;  // cut short: what is there, unchecked
    }
    std::size_t at = kChunkHeaderSize;
    while (at + kRecordHeaderSize + 4 <= end) {
      if (IsRecordAt(at, end)) {
        const uint32_t recordSize = U32(bytes + at + 4);
        ReadRecord(at, recordSize);
        at += recordSize;
        continue;
      }
      // Where the file is cut, the record that does not fit is no damage of its own.
      if (cut && std::memcmp(bytes + at, "\x2a\x2a\x00\x00", 4) == 0) break;
      // Zeros after the last record are the chunk's free space.
      bool zeros = true;
      for (std::size_t i = at; i < end && zeros; ++i) zeros = bytes[i] == 0;
      if (zeros) break;
      count(Damage::RecordSize);
      // The next record that is whole, if any.
      std::size_t next = at + 1;
      while (next + kRecordHeaderSize + 4 <= end && !IsRecordAt(next, end)) ++next;
      at = next;
    }
  }
};

ChunkParser::ChunkParser() : state_(std::make_unique<State>()) {}
ChunkParser::~ChunkParser() = default;

void ChunkParser::Parse(const uint8_t* chunk, std::size_t size, ParsedChunk& out) { state_->Parse(chunk, size, out); }

FileHeader ReadFileHeader(const uint8_t* bytes, std::size_t size) {
  FileHeader header;
  if (size < 128) return header;
  header.signature = std::memcmp(bytes, "ElfFile\0", 8) == 0;
  header.checksum = Crc(0, bytes, 120) == U32(bytes + 124);
  header.chunkCount = U16(bytes + 42);
  header.flags = U32(bytes + 120);
  return header;
}

long StreamReader::Fill(uint8_t* into, std::size_t size) {
  std::size_t filled = 0;
  while (filled < size) {
    const long n = (*pull_)(reinterpret_cast<char*>(into) + filled, size - filled);
    if (n < 0) return -1;
    if (n == 0) break;
    filled += static_cast<std::size_t>(n);
  }
  return static_cast<long>(filled);
}

bool StreamReader::ReadHeader(FileHeader& header) {
  uint8_t bytes[kFileHeaderSize];
  if (Fill(bytes, sizeof bytes) != static_cast<long>(sizeof bytes)) return false;
  header = ReadFileHeader(bytes, sizeof bytes);
  return true;
}

long StreamReader::NextChunk(std::vector<uint8_t>& chunk) {
  chunk.resize(kChunkSize);
  const long n = Fill(chunk.data(), kChunkSize);
  if (n >= 0) chunk.resize(static_cast<std::size_t>(n));
  return n;
}

}  // namespace evtx
