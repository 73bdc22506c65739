#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstddef>
#include <cstring>
#include <system_error>

#include "PipeListener.h"

namespace coreservice {

using tevrin::platform::FileHandle;
using tevrin::platform::kInvalidFileHandle;

namespace {

std::atomic<bool> stopRequested{false};

[[noreturn]] void ThrowErrno(const char* what) { throw std::system_error(errno, std::generic_category(), what); }

constexpr char kPipePrefix[] = "\\\\.\\pipe\\";

sockaddr_un AbstractAddress(const std::string& pipeName, socklen_t& length) {
  std::string name = pipeName.rfind(kPipePrefix, 0) == 0 ? pipeName.substr(sizeof(kPipePrefix) - 1) : pipeName;
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (name.empty() || name.size() + 1 > sizeof(address.sun_path))
    throw std::system_error(ENAMETOOLONG, std::generic_category(), "pipe name");
  std::memcpy(address.sun_path + 1, name.data(), name.size());
  length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
  return address;
}

// Waits until `fd` is readable or a stop is requested.
bool WaitReadable(int fd) {
  while (!stopRequested) {
    pollfd entry{fd, POLLIN, 0};
    int rc = ::poll(&entry, 1, 100);
    if (rc > 0) return true;
    if (rc < 0 && errno != EINTR) ThrowErrno("poll");
  }
  return false;
}

}  // namespace

struct PipeListener::State {
  int listener = -1;
  int busyClient = -1;
  sockaddr_un address{};
  socklen_t addressLength = 0;
};

PipeListener::PipeListener(const std::string& pipeName) : state_(new State) {
  state_->address = AbstractAddress(pipeName, state_->addressLength);
  state_->listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (state_->listener < 0) ThrowErrno("socket");
  if (::bind(state_->listener, reinterpret_cast<sockaddr*>(&state_->address), state_->addressLength) < 0 ||
      ::listen(state_->listener, 16) < 0) {
    int error = errno;
    ::close(state_->listener);
    delete state_;
    throw std::system_error(error, std::generic_category(), "cannot serve " + pipeName);
  }
}

PipeListener::~PipeListener() {
  if (state_->busyClient >= 0) ::close(state_->busyClient);
  ::close(state_->listener);
  delete state_;
}

FileHandle PipeListener::Accept() {
  while (WaitReadable(state_->listener)) {
    int fd = ::accept4(state_->listener, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd >= 0) return fd;
    if (errno != EINTR && errno != ECONNABORTED) ThrowErrno("accept");
  }
  return kInvalidFileHandle;
}

void PipeListener::HoldBusy() {
  // A backlog of 0 admits one pending connection; the listener's own pending
  // client fills it, and further clients are refused at once.
  if (::listen(state_->listener, 0) < 0) ThrowErrno("listen");
  state_->busyClient = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (state_->busyClient < 0) ThrowErrno("socket");
  if (::connect(state_->busyClient, reinterpret_cast<sockaddr*>(&state_->address), state_->addressLength) < 0)
    ThrowErrno("connect");
}

void PipeListener::WaitForStop() {
  while (!stopRequested) ::poll(nullptr, 0, 100);
}

void PipeListener::Stop() { stopRequested = true; }

void PipeListener::StopOnInterrupt() {
  struct sigaction action {};
  action.sa_handler = [](int) { Stop(); };
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGINT, &action, nullptr);
  ::sigaction(SIGTERM, &action, nullptr);
  ::signal(SIGPIPE, SIG_IGN);
}

}  // namespace coreservice
