#include "LineReader.h"

#include <archive.h>
#include <archive_entry.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <string_view>

namespace evreplay {

class LineReader::ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Bytes read into `into`, 0 at the end, -1 on failure with `error`.
  virtual long Read(char* into, std::size_t size, std::string& error) = 0;
};

// A file or standard input; the bytes looked at to tell its kind come first.
class LineReader::FileSource : public ByteSource {
 public:
  explicit FileSource(const volatile std::sig_atomic_t* stop) : stop_(stop) {}
  bool Open(const std::string& path, std::string& error) {
    if (path == "-") {
      fd_ = 0;
    } else {
      fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
      if (fd_ < 0) {
        error = "cannot open " + path + ": " + std::strerror(errno);
        return false;
      }
      owned_ = true;
    }
    // Enough for tar's magic at offset 257.
    prefix_.resize(512);
    std::size_t filled = 0;
    while (filled < prefix_.size()) {
      long n = ReadFile(prefix_.data() + filled, prefix_.size() - filled, error);
      if (n < 0) {
        error = path + ": " + error;
        return false;
      }
      if (n == 0) break;
      filled += static_cast<std::size_t>(n);
    }
    prefix_.resize(filled);
    return true;
  }
  ~FileSource() override {
    if (owned_) ::close(fd_);
  }

  bool LooksPacked() const {
    auto starts = [&](std::string_view magic, std::size_t at = 0) {
      return prefix_.size() >= at + magic.size() && std::memcmp(prefix_.data() + at, magic.data(), magic.size()) == 0;
    };
    using namespace std::string_view_literals;
    return starts("\x1f\x8b"sv) || starts("BZh"sv) || starts("\xfd" "7zXZ\0"sv) || starts("\x28\xb5\x2f\xfd"sv) ||
           starts("PK\x03\x04"sv) || starts("PK\x05\x06"sv) || starts("PK\x07\x08"sv) ||
           starts("7z\xbc\xaf\x27\x1c"sv) || starts("ustar"sv, 257);
  }

  long Read(char* into, std::size_t size, std::string& error) override {
    if (served_ < prefix_.size()) {
      std::size_t n = std::min(size, prefix_.size() - served_);
      std::memcpy(into, prefix_.data() + served_, n);
      served_ += n;
      return static_cast<long>(n);
    }
    return ReadFile(into, size, error);
  }

 private:
  long ReadFile(char* into, std::size_t size, std::string& error) {
    for (;;) {
      ssize_t n = ::read(fd_, into, size);
      if (n >= 0) return static_cast<long>(n);
      if (errno == EINTR) {
        if (stop_ != nullptr && *stop_ != 0) return 0;
        continue;
      }
      error = std::strerror(errno);
      return -1;
    }
  }

  const volatile std::sig_atomic_t* stop_;
  int fd_ = -1;
  bool owned_ = false;
  std::vector<char> prefix_;
  std::size_t served_ = 0;
};

// The data of the current member of an archive.
class LineReader::ArchiveSource : public ByteSource {
 public:
  explicit ArchiveSource(archive* reading) : archive_(reading) {}
  long Read(char* into, std::size_t size, std::string& error) override {
    la_ssize_t n = archive_read_data(archive_, into, size);
    if (n < 0) {
      const char* message = archive_error_string(archive_);
      error = message != nullptr ? message : "cannot read";
      return -1;
    }
    return static_cast<long>(n);
  }

 private:
  archive* archive_;
};

namespace {

struct ArchiveInput {
  LineReader* reader;
  std::string* error;
  void* source;  // FileSource
  long (*read)(void* source, char* into, std::size_t size, std::string& error);
  std::vector<char> block = std::vector<char>(std::size_t{1} << 16);
};

la_ssize_t ReadBlock(archive* reading, void* context, const void** block) {
  auto* input = static_cast<ArchiveInput*>(context);
  long n = input->read(input->source, input->block.data(), input->block.size(), *input->error);
  if (n < 0) {
    archive_set_error(reading, EIO, "%s", input->error->c_str());
    return -1;
  }
  *block = input->block.data();
  return n;
}

struct ArchiveCloser {
  void operator()(archive* reading) const { archive_read_free(reading); }
};

}  // namespace

