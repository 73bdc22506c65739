#include "Values.h"

#include "Calendar.h"
#include "HostText.h"

#include <charconv>
#include <cmath>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace evtx {
namespace {

uint64_t Le(const uint8_t* p, int bytes) {
  uint64_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | p[i];
  return v;
}

void AppendUnsigned(std::string& out, uint64_t v) {
  char digits[24];
  auto end = std::to_chars(digits, digits + sizeof digits, v).ptr;
  out.append(digits, end);
}
void AppendSigned(std::string& out, int64_t v) {
  char digits[24];
  auto end = std::to_chars(digits, digits + sizeof digits, v).ptr;
  out.append(digits, end);
}
void AppendHex(std::string& out, uint64_t v, int digits) {
  static constexpr char kHex[] = "0123456789abcdef";
  out += "0x";
  for (int i = digits - 1; i >= 0; --i) out += kHex[(v >> (4 * i)) & 15];
}

// A double as Python's repr writes it: the shortest digits that read back,
// fixed notation for exponents from -4 to 15, else d.ddde+XX.
void AppendPythonFloat(std::string& out, double v) {
  if (std::isnan(v)) {
    out += "nan";
    return;
  }
  if (std::isinf(v)) {
    out += v < 0 ? "-inf" : "inf";
    return;
  }
  char text[64];
  auto end = std::to_chars(text, text + sizeof text, v, std::chars_format::scientific).ptr;
  std::string_view s(text, static_cast<std::size_t>(end - text));
  bool negative = false;
  if (!s.empty() && s[0] == '-') {
    negative = true;
    s.remove_prefix(1);
  }
  const std::size_t e = s.find('e');
  std::string digits;
  for (char c : s.substr(0, e))
    if (c != '.') digits += c;
  int exponent = 0;
  std::from_chars(s.data() + e + 1 + (s[e + 1] == '+' ? 1 : 0), s.data() + s.size(), exponent);
  if (negative) out += '-';
  if (exponent >= -4 && exponent < 16) {
    if (exponent < 0) {
      out += "0.";
      out.append(static_cast<std::size_t>(-exponent - 1), '0');
      out += digits;
    } else if (static_cast<std::size_t>(exponent) + 1 >= digits.size()) {
      out += digits;
      out.append(static_cast<std::size_t>(exponent) + 1 - digits.size(), '0');
      out += ".0";
    } else {
      out.append(digits, 0, static_cast<std::size_t>(exponent) + 1);
      out += '.';
      out.append(digits, static_cast<std::size_t>(exponent) + 1, std::string::npos);
    }
    return;
  }
  out += digits[0];
  if (digits.size() > 1) {
    out += '.';
    out.append(digits, 1, std::string::npos);
  }
  out += exponent < 0 ? "e-" : "e+";
  rulehost::AppendDigits(out, static_cast<unsigned>(exponent < 0 ? -exponent : exponent), 2);
}

void AppendBase64(std::string& out, const uint8_t* p, std::size_t size) {
  static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::size_t i = 0;
  for (; i + 3 <= size; i += 3) {
    const uint32_t v = (uint32_t{p[i]} << 16) | (uint32_t{p[i + 1]} << 8) | p[i + 2];
    out += kAlphabet[v >> 18];
    out += kAlphabet[(v >> 12) & 63];
    out += kAlphabet[(v >> 6) & 63];
    out += kAlphabet[v & 63];
  }
  if (size - i == 1) {
    const uint32_t v = uint32_t{p[i]} << 16;
    out += kAlphabet[v >> 18];
    out += kAlphabet[(v >> 12) & 63];
    out += "==";
  } else if (size - i == 2) {
    const uint32_t v = (uint32_t{p[i]} << 16) | (uint32_t{p[i + 1]} << 8);
    out += kAlphabet[v >> 18];
    out += kAlphabet[(v >> 12) & 63];
    out += kAlphabet[(v >> 6) & 63];
    out += '=';
  }
}

using rulehost::AppendCodePoint;
using rulehost::CivilFromDays;

void AppendDateTime(std::string& out, int64_t year, unsigned month, unsigned day, unsigned hour, unsigned minute,
                    unsigned second, unsigned microseconds) {
  rulehost::AppendDigits(out, static_cast<unsigned>(year), 4);
  out += '-';
  rulehost::AppendDigits(out, month, 2);
  out += '-';
  rulehost::AppendDigits(out, day, 2);
  out += ' ';
  rulehost::AppendDigits(out, hour, 2);
  out += ':';
  rulehost::AppendDigits(out, minute, 2);
  out += ':';
  rulehost::AppendDigits(out, second, 2);
  if (microseconds != 0) {
    out += '.';
    rulehost::AppendDigits(out, microseconds, 6);
  }
}

// Windows-1252 bytes 0x80 to 0x9F; the five the code page leaves undefined
// stand for the C1 controls of the same value.
constexpr char16_t kHighControlRow[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

}  // namespace

void AppendUtf16(std::string& out, const uint8_t* bytes, std::size_t units) {
  // ASCII, the most of every log, eight units a turn where SSE2 is there,
  // through a buffer on the stack: no filling of the string first.
  char ascii[256];
  std::size_t i = 0;
  while (i < units) {
    std::size_t n = 0;
#if defined(__SSE2__)
    while (i + 8 <= units && n + 8 <= sizeof ascii) {
      const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + 2 * i));
      // Every unit below 0x80: no bit above the low seven of each.
      if (_mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(block, _mm_set1_epi16(static_cast<short>(0xFF80))),
                                            _mm_setzero_si128())) != 0xFFFF)
        break;
      _mm_storel_epi64(reinterpret_cast<__m128i*>(ascii + n), _mm_packus_epi16(block, block));
      n += 8;
      i += 8;
    }
