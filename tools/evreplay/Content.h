// What an input holds, told by its first bytes and never by its name.
#ifndef EVREPLAY_CONTENT_H
#define EVREPLAY_CONTENT_H

#include <string>
#include <string_view>

namespace evreplay {

enum class ContentKind {
  Empty,       // nothing, or only blanks and NUL bytes: a log without events
  JsonLines,   // one JSON object a line
  Evtx,        // a Windows XML event log
  Compressed,  // gzip, bzip2, xz, zstd, lz4, lzip or compress: look inside
  Archive,     // zip or tar: each member is an input of its own
  SevenZip,    // 7z: an archive that can be read only from a file
  Other,       // none of these; `what` says what it looks like
};

struct Content {
  ContentKind kind = ContentKind::Other;
  std::string what;  // for Other: "a PNG image", "not an event log (EVTX or JSON lines)", ...
};

// Bytes looked at to tell an input's kind (tar's magic sits at 257).
inline constexpr std::size_t kContentHead = 4096;

// The kind of an input whose first bytes are `head` (all of it when shorter
// than kContentHead).
Content Classify(std::string_view head);

}  // namespace evreplay

#endif
