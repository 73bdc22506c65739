#include "evrules_Common.h"

#include <charconv>
#include <cstring>
#include <new>

#include "Platform.h"

#if EVRULES_READS_PAST_TERMINATOR && defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace evrules {

void WideText::Assign(std::u16string_view text) {
  char16_t* out = Reserve(text.size());
  if (!text.empty()) std::memcpy(out, text.data(), text.size() * sizeof(char16_t));
  Commit(text.size());
}

char16_t* WideText::Reserve(std::size_t capacity) {
  if (capacity <= kInlineCapacity) {
    onHeap_ = false;
    return inline_;
  }
  if (capacity > heapCapacity_) {
    heap_ = std::make_unique<char16_t[]>(capacity + 1);
    heapCapacity_ = capacity;
  }
  onHeap_ = true;
  return heap_.get();
}

void WideText::Commit(std::size_t size) {
  size_ = size;
  data()[size] = 0;
}

namespace {

void UpperCaseAsciiLetters(char* text, std::size_t length) {
  for (std::size_t i = 0; i < length; ++i)
    if (text[i] >= 'a' && text[i] <= 'z') text[i] = static_cast<char>(text[i] - ('a' - 'A'));
}

// Every ANSI code page holds ASCII unchanged, so for ASCII text the round
// trip through the code page is the identity: upper-case it in one pass.
bool NormalizeAsciiText(std::u16string_view text, WideText& result) {
  if (text.size() > WideText::kInlineCapacity) return false;
  char16_t* out = result.Reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i];
    if (unit >= 0x80) return false;
    out[i] = unit >= u'a' && unit <= u'z' ? static_cast<char16_t>(unit - (u'a' - u'A')) : unit;
  }
  result.Commit(text.size());
  return true;
}

}  // namespace

WideText NormalizeText(std::u16string_view text) {
  WideText result;
  NormalizeTextInto(text, result);
  return result;
}

void NormalizeTextInto(std::u16string_view text, WideText& result) {
  if (text.empty()) {
    result.Commit(0);
    return;
  }
  if (NormalizeAsciiText(text, result)) return;

  char stackAnsi[2 * WideText::kInlineCapacity];
  std::string heapAnsi;
  char* ansi = stackAnsi;
  std::size_t ansiLength = platform::WideToAnsi(text, stackAnsi, sizeof stackAnsi);
  if (ansiLength > sizeof stackAnsi) {
    heapAnsi.resize(ansiLength);
    ansi = heapAnsi.data();
    ansiLength = platform::WideToAnsi(text, ansi, ansiLength);
  }
  UpperCaseAsciiLetters(ansi, ansiLength);

  std::string_view ansiText(ansi, ansiLength);
  std::size_t capacity = WideText::kInlineCapacity;
  std::size_t wideLength = platform::AnsiToWide(ansiText, result.Reserve(capacity), capacity);
  if (wideLength > capacity) {
    capacity = wideLength;
    wideLength = platform::AnsiToWide(ansiText, result.Reserve(capacity), capacity);
  }
  result.Commit(wideLength <= capacity ? wideLength : 0);
}

bool IsAsciiText(std::u16string_view text) {
  char16_t seen = 0;
  for (char16_t unit : text) seen |= unit;
  return seen < 0x80;
}

bool NormalizedView::SameUnits(std::u16string_view row) const {
  if (normalized_) return text_ == row;
  for (std::size_t i = 0; i < text_.size(); ++i)
    if (AsciiUpper(text_[i]) != row[i]) return false;
  return true;
}

bool NormalizedView::SameUnits(const NormalizedView& other) const {
  for (std::size_t i = 0; i < text_.size(); ++i)
    if (At(i) != other.At(i)) return false;
  return true;
}

bool NormalizedView::Contains(std::u16string_view row) const {
  if (row.size() > text_.size()) return false;
  for (std::size_t start = 0; start + row.size() <= text_.size(); ++start) {
    std::size_t matched = 0;
    while (matched < row.size() && At(start + matched) == row[matched]) ++matched;
    if (matched == row.size()) return true;
  }
  return false;
}

void Normalized::AssignNormalized(std::u16string_view text) {
  if (!hasCopy_) {
    new (&copy_) WideText();
    hasCopy_ = true;
  }
  NormalizeTextInto(text, copy_);
  text_ = copy_.view();
  normalized_ = true;
}

PathParts SplitPath(std::u16string_view path) {
  const char16_t* const begin = path.data();
  const char16_t* nameStart = begin + path.size();
  while (nameStart != begin && nameStart[-1] != u'\\' && nameStart[-1] != u':') --nameStart;
  const auto folderSize = static_cast<std::size_t>(nameStart - begin);
  return {std::u16string_view(begin, folderSize), std::u16string_view(nameStart, path.size() - folderSize)};
}

