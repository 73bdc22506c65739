#pragma once

#include <thrift/transport/TTransport.h>

#include <string>

#include "../platform/PipeApi.h"

namespace apache {
namespace thrift {
namespace transport {

/**
 * Client end of a local named pipe, as a Thrift transport.
 *
 * The pipe is opened by the constructor and never waited for: a missing pipe
 * or busy instances fail at once. Every read, write and flush is exactly one
 * platform call with no retry or batching; batching is left to a
 * TBufferedTransport on top. Waits for the service block in the operating
 * system and last as long as the service takes, unless the connection was
 * opened with a deadline: then every wait still pending when it passes
 * fails with TIMED_OUT and the code 1460 (ERROR_TIMEOUT). Each platform
 * failure becomes a TTransportException whose message ends in "errno = "
 * and the operating system's last-error code. After a failure the handle
 * stays as it was; the owner builds a new object to reconnect.
 *
 * The pipe is opened for identification only: a server may learn who the
 * client is but never act as it, whoever created the pipe first.
 */
class TWin32PipeClient : public TTransport {
public:
  // Opens `pipeName` ("\\.\pipe\NAME"); throws if it cannot.
  explicit TWin32PipeClient(const std::string& pipeName);
  // The same, with a deadline for every wait of the connection, closing included.
  TWin32PipeClient(const std::string& pipeName, tevrin::platform::Deadline deadline);
  // Flushes and closes an open pipe; never throws.
  ~TWin32PipeClient() override;

  TWin32PipeClient(const TWin32PipeClient&) = delete;
  TWin32PipeClient& operator=(const TWin32PipeClient&) = delete;

  // True while the pipe handle is valid.
  bool isOpen() const override;
  // Connects to the pipe named at construction unless already connected;
  // throws NOT_OPEN on failure.
  void open() override;
  // Flushes and closes the pipe; a second call does nothing.
  void close() override;
  // One platform read of up to `len` bytes; returns the count received.
  uint32_t read_virt(uint8_t* buf, uint32_t len) override;
  // One platform write of all `len` bytes; a short write is a failure.
  void write_virt(const uint8_t* buf, uint32_t len) override;
  // Returns once the service has read everything written so far.
  void flush() override;
  // The account of the process serving the pipe (PipeServerAccount), for a
  // caller that must know who it talks to before it sends anything.
  std::string serverAccount() const;

private:
  void closeHandle() noexcept;

  std::string pipeName_;
  tevrin::platform::Deadline deadline_;
  tevrin::platform::FileHandle handle_;
};

}  // namespace transport
}  // namespace thrift
}  // namespace apache
