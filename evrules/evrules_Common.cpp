#include "evrules_Common.h"

#include <charconv>
#include <cstring>

#include "Platform.h"

namespace evrules {

int32_t ExportResultFor(RuleCode code) {
  switch (code) {
    case kRuleSilent: return EVRULES_RESULT_SILENT;
    case kRuleReport: return EVRULES_RESULT_DETECTED;
    case kRuleExempt: return EVRULES_RESULT_SYSTEM;
    default: return EVRULES_RESULT_NONE;
  }
}

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

namespace {

// Host strings are measured a machine word at a time. A word read at an
// aligned address never crosses into another page, so the read past the
// terminator is harmless; but a sanitizer would rightly report it (and
// another thread may be writing there), so sanitized builds measure unit by
// unit.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define EVRULES_MEASURE_BY_UNIT 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || __has_feature(memory_sanitizer)
#define EVRULES_MEASURE_BY_UNIT 1
#endif
#endif
#if !defined(EVRULES_MEASURE_BY_UNIT) && !(defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__)
#define EVRULES_MEASURE_BY_UNIT 1
#endif

EventText MeasureByUnit(const char16_t* text) {
  char16_t seen = 0;
  std::size_t length = 0;
  for (; text[length] != 0; ++length) seen |= text[length];
  return {std::u16string_view(text, length), seen < 0x80};
}

#ifndef EVRULES_MEASURE_BY_UNIT
// A word that may alias the host's char16_t units.
typedef uintptr_t __attribute__((may_alias)) TextWord;
constexpr TextWord kUnitOnes = ~TextWord{0} / 0xFFFF;  // 0x0001 in every unit
constexpr TextWord kUnitTops = kUnitOnes << 15;       // 0x8000 in every unit
constexpr TextWord kNonAsciiBits = kUnitOnes * 0xFF80;

// 0x8000 in the lowest zero unit of `word`; above it flags may be wrong.
TextWord ZeroUnits(TextWord word) { return (word - kUnitOnes) & ~word & kUnitTops; }
// All bits of the units below the lowest flagged one; all bits when none is.
TextWord UnitsBelow(TextWord zeros) { return ((zeros & (~zeros + 1)) >> 15) - 1; }
// True when every unit is ASCII and none is zero.
bool AllAsciiNonZero(TextWord word) { return (((word - kUnitOnes) | word) & kNonAsciiBits) == 0; }

EventText MeasureByWord(const char16_t* text) {
  const auto address = reinterpret_cast<uintptr_t>(text);
  if (address % alignof(char16_t) != 0) return MeasureByUnit(text);
  const std::size_t skipped = address % sizeof(TextWord);
  const auto* word = reinterpret_cast<const TextWord*>(address - skipped);
  // The units before the text, in the first word, read as 1: ASCII, and not
  // the end.
  const TextWord before = (TextWord{1} << (skipped * 8)) - 1;
  TextWord units = (*word & ~before) | (kUnitOnes & before);
  if (AllAsciiNonZero(units)) {
    // The usual case: plain ASCII up to a later word.
    do ++word;
    while (AllAsciiNonZero(*word));
    units = *word;
  }
  TextWord zeros = ZeroUnits(units);
  const bool ascii = (units & UnitsBelow(zeros) & kNonAsciiBits) == 0;
  while (zeros == 0) zeros = ZeroUnits(*++word);
  const auto zeroOffset = static_cast<std::size_t>(__builtin_ctzll(zeros) / 8 - 1);
  const auto length = static_cast<std::size_t>(reinterpret_cast<const char*>(word) + zeroOffset -
                                               reinterpret_cast<const char*>(text)) / sizeof(char16_t);
  return {std::u16string_view(text, length), ascii};
}
#endif

}  // namespace

EventText ReadHostText(const EvWideChar* text) {
  if (text == nullptr) return {};
#ifdef EVRULES_MEASURE_BY_UNIT
  return MeasureByUnit(FromHostWide(text));
#else
  return MeasureByWord(FromHostWide(text));
#endif
}

}  // namespace evrules
