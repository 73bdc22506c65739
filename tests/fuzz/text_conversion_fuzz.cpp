// The text conversions of the service interface and the safe printing of
// the service's text. The first byte picks what the rest is:
//   0: UTF-8 from the service. Converting to UTF-16, back and again must
//      give the same UTF-16, which holds no unpaired surrogate.
//   1: UTF-16 (little-endian units) from the caller, unpaired surrogates
//      included. The round trip through UTF-8 gives the text up to its first
//      NUL with every unpaired surrogate replaced by U+FFFD.
//   2: any bytes to print. The printable form is UTF-8 without control
//      characters, at most 1,024 characters and "...".
// A broken property aborts, which the fuzzer reports.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/Utf8Codec.h"
#include "service/SafeText.h"
#include "service/WideText.h"

namespace {

using TevrinAV::WideString;

void Require(bool holds) {
  if (!holds) std::abort();
}

bool IsHigh(char16_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool IsLow(char16_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

// The text up to its first NUL, with unpaired surrogates replaced.
WideString Repaired(const WideString& text) {
  WideString out;
  for (std::size_t i = 0; i < text.size() && text[i] != 0; ++i) {
    if (IsHigh(text[i]) && i + 1 < text.size() && IsLow(text[i + 1])) {
      out += text[i];
      out += text[++i];
    } else {
      out += IsHigh(text[i]) || IsLow(text[i]) ? char16_t(0xFFFD) : text[i];
    }
  }
  return out;
}

void CheckUtf8RoundTrip(std::string_view bytes) {
  WideString wide;
  TevrinAV::Utf8ToWide(wide, std::string(bytes));
  Require(Repaired(wide) == wide);
  std::string utf8;
  TevrinAV::WideToUtf8(utf8, wide);
  WideString again;
  TevrinAV::Utf8ToWide(again, utf8);
  Require(again == wide);
}

void CheckUtf16RoundTrip(std::string_view bytes) {
  WideString wide;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
    wide += static_cast<char16_t>(static_cast<uint8_t>(bytes[i]) | static_cast<uint8_t>(bytes[i + 1]) << 8);
  std::string utf8;
  TevrinAV::WideToUtf8(utf8, wide);
  WideString back;
  TevrinAV::Utf8ToWide(back, utf8);
  Require(back == Repaired(wide));
}

void CheckSafeText(std::string_view bytes) {
  std::string shown = TevrinAV::SafeText(bytes);
  std::size_t characters = 0;
  std::string_view rest = shown;
  while (!rest.empty()) {
    const tevrin::platform::Utf8Sequence sequence = tevrin::platform::FirstUtf8Sequence(rest);
    Require(sequence.length > 0);
    const char32_t c = sequence.codePoint;
    Require(c == U'\t' || (c >= 0x20 && c != 0x7F && !(c >= 0x80 && c <= 0x9F)));
    rest.remove_prefix(sequence.length);
    ++characters;
  }
  // Escapes take four characters each; the cut adds three.
  Require(characters <= 4 * TevrinAV::kSafeTextCharacters + 3);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
  switch (data[0] % 3) {
    case 0: CheckUtf8RoundTrip(rest); break;
    case 1: CheckUtf16RoundTrip(rest); break;
    default: CheckSafeText(rest); break;
  }
  return 0;
}
