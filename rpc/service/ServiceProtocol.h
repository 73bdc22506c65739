// The binary protocol as the service's clients read it.
#pragma once

#include <thrift/protocol/TBinaryProtocol.h>
#include <thrift/protocol/TVirtualProtocol.h>
#include <thrift/transport/TBufferTransports.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

namespace TevrinAV {
namespace wire {

// A number as read from the wire, in the machine's byte order.
template <class T>
T FromBigEndian(T value) {
  using Bits = std::conditional_t<sizeof(T) == 8, uint64_t,
                                  std::conditional_t<sizeof(T) == 4, uint32_t,
                                                     std::conditional_t<sizeof(T) == 2, uint16_t, uint8_t>>>;
  Bits bits;
  std::memcpy(&bits, &value, sizeof bits);
  if constexpr (sizeof(T) == 8)
    bits = __builtin_bswap64(bits);
  else if constexpr (sizeof(T) == 4)
    bits = __builtin_bswap32(bits);
  else if constexpr (sizeof(T) == 2)
    bits = __builtin_bswap16(bits);
  std::memcpy(&value, &bits, sizeof bits);
  return value;
}

/**
 * The library's TBinaryProtocol with its defaults (strict headers written,
 * either header form read, no limit on strings or containers), hardened for
 * replies that may come from anyone who opened the pipe first.
 *
 * Memory follows the bytes that really arrive: a string grows as its bytes
 * are read instead of being allocated at its announced size, so eight bytes
 * announcing two gigabytes cost nothing. A reply is one message: the bytes
 * read since its header are counted, and a string or container announced
 * beyond what is left of a message, or a reply that runs past it, fails at
 * once. Container elements are stored one by one as they arrive
 * (WireCodec.h), and each is charged its size in memory: a reply whose
 * elements would take more than kMemoryPerByte times the bytes received
 * plus kMemoryAllowance fails (an empty record is one byte on the wire and
 * a hundred in memory). A type byte that names no
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

  // What the elements of one reply may take in memory: this many times the
  // bytes received, plus the allowance.
  static constexpr int64_t kMemoryPerByte = 32;
  static constexpr int64_t kMemoryAllowance = 4 << 20;

  // Charges `bytes` of memory for a container element that arrived; throws
  // when the reply has taken more than it may.
  void chargeElement(std::size_t bytes) {
    charged_ += static_cast<int64_t>(bytes);
    if (charged_ > kMemoryPerByte * received_ + kMemoryAllowance) throwTakesTooMuchMemory();
  }
  // Bytes read since the last message header began.
  int64_t received() const { return received_; }

  // The binary protocol sends no struct names: nothing to read or clear.
  uint32_t readStructBegin(std::string& /*name*/) { return 0; }

  // Either header form; the name grows with its bytes.
  uint32_t readMessageBegin(std::string& name, TMessageType& messageType, int32_t& seqid);
  // Refuses type bytes that name no wire type. A field header is three bytes
  // (one at the stop): read from the buffer in place when it holds them.
  uint32_t readFieldBegin(std::string& name, TType& fieldType, int16_t& fieldId) {
    uint32_t header = 3;
    const uint8_t* bytes = buffered_ != nullptr ? buffered_->borrow(nullptr, &header) : nullptr;
    if (bytes == nullptr) return readFieldBeginSlowly(name, fieldType, fieldId);
    const uint32_t size = bytes[0] == apache::thrift::protocol::T_STOP ? 1 : 3;
    count(size);
    if (size == 1) {
      buffered_->consume(1);
      fieldType = apache::thrift::protocol::T_STOP;
      fieldId = 0;
      return 1;
    }
    if (!IsWireType(static_cast<int8_t>(bytes[0]))) throwInvalidType();
    fieldType = static_cast<TType>(bytes[0]);
    fieldId = static_cast<int16_t>((bytes[1] << 8) | bytes[2]);
    buffered_->consume(3);
    return 3;
  }
  // Refuse unknown element types and counts no message could carry.
  uint32_t readMapBegin(TType& keyType, TType& valType, uint32_t& size);
  uint32_t readListBegin(TType& elemType, uint32_t& size);
  uint32_t readSetBegin(TType& elemType, uint32_t& size);
  // One string, grown as its bytes arrive.
  uint32_t readString(std::string& str);
  uint32_t readBinary(std::string& str);
  // One string as UTF-16, converted from the transport's buffer when it
  // holds the whole string.
  uint32_t readWideString(std::u16string& target);

