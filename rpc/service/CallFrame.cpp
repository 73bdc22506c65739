#include "CallFrame.h"

#include <thrift/transport/TTransport.h>

namespace TevrinAV {
namespace wire {

using apache::thrift::TApplicationException;
using apache::thrift::protocol::TMessageType;

std::shared_ptr<ServiceProtocol> MakeServiceProtocol(std::shared_ptr<apache::thrift::transport::TTransport> transport) {
  return std::make_shared<ServiceProtocol>(std::move(transport));
}

TApplicationException ReadApplicationException(TProtocol& in) {
  std::string message;
  int32_t type = TApplicationException::UNKNOWN;
  ReadStruct(in, [&](int16_t id, TType fieldType, uint32_t& xfer) {
    if (id == 1 && fieldType == apache::thrift::protocol::T_STRING) {
      xfer += in.readString(message);
      return true;
    }
    if (id == 2 && fieldType == apache::thrift::protocol::T_I32) {
      xfer += in.readI32(type);
      return true;
    }
    return false;
  });
  // The library's type enumeration holds the values 0 to 15 only.
  constexpr int32_t kLastHeldType = 15;
  if (type < 0 || type > kLastHeldType) type = kLastHeldType;
  return TApplicationException(static_cast<TApplicationException::TApplicationExceptionType>(type), message);
}

void BeginCall(TProtocol& out, const char* operation) {
  out.writeMessageBegin(operation, apache::thrift::protocol::T_CALL, 0);
}

void EndCall(TProtocol& out) {
  out.writeMessageEnd();
  out.getTransport()->flush();
  out.getTransport()->writeEnd();
}

void BeginReply(TProtocol& in, const char* operation) {
  std::string name;
  TMessageType type;
  int32_t sequenceId = 0;  // not compared: one call is in flight at a time
  in.readMessageBegin(name, type, sequenceId);

  if (type == apache::thrift::protocol::T_EXCEPTION) {
    TApplicationException error = ReadApplicationException(in);
    EndReply(in);
    throw error;
  }
  if (type != apache::thrift::protocol::T_REPLY) {
    in.skip(apache::thrift::protocol::T_STRUCT);
    EndReply(in);
    throw TApplicationException(TApplicationException::INVALID_MESSAGE_TYPE);
  }
  if (name != operation) {
    in.skip(apache::thrift::protocol::T_STRUCT);
    EndReply(in);
    throw TApplicationException(TApplicationException::WRONG_METHOD_NAME);
  }
}

void EndReply(TProtocol& in) {
  in.readMessageEnd();
  in.getTransport()->readEnd();
}

}  // namespace wire
}  // namespace TevrinAV