#endif
    while (i < units && n < sizeof ascii && bytes[2 * i + 1] == 0 && bytes[2 * i] < 0x80) ascii[n++] = static_cast<char>(bytes[2 * i++]);
    out.append(ascii, n);
    if (i == units) return;
    if (n == sizeof ascii) continue;
    // One character beyond ASCII.
    const char16_t unit = static_cast<char16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
    char32_t c = unit;
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < units) {
      const char16_t low = static_cast<char16_t>(bytes[2 * i + 2] | (bytes[2 * i + 3] << 8));
      if (low >= 0xDC00 && low <= 0xDFFF) {
        c = 0x10000 + ((char32_t{unit} - 0xD800) << 10) + (low - 0xDC00);
        ++i;
      } else {
        c = 0xFFFD;
      }
    } else if (unit >= 0xD800 && unit <= 0xDFFF) {
      c = 0xFFFD;
    }
    AppendCodePoint(out, c);
    ++i;
  }
}

void AppendFileTime(std::string& out, uint64_t ticks) {
  // 100 ns ticks since 1601-01-01; python-evtx gives datetime.min for what it
  // cannot hold, which FILETIME always can.
  const uint64_t microseconds = ticks / 10;
  const uint64_t seconds = microseconds / 1000000;
  const int64_t days = static_cast<int64_t>(seconds / 86400) - 134774;  // 1601 to 1970
  int64_t year = 0;
  unsigned month = 0, day = 0;
  CivilFromDays(days, year, month, day);
  const auto inDay = static_cast<unsigned>(seconds % 86400);
  AppendDateTime(out, year, month, day, inDay / 3600, inDay / 60 % 60, inDay % 60,
                 static_cast<unsigned>(microseconds % 1000000));
}

std::size_t ArrayElementSize(uint8_t type, const uint8_t* bytes, std::size_t size) {
  switch (type) {
    case kString:
      for (std::size_t i = 0; i + 1 < size; i += 2)
        if (bytes[i] == 0 && bytes[i + 1] == 0) return i + 2;
      return 0;
    case kAnsiString: {
      const void* nul = std::memchr(bytes, 0, size);
      return nul == nullptr ? 0 : static_cast<std::size_t>(static_cast<const uint8_t*>(nul) - bytes) + 1;
    }
    case kInt8: case kUInt8: return size >= 1 ? 1 : 0;
    case kInt16: case kUInt16: return size >= 2 ? 2 : 0;
    case kInt32: case kUInt32: case kReal32: case kBool: case kHexInt32: return size >= 4 ? 4 : 0;
    case kInt64: case kUInt64: case kReal64: case kFileTime: case kHexInt64: return size >= 8 ? 8 : 0;
    case kGuid: case kSysTime: return size >= 16 ? 16 : 0;
    case kSid: return size >= 8 && size >= 8 + 4 * std::size_t{bytes[1]} ? 8 + 4 * std::size_t{bytes[1]} : 0;
    default: return 0;
  }
}

