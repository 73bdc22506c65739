#include "Serving.h"

#include <thrift/TApplicationException.h>
#include <thrift/protocol/TBinaryProtocol.h>
#include <thrift/transport/TBufferTransports.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include <thrift/transport/TVirtualTransport.h>

#include "PipeConnection.h"

namespace coreservice {

using apache::thrift::TApplicationException;
using apache::thrift::protocol::TBinaryProtocol;
using apache::thrift::protocol::TMessageType;
using apache::thrift::transport::TBufferedTransport;
using apache::thrift::transport::TMemoryBuffer;
using apache::thrift::transport::TTransport;
using apache::thrift::transport::TTransportException;

namespace {

std::string Hex(const std::vector<uint8_t>& bytes) {
  std::string out;
  char digits[4];
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    std::snprintf(digits, sizeof digits, i ? " %02X" : "%02X", bytes[i]);
    out += digits;
  }
  return out;
}

// The reply's bytes, as a service would write them.
std::string RawReplyBytes(const RawReply& reply, const std::string& operation) {
  using namespace apache::thrift::protocol;
  auto buffer = std::make_shared<TMemoryBuffer>();
  TBinaryProtocol out(buffer);
  constexpr int32_t kTwoGiB = 0x7FFFFFFF;
  const std::string few(64, 'x');
  switch (reply.kind) {
    case RawReply::Kind::HugeName:
      out.writeI32(kTwoGiB);
      out.getTransport()->write(reinterpret_cast<const uint8_t*>(few.data()), static_cast<uint32_t>(few.size()));
      return buffer->getBufferAsString();
    case RawReply::Kind::HugeText:
      out.writeMessageBegin(operation, T_REPLY, reply.sequenceId);
      out.writeStructBegin("result");
      out.writeFieldBegin("success", T_STRING, 0);
      out.writeI32(kTwoGiB);
      out.getTransport()->write(reinterpret_cast<const uint8_t*>(few.data()), static_cast<uint32_t>(few.size()));
      return buffer->getBufferAsString();
    case RawReply::Kind::Exception:
      out.writeMessageBegin(operation, T_EXCEPTION, reply.sequenceId);
      TApplicationException(static_cast<TApplicationException::TApplicationExceptionType>(reply.exceptionType),
                            reply.exceptionMessage)
          .write(&out);
      break;
    default: {
      std::string name = reply.kind == RawReply::Kind::OtherName ? reply.name : operation;
      auto type =
          reply.kind == RawReply::Kind::OtherMessageType ? static_cast<TMessageType>(reply.messageType) : T_REPLY;
      out.writeMessageBegin(name, type, reply.sequenceId);
      out.writeStructBegin("result");
      if (reply.kind != RawReply::Kind::EmptyResult) {
        out.writeFieldBegin("success", T_BOOL, 0);
        out.writeBool(true);
        out.writeFieldEnd();
      }
      out.writeFieldStop();
      out.writeStructEnd();
    }
  }
  out.writeMessageEnd();
  return buffer->getBufferAsString();
}

// Writes the reply as `reply` says: whole, byte by byte, or cut short.
void Deliver(PipeConnection& pipe, const std::string& bytes, const RawReply& reply) {
  std::size_t size = bytes.size();
  if (reply.cutAt >= 0 && static_cast<std::size_t>(reply.cutAt) < size) size = static_cast<std::size_t>(reply.cutAt);
  const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
  if (reply.dripMilliseconds <= 0) {
    pipe.write(data, static_cast<uint32_t>(size));
  } else {
    for (std::size_t i = 0; i < size; ++i) {
      pipe.write(data + i, 1);
      std::this_thread::sleep_for(std::chrono::milliseconds(reply.dripMilliseconds));
    }
  }
  pipe.flush();
}

// Reads until the client closes, so that the client's own reading decides
// when the call ends.
void WaitForClientToClose(PipeConnection& pipe) {
  uint8_t byte;
  try {
    while (pipe.read(&byte, 1) > 0) {
    }
  } catch (const TTransportException&) {
  }
}

// One line (or a few) of the service's log, whole even when several
// connections write at once.
void Log(std::ostream* log, const std::string& entry) {
  if (log == nullptr) return;
  static std::mutex writing;
  std::lock_guard<std::mutex> lock(writing);
  *log << entry << std::endl;
}

// Copies what is read through it, so that the bytes of one request can be
// kept while the request is walked.
class RecordingTransport : public apache::thrift::transport::TVirtualTransport<RecordingTransport> {
public:
  explicit RecordingTransport(std::shared_ptr<TTransport> from) : from_(std::move(from)) {}
  bool isOpen() const override { return from_->isOpen(); }
  uint32_t read(uint8_t* buf, uint32_t len) {
    const uint32_t n = from_->read(buf, len);
    bytes_.insert(bytes_.end(), buf, buf + n);
    return n;
  }
  std::vector<uint8_t>& bytes() { return bytes_; }

private:
  std::shared_ptr<TTransport> from_;
  std::vector<uint8_t> bytes_;
};

}  // namespace

