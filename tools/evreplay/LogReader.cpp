#include "LogReader.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <vector>

#include "EvtxInput.h"
#include "service/SafeText.h"

namespace evreplay {
namespace {

// Calls `onFile` for every regular file below `path`; hidden entries (".git",
// editors' swap files) are not logs and are passed over.
template <typename OnFile>
void ForEachFile(const std::string& path, std::error_code& error, OnFile onFile) {
  std::filesystem::recursive_directory_iterator walk(path, std::filesystem::directory_options::none, error);
  for (; !error && walk != std::filesystem::recursive_directory_iterator(); walk.increment(error)) {
    if (walk->path().filename().string().front() == '.') {
      if (walk->is_directory(error)) walk.disable_recursion_pending();
      error.clear();
      continue;
    }
    std::error_code kind;
    if (walk->is_regular_file(kind)) onFile(*walk);
  }
}

// Archives and compressed streams inside each other: a .tar.gz is two.
constexpr int kMaxNesting = 4;

std::string Printable(const std::string& text) { return TevrinAV::SafeText(text); }

}  // namespace

LogReader::LogReader(LogSink& sink, std::function<void(const std::string&)> problem)
    : sink_(sink), problem_(std::move(problem)) {}

bool LogReader::Problem(const std::string& name, const std::string& what) {
  problem_(name + ": " + Printable(what));
  return false;
}

bool LogReader::Failed(const ByteSource& source, const std::string& name, const std::string& what) {
  if (source.stopped()) {
    stopped_ = true;
    return false;
  }
  const std::string& error = source.error();
  return Problem(name, what.empty() ? error : error.empty() ? what : what + ": " + error);
}

bool LogReader::Read(const std::string& path) {
  if (stopped_ || stoppedBySink_) return false;
  if (path == "-") return ReadFile(path, "standard input");
  struct stat status {};
  if (::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode)) return ReadFolder(path, Printable(path));
  return ReadFile(path, Printable(path));
}

bool LogReader::InputSize(const std::string& path, uint64_t& bytes) {
  struct stat status {};
  if (path == "-" || ::stat(path.c_str(), &status) != 0) return false;
  if (S_ISREG(status.st_mode)) {
    bytes += static_cast<uint64_t>(status.st_size);
    return true;
  }
  if (!S_ISDIR(status.st_mode)) return false;
  std::error_code error;
  ForEachFile(path, error, [&](const std::filesystem::directory_entry& file) {
    std::error_code ignored;
    bytes += file.file_size(ignored);
  });
  return true;
}

bool LogReader::ReadFolder(const std::string& path, const std::string& name) {
  std::vector<std::filesystem::path> files;
  std::error_code error;
  ForEachFile(path, error, [&](const std::filesystem::directory_entry& file) { files.push_back(file.path()); });
  if (error) return Problem(name, error.message());
  // Name order, whatever order the file system keeps.
  std::sort(files.begin(), files.end());
  bool ok = true;
  for (const auto& file : files) {
    if (stopped_ || stoppedBySink_) return false;
    ok = ReadFile(file.string(), Printable(file.string())) && ok;
  }
  if (files.empty()) problem_(name + ": a folder without files (hidden ones are not read)");
  return ok && !files.empty();
}

bool LogReader::ReadFile(const std::string& path, const std::string& name) {
  FileSource file(stop_);
  file.CountInto(&bytesRead_);
  if (!file.Open(path)) return Problem(name, "cannot open: " + file.error());
  return ReadStream(file, name, 0, &file);
}

