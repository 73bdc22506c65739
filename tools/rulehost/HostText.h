// Text conversions every host of the rule module needs: the module speaks
// zero-terminated UTF-16 and ANSI verdicts, the hosts read and print UTF-8.
#ifndef RULEHOST_HOST_TEXT_H
#define RULEHOST_HOST_TEXT_H

#include <string>
#include <string_view>

#include "evrules.h"

namespace rulehost {

// Lenient: a malformed sequence still yields one code unit per lead byte.
std::u16string FromUtf8(std::string_view text);
// Appends the UTF-8 bytes of one code point.
void AppendCodePoint(std::string& out, char32_t code);
// Appends `text` to `out`; unpaired surrogates become U+FFFD so that the
// result is always valid UTF-8.
void AppendUtf8(std::string& out, std::u16string_view text);
std::string ToUtf8(std::u16string_view text);
// Verdicts and debugger lines are ANSI; as Windows-1252 they map to Latin-1
// for the bytes a verdict can hold.
std::string AnsiToUtf8(std::string_view ansi);
std::string UpperAscii(std::string text);

// A module string as a view; null is the empty string.
inline std::u16string_view Wide(const EvWideChar* text) {
  return text == nullptr ? std::u16string_view() : std::u16string_view(reinterpret_cast<const char16_t*>(text));
}
inline const EvWideChar* ToModule(const char16_t* text) { return reinterpret_cast<const EvWideChar*>(text); }

}  // namespace rulehost

#endif
