// Splits a stream of JSON lines into lines, in large blocks: a line is
// handed over in place, with readable padding after it.
#ifndef EVREPLAY_LINE_READER_H
#define EVREPLAY_LINE_READER_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "Sources.h"

namespace evreplay {

class LineSink {
 public:
  virtual ~LineSink() = default;
  // A new input begins: "a.jsonl", "logs.zip:day1.json" (escaped for printing).
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

  // Hands the lines of `source` to `sink` until its end or until the sink
  // stops (stoppedBySink()). A byte-order mark before the first line is not
  // part of it. False, with error(), when the source fails or is stopped;
  // the lines before that were handed over.
  bool ReadLines(ByteSource& source, LineSink& sink);
  const std::string& error() const { return error_; }
  bool stoppedBySink() const { return stoppedBySink_; }
  std::size_t maxLine() const { return maxLine_; }

 private:
  std::size_t maxLine_;
  std::size_t padding_;
  std::vector<char> buffer_;
  std::string error_;
  bool stoppedBySink_ = false;
};

}  // namespace evreplay

#endif