RequestReader::RequestReader(std::shared_ptr<TTransport> connection)
    : recorder_(std::make_shared<RecordingTransport>(std::move(connection))),
      walker_(std::make_shared<TevrinAV::wire::ServiceProtocol>(recorder_)) {}

bool RequestReader::next(std::vector<uint8_t>& request, std::string* operation) {
  auto& bytes = static_cast<RecordingTransport&>(*recorder_).bytes();
  bytes.clear();
  std::string name;
  TMessageType type;
  int32_t sequenceId = 0;
  try {
    walker_->readMessageBegin(name, type, sequenceId);
  } catch (const TTransportException& e) {
    // The client closed between requests: the end of the connection.
    if (e.getType() == TTransportException::END_OF_FILE && bytes.empty()) return false;
    throw;
  }
  walker_->skip(apache::thrift::protocol::T_STRUCT);
  walker_->readMessageEnd();
  if (operation != nullptr) *operation = name;
  request.swap(bytes);
  return true;
}

void ServeCalls(tevrin::platform::FileHandle connection, ScriptedHandler& handler, std::ostream* log,
                uint32_t writeBlock) {
  auto pipe = std::make_shared<PipeConnection>(connection);
  auto buffered = std::make_shared<TBufferedTransport>(pipe, 512, writeBlock);
  RequestReader requests(buffered);
  auto replies = std::make_shared<TBinaryProtocol>(buffered);
  // The handler outlives the processor; the processor only borrows it.
  idl::ServiceRpcProcessor processor(std::shared_ptr<idl::ServiceRpcIf>(&handler, [](idl::ServiceRpcIf*) {}));
  for (;;) {
    std::size_t callsBefore = handler.calls.size();
    std::vector<uint8_t> request;
    try {
      if (!requests.next(request)) break;
      // The request is whole and its counts match its bytes: the generated
      // reader can allocate no more than what arrived.
      auto body = std::make_shared<TMemoryBuffer>(request.data(), static_cast<uint32_t>(request.size()));
      if (!processor.process(std::make_shared<TBinaryProtocol>(body), replies, nullptr)) break;
    } catch (const TTransportException& e) {
      if (e.getType() != TTransportException::END_OF_FILE) Log(log, "connection failed: " + std::string(e.what()));
      break;
    } catch (const std::exception& e) {
      Log(log, "bad request: " + std::string(e.what()));
      break;
    }
    if (log) {
      std::string entry = "request: " + Hex(request);
      if (handler.calls.size() > callsBefore) entry += "\ncall: " + handler.calls.back();
      Log(log, entry);
    }
  }
}

void ServeRawReply(tevrin::platform::FileHandle connection, const RawReply& reply, std::ostream* log) {
  auto pipe = std::make_shared<PipeConnection>(connection);
  auto buffered = std::make_shared<TBufferedTransport>(pipe);
  RequestReader requests(buffered);
  std::vector<uint8_t> request;
  std::string operation;
  try {
    if (!requests.next(request, &operation)) return;
  } catch (const std::exception& e) {
    Log(log, "bad request: " + std::string(e.what()));
    return;
  }
  Log(log, "request: " + Hex(request));
  if (reply.kind == RawReply::Kind::Close) return;
  try {
    Deliver(*pipe, RawReplyBytes(reply, operation), reply);
    if (reply.kind == RawReply::Kind::HugeName || reply.kind == RawReply::Kind::HugeText)
      WaitForClientToClose(*pipe);
  } catch (const apache::thrift::TException& e) {
    Log(log, "reply not delivered: " + std::string(e.what()));
  }
}

}  // namespace coreservice
