#include "LineReader.h"

#include <algorithm>
#include <cstring>

namespace evreplay {

LineReader::LineReader(std::size_t maxLine, std::size_t padding) : maxLine_(maxLine), padding_(padding) {}

bool LineReader::ReadLines(ByteSource& source, LineSink& sink) {
  error_.clear();
  stoppedBySink_ = false;
  // Room for the longest line with its "\n".
  const std::size_t maxCapacity = maxLine_ + 1;
  std::size_t capacity = std::min<std::size_t>(maxCapacity, std::size_t{1} << 20);
  if (buffer_.size() < capacity + padding_) buffer_.resize(capacity + padding_);
  capacity = buffer_.size() - padding_;
  char* buffer = buffer_.data();
  std::size_t begin = 0, end = 0, scan = 0;
  uint64_t lineNumber = 0;
  bool skipping = false;  // inside a line too long to hold
  bool atEnd = false;
  bool first = true;      // the byte-order mark is looked for once
  auto handOver = [&](std::size_t from, std::size_t size) {
    if (first) {
      first = false;
      if (size >= 3 && std::memcmp(buffer + from, "\xef\xbb\xbf", 3) == 0) {
        from += 3;
        size -= 3;
      }
    }
    if (size > 0 && buffer[from + size - 1] == '\r') --size;
    return sink.OnLine(buffer + from, size, buffer_.size() - from, ++lineNumber);
  };
  for (;;) {
    const void* found = scan < end ? std::memchr(buffer + scan, '\n', end - scan) : nullptr;
    if (found != nullptr) {
      const std::size_t newline = static_cast<std::size_t>(static_cast<const char*>(found) - buffer);
      if (skipping) {
        skipping = false;
        first = false;
        sink.OnLongLine(++lineNumber);
      } else if (!handOver(begin, newline - begin)) {
        stoppedBySink_ = true;
        return true;
      }
      begin = scan = newline + 1;
      continue;
    }
    if (atEnd) {
      if (skipping) {
        sink.OnLongLine(++lineNumber);
      } else if (begin < end && !handOver(begin, end - begin)) {
        stoppedBySink_ = true;
      }
      return true;
    }
    if (begin > 0) {
      std::memmove(buffer, buffer + begin, end - begin);
      end -= begin;
      begin = 0;
    }
    scan = end;
    if (end == capacity) {
      if (capacity < maxCapacity) {
        capacity = std::min(maxCapacity, capacity * 2);
        buffer_.resize(capacity + padding_);
        buffer = buffer_.data();
      } else {
        skipping = true;
        end = scan = 0;
      }
    }
    const long n = source.Read(buffer + end, capacity - end);
    if (n < 0) {
      error_ = source.error();
      return false;
    }
    if (n == 0) atEnd = true;
    end += static_cast<std::size_t>(n);
  }
}

}  // namespace evreplay
