#include "WideText.h"

#include <thrift/protocol/TProtocol.h>

#include <climits>
#include <cstring>
#include <typeinfo>

#include "../platform/PipeApi.h"
#include "ServiceProtocol.h"

namespace TevrinAV {

namespace platform = tevrin::platform;

namespace {

// Whether the `length` units of `text` are all ASCII: no early exit, so that
// the loop vectorises.
template <class Unit>
bool IsAscii(const Unit* text, std::size_t length) {
  std::make_unsigned_t<Unit> seen = 0;
  for (std::size_t i = 0; i < length; ++i) seen |= static_cast<std::make_unsigned_t<Unit>>(text[i]);
  return seen < 0x80;
}

// Texts up to this many bytes are widened in a buffer on the stack.
constexpr std::size_t kWidenedOnTheStack = 256;

// The length of a text up to its first NUL.
std::size_t LengthUpToNul(const char* text, std::size_t length) {
  const void* nul = std::memchr(text, 0, length);
  return nul == nullptr ? length : static_cast<std::size_t>(static_cast<const char*>(nul) - text);
}
std::size_t LengthUpToNul(const char16_t* text, std::size_t length) {
  std::size_t i = 0;
  while (i < length && text[i] != 0) ++i;
  return i;
}

}  // namespace

bool WideToUtf8(std::string& target, const WideString& text) {
  target.clear();
  const std::size_t length = LengthUpToNul(text.data(), text.size());
  if (length == 0) return true;
  if (IsAscii(text.data(), length)) {
    target = std::string(text.data(), text.data() + length);  // narrowed unit by unit
    return true;
  }
  // Three bytes a unit at most (a surrogate pair takes four for two units).
  if (length > INT_MAX / 3) return false;
  target.resize(3 * length);
  const int written = platform::WideToUtf8Bytes(text.data(), static_cast<int>(length), target.data(),
                                                static_cast<int>(target.size()));
  if (written <= 0) {
    target.clear();
    return false;
  }
  target.resize(static_cast<std::size_t>(written));
  return true;
}

bool Utf8ToWide(WideString& target, const char* bytes, std::size_t size) {
  target.clear();
  const std::size_t length = LengthUpToNul(bytes, size);
  if (length == 0) return true;
  if (length <= kWidenedOnTheStack) {
    // Widened and checked in one pass that vectorises, then copied in one
    // allocation: cheaper than widening into the string unit by unit.
    char16_t widened[kWidenedOnTheStack];
    const auto* first = reinterpret_cast<const unsigned char*>(bytes);
    unsigned char seen = 0;
    for (std::size_t i = 0; i < length; ++i) {
      seen = static_cast<unsigned char>(seen | first[i]);
      widened[i] = first[i];
    }
    if (seen < 0x80) {
      target.assign(widened, length);
      return true;
    }
  } else if (IsAscii(bytes, length)) {
    // Built from the bytes in one allocation, without filling it first.
    const auto* first = reinterpret_cast<const unsigned char*>(bytes);
    target = WideString(first, first + length);
    return true;
  }
  // Never more UTF-16 units than UTF-8 bytes.
  if (length > INT_MAX) return false;
  target.resize(length);
  const int written =
      platform::Utf8ToWideChars(bytes, static_cast<int>(length), target.data(), static_cast<int>(length));
  if (written <= 0) {
    target.clear();
    return false;
  }
  target.resize(static_cast<std::size_t>(written));
  return true;
}

bool Utf8ToWide(WideString& target, const std::string& bytes) { return Utf8ToWide(target, bytes.data(), bytes.size()); }

uint32_t WriteWideString(apache::thrift::protocol::TProtocol* oprot, const WideString& text) {
  std::string bytes;
  WideToUtf8(bytes, text);
  return oprot->writeString(bytes);
}

uint32_t ReadWideString(apache::thrift::protocol::TProtocol* iprot, WideString& target) {
  // The service's own protocol converts straight from its buffer.
  apache::thrift::protocol::TProtocol& protocol = *iprot;
  if (typeid(protocol) == typeid(wire::ServiceProtocol))
    return static_cast<wire::ServiceProtocol&>(protocol).readWideString(target);
  std::string bytes;
  uint32_t xfer = iprot->readString(bytes);
  Utf8ToWide(target, bytes);
  return xfer;
}

}  // namespace TevrinAV
