// Writes a log of flat JSON lines as EVTX, as Windows would have logged it:
// one template per event id and set of fields, every field a Data element
// of that name, the System values from EventID, EventRecordID, Hostname or
// Computer, SourceName or Channel, UserID or UserSid and @timestamp or
// UtcTime. Lines that are not such events are left out. For the tests, which
// replay both forms and compare.
//   jsonl_to_evtx IN.jsonl OUT.evtx [RECORDS_PER_CHUNK]
#include <nlohmann/json.hpp>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <list>
#include <map>
#include <set>
#include <string>

#include "HostText.h"
#include "EvtxWriter.h"

namespace {

using nlohmann::ordered_json;
using namespace evtx::write;

std::u16string Wide(const std::string& utf8) { return rulehost::FromUtf8(utf8); }

// "S-1-5-21-..." as a SID value; a text that is none is left out.
bool SidValue(const std::string& text, Value& value) {
  std::vector<uint64_t> parts;
  if (text.rfind("S-", 0) != 0) return false;
  std::size_t at = 2;
  while (at < text.size()) {
    char* end = nullptr;
    parts.push_back(std::strtoull(text.c_str() + at, &end, 10));
    at = static_cast<std::size_t>(end - text.c_str());
    if (at < text.size() && text[at] != '-') return false;
    ++at;
  }
  if (parts.size() < 2) return false;
  std::vector<uint32_t> subs;
  for (std::size_t i = 2; i < parts.size(); ++i) subs.push_back(static_cast<uint32_t>(parts[i]));
  value = Sid(static_cast<uint8_t>(parts[0]), parts[1], subs);
  return true;
}

// "YYYY-MM-DD[ T]HH:MM:SS[.fff...][Z]" (UTC) as FILETIME.
uint64_t FileTimeOf(const std::string& text) {
  int y = 0, mo = 0, d = 0, h = 0, mi = 0;
  double s = 0;
  if (std::sscanf(text.c_str(), "%d-%d-%d%*c%d:%d:%lf", &y, &mo, &d, &h, &mi, &s) != 6) return 0;
  const int64_t yy = y - (mo <= 2 ? 1 : 0);
  const int64_t era = (yy >= 0 ? yy : yy - 399) / 400;
  const int64_t yoe = yy - era * 400;
  const int64_t doy = (153 * (mo + (mo > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t days = era * 146097 + yoe * 365 + yoe / 4 - yoe / 100 + doy - 719468;
  const auto whole = static_cast<int64_t>(s);
  const auto fraction = static_cast<int64_t>((s - static_cast<double>(whole)) * 1e7 + 0.5);
  return static_cast<uint64_t>(116444736000000000 + ((days * 86400 + h * 3600 + mi * 60 + whole) * 10000000) + fraction);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::cerr << "usage: jsonl_to_evtx IN.jsonl OUT.evtx [RECORDS_PER_CHUNK]\n";
    return 2;
  }
  const int perChunk = argc > 3 ? std::atoi(argv[3]) : 0;
  std::ifstream file;
  if (std::string(argv[1]) != "-") file.open(argv[1]);
  std::istream& in = std::string(argv[1]) == "-" ? std::cin : file;
  std::map<std::string, Template> templates;
  std::list<std::vector<Value>> keep;
  FileWriter writer;
  uint64_t next = 1;
  int inChunk = 0;
  for (std::string line; std::getline(in, line);) {
    ordered_json event = ordered_json::parse(line, nullptr, false);
    if (event.is_object() && event.contains("winlog") && event["winlog"].is_object()) {
      // Winlogbeat's shape, flattened.
      const ordered_json winlog = event["winlog"];
      ordered_json flat;
      if (event.contains("@timestamp")) flat["@timestamp"] = event["@timestamp"];
      if (winlog.contains("event_id")) flat["EventID"] = winlog["event_id"];
      if (winlog.contains("record_id")) flat["EventRecordID"] = winlog["record_id"];
      if (winlog.contains("computer_name")) flat["Computer"] = winlog["computer_name"];
      if (winlog.contains("channel")) flat["Channel"] = winlog["channel"];
      else if (winlog.contains("provider_name")) flat["Channel"] = winlog["provider_name"];
      if (winlog.contains("user") && winlog["user"].contains("identifier")) flat["UserID"] = winlog["user"]["identifier"];
      if (winlog.contains("event_data"))
        for (const auto& [key, value] : winlog["event_data"].items()) flat[key] = value;
      event = flat;
    }
    if (!event.is_object() || !event.contains("EventID")) continue;
    const auto text = [&](const char* key) {
      return event.contains(key) && event[key].is_string() ? event[key].get<std::string>() : std::string();
    };
    const int id = event["EventID"].is_number() ? event["EventID"].get<int>() : std::atoi(text("EventID").c_str());
    std::string source = text("SourceName").empty() ? text("Channel") : text("SourceName");
    const std::string computer = text("Hostname").empty() ? text("Computer") : text("Hostname");
    const std::string user = text("UserID").empty() ? text("UserSid") : text("UserID");
    const std::string time = text("@timestamp").empty() ? text("UtcTime") : text("@timestamp");
    uint64_t record = next;
    if (event.contains("EventRecordID") && event["EventRecordID"].is_number()) record = event["EventRecordID"].get<uint64_t>();
    if (event.contains("EventRecordID") && event["EventRecordID"].is_string())
      record = std::strtoull(event["EventRecordID"].get<std::string>().c_str(), nullptr, 10);
    std::vector<std::string> names;
    static const std::set<std::string> kSystem = {"EventID", "SourceName", "Channel", "Hostname", "Computer",
                                                  "UserID", "EventRecordID", "@timestamp", "RecordNumber"};
    for (const auto& [key, value] : event.items())
      if (!kSystem.count(key) && value.is_string()) names.push_back(key);
    // One template per event id, source and fields.
    std::string key = std::to_string(id) + "|" + source;
    for (const std::string& name : names) key += "|" + name;
    auto found = templates.find(key);
    if (found == templates.end()) {
      Template t;
      for (std::size_t i = 0; i < 16; ++i) t.guid[i] = static_cast<uint8_t>(templates.size() * 7 + i);
      std::vector<Node> data;
      for (std::size_t i = 0; i < names.size(); ++i)
        data.push_back(Element(u"Data", {{u"Name", {TextNode(Wide(names[i]))}}}, {Sub(static_cast<uint16_t>(5 + i), 0x01)}));
      const std::u16string provider = Wide(source.find('/') == std::string::npos ? source : source.substr(0, source.find('/')));
      const std::u16string channel = Wide(source.find('/') == std::string::npos ? source + "/Operational" : source);
      t.root = Element(u"Event", {{u"xmlns", {TextNode(u"http://schemas.microsoft.com/win/2004/08/events/event")}}},
                       {Element(u"System", {},
                                {Element(u"Provider", {{u"Name", {TextNode(provider)}}}, {}),
                                 Element(u"EventID", {}, {Sub(0, 0x06)}),
                                 Element(u"TimeCreated", {{u"SystemTime", {Sub(1, 0x11)}}}, {}),
                                 Element(u"EventRecordID", {}, {Sub(2, 0x0a)}),
                                 Element(u"Channel", {}, {TextNode(channel)}),
                                 Element(u"Computer", {}, {Sub(3, 0x01)}),
                                 Element(u"Security", {{u"UserID", {OptionalSub(4, 0x13)}}}, {})}),
                        Element(u"EventData", {}, std::move(data))});
      found = templates.emplace(key, std::move(t)).first;
    }
    Record r;
    r.id = next++;
    r.written = FileTimeOf(time);
    r.tmpl = &found->second;
    Value sid;
    r.values = {UInt16(static_cast<uint16_t>(id)), FileTime(FileTimeOf(time)), UInt64(record), Text(Wide(computer)),
                SidValue(user, sid) ? sid : Null()};
    for (const std::string& name : names) r.values.push_back(Text(Wide(text(name.c_str()))));
    writer.Add(r);
    if (perChunk > 0 && ++inChunk == perChunk) {
      writer.EndChunk();
      inChunk = 0;
    }
  }
  const std::string bytes = writer.Finish();
  if (std::string(argv[2]) == "-") {
    std::cout.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return std::cout.flush() ? 0 : 1;
  }
  std::ofstream out(argv[2], std::ios::binary);
  out << bytes;
  return out ? 0 : 1;
}
