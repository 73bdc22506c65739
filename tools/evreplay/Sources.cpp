#include "Sources.h"

#include <archive.h>
#include <archive_entry.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace evreplay {

FileSource::~FileSource() {
  if (owned_) ::close(fd_);
}

bool FileSource::Open(const std::string& path) {
  if (path == "-") {
    fd_ = 0;
  } else {
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd_ < 0) {
      Fail(std::strerror(errno));
      return false;
    }
    owned_ = true;
    // Opened without blocking, so that a FIFO with no writer cannot hang the
    // open; reads block again.
    const int flags = ::fcntl(fd_, F_GETFL);
    if (flags >= 0) ::fcntl(fd_, F_SETFL, flags & ~O_NONBLOCK);
  }
  struct stat status {};
  if (::fstat(fd_, &status) == 0) {
    if (S_ISDIR(status.st_mode)) {
      Fail(std::strerror(EISDIR));
      return false;
    }
    seekable_ = S_ISREG(status.st_mode);
  }
  return true;
}

long FileSource::Read(char* into, std::size_t size) {
  for (;;) {
    if (Stopping()) return -1;
    const ssize_t n = ::read(fd_, into, size);
    if (n >= 0) {
      if (total_ != nullptr) total_->fetch_add(static_cast<uint64_t>(n), std::memory_order_relaxed);
      return static_cast<long>(n);
    }
    // A signal's handler sets the stop before the read returns EINTR.
    if (errno == EINTR) continue;
    return Fail(std::strerror(errno));
  }
}

PeekedSource::PeekedSource(ByteSource& from, std::size_t size) : ByteSource(nullptr), from_(from) {
  head_.resize(size);
  std::size_t filled = 0;
  while (filled < size) {
    const long n = from_.Read(head_.data() + filled, size - filled);
    if (n < 0) {
      ok_ = false;
      FailAs(from_);
      break;
    }
    if (n == 0) break;
    filled += static_cast<std::size_t>(n);
  }
  head_.resize(filled);
}

long PeekedSource::Read(char* into, std::size_t size) {
  if (!ok_) return -1;
  if (served_ < head_.size()) {
    const std::size_t n = std::min(size, head_.size() - served_);
    std::memcpy(into, head_.data() + served_, n);
    served_ += n;
    return static_cast<long>(n);
  }
  const long n = from_.Read(into, size);
  if (n < 0) FailAs(from_);
  return n;
}

// ---- libarchive -------------------------------------------------------------------

class ArchiveReader::MemberData : public ByteSource {
 public:
  MemberData(::archive* reading, const volatile std::sig_atomic_t* stop) : ByteSource(stop), archive_(reading) {}
  uint64_t limit = 0;
  uint64_t served = 0;
  void Restart() { served = 0; }

  long Read(char* into, std::size_t size) override {
    if (Stopping()) return -1;
    const la_ssize_t n = archive_read_data(archive_, into, size);
    if (n >= 0) {
      served += static_cast<uint64_t>(n);
      if (limit != 0 && served > limit) return Fail("more than " + std::to_string(limit) + " bytes unpacked");
      return static_cast<long>(n);
    }
    if (Stopping()) return -1;  // the stop reached the source below
    const char* message = archive_error_string(archive_);
    return Fail(message != nullptr ? message : "unreadable");
  }

 private:
  ::archive* archive_;
};

namespace {

la_ssize_t ReadFromSource(::archive* reading, void* context, const void** block) {
  auto* input = static_cast<ArchiveReader::Input*>(context);
  const long n = input->from->Read(input->block.data(), input->block.size());
  if (n < 0) {
    archive_set_error(reading, EIO, "%s", input->from->error().c_str());
    return -1;
  }
  *block = input->block.data();
  return n;
}

}  // namespace

ArchiveReader::ArchiveReader(ByteSource& from, Mode mode, const volatile std::sig_atomic_t* stop)
    : archive_(archive_read_new()), mode_(mode), input_(std::make_unique<Input>()) {
  input_->from = &from;
  data_ = std::make_unique<MemberData>(archive_, stop);
  Configure();
}

ArchiveReader::ArchiveReader(int descriptor, Mode mode, const volatile std::sig_atomic_t* stop)
    : archive_(archive_read_new()), mode_(mode), descriptor_(descriptor) {
  data_ = std::make_unique<MemberData>(archive_, stop);
  Configure();
}

ArchiveReader::~ArchiveReader() { archive_read_free(archive_); }

ByteSource& ArchiveReader::data() { return *data_; }

void ArchiveReader::LimitMembers(uint64_t bytes) { data_->limit = bytes; }

void ArchiveReader::Configure() {
  archive_read_support_filter_all(archive_);
  if (mode_ == Mode::Decompress) {
    // The decompressed bytes as one member; what they are is told after.
    archive_read_support_format_raw(archive_);
    archive_read_support_format_empty(archive_);
    return;
  }
  // Only archive formats with a signature: text formats (mtree) would take
  // JSON lines for file names.
  archive_read_support_format_tar(archive_);
  archive_read_support_format_gnutar(archive_);
  archive_read_support_format_zip(archive_);
  archive_read_support_format_7zip(archive_);
}

bool ArchiveReader::Open() {
  int status = ARCHIVE_OK;
  if (descriptor_ >= 0) {
    if (::lseek(descriptor_, 0, SEEK_SET) != 0) {
      error_ = std::strerror(errno);
      return false;
    }
    status = archive_read_open_fd(archive_, descriptor_, 1 << 16);
  } else {
    status = archive_read_open(archive_, input_.get(), nullptr, ReadFromSource, nullptr);
  }
  if (status != ARCHIVE_OK) {
    const char* message = archive_error_string(archive_);
    error_ = message != nullptr ? message : "unreadable";
    return false;
  }
  return true;
}

int ArchiveReader::Next(std::string& name, bool& regular) {
  archive_entry* entry = nullptr;
  const int status = archive_read_next_header(archive_, &entry);
  if (status == ARCHIVE_EOF) return 0;
  if (status < ARCHIVE_WARN) {
    const char* message = archive_error_string(archive_);
    error_ = data_->stopped() ? "stopped" : message != nullptr ? message : "unreadable archive";
    return -1;
  }
  data_->Restart();
  const char* entryName = archive_entry_pathname(entry);
  name = entryName != nullptr ? entryName : "?";
  regular = archive_entry_filetype(entry) == AE_IFREG;
  return 1;
}

}  // namespace evreplay