bool AppendValue(std::string& out, uint8_t type, const uint8_t* p, std::size_t size) {
  auto fits = [&](std::size_t n) { return size >= n; };
  switch (type) {
    case kNull: return true;
    case kString: {
      std::size_t units = size / 2;
      while (units > 0 && p[2 * units - 2] == 0 && p[2 * units - 1] == 0) --units;  // trailing NULs
      AppendUtf16(out, p, units);
      return true;
    }
    case kAnsiString: {
      std::size_t n = size;
      while (n > 0 && p[n - 1] == 0) --n;
      for (std::size_t i = 0; i < n; ++i) {
        const uint8_t b = p[i];
        AppendCodePoint(out, b < 0x80 ? b : b < 0xA0 ? kHighControlRow[b - 0x80] : b);
      }
      return true;
    }
    case kInt8: if (!fits(1)) return false; AppendSigned(out, static_cast<int8_t>(p[0])); return true;
    case kUInt8: if (!fits(1)) return false; AppendUnsigned(out, p[0]); return true;
    case kInt16: if (!fits(2)) return false; AppendSigned(out, static_cast<int16_t>(Le(p, 2))); return true;
    case kUInt16: if (!fits(2)) return false; AppendUnsigned(out, Le(p, 2)); return true;
    case kInt32: if (!fits(4)) return false; AppendSigned(out, static_cast<int32_t>(Le(p, 4))); return true;
    case kUInt32: if (!fits(4)) return false; AppendUnsigned(out, Le(p, 4)); return true;
    case kInt64: if (!fits(8)) return false; AppendSigned(out, static_cast<int64_t>(Le(p, 8))); return true;
    case kUInt64: if (!fits(8)) return false; AppendUnsigned(out, Le(p, 8)); return true;
    case kReal32: {
      if (!fits(4)) return false;
      const auto bits = static_cast<uint32_t>(Le(p, 4));
      float v;
      std::memcpy(&v, &bits, 4);
      AppendPythonFloat(out, static_cast<double>(v));
      return true;
    }
    case kReal64: {
      if (!fits(8)) return false;
      const uint64_t bits = Le(p, 8);
      double v;
      std::memcpy(&v, &bits, 8);
      AppendPythonFloat(out, v);
      return true;
    }
    case kBool:
      if (!fits(4)) return false;
      out += static_cast<int32_t>(Le(p, 4)) > 0 ? "True" : "False";
      return true;
    case kBinary: AppendBase64(out, p, size); return true;
    case kGuid: {
      if (!fits(16)) return false;
      static constexpr char kHex[] = "0123456789abcdef";
      static constexpr int kOrder[] = {3, 2, 1, 0, -1, 5, 4, -1, 7, 6, -1, 8, 9, -1, 10, 11, 12, 13, 14, 15};
      out += '{';
      for (int i : kOrder) {
        if (i < 0) {
          out += '-';
          continue;
        }
        out += kHex[p[i] >> 4];
        out += kHex[p[i] & 15];
      }
      out += '}';
      return true;
    }
    case kSizeT:
      if (size == 4) AppendUnsigned(out, Le(p, 4));
      else if (size >= 8) AppendUnsigned(out, Le(p, 8));
      else return false;
      return true;
    case kFileTime: if (!fits(8)) return false; AppendFileTime(out, Le(p, 8)); return true;
    case kSysTime: {
      if (!fits(16)) return false;
      const unsigned year = static_cast<unsigned>(Le(p, 2)), month = static_cast<unsigned>(Le(p + 2, 2)),
                     day = static_cast<unsigned>(Le(p + 6, 2)), hour = static_cast<unsigned>(Le(p + 8, 2)),
                     minute = static_cast<unsigned>(Le(p + 10, 2)), second = static_cast<unsigned>(Le(p + 12, 2)),
                     ms = static_cast<unsigned>(Le(p + 14, 2));
      if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 ||
          second > 59 || ms > 999)
        return false;
      AppendDateTime(out, year, month, day, hour, minute, second, ms * 1000);
      return true;
    }
    case kSid: {
      const std::size_t need = ArrayElementSize(kSid, p, size);
      if (need == 0) return false;
      out += "S-";
      AppendUnsigned(out, p[0]);
      uint64_t authority = 0;
      for (int i = 2; i < 8; ++i) authority = (authority << 8) | p[i];
      out += '-';
      AppendUnsigned(out, authority);
      for (std::size_t i = 0; i < p[1]; ++i) {
        out += '-';
        AppendUnsigned(out, Le(p + 8 + 4 * i, 4));
      }
      return true;
    }
    case kHexInt32: if (!fits(4)) return false; AppendHex(out, Le(p, 4), 8); return true;
    case kHexInt64: if (!fits(8)) return false; AppendHex(out, Le(p, 8), 16); return true;
    default: return false;
  }
}

}  // namespace evtx
