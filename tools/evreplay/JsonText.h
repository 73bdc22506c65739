// Writing JSON text into a string without building a document.
#ifndef EVREPLAY_JSON_TEXT_H
#define EVREPLAY_JSON_TEXT_H

#include <cstdint>
#include <string>
#include <string_view>

namespace evreplay {

// Appends `text` (UTF-8) as a JSON string: quotes, backslashes and control
// characters (C0, DEL and C1) escaped, everything else as it is.
void AppendJsonString(std::string& out, std::string_view text);
void AppendNumber(std::string& out, int64_t value);
void AppendNumber(std::string& out, uint64_t value);

}  // namespace evreplay

#endif
