#include "JsonText.h"

namespace evreplay {

void AppendJsonString(std::string& out, std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  out += '"';
  std::size_t plain = 0;  // start of the run not yet copied
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c >= 0x20 && c != '"' && c != '\\' && c != 0x7F && c != 0xC2) continue;
    // DEL and the C1 controls (U+0080 to U+009F, C2 80 to C2 9F) too: valid
    // JSON raw, but no terminal should get them.
    if (c == 0xC2) {
      const auto next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
      if (next < 0x80 || next > 0x9F) continue;
      out.append(text, plain, i - plain);
      out += "\\u00";
      out += kHex[next >> 4];
      out += kHex[next & 15];
      plain = i + 2;
      ++i;
      continue;
    }
    out.append(text, plain, i - plain);
    plain = i + 1;
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      default:
        out += "\\u00";
        out += kHex[c >> 4];
        out += kHex[c & 15];
    }
  }
  out.append(text, plain, text.size() - plain);
  out += '"';
}

void AppendNumber(std::string& out, uint64_t value) {
  char digits[20];
  int n = 0;
  do {
    digits[n++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value > 0);
  while (n > 0) out += digits[--n];
}

void AppendNumber(std::string& out, int64_t value) {
  if (value < 0) {
    out += '-';
    AppendNumber(out, static_cast<uint64_t>(-(value + 1)) + 1);
    return;
  }
  AppendNumber(out, static_cast<uint64_t>(value));
}

}  // namespace evreplay
