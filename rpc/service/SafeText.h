// Text that came from the service, made safe to print on a terminal.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace TevrinAV {

inline constexpr std::size_t kSafeTextCharacters = 1024;

// `text` (UTF-8) as it may be printed: control characters (C0 but tab, DEL,
// C1) and bytes that are not UTF-8 are shown as \xNN, so that no escape
// sequence reaches the terminal; after kSafeTextCharacters characters the
// rest is left out and "..." follows.
std::string SafeText(std::string_view text);

}  // namespace TevrinAV
