#include "HostText.h"
#include "TestLogs.h"

#include <cstdio>
#include <cstring>

#include "EvtxReader.h"
#include "EvtxWriter.h"

namespace evtx::testing {
namespace {

using namespace evtx::write;

constexpr uint64_t kTicksPerSecond = 10000000;
constexpr uint64_t kUnixEpochTicks = 116444736000000000;  // 1970-01-01 as FILETIME
uint64_t Ticks(int64_t unixSeconds) { return kUnixEpochTicks + static_cast<uint64_t>(unixSeconds) * kTicksPerSecond; }
// 2024-05-01 09:00:00 UTC.
constexpr int64_t kMayFirst = 1714554000;

const char16_t kProvider[] = u"Microsoft-Windows-Sysmon";
const char16_t kChannel[] = u"Microsoft-Windows-Sysmon/Operational";

// A data value of a template: its Data name, its value and the text a
// reader must give for it (none: the pair is absent).
struct DataValue {
  std::u16string name;
  Value value;
  std::vector<std::string> texts;  // one pair each; several for an array
  bool optional = false;
};

// System: Provider and Channel literal, the rest substitutions 0 to 4.
Node System() {
  return Element(u"System", {},
                 {Element(u"Provider", {{u"Name", {TextNode(kProvider)}}, {u"Guid", {TextNode(u"{5770385f-c22a-43e0-bf4c-06f5698ffbd9}")}}}, {}),
                  Element(u"EventID", {}, {Sub(0, 0x06)}),
                  Element(u"TimeCreated", {{u"SystemTime", {Sub(1, 0x11)}}}, {}),
                  Element(u"EventRecordID", {}, {Sub(2, 0x0a)}),
                  Element(u"Correlation", {}, {}),
                  Element(u"Execution", {{u"ProcessID", {Sub(5, 0x08)}}, {u"ThreadID", {Sub(6, 0x08)}}}, {}),
                  Element(u"Channel", {}, {TextNode(kChannel)}),
                  Element(u"Computer", {}, {Sub(3, 0x01)}),
                  Element(u"Security", {{u"UserID", {OptionalSub(4, 0x13)}}}, {})});
}
constexpr uint16_t kFirstDataIndex = 7;

std::string Utf8(std::u16string_view text) { return rulehost::ToUtf8(text); }

// A template of System and an EventData of `data`, with a GUID of `id`.
Template EventTemplate(uint8_t id, const std::vector<DataValue>& data) {
  Template t;
  for (uint8_t i = 0; i < 16; ++i) t.guid[i] = static_cast<uint8_t>(id * 16 + i);
  std::vector<Node> items;
  for (std::size_t i = 0; i < data.size(); ++i) {
    const auto index = static_cast<uint16_t>(kFirstDataIndex + i);
    const uint8_t type = data[i].value.type;
    items.push_back(Element(u"Data", {{u"Name", {TextNode(data[i].name)}}},
                            {data[i].optional ? OptionalSub(index, type) : Sub(index, type)}));
  }
  t.root = Element(u"Event", {{u"xmlns", {TextNode(u"http://schemas.microsoft.com/win/2004/08/events/event")}}},
                   {System(), Element(u"EventData", {}, std::move(items))});
  return t;
}

// A growing log: records written and what a reader must find in each.
struct Log {
  FileWriter writer;
  std::vector<ExpectedEvent> events;
  uint64_t next = 1;

