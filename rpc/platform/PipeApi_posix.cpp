#include <fcntl.h>
#include <linux/sockios.h>
#include <poll.h>
#include <sched.h>
#include <sys/epoll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstddef>
#include <cstring>

#include "PipeApi.h"
#include "Utf8Codec.h"

namespace tevrin::platform {
namespace {

thread_local std::uint32_t lastError = 0;

bool Fail(std::uint32_t code) {
  lastError = code;
  return false;
}

constexpr char kPipePrefix[] = "\\\\.\\pipe\\";
constexpr std::size_t kPipePrefixLength = sizeof(kPipePrefix) - 1;

bool HasPipePrefix(const std::string& path) {
  if (path.size() < kPipePrefixLength) return false;
  for (std::size_t i = 0; i < kPipePrefixLength; ++i) {
    // Windows object names are case-insensitive ("\\.\PIPE\" works too).
    if (std::tolower(static_cast<unsigned char>(path[i])) != kPipePrefix[i]) return false;
  }
  return true;
}

// The codes Windows reports for the same situation on a pipe.
std::uint32_t ErrorFromErrno(int error) {
  switch (error) {
    case ECONNREFUSED:
    case ENOENT:
      return kErrorFileNotFound;
    case EAGAIN:
      return kErrorPipeBusy;
    case EACCES:
    case EPERM:
      return kErrorAccessDenied;
    case EBADF:
    case ENOTSOCK:
      return kErrorInvalidHandle;
    case ENOMEM:
    case ENOBUFS:
    case EMFILE:
    case ENFILE:
      return kErrorNotEnoughMemory;
    case ECONNRESET:
      return kErrorBrokenPipe;
    case EPIPE:
      return kErrorNoData;
    default:
      return kErrorInvalidParameter;
  }
}

// Milliseconds left until `deadline` for poll and epoll_wait: -1 waits
// without end, 0 means the time is over.
int MillisecondsLeft(Deadline deadline) {
  if (deadline == kNoDeadline) return -1;
  auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
  if (left <= 0) return 0;
  return left > INT_MAX ? INT_MAX : static_cast<int>(left);
}

// Waits until `handle` is ready for `events`; false with kErrorTimeout when
// the deadline passes first.
bool WaitUntilReady(FileHandle handle, short events, Deadline deadline) {
  if (deadline == kNoDeadline) return true;  // the blocking call itself waits
  pollfd entry{handle, events, 0};
  for (;;) {
    int ready = ::poll(&entry, 1, MillisecondsLeft(deadline));
    if (ready > 0) return true;
    if (ready == 0) return Fail(kErrorTimeout);
    if (errno != EINTR) return Fail(ErrorFromErrno(errno));
  }
}

constexpr auto kSpinBeforeSleeping = std::chrono::microseconds(50);

// The memory that buffers written to `handle` still hold because the peer
// has not read them, or -1. A buffer counts with its whole allocation, some
// hundreds of bytes at least.
int UnreadByPeer(FileHandle handle) {
  int pending = 0;
  if (::ioctl(handle, SIOCOUTQ, &pending) < 0) return -1;
  return pending;
}

// True when the peer has read everything (or the query failed: -1). The
// kernel wakes the writer while it is still releasing the last buffer, with
// one unit of it left for an instant; a waiter that took that 1 for data
// would sleep on with no wake-up to come.
bool IsDrained(int pending) { return pending <= 1; }

// Closes a descriptor on every way out.
class ScopedDescriptor {
public:
  explicit ScopedDescriptor(int fd) : fd_(fd) {}
  ~ScopedDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  ScopedDescriptor(const ScopedDescriptor&) = delete;
  ScopedDescriptor& operator=(const ScopedDescriptor&) = delete;
  int get() const { return fd_; }

private:
  int fd_;
};

}  // namespace

FileHandle OpenPipe(const std::string& path, Deadline /*deadline: opening never waits*/) {
  if (!HasPipePrefix(path)) {
    Fail(kErrorFileNotFound);
    return kInvalidFileHandle;
  }
  std::string name = path.substr(kPipePrefixLength);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  // Abstract namespace: a leading NUL, then the name without terminator.
  if (name.empty() || name.size() + 1 > sizeof(address.sun_path) || name.find('\0') != std::string::npos) {
    Fail(name.empty() ? kErrorFileNotFound : kErrorFilenameTooLong);
    return kInvalidFileHandle;
  }
  std::memcpy(address.sun_path + 1, name.data(), name.size());
  auto addressLength = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());

  // Non-blocking connect: a full backlog means every instance is busy, and
  // Windows does not wait for a busy pipe either.
  int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) {
    Fail(ErrorFromErrno(errno));
    return kInvalidFileHandle;
  }
  int rc;
  do {
    rc = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), addressLength);
  } while (rc < 0 && errno == EINTR);
  if (rc < 0) {
    int error = errno;
    ::close(fd);
    Fail(ErrorFromErrno(error));
    return kInvalidFileHandle;
  }
  int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) < 0) {
    int error = errno;
    ::close(fd);
    Fail(ErrorFromErrno(error));
    return kInvalidFileHandle;
  }
  lastError = 0;
  return fd;
}