  // Appends `count` numbers of a fixed-size wire type (1, 2, 4 or 8 bytes,
  // big-endian) to `values`, read in blocks straight from the transport: a
  // list of numbers costs a few instructions a number, not a call each.
  template <class T>
  uint32_t readNumbers(std::vector<T>& values, uint32_t count);

  // The numbers of the binary protocol, read from a buffered transport
  // without a virtual call each.
  uint32_t readBool(bool& value);
  uint32_t readByte(int8_t& value);
  uint32_t readI16(int16_t& value);
  uint32_t readI32(int32_t& value);
  uint32_t readI64(int64_t& value);
  uint32_t readDouble(double& value);
  using TVirtualProtocol::readBool;

private:
  // Whether a type byte names a value type (T_STOP does not).
  static bool IsWireType(int8_t type) {
    // T_BOOL 2, T_BYTE 3, T_DOUBLE 4, T_I16 6, T_I32 8, T_I64 10, T_STRING 11,
    // T_STRUCT 12, T_MAP 13, T_SET 14, T_LIST 15.
    return type >= 2 && type <= 15 && ((0xFD5Cu >> type) & 1) != 0;
  }
  [[noreturn]] static void throwInvalidType();
  uint32_t readFieldBeginSlowly(std::string& name, TType& fieldType, int16_t& fieldId);
  uint32_t readStringBody(std::string& str, int32_t size);
  uint32_t readElementType(TType& type);
  // A container's element count, refused when its elements could not fit a message.
  uint32_t readElementCount(uint32_t& size, int elementBytes, const char* what);
  // Fails when `bytes` more exceed what is left of a message.
  void checkAnnouncedSize(int64_t bytes, const char* what) const {
    if (bytes > maxMessageSize_ - received_) throwAnnouncedTooMuch(bytes, what);
  }
  [[noreturn]] void throwAnnouncedTooMuch(int64_t bytes, const char* what) const;
  [[noreturn]] void throwMessageTooLarge() const;
  [[noreturn]] void throwTakesTooMuchMemory() const;
  // Counts `length` bytes of the message as received.
  void count(uint32_t length) {
    received_ += length;
    if (received_ > maxMessageSize_) throwMessageTooLarge();
  }

  // Reads `length` bytes; from the buffered transport's buffer directly
  // when there is one.
  void readBytes(uint8_t* bytes, uint32_t length) {
    count(length);
    if (buffered_ != nullptr)
      buffered_->readAll(bytes, length);
    else
      trans_->readAll(bytes, length);
  }
  template <class T>
  uint32_t readNumber(T& value) {
    readBytes(reinterpret_cast<uint8_t*>(&value), sizeof value);
    value = FromBigEndian(value);
    return sizeof value;
  }

  apache::thrift::transport::TBufferedTransport* buffered_;  // the transport, when it is one
  int64_t maxMessageSize_;  // the transport's, which never changes
  int64_t received_ = 0;    // bytes of the current message
  int64_t charged_ = 0;     // memory its container elements take
  std::string scratch_;     // the bytes of texts that the buffer cannot hold
};

template <class T>
uint32_t ServiceProtocol::readNumbers(std::vector<T>& values, uint32_t count) {
  static_assert(std::is_arithmetic_v<T> && !std::is_same_v<T, bool>, "a number type");
  // Blocks of 64 KiB at most: memory still follows the bytes that arrive.
  constexpr uint32_t kBlock = 64 * 1024 / sizeof(T);
  for (uint32_t done = 0; done < count;) {
    const uint32_t n = count - done < kBlock ? count - done : kBlock;
    const std::size_t first = values.size();
    values.resize(first + n);
    readBytes(reinterpret_cast<uint8_t*>(values.data() + first), static_cast<uint32_t>(n * sizeof(T)));
    for (std::size_t i = first; i < values.size(); ++i) values[i] = FromBigEndian(values[i]);
    done += n;
  }
  return static_cast<uint32_t>(count * sizeof(T));
}

}  // namespace wire
}  // namespace TevrinAV
