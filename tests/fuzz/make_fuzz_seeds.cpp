// Writes the seed corpora of the fuzz targets (corpus/<target>/seed-*):
//   rpc_reply_fuzz        a success, a failure and an exception reply for
//                         every operation, derived from its declaration
//   evrules_exports_fuzz  every event of the scenario files given
//   text_conversion_fuzz  a few texts of each kind
//   evreplay_input_fuzz   every LOG.jsonl given, plain, compressed and packed,
//                         and the EVTX test logs
//   evtx_chunk_fuzz       the chunks of the EVTX test logs
// Inputs that once found a fault are kept beside the seeds under other names
// and never rewritten here.
//
// Usage: make_fuzz_seeds CORPUS_FOLDER SCENARIO.json... LOG.jsonl...
#include <archive.h>
#include <archive_entry.h>
#include <thrift/TApplicationException.h>
#include <thrift/protocol/TBinaryProtocol.h>
#include <thrift/transport/TBufferTransports.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <utility>

#include "TestLogs.h"
#include "service/ServiceRpcTypes.h"

namespace {

namespace fs = std::filesystem;
namespace wire = TevrinAV::wire;
using apache::thrift::protocol::TBinaryProtocol;
using apache::thrift::transport::TMemoryBuffer;
using Bytes = std::string;

void Write(const fs::path& file, const Bytes& bytes) {
  fs::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary) << bytes;
}

// ---- Replies ---------------------------------------------------------------

template <class T>
T Sample();

template <class T, std::size_t... I>
T SampleRecord(std::index_sequence<I...>) {
  T record{};
  auto fill = [&](const auto& field) {
    using V = std::remove_reference_t<decltype(record.*(field.value))>;
    record.*(field.value) = Sample<V>();
    record.isset.*(field.flag) = true;
  };
  (fill(std::get<I>(wire::RecordTraits<T>::fields)), ...);
  return record;
}

template <class T>
struct Sampler {
  static T make() {
    if constexpr (std::is_same_v<T, bool>)
      return true;
    else if constexpr (std::is_enum_v<T> || std::is_arithmetic_v<T>)
      return static_cast<T>(7);
    else if constexpr (wire::IsRecord<T>::value)
      return SampleRecord<T>(
          std::make_index_sequence<std::tuple_size_v<std::decay_t<decltype(wire::RecordTraits<T>::fields)>>>{});
    else
      return T(u"C:\\Program Files\\K\u00E4se \u20AC");
  }
};
template <class T>
struct Sampler<std::vector<T>> {
  static std::vector<T> make() { return {Sample<T>(), Sample<T>()}; }
};
template <class K, class V>
struct Sampler<std::map<K, V>> {
  static std::map<K, V> make() { return {{Sample<K>(), Sample<V>()}}; }
};
template <class T>
T Sample() {
  return Sampler<T>::make();
}

template <class Write>
Bytes Reply(uint8_t choice, const char* name, apache::thrift::protocol::TMessageType type, Write body) {
  auto buffer = std::make_shared<TMemoryBuffer>();
  TBinaryProtocol out(buffer);
  out.writeMessageBegin(name, type, 0);
  body(out);
  out.writeMessageEnd();
  return Bytes(1, static_cast<char>(choice)) + buffer->getBufferAsString();
}

template <class Op>
void WriteReplySeeds(const fs::path& folder, uint8_t index) {
  using namespace apache::thrift::protocol;
  const std::string base = std::string("seed-") + Op::name;
  Write(folder / (base + "-success"), Reply(index, Op::name, T_REPLY, [](TBinaryProtocol& out) {
          out.writeStructBegin("result");
          if constexpr (wire::kHasResult<Op>) {
            using C = wire::Codec<typename Op::Result>;
            out.writeFieldBegin("success", C::type, 0);
            C::write(out, Sample<typename Op::Result>());
            out.writeFieldEnd();
          }
          out.writeFieldStop();
          out.writeStructEnd();
        }));
  Write(folder / (base + "-failure"), Reply(index, Op::name, T_REPLY, [](TBinaryProtocol& out) {
          TevrinAV::OperationFailed failure;
          failure.number1 = 5;
          failure.text2 = u"refused \u00E9";
          failure.isset.number1 = failure.isset.text2 = true;
          out.writeStructBegin("result");
          out.writeFieldBegin("failure", T_STRUCT, 1);
          failure.write(&out);
          out.writeFieldEnd();
          out.writeFieldStop();
          out.writeStructEnd();
        }));
  // Through the buffered transport, which the seeds above do not use.
  Write(folder / (base + "-exception"),
        Reply(static_cast<uint8_t>(index + TevrinAV::AllOperations::size), Op::name, T_EXCEPTION,
              [](TBinaryProtocol& out) {
                apache::thrift::TApplicationException(apache::thrift::TApplicationException::INTERNAL_ERROR,
                                                      "core-locked")
                    .write(&out);
              }));
}

