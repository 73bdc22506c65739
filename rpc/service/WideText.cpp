#include "WideText.h"

#include <thrift/protocol/TProtocol.h>

#include <vector>

#include "../platform/PipeApi.h"

namespace TevrinAV {

namespace platform = tevrin::platform;

bool WideToUtf8(std::string& target, const WideString& text) {
  target.clear();
  if (text.empty()) return true;
  int size = platform::WideToUtf8Bytes(text.c_str(), nullptr, 0);
  if (size <= 0) return false;
  std::vector<char> buffer(static_cast<std::size_t>(size));
  if (platform::WideToUtf8Bytes(text.c_str(), buffer.data(), size) <= 0) return false;
  target.assign(buffer.data());  // up to the first NUL
  return true;
}

bool Utf8ToWide(WideString& target, const std::string& bytes) {
  target.clear();
  if (bytes.empty()) return true;
  int size = platform::Utf8ToWideChars(bytes.c_str(), nullptr, 0);
  if (size <= 0) return false;
  std::vector<char16_t> buffer(static_cast<std::size_t>(size));
  if (platform::Utf8ToWideChars(bytes.c_str(), buffer.data(), size) <= 0) return false;
  target.assign(buffer.data());  // up to the first NUL
  return true;
}

uint32_t WriteWideString(apache::thrift::protocol::TProtocol* oprot, const WideString& text) {
  std::string bytes;
  WideToUtf8(bytes, text);
  return oprot->writeString(bytes);
}

uint32_t ReadWideString(apache::thrift::protocol::TProtocol* iprot, WideString& target) {
  std::string bytes;
  uint32_t xfer = iprot->readString(bytes);
  Utf8ToWide(target, bytes);
  return xfer;
}

}  // namespace TevrinAV