  // Adds a record of `tmpl` whose System values follow `next` and whose data
  // are `data` (then `extra`, values after the data, with their pairs).
  void Add(const Template& tmpl, uint16_t eventId, const std::u16string& computer, const std::vector<DataValue>& data,
           bool withUser = true, std::vector<Value> extra = {},
           std::vector<std::pair<std::string, std::string>> extraPairs = {}) {
    Record r;
    r.id = next;
    r.written = Ticks(kMayFirst + static_cast<int64_t>(next));
    r.tmpl = &tmpl;
    r.values = {UInt16(eventId), FileTime(Ticks(kMayFirst + static_cast<int64_t>(next))), UInt64(next),
                Text(computer), withUser ? Sid(1, 5, {21, 1004336348, 1177238915, 682003330, 1001}) : Null(),
                UInt32(4242), UInt32(77)};
    ExpectedEvent e;
    e.record = next;
    e.eventId = std::to_string(eventId);
    e.provider = Utf8(kProvider);
    e.channel = Utf8(kChannel);
    e.computer = Utf8(computer);
    e.eventRecordId = std::to_string(next);
    // FILETIME with whole seconds: no fraction.
    char time[32];
    const int64_t t = kMayFirst + static_cast<int64_t>(next);
    std::snprintf(time, sizeof time, "2024-05-01 %02lld:%02lld:%02lld", static_cast<long long>(t % 86400 / 3600),
                  static_cast<long long>(t % 3600 / 60), static_cast<long long>(t % 60));
    e.timeCreated = time;
    if (withUser) e.userId = "S-1-5-21-1004336348-1177238915-682003330-1001";
    for (const DataValue& d : data) {
      r.values.push_back(d.value);
      for (const std::string& text : d.texts) e.data.emplace_back(Utf8(d.name), text);
    }
    for (Value& v : extra) r.values.push_back(std::move(v));
    for (auto& pair : extraPairs) e.data.push_back(std::move(pair));
    writer.Add(r);
    events.push_back(std::move(e));
    ++next;
  }
};

// Every scalar value python-evtx renders, with its text.
std::vector<DataValue> ScalarValues(int n) {
  const auto k = static_cast<uint32_t>(n);
  return {
      {u"Image", Text(u"C:\\Windows\\System32\\cmd.exe"), {"C:\\Windows\\System32\\cmd.exe"}},
      {u"Utf16", Text(u"Gr\u00fc\u00dfe \u20ac \U0001F600 <&> \"'"), {"Gr\xc3\xbc\xc3\x9f" "e \xe2\x82\xac \xf0\x9f\x98\x80 <&> \"'"}},
      {u"Empty", Text(u""), {""}},
      {u"Ansi", Ansi("plain ansi"), {"plain ansi"}},
      {u"Int8", Int8(-5), {"-5"}},
      {u"UInt8", UInt8(200), {"200"}},
      {u"Int16", Int16(-30000), {"-30000"}},
      {u"UInt16", UInt16(65535), {"65535"}},
      {u"Int32", Int32(INT32_MIN), {"-2147483648"}},
      {u"UInt32", UInt32(4000000000u + k), {std::to_string(4000000000u + k)}},
      {u"Int64", Int64(INT64_MIN), {"-9223372036854775808"}},
      {u"UInt64", UInt64(UINT64_MAX), {"18446744073709551615"}},
      {u"Real32", Real32(3.14f), {"3.140000104904175"}},
      {u"Real64", Real64(0.1), {"0.1"}},
      {u"Real64Big", Real64(1e20), {"1e+20"}},
      {u"Real64Small", Real64(-2.5e-7), {"-2.5e-07"}},
      {u"Real64Whole", Real64(100.0), {"100.0"}},
      {u"BoolTrue", Bool(true), {"True"}},
      {u"BoolFalse", Bool(false), {"False"}},
      {u"Binary", Binary(std::string("\x01\x02\xff\x00\x7f", 5)), {"AQL/AH8="}},
      {u"Guid", Guid({0x5f, 0x38, 0x70, 0x57, 0x2a, 0xc2, 0xe0, 0x43, 0xbf, 0x4c, 0x06, 0xf5, 0x69, 0x8f, 0xfb, 0xd9}),
       {"{5770385f-c22a-43e0-bf4c-06f5698ffbd9}"}},
      {u"Size", Size(0x1234, 8), {"4660"}},
      {u"Size32", Size(7, 4), {"7"}},
      {u"FileTime", FileTime(Ticks(kMayFirst)), {"2024-05-01 09:00:00"}},
      {u"SystemTime", SystemTime(2024, 5, 3, 1, 9, 30, 15, 0), {"2024-05-01 09:30:15"}},
      {u"Sid", Sid(1, 5, {18}), {"S-1-5-18"}},
      {u"Hex32", Hex32(0x80), {"0x00000080"}},
      {u"Hex64", Hex64(0x3e7), {"0x00000000000003e7"}},
      {u"Texts", Array(0x01, {Text(u"first"), Text(u"zweite \u00e9")}), {"first", "zweite \xc3\xa9"}},
      {u"Missing", Null(), {}, true},
  };
}

// UserData holding a fragment: an instance of its own template.
Template UserDataTemplate(const Template*& nested) {
  static Template inner;
  inner.guid = {0xEE, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
  inner.root = Element(u"EventXML", {{u"xmlns", {TextNode(u"LoadPerf")}}},
                       {Element(u"param1", {}, {Sub(0, 0x01)}), Element(u"param2", {}, {Sub(1, 0x01)}),
                        Element(u"binaryDataSize", {}, {Sub(2, 0x08)})});
  nested = &inner;
  Template t;
  t.guid = {0xDD, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
  t.root = Element(u"Event", {{u"xmlns", {TextNode(u"http://schemas.microsoft.com/win/2004/08/events/event")}}},
                   {System(), Element(u"UserData", {}, {Sub(kFirstDataIndex, 0x21)})});
  return t;
}

// A log of `chunks` chunks: records of the scalar template and of the
// UserData template in turn, the same template used again and again.
Log Mixed(int chunks, int perChunk, const Template& scalars, const Template& userData, const Template& nested) {
  Log log;
  for (int c = 0; c < chunks; ++c) {
    for (int i = 0; i < perChunk; ++i) {
      if (i % 3 == 2) {
        log.Add(userData, 8000, u"SRV02", {}, false, {XmlInstance(nested, {Text(u"WmiApRpl"), Text(u""), UInt32(4)})},
                {{"param1", "WmiApRpl"}, {"param2", ""}, {"binaryDataSize", "4"}});
      } else {
        log.Add(scalars, static_cast<uint16_t>(1 + i % 20), i % 2 ? u"WS01" : u"ws02.example.com", ScalarValues(i));
      }
    }
    log.writer.EndChunk();
  }
  return log;
}

TestLog Done(std::string name, Log& log, uint32_t flags = 0) {
  TestLog out;
  out.name = std::move(name);
  out.bytes = log.writer.Finish(flags);
  out.events = log.events;
  return out;
}

void PutLe(std::string& bytes, std::size_t at, uint64_t v, int n) {
  for (int i = 0; i < n; ++i) bytes[at + static_cast<std::size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

// The events of `log` without those of chunk `chunk` (records counted per chunk).
std::vector<ExpectedEvent> Without(const Log& log, std::size_t chunk, std::size_t from = 0, std::size_t to = SIZE_MAX) {
  std::vector<ExpectedEvent> kept;
  std::size_t first = 0;
  for (std::size_t c = 0; c < log.writer.layout().chunks.size(); ++c) {
    const std::size_t n = log.writer.layout().chunks[c].records.size();
    for (std::size_t i = 0; i < n; ++i)
      if (c != chunk || i < from || i >= to) kept.push_back(log.events[first + i]);
    first += n;
  }
  return kept;
}

}  // namespace

std::vector<TestLog> MakeTestLogs() {
  static const Template* nested = nullptr;  // set with userData, once
  static const Template scalars = EventTemplate(1, ScalarValues(0));
  static const Template userData = UserDataTemplate(nested);
  std::vector<TestLog> logs;

  {  // Several chunks, templates defined once a chunk and used again.
    Log log = Mixed(3, 40, scalars, userData, *nested);
    logs.push_back(Done("values.evtx", log));
    // A dirty log whose header counts one chunk of three.
    Log dirty = Mixed(3, 10, scalars, userData, *nested);
    TestLog t = Done("dirty.evtx", dirty, 1);
    PutLe(t.bytes, 16, 0, 8);
    PutLe(t.bytes, 42, 1, 2);
    FileWriter::SealHeader(t.bytes);
    logs.push_back(t);
    // A header whose checksum is wrong: its chunks are read all the same.
    Log badHeader = Mixed(1, 5, scalars, userData, *nested);
    t = Done("bad-header-checksum.evtx", badHeader);
    t.bytes[124] = static_cast<char>(t.bytes[124] ^ 0x55);
    t.damage[DamageText(Damage::FileHeaderChecksum)] = 1;
    logs.push_back(t);
  }
  {  // A chunk whose records do not match its checksum.
    Log log = Mixed(3, 10, scalars, userData, *nested);
    TestLog t = Done("bad-chunk-checksum.evtx", log);
    const auto& layout = log.writer.layout();
    t.bytes[layout.chunks[1].records[3] + 40] ^= 0x20;
    t.events = Without(log, 1);
    t.damage[DamageText(Damage::ChunkChecksum)] = 1;
    t.checkedByPythonEvtx = false;
    logs.push_back(t);
  }
  {  // A chunk whose signature is gone.
    Log log = Mixed(3, 10, scalars, userData, *nested);
    TestLog t = Done("bad-chunk-signature.evtx", log);
    std::memcpy(&t.bytes[log.writer.layout().chunks[2].offset], "ElfJunk", 7);
    t.events = Without(log, 2);
    t.damage[DamageText(Damage::ChunkSignature)] = 1;
    t.checkedByPythonEvtx = false;
    logs.push_back(t);
  }
  {  // A record whose size is wrong: the next one is found all the same.
    Log log = Mixed(2, 10, scalars, userData, *nested);
    TestLog t = Done("bad-record-size.evtx", log);
    const auto& chunk = log.writer.layout().chunks[0];
    PutLe(t.bytes, chunk.records[4] + 4, 7, 4);
    FileWriter::SealChunk(t.bytes, chunk.offset);
    t.events = Without(log, 0, 4, 5);
    t.damage[DamageText(Damage::RecordSize)] = 1;
    t.checkedByPythonEvtx = false;
    logs.push_back(t);
  }
  {  // A record whose Binary XML is broken: the rest of its chunk is read.
    Log log = Mixed(2, 10, scalars, userData, *nested);
    TestLog t = Done("broken-xml.evtx", log);
    const auto& chunk = log.writer.layout().chunks[1];
    t.bytes[chunk.records[6] + 24 + 4] = '\x3f';  // no template instance token
    FileWriter::SealChunk(t.bytes, chunk.offset);
    t.events = Without(log, 1, 6, 7);
    t.damage[DamageText(Damage::RecordXml)] = 1;
    t.checkedByPythonEvtx = false;
    logs.push_back(t);
  }
  {  // A file cut short inside its second chunk: the whole records before the cut.
    Log log = Mixed(2, 10, scalars, userData, *nested);
    TestLog t = Done("truncated.evtx", log);
    const auto& chunk = log.writer.layout().chunks[1];
    t.bytes.resize(chunk.records[5] + 10);
    t.events = Without(log, 1, 5);
    t.damage[DamageText(Damage::Truncated)] = 1;
    t.checkedByPythonEvtx = false;
    logs.push_back(t);
  }
  {  // What python-evtx renders otherwise or not at all.
    static const std::vector<DataValue> beyond = {
        {u"SystemTimeMs", SystemTime(2024, 5, 3, 1, 9, 30, 15, 250), {"2024-05-01 09:30:15.250000"}},
        {u"FileTimeUs", FileTime(Ticks(kMayFirst) + 1234567), {"2024-05-01 09:00:00.123456"}},
        {u"AnsiHigh", Ansi("\x80 caf\xe9"), {"\xe2\x82\xac caf\xc3\xa9"}},
        {u"Int8s", Array(0x03, {Int8(-1), Int8(2)}), {"-1", "2"}},
        {u"UInt16s", Array(0x06, {UInt16(1), UInt16(65535)}), {"1", "65535"}},
        {u"Int64s", Array(0x09, {Int64(-7)}), {"-7"}},
        {u"Real64s", Array(0x0c, {Real64(1.5), Real64(-0.0)}), {"1.5", "-0.0"}},
        {u"Bools", Array(0x0d, {Bool(true), Bool(false)}), {"True", "False"}},
        {u"Guids", Array(0x0f, {Guid({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16})}),
         {"{04030201-0605-0807-090a-0b0c0d0e0f10}"}},
        {u"FileTimes", Array(0x11, {FileTime(Ticks(0)), FileTime(Ticks(kMayFirst))}),
         {"1970-01-01 00:00:00", "2024-05-01 09:00:00"}},
        {u"Sids", Array(0x13, {Sid(1, 5, {18}), Sid(1, 5, {32, 544})}), {"S-1-5-18", "S-1-5-32-544"}},
        {u"Hex32s", Array(0x14, {Hex32(1), Hex32(0xFFFFFFFF)}), {"0x00000001", "0xffffffff"}},
        {u"Ansis", Array(0x02, {Ansi("a"), Ansi("bc")}), {"a", "bc"}},
        {u"NoTexts", Array(0x01, {}), {""}},
    };
    static Template t = EventTemplate(2, beyond);
    // Entity and character references and CDATA in an element of their own,
    // and a fragment that is an element, not a template instance.
    t.root.children.push_back(Element(u"UserData", {},
                                      {Element(u"Refs", {}, {TextNode(u"a"), EntityRef(u"amp"), CharRef(0x42), EntityRef(u"lt"),
                                                             CData(u"<raw>")}),
                                       Element(u"Error", {{u"Code", {TextNode(u"15007")}}}, {}),
                                       Sub(static_cast<uint16_t>(kFirstDataIndex + beyond.size()), 0x21)}));
    Log log;
    log.Add(t, 3, u"WS03", beyond, true,
            {Xml(Element(u"Inner", {}, {Element(u"Leaf", {}, {TextNode(u"deep")})}))},
            {{"Refs", "a&B<<raw>"}, {"Code", "15007"}, {"Leaf", "deep"}});
    // A record without a template, as some exporting tools write them: its
    // start tokens carry no dependency identifier (python-evtx expects one).
    static const Node bare = Element(
        u"Event", {{u"xmlns", {TextNode(u"http://schemas.microsoft.com/win/2004/08/events/event")}}},
        {Element(u"System", {},
                 {Element(u"Provider", {{u"Name", {TextNode(u"Exporter")}}}, {}), Element(u"EventID", {}, {TextNode(u"4688")}),
                  Element(u"TimeCreated", {{u"SystemTime", {TextNode(u"2024-05-01T09:00:00.000Z")}}}, {}),
                  Element(u"EventRecordID", {}, {TextNode(u"77")}), Element(u"Channel", {}, {TextNode(u"Security")}),
                  Element(u"Computer", {}, {TextNode(u"WS04")})}),
         Element(u"EventData", {},
                 {Element(u"Data", {{u"Name", {TextNode(u"NewProcessName")}}}, {TextNode(u"C:\\x.exe")}),
                  Element(u"Data", {}, {TextNode(u"0")})})});
    Record r;
    r.id = log.next++;
    r.written = Ticks(kMayFirst);
    r.bare = &bare;
    log.writer.Add(r);
    ExpectedEvent e;
    e.record = r.id;
    e.eventId = "4688";
    e.provider = "Exporter";
    e.channel = "Security";
    e.computer = "WS04";
    e.eventRecordId = "77";
    e.timeCreated = "2024-05-01T09:00:00.000Z";
    e.data = {{"NewProcessName", "C:\\x.exe"}, {"Data", "0"}};
    log.events.push_back(e);
    TestLog out = Done("beyond-python-evtx.evtx", log);
    out.checkedByPythonEvtx = false;
    logs.push_back(out);
  }
  return logs;
}

}  // namespace evtx::testing
