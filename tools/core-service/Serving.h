// How the stand-in core service answers the clients of one connection.
#pragma once

#include <cstdint>
#include <ostream>
#include <memory>
#include <string>
#include <vector>

#include "ScriptedHandler.h"
#include "service/ServiceProtocol.h"
#include "platform/PipeApi.h"

namespace coreservice {

// Replies that no well-behaved service sends, for testing clients.
struct RawReply {
  enum class Kind {
    True,              // a well-formed reply whose bool result is true
    Exception,         // an exception reply
    OtherName,         // a reply naming another operation
    OtherMessageType,  // a reply of another message type
    EmptyResult,       // a result struct without fields
    Close,             // no reply: the connection is closed
    HugeName,          // a reply header announcing a 2 GiB name, then a few bytes
    HugeText,          // a result announcing a 2 GiB text, then a few bytes
  };
  Kind kind = Kind::EmptyResult;
  int32_t exceptionType = 0;
  std::string exceptionMessage;
  std::string name = "reloadcore";
  int32_t messageType = 1;
  int32_t sequenceId = 0;
  // Delivery: one byte every `dripMilliseconds` (0: all at once); with
  // `cutAt` set, only that many bytes, then the connection is closed.
  int dripMilliseconds = 0;
  int64_t cutAt = -1;
};

// Reads the requests of one connection one message at a time with the
// client's hardened reader (service/ServiceProtocol.h): memory follows the
// bytes that arrive, announcements beyond them or beyond a message fail at
// once, and nesting is bounded. Only a request read whole reaches the
// generated processor.
class RequestReader {
public:
  explicit RequestReader(std::shared_ptr<apache::thrift::transport::TTransport> connection);
  // The next request's bytes (and its operation name); false when the client
  // closed the connection between requests. Throws for a malformed or
  // incomplete one.
  bool next(std::vector<uint8_t>& request, std::string* operation = nullptr);

private:
  std::shared_ptr<apache::thrift::transport::TTransport> recorder_;
  std::shared_ptr<TevrinAV::wire::ServiceProtocol> walker_;
};

// Answers every call on `connection` through the generated processor until
// the client closes it. With `log`, each request is printed there in hex
// together with the call it made. Replies are written in blocks of
// `writeBlock` bytes (the buffered transport's default, or larger).
void ServeCalls(tevrin::platform::FileHandle connection, ScriptedHandler& handler, std::ostream* log,
                uint32_t writeBlock = 512);

// Reads one request from `connection` and answers it with `reply`.
void ServeRawReply(tevrin::platform::FileHandle connection, const RawReply& reply, std::ostream* log);

}  // namespace coreservice
