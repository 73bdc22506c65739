#include "SafeText.h"

#include "../platform/Utf8Codec.h"

namespace TevrinAV {
namespace {

bool IsControl(char32_t c) { return (c < 0x20 && c != U'\t') || (c >= 0x7F && c <= 0x9F); }

void AppendEscaped(std::string& out, unsigned value) {
  constexpr char kDigits[] = "0123456789ABCDEF";
  out += "\\x";
  out += kDigits[(value >> 4) & 0xF];
  out += kDigits[value & 0xF];
}

}  // namespace

std::string SafeText(std::string_view text) {
  std::string out;
  out.reserve(text.size() < kSafeTextCharacters ? text.size() : kSafeTextCharacters);
  std::size_t characters = 0;
  while (!text.empty()) {
    if (characters == kSafeTextCharacters) return out + "...";
    const tevrin::platform::Utf8Sequence sequence = tevrin::platform::FirstUtf8Sequence(text);
    if (sequence.length == 0) {
      AppendEscaped(out, static_cast<unsigned char>(text[0]));
      text.remove_prefix(1);
    } else {
      if (IsControl(sequence.codePoint))
        AppendEscaped(out, static_cast<unsigned>(sequence.codePoint));
      else
        out.append(text.substr(0, sequence.length));
      text.remove_prefix(sequence.length);
    }
    ++characters;
  }
  return out;
}

}  // namespace TevrinAV
