#include "PipeConnection.h"

#include <string>

namespace coreservice {

namespace platform = tevrin::platform;
using apache::thrift::transport::TTransportException;

namespace {

[[noreturn]] void ThrowWithLastError(const char* what) {
  auto code = platform::LastError();
  auto type = code == platform::kErrorBrokenPipe ? TTransportException::END_OF_FILE : TTransportException::UNKNOWN;
  throw TTransportException(type, std::string(what) + ": errno = " + std::to_string(code));
}

}  // namespace

PipeConnection::PipeConnection(platform::FileHandle handle) : handle_(handle) {}

PipeConnection::~PipeConnection() { close(); }

bool PipeConnection::isOpen() const { return handle_ != platform::kInvalidFileHandle; }

void PipeConnection::close() {
  if (!isOpen()) return;
  platform::ClosePipe(handle_);
  handle_ = platform::kInvalidFileHandle;
}

uint32_t PipeConnection::read_virt(uint8_t* buf, uint32_t len) {
  if (!isOpen()) throw TTransportException(TTransportException::NOT_OPEN, "connection closed");
  uint32_t count = 0;
  if (!platform::ReadFromPipe(handle_, buf, len, count)) ThrowWithLastError("read");
  return count;
}

void PipeConnection::write_virt(const uint8_t* buf, uint32_t len) {
  if (!isOpen()) throw TTransportException(TTransportException::NOT_OPEN, "connection closed");
  uint32_t count = 0;
  if (!platform::WriteToPipe(handle_, buf, len, count) || count != len) ThrowWithLastError("write");
}

void PipeConnection::flush() {
  if (isOpen()) platform::FlushPipe(handle_);
}

}  // namespace coreservice
