#include "Serving.h"

#include <thrift/TApplicationException.h>
#include <thrift/protocol/TBinaryProtocol.h>
#include <thrift/transport/TBufferTransports.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>
#include <vector>

#include "PipeConnection.h"

namespace coreservice {

using apache::thrift::TApplicationException;
using apache::thrift::protocol::TBinaryProtocol;
using apache::thrift::protocol::TMessageType;
using apache::thrift::transport::TBufferedTransport;
using apache::thrift::transport::TMemoryBuffer;
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

}  // namespace

void ServeCalls(tevrin::platform::FileHandle connection, ScriptedHandler& handler, std::ostream* log,
                uint32_t writeBlock) {
  auto pipe = std::make_shared<PipeConnection>(connection);
  auto protocol = std::make_shared<TBinaryProtocol>(std::make_shared<TBufferedTransport>(pipe, 512, writeBlock));
  // The handler outlives the processor; the processor only borrows it.
  idl::ServiceRpcProcessor processor(std::shared_ptr<idl::ServiceRpcIf>(&handler, [](idl::ServiceRpcIf*) {}));
  for (;;) {
    std::size_t callsBefore = handler.calls.size();
    try {
      if (!processor.process(protocol, protocol, nullptr)) break;
    } catch (const TTransportException& e) {
      if (e.getType() != TTransportException::END_OF_FILE && log) *log << "connection failed: " << e.what() << "\n";
      break;
    } catch (const apache::thrift::TException& e) {
      if (log) *log << "bad request: " << e.what() << "\n";
      break;
    }
    if (log) {
      *log << "request: " << Hex(pipe->takeReceived()) << "\n";
      if (handler.calls.size() > callsBefore) *log << "call: " << handler.calls.back() << "\n";
      log->flush();
    }
  }
}

void ServeRawReply(tevrin::platform::FileHandle connection, const RawReply& reply, std::ostream* log) {
  auto pipe = std::make_shared<PipeConnection>(connection);
  TBinaryProtocol protocol(std::make_shared<TBufferedTransport>(pipe));
  std::string operation;
  try {
    TMessageType type;
    int32_t sequenceId = 0;
    protocol.readMessageBegin(operation, type, sequenceId);
    protocol.skip(apache::thrift::protocol::T_STRUCT);
    protocol.readMessageEnd();
  } catch (const apache::thrift::TException& e) {
    if (log) *log << "bad request: " << e.what() << std::endl;
    return;
  }
  if (log) *log << "request: " << Hex(pipe->takeReceived()) << std::endl;
  if (reply.kind == RawReply::Kind::Close) return;
  try {
    Deliver(*pipe, RawReplyBytes(reply, operation), reply);
    if (reply.kind == RawReply::Kind::HugeName || reply.kind == RawReply::Kind::HugeText)
      WaitForClientToClose(*pipe);
  } catch (const apache::thrift::TException& e) {
    if (log) *log << "reply not delivered: " << e.what() << std::endl;
  }
}

}  // namespace coreservice