CommandTokens::CommandTokens(std::u16string_view commandLine) {
  // The tokens never hold more units than the command line.
  char16_t* units = inline_;
  if (commandLine.size() > kInlineCapacity) {
    heap_.resize(commandLine.size());
    units = heap_.data();
  }
  std::size_t tokenStart = 0;
  std::size_t tokenEnd = 0;
  bool insideQuotes = false;
  for (char16_t unit : commandLine) {
    if (unit == u'"') {
      insideQuotes = !insideQuotes;
    } else if (unit == u' ' && !insideQuotes) {
      if (tokenEnd == tokenStart) continue;
      tokens_[count_++] = std::u16string_view(units + tokenStart, tokenEnd - tokenStart);
      tokenStart = tokenEnd;
      if (count_ == kMaxCommandTokens) return;
    } else {
      units[tokenEnd++] = unit;
    }
  }
  if (tokenEnd != tokenStart) tokens_[count_++] = std::u16string_view(units + tokenStart, tokenEnd - tokenStart);
}

std::vector<std::u16string> SplitCommandLine(std::u16string_view commandLine) {
  const CommandTokens tokens(commandLine);
  return std::vector<std::u16string>(tokens.begin(), tokens.end());
}

bool IsWrittenToday(std::u16string_view path) {
  if (platform::GetFileKind(path) != platform::FileKind::File) return false;
  platform::LocalDate written;
  if (!platform::FindLastWriteDate(path, written)) return false;
  return written == platform::GetLocalDate();
}

namespace {
HostCallbackSet theHostCallbacks;

// Debugger lines are built here, on the stack, unless the path in one is long.
constexpr std::size_t kDebugLineCapacity = 1024;

// `prefix` and the path through the ANSI code page as one debugger line.
void WriteDebugLine(std::string_view prefix, std::u16string_view path) {
  char stackLine[kDebugLineCapacity];
  std::string heapLine;
  char* line = stackLine;
  std::size_t capacity = sizeof stackLine - prefix.size() - 1;
  std::size_t length = platform::WideToAnsi(path, line + prefix.size(), capacity);
  if (length > capacity) {
    capacity = length;
    heapLine.resize(prefix.size() + capacity + 1);
    line = heapLine.data();
    length = platform::WideToAnsi(path, line + prefix.size(), capacity);
  }
  std::memcpy(line, prefix.data(), prefix.size());
  line[prefix.size() + (length <= capacity ? length : 0)] = '\0';
  platform::DebugOutput(line);
}

// `prefix` and the number in decimal as one debugger line.
void WriteDebugLine(std::string_view prefix, uint32_t number) {
  char line[kDebugLineCapacity];
  std::memcpy(line, prefix.data(), prefix.size());
  char* end = std::to_chars(line + prefix.size(), line + sizeof line - 1, number).ptr;
  *end = '\0';
  platform::DebugOutput(line);
}
}  // namespace

void SetHostCallbacks(const HostCallbackSet& callbacks) { theHostCallbacks = callbacks; }
const HostCallbackSet& CurrentHostCallbacks() { return theHostCallbacks; }

int32_t HIPSCheckWhiteListEntry(const char16_t* path) {
  WriteDebugLine("==HIPSCheckWhiteListEntry: Check for white list ", std::u16string_view(path));
  CheckWhiteListFn checkWhiteList = theHostCallbacks.checkWhiteList;
  if (checkWhiteList == nullptr) return 0;
  int32_t answer = checkWhiteList(ToHostWide(path));
  WriteDebugLine("==HIPSCheckWhiteListEntry: Checked. Result=", static_cast<uint32_t>(answer));
  return answer;
}

int32_t QueryHostFile(const char16_t* path, char16_t* buffer, int32_t capacity) {
  QueryFileFn queryFile = theHostCallbacks.queryFile;
  if (queryFile == nullptr) return 0;
  return queryFile(ToHostWide(path), ToHostWide(buffer), capacity);
}

void ReportDetectionFor(const char16_t* path, std::string_view verdict) {
  ReportDetectionFn reportDetection = theHostCallbacks.reportDetection;
  // Mended: a report due while the host gave no callback is dropped.
  if (reportDetection == nullptr) return;
  DetectionReport report{ToHostWide(path), verdict.data(), 2};
  reportDetection(&report);
}

EventText MeasureTextByUnit(const char16_t* text) {
  char16_t seen = 0;
  std::size_t length = 0;
  for (; text[length] != 0; ++length) seen |= text[length];
  return {std::u16string_view(text, length), seen < 0x80};
}

