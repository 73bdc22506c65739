// Reads JSON lines from plain files, standard input ("-") and compressed
// files or archives (gzip, bzip2, xz, zstd; zip, tar): whatever libarchive
// reads, told apart by the first bytes, not by the name. Every regular file
// of an archive is read as lines of its own.
#ifndef EVREPLAY_LINE_READER_H
#define EVREPLAY_LINE_READER_H

#include <csignal>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace evreplay {

class LineSink {
 public:
  virtual ~LineSink() = default;
  // A new file or archive member begins: "a.jsonl", "logs.zip:day1.json".
  virtual void OnSource(const std::string& name) = 0;
  // One line without its "\n" (and "\r"). At least `capacity` bytes from
  // `data` on are readable. Returns false to stop reading.
  virtual bool OnLine(const char* data, std::size_t size, std::size_t capacity, uint64_t lineNumber) = 0;
  // A line longer than the reader holds; it is skipped.
  virtual void OnLongLine(uint64_t lineNumber) = 0;
};

class LineReader {
 public:
  // Lines up to `maxLine` bytes are handed over whole; `padding` bytes after
  // each are readable.
  explicit LineReader(std::size_t maxLine = std::size_t{64} << 20, std::size_t padding = 64);

  // Reads `path` to its end or until the sink stops. False, with error(),
  // when it cannot be opened or read; lines read before that were handed over.
  bool Read(const std::string& path, LineSink& sink);
  const std::string& error() const { return error_; }
  std::size_t maxLine() const { return maxLine_; }
  // A read interrupted by a signal ends the input when `*flag` is set then
  // (Ctrl-C while waiting on standard input), and is resumed otherwise.
  void StopOn(const volatile std::sig_atomic_t* flag) { stop_ = flag; }

 private:
  class ByteSource;
  class FileSource;
  class ArchiveSource;
  bool ReadLines(ByteSource& source, const std::string& name, LineSink& sink);

  std::size_t maxLine_;
  std::size_t padding_;
  std::vector<char> buffer_;
  std::string error_;
  bool stopped_ = false;
  const volatile std::sig_atomic_t* stop_ = nullptr;
};

}  // namespace evreplay

#endif