bool LogReader::ReadStream(ByteSource& source, const std::string& name, int depth, FileSource* file) {
  PeekedSource peeked(source, kContentHead);
  if (!peeked.ok()) return Failed(source, name, "cannot read");
  const Content content = Classify(peeked.head());
  switch (content.kind) {
    case ContentKind::Empty:
    case ContentKind::JsonLines:
      sink_.OnSource(name);
      if (!lines_.ReadLines(peeked, sink_)) return Failed(peeked, name, "");
      stoppedBySink_ = lines_.stoppedBySink();
      return true;
    case ContentKind::Evtx:
      return ReadEvtx(peeked, name);
    case ContentKind::Compressed: {
      if (depth >= kMaxNesting) return Problem(name, "compressed or archived more than " + std::to_string(kMaxNesting) + " times over");
      ArchiveReader decompressed(peeked, ArchiveReader::Mode::Decompress, stop_);
      decompressed.LimitMembers(unpackedLimit_);
      std::string member;
      bool regular = false;
      const int next = decompressed.Open() ? decompressed.Next(member, regular) : -1;
      if (next < 0) return Failed(peeked, name, decompressed.error());
      if (next == 0) {  // nothing inside: a log without events
        sink_.OnSource(name);
        return true;
      }
      return ReadStream(decompressed.data(), name, depth + 1, nullptr);
    }
    case ContentKind::SevenZip:
      if (file == nullptr || !file->seekable())
        return Problem(name, "a 7z archive, which can be read from a file only, not from a stream or another archive");
      [[fallthrough]];
    case ContentKind::Archive: {
      if (depth >= kMaxNesting) return Problem(name, "compressed or archived more than " + std::to_string(kMaxNesting) + " times over");
      // A file is read from its start with seeking, as zip's directory and 7z want.
      if (file != nullptr && file->seekable()) {
        ArchiveReader reader(file->descriptor(), ArchiveReader::Mode::Unpack, stop_);
        return ReadArchive(reader, name, depth);
      }
      ArchiveReader reader(peeked, ArchiveReader::Mode::Unpack, stop_);
      return ReadArchive(reader, name, depth);
    }
    case ContentKind::Other:
      return Problem(name, content.what);
  }
  return false;
}

bool LogReader::Deliver(const evtx::ParsedChunk& chunk) {
  for (std::size_t d = 0; d < chunk.damage.size(); ++d)
    if (chunk.damage[d] != 0) sink_.OnEvtxDamage(static_cast<evtx::Damage>(d), chunk.damage[d]);
  if (!sink_.OnEvtxChunk(chunk)) stoppedBySink_ = true;
  return !stoppedBySink_;
}

bool LogReader::ReadEvtx(ByteSource& source, const std::string& name) {
  sink_.OnSource(name);
  evtx::StreamReader stream([&source](char* into, std::size_t size) { return source.Read(into, size); });
  evtx::FileHeader header;
  if (!stream.ReadHeader(header)) {
    if (!source.error().empty() || source.stopped()) return Failed(source, name, "");
    return Problem(name, "an EVTX file cut short in its header");
  }
  if (!header.checksum) sink_.OnEvtxDamage(evtx::Damage::FileHeaderChecksum, 1);
  if (threads_ <= 1) {
    evtx::ChunkParser parser;
    evtx::ParsedChunk chunk;
    std::vector<uint8_t> bytes;
    for (;;) {
      const long n = stream.NextChunk(bytes);
      if (n < 0) return Failed(source, name, "");
      if (n == 0) return true;
      parser.Parse(bytes.data(), bytes.size(), chunk);
      if (!Deliver(chunk)) return true;
    }
  }
  ParallelChunks parallel(threads_);
  switch (parallel.Run(stream, [this](const evtx::ParsedChunk& chunk) { return Deliver(chunk); })) {
    case ParallelChunks::End::Failed: return Failed(source, name, "");
    default: return true;
  }
}

bool LogReader::ReadArchive(ArchiveReader& reader, const std::string& name, int depth) {
  reader.LimitMembers(unpackedLimit_);
  if (!reader.Open()) return Problem(name, reader.error());
  bool ok = true;
  int members = 0;
  for (;;) {
    if (stop_ != nullptr && *stop_ != 0) {
      stopped_ = true;
      return false;
    }
    std::string member;
    bool regular = false;
    const int next = reader.Next(member, regular);
    if (next == 0) break;
    if (next < 0) {
      if (reader.data().stopped() || (stop_ != nullptr && *stop_ != 0)) {
        stopped_ = true;
        return false;
      }
      return Problem(name, reader.error());
    }
    if (!regular) continue;
    ++members;
    ok = ReadStream(reader.data(), name + ":" + Printable(member), depth + 1, nullptr) && ok;
    if (stopped_ || stoppedBySink_) return false;
  }
  if (members == 0) return Problem(name, "an archive without files");
  return ok;
}

}  // namespace evreplay
