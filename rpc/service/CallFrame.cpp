#include "CallFrame.h"

#include <thrift/transport/TTransport.h>

namespace TevrinAV {
namespace wire {

using apache::thrift::TApplicationException;
using apache::thrift::protocol::TMessageType;

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
    TApplicationException error;
    error.read(&in);
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
