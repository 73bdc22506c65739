// Text of the service interface: UTF-16 in memory, UTF-8 on the wire.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace apache::thrift::protocol {
class TProtocol;
}

namespace TevrinAV {

using WideString = std::u16string;

// Both conversions stop at the first NUL and, like the Windows converter,
// replace what they cannot convert instead of failing. They return false,
// leaving the target empty, only when the platform converter refuses.
bool WideToUtf8(std::string& target, const WideString& text);
bool Utf8ToWide(WideString& target, const std::string& bytes);
bool Utf8ToWide(WideString& target, const char* bytes, std::size_t size);

// Writes `text` as one protocol string of UTF-8 bytes.
uint32_t WriteWideString(apache::thrift::protocol::TProtocol* oprot, const WideString& text);
// Reads one protocol string and overwrites `target` with its UTF-16 form.
uint32_t ReadWideString(apache::thrift::protocol::TProtocol* iprot, WideString& target);

}  // namespace TevrinAV