#if EVRULES_READS_PAST_TERMINATOR
namespace {

// A word that may alias the host's char16_t units.
typedef uintptr_t __attribute__((may_alias)) TextWord;
constexpr TextWord kUnitOnes = ~TextWord{0} / 0xFFFF;  // 0x0001 in every unit
constexpr TextWord kUnitTops = kUnitOnes << 15;       // 0x8000 in every unit
constexpr TextWord kNonAsciiBits = kUnitOnes * 0xFF80;

// 0x8000 in the lowest zero unit of `word`; above it flags may be wrong.
TextWord ZeroUnits(TextWord word) { return (word - kUnitOnes) & ~word & kUnitTops; }
// Bits in the lowest unit of `word` that is zero or not ASCII; above it flags
// may be wrong. None when every unit is ASCII and none is zero.
TextWord EndOrNonAsciiUnits(TextWord word) { return ((word - kUnitOnes) | word) & kNonAsciiBits; }
// The index of the lowest unit with a flag (some flags must be set).
std::size_t LowestFlaggedUnit(TextWord flags) { return static_cast<std::size_t>(__builtin_ctzll(flags)) / 16; }

// The units from `text` to the byte `offset` bytes into `read`, which may
// begin before the text.
std::size_t UnitsUpTo(const char16_t* text, const void* read, std::size_t offset) {
  return static_cast<std::size_t>(static_cast<const char*>(read) + offset - reinterpret_cast<const char*>(text)) /
         sizeof(char16_t);
}

}  // namespace

EventText MeasureTextByWord(const char16_t* text) {
  const auto address = reinterpret_cast<uintptr_t>(text);
  if (address % alignof(char16_t) != 0) return MeasureTextByUnit(text);
  const std::size_t skipped = address % sizeof(TextWord);
  const auto* word = reinterpret_cast<const TextWord*>(address - skipped);
  // The units before the text, in the first word, read as 1: ASCII, and not
  // the end.
  const TextWord before = (TextWord{1} << (skipped * 8)) - 1;
  TextWord units = (*word & ~before) | (kUnitOnes & before);
  // The usual case: plain ASCII up to the terminator.
  TextWord flags;
  while ((flags = EndOrNonAsciiUnits(units)) == 0) units = *++word;
  std::size_t unit = LowestFlaggedUnit(flags);
  const bool ascii = (units >> (unit * 16) & 0xFFFF) == 0;
  if (!ascii) {
    TextWord zeros;
    while ((zeros = ZeroUnits(units)) == 0) units = *++word;
    unit = LowestFlaggedUnit(zeros);
  }
  return {std::u16string_view(text, UnitsUpTo(text, word, unit * sizeof(char16_t))), ascii};
}

#ifdef __SSE2__
namespace {

// Inlined into ReadHostText, which every event calls two or three times.
inline EventText MeasureBlocks(const char16_t* text) {
  const auto address = reinterpret_cast<uintptr_t>(text);
  if (address % alignof(char16_t) != 0) return MeasureTextByUnit(text);
  const std::size_t skipped = address % sizeof(__m128i);
  const auto* block = reinterpret_cast<const __m128i*>(address - skipped);
  const __m128i zero = _mm_setzero_si128();
  const __m128i one = _mm_set1_epi16(1);
  const __m128i lastAsciiLessOne = _mm_set1_epi16(0x7E);
  // Two bits per unit, set for a unit from 1 to 0x7F: that unit less one,
  // less 0x7E and held at zero, is zero.
  const auto plainUnits = [&](__m128i units) {
    const __m128i aboveLast = _mm_subs_epu16(_mm_sub_epi16(units, one), lastAsciiLessOne);
    return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi16(aboveLast, zero)));
  };
  constexpr unsigned kAllPlain = 0xFFFF;
  // The bytes before the text count as plain.
  unsigned plain = plainUnits(_mm_load_si128(block)) | ((1u << skipped) - 1);
  while (plain == kAllPlain) plain = plainUnits(_mm_load_si128(++block));
  // The first unit that is not plain ends the text or is not ASCII.
  std::size_t byte = static_cast<std::size_t>(__builtin_ctz(~plain));
  const bool ascii = reinterpret_cast<const char16_t*>(block)[byte / 2] == 0;
  if (!ascii) {
    unsigned zeros = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi16(_mm_load_si128(block), zero)));
    zeros &= ~((1u << byte) - 1);
    while (zeros == 0) zeros = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi16(_mm_load_si128(++block), zero)));
    byte = static_cast<std::size_t>(__builtin_ctz(zeros));
  }
  return {std::u16string_view(text, UnitsUpTo(text, block, byte)), ascii};
}

}  // namespace

EventText MeasureTextByBlock(const char16_t* text) { return MeasureBlocks(text); }
#endif
#endif

EventText ReadHostText(const EvWideChar* text) {
  if (text == nullptr) return {};
#if EVRULES_READS_PAST_TERMINATOR && defined(__SSE2__)
  return MeasureBlocks(FromHostWide(text));
#elif EVRULES_READS_PAST_TERMINATOR
  return MeasureTextByWord(FromHostWide(text));
#else
  return MeasureTextByUnit(FromHostWide(text));
#endif
}

}  // namespace evrules