template <class... Ops, std::size_t... I>
void WriteAllReplySeeds(const fs::path& folder, wire::OperationList<Ops...>, std::index_sequence<I...>) {
  (WriteReplySeeds<Ops>(folder, static_cast<uint8_t>(I)), ...);
}

// The first byte of the seeds of operation `name`.
template <class... Ops>
uint8_t IndexOf(std::string_view name, wire::OperationList<Ops...>) {
  uint8_t index = 0, i = 0;
  ((std::string_view(Ops::name) == name ? index = i++ : i++), ...);
  return index;
}

// A skip list of empty records: one byte each on the wire, a hundred in
// memory, so the reply is refused for the memory it would take.
void WriteEmptyRecordsSeed(const fs::path& folder) {
  using namespace apache::thrift::protocol;
  constexpr uint32_t kRecords = 65536;
  Write(folder / "seed-GetSkipList-empty-records", Reply(IndexOf("GetSkipList", TevrinAV::AllOperations{}), "GetSkipList", T_REPLY, [](TBinaryProtocol& out) {
          out.writeStructBegin("result");
          out.writeFieldBegin("success", T_LIST, 0);
          out.writeListBegin(T_STRUCT, kRecords);
          for (uint32_t n = 0; n < kRecords; ++n) out.writeFieldStop();
          out.writeListEnd();
          out.writeFieldEnd();
          out.writeFieldStop();
          out.writeStructEnd();
        }));
}

// ---- Events ----------------------------------------------------------------

void PutUnits(Bytes& out, const nlohmann::json& text) {
  std::u16string units = u"\uFFFF";  // null
  if (text.is_string()) {
    const std::string utf8 = text.get<std::string>();
    TevrinAV::Utf8ToWide(units, utf8);
  } else if (text.is_null() == false) {
    units.clear();  // absent: empty
  }
  for (char16_t unit : units) {
    out += static_cast<char>(unit & 0xFF);
    out += static_cast<char>(unit >> 8);
  }
  out += '\0';
  out += '\0';
}

// The fuzz target's host byte for a scenario's host description.
uint8_t HostByte(const nlohmann::json& host) {
  uint8_t byte = 0;
  const std::string record = host.value("record", "full");
  if (record == "reportOnly") byte |= 1;
  if (record == "tooSmall") byte |= 2;
  if (record == "null") byte |= 3;
  auto answer = [](const nlohmann::json& callback) -> uint8_t {
    if (!callback.is_object()) return 0;
    return callback.value("default", 0) != 0 ? 2 : 1;
  };
  byte |= static_cast<uint8_t>(answer(host.value("whiteList", nlohmann::json())) << 2);
  byte |= static_cast<uint8_t>(answer(host.value("queryFile", nlohmann::json())) << 4);
  if (!host.value("reportDetection", true)) byte |= 0x40;
  return byte;
}

void WriteEventSeeds(const fs::path& folder, const fs::path& scenarioFile) {
  const nlohmann::json scenario = nlohmann::json::parse(std::ifstream(scenarioFile));
  const nlohmann::json host = scenario.value("host", nlohmann::json::object());
  const char* calls[] = {"RegEvent", "RegEventEx", "ProcessEvent", "ProcessEventEx",
                         "InitLibrary", "NetConnectEvent", "NetProtocolData"};
  int n = 0;
  for (const nlohmann::json& event : scenario.at("events")) {
    const std::string call = event.value("call", "RegEvent");
    uint8_t choice = 0;
    while (choice < 7 && call != calls[choice]) ++choice;
    const bool registry = choice <= 1;
    Bytes bytes(1, static_cast<char>(choice));
    bytes += static_cast<char>(HostByte(event.value("host", host)));
    const auto number = static_cast<uint32_t>(event.value(registry ? "operation" : "flags", 0));
    for (int shift = 0; shift < 32; shift += 8) bytes += static_cast<char>((number >> shift) & 0xFF);
    PutUnits(bytes, event.value("process", nlohmann::json("")));
    PutUnits(bytes, event.value(registry ? "key" : "target", nlohmann::json("")));
    PutUnits(bytes, event.value(registry ? "value" : "commandLine", nlohmann::json("")));
    Write(folder / ("seed-" + scenarioFile.stem().string() + "-" + std::to_string(++n)), bytes);
  }
}

// ---- Texts -----------------------------------------------------------------

