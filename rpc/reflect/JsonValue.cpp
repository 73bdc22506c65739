#include "JsonValue.h"

#include <cstdio>

namespace TevrinAV::reflect {

namespace {

// The JSON text of a value; invalid UTF-8 cannot come out of it.
std::string Text(const Json& value) { return value.dump(-1, ' ', false, Json::error_handler_t::replace); }

// At most `limit` characters of UTF-8 text, then "...".
std::string Cut(const std::string& text, std::size_t limit) {
  std::size_t characters = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80 && characters++ == limit) return text.substr(0, i) + "...";
  }
  return text;
}

}  // namespace

std::string DescribeJson(const Json& value) {
  switch (value.type()) {
    case Json::value_t::object:
      return "an object";
    case Json::value_t::array:
      return "an array";
    case Json::value_t::string:
      return "string " + Cut(Text(value), 40);
    case Json::value_t::number_integer:
    case Json::value_t::number_unsigned:
    case Json::value_t::number_float:
      return "number " + Text(value);
    default:
      return Text(value);
  }
}

void ThrowExpected(const std::string& type, const Json& got, const char* note) {
  throw JsonTypeError("expected " + type + ", got " + DescribeJson(got) + note);
}

bool ParseWholeNumber(const std::string& text, int64_t& number) {
  std::size_t i = text.size() > 1 && text[0] == '-' ? 1 : 0;
  if (i == text.size()) return false;
  uint64_t magnitude = 0;
  const uint64_t limit = i ? uint64_t{1} << 63 : (uint64_t{1} << 63) - 1;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    auto digit = static_cast<uint64_t>(text[i] - '0');
    if (magnitude > (limit - digit) / 10) return false;
    magnitude = magnitude * 10 + digit;
  }
  number = text[0] == '-' ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude);
  return true;
}

std::string DumpJson(const Json& value, bool compact) {
  std::string text = value.dump(compact ? -1 : 2, ' ', false, Json::error_handler_t::replace);
  std::string out;
  out.reserve(text.size());
  char escape[8];
  for (std::size_t i = 0; i < text.size(); ++i) {
    auto byte = static_cast<unsigned char>(text[i]);
    auto next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
    if (byte == 0x7F) {
      out += "\\u007f";
    } else if (byte == 0xC2 && next >= 0x80 && next <= 0x9F) {
      // U+0080 to U+009F: the text is valid UTF-8 here, so 0xC2 leads.
      std::snprintf(escape, sizeof escape, "\\u%04x", next);
      out += escape;
      ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

Json JsonCodec<WideString>::write(const WideString& v) {
  std::string utf8;
  WideToUtf8(utf8, v);
  return utf8;
}

void JsonCodec<WideString>::read(const Json& j, WideString& v) {
  if (!j.is_string()) ThrowExpected("string", j);
  const auto& utf8 = j.get_ref<const std::string&>();
  // The service's texts end at a NUL: one inside would cut the text short.
  if (utf8.find('\0') != std::string::npos) ThrowExpected("string", j, " (a text holds no NUL)");
  if (!Utf8ToWide(v, utf8)) ThrowExpected("string", j, " (the text cannot be converted)");
}

}  // namespace TevrinAV::reflect
