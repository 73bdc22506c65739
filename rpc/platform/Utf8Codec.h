// UTF-8 and UTF-16 conversion as the Windows converter does it without its
// strict flag: invalid input is replaced by U+FFFD, never rejected. Used by the
// Linux emulation of the Windows text calls.
#pragma once

#include <cstddef>

namespace tevrin::platform {

inline constexpr char16_t kReplacementChar = 0xFFFD;

// Converts `text` up to and including its NUL terminator. With `capacity` 0
// returns the size needed; otherwise the units written, or -1 when `out` is
// too small.
int EncodeUtf8(const char16_t* text, char* out, std::size_t capacity);
int DecodeUtf8(const char* text, char16_t* out, std::size_t capacity);

}  // namespace tevrin::platform
