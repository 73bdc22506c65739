// The binary protocol as the service's clients read it.
#pragma once

#include <thrift/protocol/TBinaryProtocol.h>
#include <thrift/protocol/TVirtualProtocol.h>

#include <cstdint>
#include <memory>
#include <string>

namespace TevrinAV {
namespace wire {

/**
 * The library's TBinaryProtocol with its defaults (strict headers written,
 * either header form read, no limit on strings or containers), hardened for
 * replies that may come from anyone who opened the pipe first.
 *
 * Memory follows the bytes that really arrive: a string grows as its bytes
 * are read instead of being allocated at its announced size, so eight bytes
 * announcing two gigabytes cost nothing; a string or container announced
 * larger than a whole message may be fails at once. Container elements are
 * stored one by one as they arrive (WireCodec.h). A type byte that names no
 * wire type is malformed data, reported before it is held as an enumeration
 * value; an unknown message type reads as 0, which callers refuse as an
 * invalid message type. Writing is the library's.
 */
class ServiceProtocol
    : public apache::thrift::protocol::TVirtualProtocol<ServiceProtocol, apache::thrift::protocol::TBinaryProtocol> {
public:
  using TType = apache::thrift::protocol::TType;
  using TMessageType = apache::thrift::protocol::TMessageType;

  explicit ServiceProtocol(std::shared_ptr<apache::thrift::transport::TTransport> transport);

  // Either header form; the name grows with its bytes.
  uint32_t readMessageBegin(std::string& name, TMessageType& messageType, int32_t& seqid);
  // Refuses type bytes that name no wire type.
  uint32_t readFieldBegin(std::string& name, TType& fieldType, int16_t& fieldId);
  // Refuse unknown element types and counts no message could carry.
  uint32_t readMapBegin(TType& keyType, TType& valType, uint32_t& size);
  uint32_t readListBegin(TType& elemType, uint32_t& size);
  uint32_t readSetBegin(TType& elemType, uint32_t& size);
  // One string, grown as its bytes arrive.
  uint32_t readString(std::string& str);
  uint32_t readBinary(std::string& str);

  using apache::thrift::protocol::TBinaryProtocol::readBool;

private:
  uint32_t readStringBody(std::string& str, int32_t size);
  uint32_t readElementType(TType& type);
  void checkAnnouncedSize(int64_t bytes, const char* what) const;
};

}  // namespace wire
}  // namespace TevrinAV
