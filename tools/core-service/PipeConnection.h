#pragma once

#include <thrift/transport/TTransport.h>

#include <utility>
#include <vector>

#include "platform/PipeApi.h"

namespace coreservice {

/**
 * One accepted client connection of the service's pipe, as a Thrift
 * transport. Owns the connection handle and closes it on destruction. Reads
 * and writes are single platform calls; a closed peer ends reading with
 * END_OF_FILE.
 */
class PipeConnection : public apache::thrift::transport::TTransport {
public:
  // Takes ownership of `handle`.
  explicit PipeConnection(tevrin::platform::FileHandle handle);
  // Closes the connection.
  ~PipeConnection() override;

  PipeConnection(const PipeConnection&) = delete;
  PipeConnection& operator=(const PipeConnection&) = delete;

  // True until close().
  bool isOpen() const override;
  // Closes the connection; a second call does nothing.
  void close() override;
  // One platform read of up to `len` bytes.
  uint32_t read_virt(uint8_t* buf, uint32_t len) override;
  // One platform write of all `len` bytes.
  void write_virt(const uint8_t* buf, uint32_t len) override;
  // Waits until the client has read what was written.
  void flush() override;

private:
  tevrin::platform::FileHandle handle_;
};

}  // namespace coreservice