LineReader::LineReader(std::size_t maxLine, std::size_t padding) : maxLine_(maxLine), padding_(padding) {}

bool LineReader::Read(const std::string& path, LineSink& sink) {
  error_.clear();
  stopped_ = false;
  FileSource file(stop_);
  if (!file.Open(path, error_)) return false;
  const std::string name = path == "-" ? "standard input" : path;
  if (!file.LooksPacked()) return ReadLines(file, name, sink);

  std::unique_ptr<archive, ArchiveCloser> reading(archive_read_new());
  archive_read_support_filter_all(reading.get());
  // Only archive formats with a signature: text formats (mtree) would take
  // JSON lines for file names.
  archive_read_support_format_tar(reading.get());
  archive_read_support_format_gnutar(reading.get());
  archive_read_support_format_zip(reading.get());
  archive_read_support_format_7zip(reading.get());
  archive_read_support_format_empty(reading.get());
  // A compressed file that is no archive: its one member is the data.
  archive_read_support_format_raw(reading.get());
  std::string readError;
  ArchiveInput input{this, &readError, &file,
                     [](void* source, char* into, std::size_t size, std::string& error) {
                       return static_cast<FileSource*>(source)->Read(into, size, error);
                     }};
  if (archive_read_open(reading.get(), &input, nullptr, ReadBlock, nullptr) != ARCHIVE_OK) {
    error_ = name + ": " + archive_error_string(reading.get());
    return false;
  }
  for (;;) {
    archive_entry* entry = nullptr;
    int status = archive_read_next_header(reading.get(), &entry);
    if (status == ARCHIVE_EOF) return true;
    if (status < ARCHIVE_WARN) {
      const char* message = archive_error_string(reading.get());
      error_ = name + ": " + (message != nullptr ? message : "unreadable archive");
      return false;
    }
    if (archive_entry_filetype(entry) != AE_IFREG) continue;
    std::string member = name;
    if (archive_format(reading.get()) != ARCHIVE_FORMAT_RAW) {
      const char* entryName = archive_entry_pathname(entry);
      member += ":";
      member += entryName != nullptr ? entryName : "?";
    }
    ArchiveSource data(reading.get());
    if (!ReadLines(data, member, sink)) return false;
    if (stopped_) return true;
  }
}

bool LineReader::ReadLines(ByteSource& source, const std::string& name, LineSink& sink) {
  sink.OnSource(name);
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
  for (;;) {
    const void* found = scan < end ? std::memchr(buffer + scan, '\n', end - scan) : nullptr;
    if (found != nullptr) {
      const std::size_t newline = static_cast<std::size_t>(static_cast<const char*>(found) - buffer);
      ++lineNumber;
      if (skipping) {
        skipping = false;
        sink.OnLongLine(lineNumber);
      } else {
        std::size_t size = newline - begin;
        if (size > 0 && buffer[newline - 1] == '\r') --size;
        if (!sink.OnLine(buffer + begin, size, buffer_.size() - begin, lineNumber)) {
          stopped_ = true;
          return true;
        }
      }
      begin = scan = newline + 1;
      continue;
    }
    if (atEnd) {
      if (skipping) {
        sink.OnLongLine(++lineNumber);
      } else if (begin < end) {
        std::size_t size = end - begin;
        if (buffer[end - 1] == '\r') --size;
        if (!sink.OnLine(buffer + begin, size, buffer_.size() - begin, ++lineNumber)) stopped_ = true;
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
    std::string readError;
    long n = source.Read(buffer + end, capacity - end, readError);
    if (n < 0) {
      error_ = name + ": " + readError;
      return false;
    }
    if (n == 0) atEnd = true;
    end += static_cast<std::size_t>(n);
  }
}

}  // namespace evreplay
