// UTF-8 and UTF-16 conversion as the Windows converter does it without its
// strict flag: invalid input is replaced by U+FFFD, never rejected. Used by the
// Linux emulation of the Windows text calls.
#pragma once

#include <cstddef>
#include <string_view>

namespace tevrin::platform {

inline constexpr char16_t kReplacementChar = 0xFFFD;

// Converts the `length` units of `text`, NULs included. With `capacity` 0
// returns the size needed; otherwise the units written, or -1 when `out` is
// too small.
int EncodeUtf8(const char16_t* text, std::size_t length, char* out, std::size_t capacity);
int DecodeUtf8(const char* text, std::size_t length, char16_t* out, std::size_t capacity);
// The same for `text` up to and including its NUL terminator.
int EncodeUtf8(const char16_t* text, char* out, std::size_t capacity);
int DecodeUtf8(const char* text, char16_t* out, std::size_t capacity);

// The well-formed sequence at the start of `bytes`: its code point and
// length, or length 0 when the bytes there are ill-formed or cut short.
struct Utf8Sequence {
  char32_t codePoint;
  std::size_t length;
};
Utf8Sequence FirstUtf8Sequence(std::string_view bytes);

}  // namespace tevrin::platform