void WriteTextSeeds(const fs::path& folder) {
  using namespace std::string_view_literals;
  const std::pair<const char*, std::string_view> seeds[] = {
      {"utf8", "\0K\xC3\xA4se \xE2\x82\xAC \xF0\x9F\x98\x80"sv},
      {"utf8-invalid", "\0a\xC0\xAF\xED\xA0\x80\xF4\x90\x80\x80\xE2\x82"sv},
      {"utf16-surrogates", "\1a\0\x3D\xD8\x00\xDE\x00\xD8"sv "b\0\x00\xDC"sv},
      {"print-spoof", "\2\r\x1B[2KReloading core: OK\n\x1B[8m\xC2\x9B\x9B"sv},
  };
  for (const auto& [name, bytes] : seeds) Write(folder / (std::string("seed-") + name), Bytes(bytes));
}

// ---- Logs ------------------------------------------------------------------

// `data` as the member `name` of an archive in `format` (zip, 7z, tar), or
// compressed with `filter` (gzip, bzip2, xz, zstd) when `format` is raw.
Bytes Packed(const std::string& format, const std::string& filter, const std::string& name, const Bytes& data) {
  std::vector<char> out(data.size() + (1 << 16));
  std::size_t used = 0;
  archive* writing = archive_write_new();
  if (format == "zip") archive_write_set_format_zip(writing);
  else if (format == "7z") archive_write_set_format_7zip(writing);
  else if (format == "tar") archive_write_set_format_pax_restricted(writing);
  else archive_write_set_format_raw(writing);
  if (!filter.empty()) archive_write_add_filter_by_name(writing, filter.c_str());
  archive_write_open_memory(writing, out.data(), out.size(), &used);
  archive_entry* entry = archive_entry_new();
  archive_entry_set_pathname(entry, name.c_str());
  archive_entry_set_filetype(entry, AE_IFREG);
  archive_entry_set_perm(entry, 0644);
  archive_entry_set_size(entry, static_cast<la_int64_t>(data.size()));
  archive_write_header(writing, entry);
  archive_write_data(writing, data.data(), data.size());
  archive_entry_free(entry);
  archive_write_close(writing);
  archive_write_free(writing);
  return Bytes(out.data(), used);
}

void WriteLogSeeds(const fs::path& folder, const fs::path& log) {
  std::ifstream in(log, std::ios::binary);
  const Bytes data{std::istreambuf_iterator<char>(in), {}};
  const std::string base = "seed-" + log.stem().string();
  Write(folder / base, data);
  Write(folder / (base + ".gz"), Packed("raw", "gzip", "x", data));
  Write(folder / (base + ".bz2"), Packed("raw", "bzip2", "x", data));
  Write(folder / (base + ".zip"), Packed("zip", "", log.filename().string(), data));
  Write(folder / (base + ".tar.xz"), Packed("tar", "xz", log.filename().string(), data));
}

void WriteEvtxSeeds(const fs::path& corpus) {
  for (const auto& log : evtx::testing::MakeTestLogs()) {
    if (log.name != "values.evtx" && log.name != "beyond-python-evtx.evtx" && log.name != "broken-xml.evtx") continue;
    const std::string base = "seed-" + log.name.substr(0, log.name.find('.'));
    Write(corpus / "evreplay_input_fuzz" / base, log.bytes.substr(0, 4096 + 65536));
    for (std::size_t at = 4096, n = 0; at + 512 <= log.bytes.size(); at += 65536, ++n) {
      // Sealed (first byte 1) and as it is (0).
      const std::string chunk = log.bytes.substr(at, 65536);
      Write(corpus / "evtx_chunk_fuzz" / (base + "-" + std::to_string(n)), "\x01" + chunk);
    }
  }
}

}  // namespace

int main(int argc, char* argv[]) {
  if (argc < 2) {
    std::cerr << "usage: make_fuzz_seeds CORPUS_FOLDER SCENARIO.json... LOG.jsonl...\n";
    return 2;
  }
  const fs::path corpus(argv[1]);
  WriteAllReplySeeds(corpus / "rpc_reply_fuzz", TevrinAV::AllOperations{},
                     std::make_index_sequence<TevrinAV::AllOperations::size>{});
  WriteEmptyRecordsSeed(corpus / "rpc_reply_fuzz");
  WriteTextSeeds(corpus / "text_conversion_fuzz");
  WriteEvtxSeeds(corpus);
  for (int i = 2; i < argc; ++i) {
    const fs::path file(argv[i]);
    if (file.extension() == ".jsonl")
      WriteLogSeeds(corpus / "evreplay_input_fuzz", file);
    else
      WriteEventSeeds(corpus / "evrules_exports_fuzz", file);
  }
  return 0;
}
