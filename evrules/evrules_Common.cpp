#include "evrules_Common.h"

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
  heap_.resize(capacity + 1);
  onHeap_ = true;
  return heap_.data();
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
  if (text.empty() || NormalizeAsciiText(text, result)) return result;

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
  return result;
}

PathParts SplitPath(std::u16string_view path) {
  std::size_t cut = path.find_last_of(u"\\:");
  if (cut == std::u16string_view::npos) return {std::u16string_view(), path};
  return {path.substr(0, cut + 1), path.substr(cut + 1)};
}

std::vector<std::u16string> SplitCommandLine(std::u16string_view commandLine) {
  std::vector<std::u16string> tokens;
  std::u16string current;
  bool insideQuotes = false;
  for (char16_t unit : commandLine) {
    if (unit == u'"') {
      insideQuotes = !insideQuotes;
    } else if (unit == u' ' && !insideQuotes) {
      if (current.empty()) continue;
      tokens.push_back(std::move(current));
      current.clear();
      if (tokens.size() == kMaxCommandTokens) return tokens;
    } else {
      current += unit;
    }
  }
  if (!current.empty()) tokens.push_back(std::move(current));
  return tokens;
}

bool IsWrittenToday(std::u16string_view path) {
  if (platform::GetFileKind(path) != platform::FileKind::File) return false;
  platform::LocalDate written;
  if (!platform::FindLastWriteDate(path, written)) return false;
  return written == platform::GetLocalDate();
}

namespace {
HostCallbackSet theHostCallbacks;

// The path as ANSI, for the debugger line.
std::string AnsiOf(std::u16string_view text) {
  std::string ansi(text.size(), '\0');
  std::size_t length = platform::WideToAnsi(text, ansi.data(), ansi.size());
  if (length > ansi.size()) {
    ansi.resize(length);
    length = platform::WideToAnsi(text, ansi.data(), ansi.size());
  }
  ansi.resize(length);
  return ansi;
}
}  // namespace

void SetHostCallbacks(const HostCallbackSet& callbacks) { theHostCallbacks = callbacks; }
const HostCallbackSet& CurrentHostCallbacks() { return theHostCallbacks; }

int32_t HIPSCheckWhiteListEntry(const char16_t* path) {
  platform::DebugOutput("==HIPSCheckWhiteListEntry: Check for white list " + AnsiOf(path));
  CheckWhiteListFn checkWhiteList = theHostCallbacks.checkWhiteList;
  if (checkWhiteList == nullptr) return 0;
  int32_t answer = checkWhiteList(ToHostWide(path));
  platform::DebugOutput("==HIPSCheckWhiteListEntry: Checked. Result=" +
                        std::to_string(static_cast<uint32_t>(answer)));
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

std::u16string_view HostString(const EvWideChar* text) {
  if (text == nullptr) return {};
  return std::u16string_view(FromHostWide(text));
}

}  // namespace evrules