bool PipeServerAccount(FileHandle handle, std::string& account) {
  account.clear();
  ucred peer{};
  socklen_t size = sizeof peer;
  if (::getsockopt(handle, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0) return Fail(ErrorFromErrno(errno));
  account = std::to_string(peer.uid);
  lastError = 0;
  return true;
}

bool ReadFromPipe(FileHandle handle, void* buffer, std::uint32_t length, std::uint32_t& bytesRead,
                  Deadline deadline) {
  bytesRead = 0;
  if (length == 0) return true;
  ssize_t n;
  do {
    if (!WaitUntilReady(handle, POLLIN, deadline)) return false;
    n = ::recv(handle, buffer, length, deadline == kNoDeadline ? 0 : MSG_DONTWAIT);
  } while (n < 0 && (errno == EINTR || errno == EAGAIN));
  if (n == 0) return Fail(kErrorBrokenPipe);
  if (n < 0) return Fail(errno == EPIPE ? kErrorBrokenPipe : ErrorFromErrno(errno));
  bytesRead = static_cast<std::uint32_t>(n);
  return true;
}

bool WriteToPipe(FileHandle handle, const void* buffer, std::uint32_t length, std::uint32_t& bytesWritten,
                 Deadline deadline) {
  bytesWritten = 0;
  const auto* bytes = static_cast<const char*>(buffer);
  const int flags = MSG_NOSIGNAL | (deadline == kNoDeadline ? 0 : MSG_DONTWAIT);
  // A blocking WriteFile on a byte-mode pipe takes everything or fails.
  while (bytesWritten < length) {
    ssize_t n = ::send(handle, bytes + bytesWritten, length - bytesWritten, flags);
    if (n < 0) {
      if (errno == EINTR) continue;
      if (errno == EAGAIN) {
        if (!WaitUntilReady(handle, POLLOUT, deadline)) return false;
        continue;
      }
      return Fail(errno == ECONNRESET ? kErrorNoData : ErrorFromErrno(errno));
    }
    bytesWritten += static_cast<std::uint32_t>(n);
  }
  return true;
}

bool FlushPipe(FileHandle handle, Deadline deadline) {
  // The send queue of a Unix socket holds what the peer has not read yet; it
  // empties when the peer reads or closes. Each buffer the peer consumes
  // wakes the writer's waiters, so an edge-triggered epoll registration
  // sleeps in the kernel from one consumption to the next.
  int pending = UnreadByPeer(handle);
  // A peer that is waiting for the data reads it within microseconds, while
  // sleeping and being woken costs tens of them: look again for a moment
  // before going to sleep, as adaptive locks do.
  const auto stopSpinning = std::chrono::steady_clock::now() + kSpinBeforeSleeping;
  while (!IsDrained(pending) && std::chrono::steady_clock::now() < stopSpinning) {
    ::sched_yield();  // the peer may be waiting for this very processor
    pending = UnreadByPeer(handle);
  }
  if (IsDrained(pending)) return pending >= 0 || Fail(ErrorFromErrno(errno));
  ScopedDescriptor poller(::epoll_create1(EPOLL_CLOEXEC));
  if (poller.get() < 0) return Fail(ErrorFromErrno(errno));
  epoll_event watch{};
  watch.events = EPOLLOUT | EPOLLET;
  if (::epoll_ctl(poller.get(), EPOLL_CTL_ADD, handle, &watch) < 0) return Fail(ErrorFromErrno(errno));
  for (;;) {
    // Checked after registering, so that no consumption goes unnoticed.
    pending = UnreadByPeer(handle);
    if (IsDrained(pending)) return pending >= 0 || Fail(ErrorFromErrno(errno));
    epoll_event event{};
    int woken = ::epoll_wait(poller.get(), &event, 1, MillisecondsLeft(deadline));
    if (woken == 0) return Fail(kErrorTimeout);
    if (woken < 0 && errno != EINTR) return Fail(ErrorFromErrno(errno));
  }
}

bool ClosePipe(FileHandle handle) {
  if (::close(handle) < 0 && errno != EINTR) return Fail(ErrorFromErrno(errno));
  return true;
}

std::uint32_t LastError() { return lastError; }

namespace {

// The Windows converters' contract: invalid parameters and a buffer too small
// fail with their codes, and 0.
template <class Unit, class Convert>
int ConvertText(const Unit* text, int length, int capacity, bool outGiven, Convert convert) {
  if (text == nullptr || capacity < 0 || length < -1 || length == 0 || (capacity > 0 && !outGiven)) {
    Fail(kErrorInvalidParameter);
    return 0;
  }
  int n = convert(static_cast<std::size_t>(capacity));
  if (n < 0 || n == INT_MAX) {
    Fail(kErrorInsufficientBuffer);
    return 0;
  }
  return n;
}

}  // namespace

int WideToUtf8Bytes(const char16_t* text, char* out, int capacity) {
  return ConvertText(text, -1, capacity, out != nullptr, [&](std::size_t room) { return EncodeUtf8(text, out, room); });
}

int Utf8ToWideChars(const char* text, char16_t* out, int capacity) {
  return ConvertText(text, -1, capacity, out != nullptr, [&](std::size_t room) { return DecodeUtf8(text, out, room); });
}

int WideToUtf8Bytes(const char16_t* text, int length, char* out, int capacity) {
  return ConvertText(text, length, capacity, out != nullptr, [&](std::size_t room) {
    return EncodeUtf8(text, static_cast<std::size_t>(length), out, room);
  });
}

int Utf8ToWideChars(const char* text, int length, char16_t* out, int capacity) {
  return ConvertText(text, length, capacity, out != nullptr, [&](std::size_t room) {
    return DecodeUtf8(text, static_cast<std::size_t>(length), out, room);
  });
}

}  // namespace tevrin::platform
