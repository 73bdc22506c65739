#include "TWin32PipeClient.h"

namespace apache {
namespace thrift {
namespace transport {

namespace platform = tevrin::platform;

namespace {

// "<what>: errno = <code>", with the code in signed decimal whatever the
// library's own rendering of error numbers. A wait that outlived the
// deadline is a time-out whatever the call.
[[noreturn]] void ThrowWithLastError(TTransportException::TTransportExceptionType type, const char* what) {
  auto code = platform::LastError();
  if (code == platform::kErrorTimeout) type = TTransportException::TIMED_OUT;
  throw TTransportException(type, std::string(what) + ": errno = " + std::to_string(static_cast<int32_t>(code)));
}

}  // namespace

TWin32PipeClient::TWin32PipeClient(const std::string& pipeName)
    : TWin32PipeClient(pipeName, platform::kNoDeadline) {}

TWin32PipeClient::TWin32PipeClient(const std::string& pipeName, platform::Deadline deadline)
    : pipeName_(pipeName), deadline_(deadline), handle_(platform::kInvalidFileHandle) {
  open();
}

TWin32PipeClient::~TWin32PipeClient() { closeHandle(); }

bool TWin32PipeClient::isOpen() const { return handle_ != platform::kInvalidFileHandle; }

void TWin32PipeClient::open() {
  if (isOpen()) return;  // keep the connection rather than leak it
  handle_ = platform::OpenPipe(pipeName_, deadline_);
  if (handle_ == platform::kInvalidFileHandle)
    ThrowWithLastError(TTransportException::NOT_OPEN, "TWin32PipeClient open() failed");
}

void TWin32PipeClient::close() { closeHandle(); }

void TWin32PipeClient::closeHandle() noexcept {
  if (handle_ == platform::kInvalidFileHandle) return;
  platform::FlushPipe(handle_, deadline_);
  platform::ClosePipe(handle_);
  handle_ = platform::kInvalidFileHandle;
}

uint32_t TWin32PipeClient::read_virt(uint8_t* buf, uint32_t len) {
  if (!isOpen()) throw TTransportException(TTransportException::NOT_OPEN, "TWin32PipeClient read() failed.");
  uint32_t received = 0;
  if (!platform::ReadFromPipe(handle_, buf, len, received, deadline_))
    ThrowWithLastError(TTransportException::UNKNOWN, "TWin32PipeClient read() failed");
  return received;
}

void TWin32PipeClient::write_virt(const uint8_t* buf, uint32_t len) {
  if (!isOpen()) throw TTransportException(TTransportException::NOT_OPEN, "TWin32PipeClient write() failed");
  uint32_t written = 0;
  if (!platform::WriteToPipe(handle_, buf, len, written, deadline_) || written != len)
    ThrowWithLastError(TTransportException::UNKNOWN, "TWin32PipeClient write() failed");
}

void TWin32PipeClient::flush() {
  if (!isOpen()) throw TTransportException(TTransportException::NOT_OPEN, "TWin32PipeClient flush() failed");
  // Only a wait that ran out of time is worth reporting; other failures of
  // the flush are ignored, as the read of the reply will show them.
  if (!platform::FlushPipe(handle_, deadline_) && platform::LastError() == platform::kErrorTimeout)
    ThrowWithLastError(TTransportException::TIMED_OUT, "TWin32PipeClient flush() failed");
}

std::string TWin32PipeClient::serverAccount() const {
  if (!isOpen()) throw TTransportException(TTransportException::NOT_OPEN, "TWin32PipeClient serverAccount() failed");
  std::string account;
  if (!platform::PipeServerAccount(handle_, account))
    ThrowWithLastError(TTransportException::UNKNOWN, "TWin32PipeClient serverAccount() failed");
  return account;
}

}  // namespace transport
}  // namespace thrift
}  // namespace apache
