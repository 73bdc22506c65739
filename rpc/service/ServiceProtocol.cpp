#include "ServiceProtocol.h"

#include <thrift/protocol/TProtocolException.h>

#include <algorithm>
#include <typeinfo>

#include "WideText.h"

namespace TevrinAV {
namespace wire {

using apache::thrift::protocol::TProtocolException;
namespace protocol = apache::thrift::protocol;

namespace {

// The fewest bytes a value of each wire type takes; 0 for bytes that name
// no value type (T_STOP among them).
int MinimumWireSize(int8_t type) {
  switch (type) {
    case protocol::T_BOOL:
    case protocol::T_BYTE:
    case protocol::T_STRUCT:  // its stop byte
      return 1;
    case protocol::T_I16:
      return 2;
    case protocol::T_I32:
    case protocol::T_STRING:  // its length
    case protocol::T_LIST:
    case protocol::T_SET:
      return 4;
    case protocol::T_MAP:
      return 6;
    case protocol::T_DOUBLE:
    case protocol::T_I64:
      return 8;
    default:
      return 0;
  }
}

[[noreturn]] void ThrowInvalidType() {
  // The library's skip says the same of a type it cannot walk.
  throw TProtocolException(TProtocolException::INVALID_DATA, "invalid TType");
}

// Message types are 1 to 4; anything else is held as 0, never as a value the
// enumeration cannot take.
ServiceProtocol::TMessageType MessageTypeOf(int32_t number) {
  return number >= protocol::T_CALL && number <= protocol::T_ONEWAY ? static_cast<protocol::TMessageType>(number)
                                                                    : static_cast<protocol::TMessageType>(0);
}

// Strings arrive in chunks that double, starting here: memory stays within
// twice the bytes received plus this.
constexpr uint32_t kFirstStringChunk = 64 * 1024;

}  // namespace

namespace {

// The transport as the buffered transport it may be: exactly that class,
// whose reading the protocol may then call without virtual calls.
apache::thrift::transport::TBufferedTransport* AsBuffered(apache::thrift::transport::TTransport& transport) {
  using apache::thrift::transport::TBufferedTransport;
  return typeid(transport) == typeid(TBufferedTransport) ? static_cast<TBufferedTransport*>(&transport) : nullptr;
}

}  // namespace

ServiceProtocol::ServiceProtocol(std::shared_ptr<apache::thrift::transport::TTransport> transport)
    : TVirtualProtocol(transport),
      buffered_(AsBuffered(*transport)),
      maxMessageSize_(transport->getConfiguration()->getMaxMessageSize()) {}

uint32_t ServiceProtocol::readBool(bool& value) {
  int8_t byte = 0;
  readNumber(byte);
  value = byte != 0;
  return 1;
}
uint32_t ServiceProtocol::readByte(int8_t& value) { return readNumber(value); }
uint32_t ServiceProtocol::readI16(int16_t& value) { return readNumber(value); }
uint32_t ServiceProtocol::readI32(int32_t& value) { return readNumber(value); }
uint32_t ServiceProtocol::readI64(int64_t& value) { return readNumber(value); }
uint32_t ServiceProtocol::readDouble(double& value) { return readNumber(value); }

uint32_t ServiceProtocol::readMessageBegin(std::string& name, TMessageType& messageType, int32_t& seqid) {
  received_ = 0;
  charged_ = 0;
  int32_t first = 0;
  uint32_t xfer = readI32(first);
  if (first < 0) {
    if ((first & VERSION_MASK) != static_cast<int32_t>(VERSION_1))
      throw TProtocolException(TProtocolException::BAD_VERSION, "Bad version identifier");
    messageType = MessageTypeOf(first & 0xFF);
    xfer += readString(name);
  } else {
    // An unversioned header: the first word is the name's length.
    xfer += readStringBody(name, first);
    int8_t type = 0;
    xfer += readByte(type);
    messageType = MessageTypeOf(type);
  }
  return xfer + readI32(seqid);
}

void ServiceProtocol::throwInvalidType() { ThrowInvalidType(); }

uint32_t ServiceProtocol::readFieldBeginSlowly(std::string& /*name*/, TType& fieldType, int16_t& fieldId) {
  int8_t type = 0;
  uint32_t xfer = readByte(type);
  if (type == protocol::T_STOP) {
    fieldType = protocol::T_STOP;
    fieldId = 0;
    return xfer;
  }
  if (MinimumWireSize(type) == 0) ThrowInvalidType();
  fieldType = static_cast<TType>(type);
  return xfer + readI16(fieldId);
}

uint32_t ServiceProtocol::readElementType(TType& type) {
  int8_t byte = 0;
  uint32_t xfer = readByte(byte);
  if (MinimumWireSize(byte) == 0) ThrowInvalidType();
  type = static_cast<TType>(byte);
  return xfer;
}

uint32_t ServiceProtocol::readElementCount(uint32_t& size, int elementBytes, const char* what) {
  int32_t count = 0;
  const uint32_t xfer = readI32(count);
  if (count < 0) throw TProtocolException(TProtocolException::NEGATIVE_SIZE);
  checkAnnouncedSize(int64_t{count} * elementBytes, what);
  size = static_cast<uint32_t>(count);
  return xfer;
}

uint32_t ServiceProtocol::readMapBegin(TType& keyType, TType& valType, uint32_t& size) {
  uint32_t xfer = readElementType(keyType);
  xfer += readElementType(valType);
  return xfer + readElementCount(size, MinimumWireSize(keyType) + MinimumWireSize(valType), "a map of at least");
}

uint32_t ServiceProtocol::readListBegin(TType& elemType, uint32_t& size) {
  const uint32_t xfer = readElementType(elemType);
  return xfer + readElementCount(size, MinimumWireSize(elemType), "a list of at least");
}

uint32_t ServiceProtocol::readSetBegin(TType& elemType, uint32_t& size) {
  const uint32_t xfer = readElementType(elemType);
  return xfer + readElementCount(size, MinimumWireSize(elemType), "a set of at least");
}

uint32_t ServiceProtocol::readString(std::string& str) {
  int32_t size = 0;
  uint32_t xfer = readI32(size);
  return xfer + readStringBody(str, size);
}

uint32_t ServiceProtocol::readBinary(std::string& str) { return readString(str); }

uint32_t ServiceProtocol::readWideString(std::u16string& target) {
  int32_t size = 0;
  uint32_t xfer = readI32(size);
  if (size > 0) {  // readStringBody refuses what is negative
    checkAnnouncedSize(size, "a string of");
    const auto total = static_cast<uint32_t>(size);
    uint32_t available = total;
    const uint8_t* buffered = buffered_ != nullptr ? buffered_->borrow(nullptr, &available)
                                                   : trans_->borrow(nullptr, &available);
    if (buffered != nullptr) {
      count(total);
      Utf8ToWide(target, reinterpret_cast<const char*>(buffered), total);
      if (buffered_ != nullptr)
        buffered_->consume(total);
      else
        trans_->consume(total);
      return xfer + total;
    }
  }
  xfer += readStringBody(scratch_, size);
  Utf8ToWide(target, scratch_);
  // A long text's bytes are not kept for the life of the connection.
  if (scratch_.capacity() > kFirstStringChunk) std::string().swap(scratch_);
  return xfer;
}

uint32_t ServiceProtocol::readStringBody(std::string& str, int32_t size) {
  if (size < 0) throw TProtocolException(TProtocolException::NEGATIVE_SIZE);
  checkAnnouncedSize(size, "a string of");
  str.clear();
  if (size == 0) return 0;
  const auto total = static_cast<uint32_t>(size);

  uint32_t available = total;
  count(total);  // announced within what is left, so it fits
  if (const uint8_t* buffered = trans_->borrow(nullptr, &available)) {
    str.assign(reinterpret_cast<const char*>(buffered), total);
    trans_->consume(total);
    return total;
  }
  uint32_t have = 0;
  while (have < total) {
    const uint32_t chunk = std::min(total - have, std::max(have, kFirstStringChunk));
    str.resize(have + chunk);
    trans_->readAll(reinterpret_cast<uint8_t*>(&str[have]), chunk);
    have += chunk;
  }
  return total;
}

void ServiceProtocol::throwAnnouncedTooMuch(int64_t bytes, const char* what) const {
  // Beyond a message by itself, or beyond what the message has left.
  const std::string after = bytes > maxMessageSize_ ? "" : " after " + std::to_string(received_);
  throw TProtocolException(TProtocolException::SIZE_LIMIT, std::string("Reply announces ") + what + " " +
                                                               std::to_string(bytes) + " bytes" + after +
                                                               "; a message holds at most " +
                                                               std::to_string(maxMessageSize_));
}

void ServiceProtocol::throwMessageTooLarge() const {
  throw TProtocolException(TProtocolException::SIZE_LIMIT, "Reply runs past " + std::to_string(maxMessageSize_) +
                                                               " bytes; a message holds at most " +
                                                               std::to_string(maxMessageSize_));
}

void ServiceProtocol::throwTakesTooMuchMemory() const {
  throw TProtocolException(TProtocolException::SIZE_LIMIT,
                           "Reply of " + std::to_string(received_) + " bytes takes " + std::to_string(charged_) +
                               " bytes of memory; a reply may take " + std::to_string(kMemoryPerByte) +
                               " times its bytes and " + std::to_string(kMemoryAllowance) + " more");
}

}  // namespace wire
}  // namespace TevrinAV
