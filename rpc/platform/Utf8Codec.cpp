#include "Utf8Codec.h"

#include <cstdint>
#include <string>

namespace tevrin::platform {
namespace {

// Collects output units, or only counts them when there is no buffer.
template <class Unit>
class Sink {
public:
  Sink(Unit* out, std::size_t capacity) : out_(capacity ? out : nullptr), capacity_(capacity) {}
  void put(std::uint32_t unit) {
    if (out_) {
      if (count_ < capacity_)
        out_[count_] = static_cast<Unit>(unit);
      else
        overflow_ = true;
    }
    ++count_;
  }
  int result() const { return overflow_ ? -1 : static_cast<int>(count_); }

private:
  Unit* out_;
  std::size_t capacity_;
  std::size_t count_ = 0;
  bool overflow_ = false;
};

bool IsHighSurrogate(std::uint32_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool IsLowSurrogate(std::uint32_t u) { return u >= 0xDC00 && u <= 0xDFFF; }
bool IsContinuation(unsigned char b) { return (b & 0xC0) == 0x80; }

void PutUtf8(Sink<char>& sink, std::uint32_t cp) {
  if (cp < 0x80) {
    sink.put(cp);
  } else if (cp < 0x800) {
    sink.put(0xC0 | (cp >> 6));
    sink.put(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    sink.put(0xE0 | (cp >> 12));
    sink.put(0x80 | ((cp >> 6) & 0x3F));
    sink.put(0x80 | (cp & 0x3F));
  } else {
    sink.put(0xF0 | (cp >> 18));
    sink.put(0x80 | ((cp >> 12) & 0x3F));
    sink.put(0x80 | ((cp >> 6) & 0x3F));
    sink.put(0x80 | (cp & 0x3F));
  }
}

void PutUtf16(Sink<char16_t>& sink, std::uint32_t cp) {
  if (cp < 0x10000) {
    sink.put(cp);
  } else {
    cp -= 0x10000;
    sink.put(0xD800 | (cp >> 10));
    sink.put(0xDC00 | (cp & 0x3FF));
  }
}

// Allowed range of the second byte of a sequence, by lead byte; the later
// bytes are plain continuations. Excludes overlong forms, encoded surrogates
// and code points above U+10FFFF.
struct LeadInfo {
  int length;
  unsigned char secondMin;
  unsigned char secondMax;
};

LeadInfo DescribeLead(unsigned char lead) {
  if (lead >= 0xC2 && lead <= 0xDF) return {2, 0x80, 0xBF};
  if (lead == 0xE0) return {3, 0xA0, 0xBF};
  if (lead == 0xED) return {3, 0x80, 0x9F};
  if (lead >= 0xE1 && lead <= 0xEF) return {3, 0x80, 0xBF};
  if (lead == 0xF0) return {4, 0x90, 0xBF};
  if (lead >= 0xF1 && lead <= 0xF3) return {4, 0x80, 0xBF};
  if (lead == 0xF4) return {4, 0x80, 0x8F};
  return {0, 0, 0};
}

}  // namespace

int EncodeUtf8(const char16_t* text, std::size_t length, char* out, std::size_t capacity) {
  Sink<char> sink(out, capacity);
  for (std::size_t i = 0; i < length; ++i) {
    std::uint32_t unit = text[i];
    if (IsHighSurrogate(unit) && i + 1 < length && IsLowSurrogate(text[i + 1])) {
      std::uint32_t low = text[++i];
      PutUtf8(sink, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
      continue;
    }
    if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) unit = kReplacementChar;
    PutUtf8(sink, unit);
  }
  return sink.result();
}

// Each maximal ill-formed subpart becomes one U+FFFD, as the Unicode standard
// recommends and the Windows converter does.
int DecodeUtf8(const char* text, std::size_t length, char16_t* out, std::size_t capacity) {
  Sink<char16_t> sink(out, capacity);
  const auto* p = reinterpret_cast<const unsigned char*>(text);
  const auto* end = p + length;
  while (p < end) {
    unsigned char lead = *p++;
    if (lead < 0x80) {
      sink.put(lead);
      continue;
    }
    LeadInfo info = DescribeLead(lead);
    if (info.length == 0) {
      sink.put(kReplacementChar);
      continue;
    }
    std::uint32_t cp = lead & (0xFF >> (info.length + 1));
    int taken = 1;
    for (; taken < info.length && p < end; ++taken, ++p) {
      bool fits = taken == 1 ? (*p >= info.secondMin && *p <= info.secondMax) : IsContinuation(*p);
      if (!fits) break;
      cp = (cp << 6) | (*p & 0x3F);
    }
    PutUtf16(sink, taken == info.length ? cp : kReplacementChar);
  }
  return sink.result();
}

int EncodeUtf8(const char16_t* text, char* out, std::size_t capacity) {
  return EncodeUtf8(text, std::char_traits<char16_t>::length(text) + 1, out, capacity);
}

int DecodeUtf8(const char* text, char16_t* out, std::size_t capacity) {
  return DecodeUtf8(text, std::char_traits<char>::length(text) + 1, out, capacity);
}

Utf8Sequence FirstUtf8Sequence(std::string_view bytes) {
  if (bytes.empty()) return {0, 0};
  const auto lead = static_cast<unsigned char>(bytes[0]);
  if (lead < 0x80) return {lead, 1};
  const LeadInfo info = DescribeLead(lead);
  if (info.length == 0 || bytes.size() < static_cast<std::size_t>(info.length)) return {0, 0};
  std::uint32_t cp = lead & (0xFF >> (info.length + 1));
  for (int i = 1; i < info.length; ++i) {
    const auto b = static_cast<unsigned char>(bytes[static_cast<std::size_t>(i)]);
    const bool fits = i == 1 ? (b >= info.secondMin && b <= info.secondMax) : IsContinuation(b);
    if (!fits) return {0, 0};
    cp = (cp << 6) | (b & 0x3F);
  }
  return {static_cast<char32_t>(cp), static_cast<std::size_t>(info.length)};
}

}  // namespace tevrin::platform
