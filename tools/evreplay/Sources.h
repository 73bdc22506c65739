// Streams of bytes that evreplay reads logs from: files, standard input, the
// decompressed form of a compressed stream and the members of an archive
// (libarchive). Every read gives up once a stop is requested, so that a
// signal ends any read at once, inside a line of any length too.
#ifndef EVREPLAY_SOURCES_H
#define EVREPLAY_SOURCES_H

#include <atomic>
#include <csignal>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct archive;

namespace evreplay {

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Up to `size` bytes into `into`: their count, 0 at the end, -1 on a
  // failure (error()) or a stop (stopped()).
  virtual long Read(char* into, std::size_t size) = 0;
  const std::string& error() const { return error_; }
  bool stopped() const { return stopped_; }

 protected:
  explicit ByteSource(const volatile std::sig_atomic_t* stop) : stop_(stop) {}
  long Fail(std::string why) {
    error_ = std::move(why);
    return -1;
  }
  // Fails as `from` failed, or stopped.
  long FailAs(const ByteSource& from) {
    error_ = from.error_;
    stopped_ = from.stopped_;
    return -1;
  }
  // True, and the source stopped, once a stop was requested.
  bool Stopping() {
    if (stop_ == nullptr || *stop_ == 0) return false;
    stopped_ = true;
    error_ = "stopped";
    return true;
  }
  const volatile std::sig_atomic_t* stop_;

 private:
  std::string error_;
  bool stopped_ = false;
};

// A file, a device or standard input ("-").
class FileSource : public ByteSource {
 public:
  explicit FileSource(const volatile std::sig_atomic_t* stop) : ByteSource(stop) {}
  ~FileSource() override;
  FileSource(const FileSource&) = delete;
  FileSource& operator=(const FileSource&) = delete;
  // False with error() when it cannot be opened.
  bool Open(const std::string& path);
  long Read(char* into, std::size_t size) override;
  // A regular file can be read again from its start (archives that seek).
  bool seekable() const { return seekable_; }
  int descriptor() const { return fd_; }
  // Every byte read is added to `*total` too (for the progress).
  void CountInto(std::atomic<uint64_t>* total) { total_ = total; }

 private:
  std::atomic<uint64_t>* total_ = nullptr;
  int fd_ = -1;
  bool owned_ = false;
  bool seekable_ = false;
};

// Holds the first bytes of another source for looking at, then hands them
// over before the rest.
class PeekedSource : public ByteSource {
 public:
  // Reads up to `size` bytes of `from` now; false with error() when that fails.
  PeekedSource(ByteSource& from, std::size_t size);
  bool ok() const { return ok_; }
  std::string_view head() const { return head_; }
  long Read(char* into, std::size_t size) override;

 private:
  ByteSource& from_;
  std::string head_;
  std::size_t served_ = 0;
  bool ok_ = true;
};

// A stream read with libarchive: decompressed (any filter, the raw format:
// one member, the data), or unpacked (any filter, then zip, tar or 7z).
class ArchiveReader {
 public:
  enum class Mode { Decompress, Unpack };
  // From a source, streamed.
  ArchiveReader(ByteSource& from, Mode mode, const volatile std::sig_atomic_t* stop);
  // From a regular file, from its start, with seeking (zip's directory, 7z).
  ArchiveReader(int descriptor, Mode mode, const volatile std::sig_atomic_t* stop);
  ~ArchiveReader();
  ArchiveReader(const ArchiveReader&) = delete;
  ArchiveReader& operator=(const ArchiveReader&) = delete;

  // False with error() when the stream is not what `mode` reads.
  bool Open();
  // Members that hand over more than `bytes` fail (0: no limit).
  void LimitMembers(uint64_t bytes);
  // The next member: 1 with its name and whether it is a regular file, 0 at
  // the end, -1 with error().
  int Next(std::string& name, bool& regular);
  // The current member's bytes.
  ByteSource& data();
  const std::string& error() const { return error_; }

  // What libarchive reads from when the bytes come from another source.
  struct Input {
    ByteSource* from = nullptr;
    std::vector<char> block = std::vector<char>(std::size_t{1} << 16);
  };

 private:
  class MemberData;
  void Configure();

  ::archive* archive_;
  Mode mode_;
  int descriptor_ = -1;
  std::unique_ptr<Input> input_;
  std::unique_ptr<MemberData> data_;
  std::string error_;
};

}  // namespace evreplay

#endif
