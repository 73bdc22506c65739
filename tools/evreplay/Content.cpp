#include "Content.h"

namespace evreplay {
namespace {

using namespace std::string_view_literals;

bool StartsWith(std::string_view head, std::string_view magic, std::size_t at = 0) {
  return head.size() >= at + magic.size() && head.substr(at, magic.size()) == magic;
}

bool IsPadding(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\0'; }
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

// Control bytes other than tab and line ends never stand in JSON text.
bool IsText(std::string_view text) {
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 && c != '\t' && c != '\n' && c != '\r') return false;
  }
  return true;
}

// The first byte of the line at `at` that is not a blank.
char LineStart(std::string_view text, std::size_t at) {
  while (at < text.size() && IsBlank(text[at])) ++at;
  return at < text.size() ? text[at] : '\0';
}

struct Signature {
  std::string_view magic;
  std::size_t at;
  ContentKind kind;
  const char* what;
};

constexpr Signature kSignatures[] = {
    {"ElfFile\0"sv, 0, ContentKind::Evtx, ""},
    {"LfLe"sv, 4, ContentKind::Other,
     "a Windows XP event log (.evt), which evreplay does not read (wevtutil epl LOG.evt LOG.evtx /lf:true converts "
     "it)"},
    {"\x1f\x8b"sv, 0, ContentKind::Compressed, ""},
    {"BZh"sv, 0, ContentKind::Compressed, ""},
    {"\xfd" "7zXZ\0"sv, 0, ContentKind::Compressed, ""},
    {"\x28\xb5\x2f\xfd"sv, 0, ContentKind::Compressed, ""},
    {"\x04\x22\x4d\x18"sv, 0, ContentKind::Compressed, ""},
    {"LZIP"sv, 0, ContentKind::Compressed, ""},
    {"\x1f\x9d"sv, 0, ContentKind::Compressed, ""},
    {"PK\x03\x04"sv, 0, ContentKind::Archive, ""},
    {"PK\x05\x06"sv, 0, ContentKind::Archive, ""},
    {"PK\x07\x08"sv, 0, ContentKind::Archive, ""},
    {"ustar"sv, 257, ContentKind::Archive, ""},
    {"7z\xbc\xaf\x27\x1c"sv, 0, ContentKind::SevenZip, ""},
    {"\xff\xfe"sv, 0, ContentKind::Other,
     "text in UTF-16, where evreplay reads UTF-8 (iconv -f UTF-16 -t UTF-8 converts it)"},
    {"\xfe\xff"sv, 0, ContentKind::Other,
     "text in UTF-16, where evreplay reads UTF-8 (iconv -f UTF-16 -t UTF-8 converts it)"},
    {"\x89PNG\r\n\x1a\n"sv, 0, ContentKind::Other, "a PNG image, not an event log"},
    {"\xff\xd8\xff"sv, 0, ContentKind::Other, "a JPEG image, not an event log"},
    {"GIF8"sv, 0, ContentKind::Other, "a GIF image, not an event log"},
    {"%PDF"sv, 0, ContentKind::Other, "a PDF document, not an event log"},
    {"MZ"sv, 0, ContentKind::Other, "a Windows program, not an event log"},
    {"\x7f" "ELF"sv, 0, ContentKind::Other, "an ELF program, not an event log"},
    {"\xd0\xcf\x11\xe0\xa1\xb1\x1a\xe1"sv, 0, ContentKind::Other, "an Office document, not an event log"},
    {"SQLite format 3\0"sv, 0, ContentKind::Other, "an SQLite database, not an event log"},
};

}  // namespace

Content Classify(std::string_view head) {
  for (const Signature& signature : kSignatures)
    if (StartsWith(head, signature.magic, signature.at)) return {signature.kind, signature.what};

  std::size_t at = StartsWith(head, "\xef\xbb\xbf"sv) ? 3 : 0;  // a byte-order mark
  while (at < head.size() && IsPadding(head[at])) ++at;
  if (at == head.size()) return {ContentKind::Empty, ""};
  // A first line that opens an object is JSON lines, whatever follows it.
  if (head[at] == '{') return {ContentKind::JsonLines, ""};
  // So is text with a line that opens an object further on: a log cut in its
  // first line, or with a few lines of something else before its events.
  for (std::size_t newline = head.find('\n', at); newline != std::string_view::npos;
       newline = head.find('\n', newline + 1)) {
    if (!IsText(head.substr(at, newline - at))) break;
    if (LineStart(head, newline + 1) == '{') return {ContentKind::JsonLines, ""};
  }
  if (!IsText(head.substr(at))) return {ContentKind::Other, "not an event log (EVTX or JSON lines)"};
  if (head[at] == '[')
    return {ContentKind::Other, "a JSON array, where evreplay reads one JSON object a line (jq -c '.[]' turns it into lines)"};
  if (head[at] == '<') return {ContentKind::Other, "XML, where evreplay reads EVTX or JSON lines"};
  return {ContentKind::Other, "text that is not JSON lines, nor any event log evreplay reads"};
}

}  // namespace evreplay
