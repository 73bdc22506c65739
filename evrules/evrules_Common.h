// Shared routines of the rule units: rule outcomes, text normalisation, path
// split, the file-date test, the host callbacks and their wrappers.
#ifndef EVRULES_COMMON_H
#define EVRULES_COMMON_H

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "evrules.h"
#include "rules/Rows.h"

namespace evrules {

// A rule set's answer. The verdict is empty when the code is kRuleNone; it
// always views a string literal, so its data() is zero-terminated.
struct RuleOutcome {
  RuleCode code = kRuleNone;
  std::string_view verdict;
};

// Export result of RegEvent and ProcessEvent for a rule outcome.
inline int32_t ExportResultFor(RuleCode code) {
  switch (code) {
    case kRuleSilent: return EVRULES_RESULT_SILENT;
    case kRuleReport: return EVRULES_RESULT_DETECTED;
    case kRuleExempt: return EVRULES_RESULT_SYSTEM;
    default: return EVRULES_RESULT_NONE;
  }
}

// Wide text that keeps usual paths on the stack and goes to the heap only for
// long ones, so that events need no allocation. Always zero-terminated.
class WideText {
 public:
  static constexpr std::size_t kInlineCapacity = 300;

  WideText() { inline_[0] = 0; }
  WideText(const WideText& other) { Assign(other.view()); }
  WideText& operator=(const WideText& other) {
    if (this != &other) Assign(other.view());
    return *this;
  }

  std::u16string_view view() const { return {data(), size_}; }
  const char16_t* c_str() const { return data(); }
  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }

  void Assign(std::u16string_view text);
  // Room for `capacity` units plus the terminating NUL; contents undefined
  // until Commit(size) with size <= capacity.
  char16_t* Reserve(std::size_t capacity);
  void Commit(std::size_t size);
  void RemoveLast() {
    if (size_ > 0) Commit(size_ - 1);
  }

 private:
  const char16_t* data() const { return onHeap_ ? heap_.get() : inline_; }
  char16_t* data() { return onHeap_ ? heap_.get() : inline_; }

  char16_t inline_[kInlineCapacity + 1];
  // A unique_ptr rather than a string: cheaper to make and drop on every event.
  std::unique_ptr<char16_t[]> heap_;
  std::size_t heapCapacity_ = 0;
  std::size_t size_ = 0;
  bool onHeap_ = false;
};

// The text through the ANSI code page with "a"-"z" made upper case; what the
// code page cannot represent comes back as its default character.
WideText NormalizeText(std::u16string_view text);
void NormalizeTextInto(std::u16string_view text, WideText& result);

// True when no unit is above 0x7F. Every ANSI code page keeps ASCII as it
// is, so NormalizeText only upper-cases such text.
bool IsAsciiText(std::u16string_view text);

// Exact prefix test.
inline bool StartsWith(std::u16string_view text, std::u16string_view prefix) {
  return text.size() >= prefix.size() &&
         std::memcmp(text.data(), prefix.data(), prefix.size() * sizeof(char16_t)) == 0;
}

inline char16_t AsciiUpper(char16_t unit) {
  return unit >= u'a' && unit <= u'z' ? static_cast<char16_t>(unit - (u'a' - u'A')) : unit;
}

// NormalizeText's result for a text, looked at without building it: either
// ASCII text as given, upper-cased unit by unit as it is compared, or text
// that NormalizeText already produced. The rows it is compared with are
// NormalizeText outputs too (rule table rows, folder strings).
class NormalizedView {
 public:
  NormalizedView(std::u16string_view text, bool normalized) : text_(text), normalized_(normalized) {}

  std::size_t size() const { return text_.size(); }
  bool empty() const { return text_.empty(); }
  bool EndsWith(char16_t unit) const { return !text_.empty() && text_.back() == unit; }
  NormalizedView WithoutLast() const { return {text_.substr(0, text_.empty() ? 0 : text_.size() - 1), normalized_}; }

  // NormalizeText(text) == row. Most rows differ in length, which decides
  // at once.
  bool Is(std::u16string_view row) const { return text_.size() == row.size() && SameUnits(row); }
  bool Is(const NormalizedView& other) const { return text_.size() == other.text_.size() && SameUnits(other); }
  // NormalizeText(text) holds `row`.
  bool Contains(std::u16string_view row) const;

 private:
  // For texts of the same length.
  bool SameUnits(std::u16string_view row) const;
  bool SameUnits(const NormalizedView& other) const;

  char16_t At(std::size_t i) const { return normalized_ ? text_[i] : AsciiUpper(text_[i]); }

  std::u16string_view text_;
  bool normalized_;
};

// NormalizeText(text) for comparisons: ASCII text is only viewed, other text
// is normalised here, once. `ascii` is what IsAsciiText says of the text, or
// false when unknown. Views into itself, so it stays where it was made.
class Normalized {
 public:
  Normalized() {}
  Normalized(std::u16string_view text, bool ascii) { Assign(text, ascii); }
  explicit Normalized(std::u16string_view text) : Normalized(text, IsAsciiText(text)) {}
  Normalized(const Normalized&) = delete;
  Normalized& operator=(const Normalized&) = delete;
  ~Normalized() {
    if (hasCopy_) copy_.~WideText();
  }

  void Assign(std::u16string_view text, bool ascii) {
    if (ascii) {
      text_ = text;
      normalized_ = false;
    } else {
      AssignNormalized(text);
    }
  }
  NormalizedView view() const { return {text_, normalized_}; }

 private:
  void AssignNormalized(std::u16string_view text);

  // Made only for text that is not ASCII: making and dropping it for every
  // text of every event would cost more than comparing them. (Not a
  // std::optional, which GCC clears, all 600 bytes, as it makes it.)
  union {
    WideText copy_;
  };
  bool hasCopy_ = false;
  std::u16string_view text_;
  bool normalized_ = false;
};

// The lengths of a rule table's names, as bits, so that a name of none of
// these lengths passes over the table at once. Every name must be shorter
// than 64 units (a longer one does not compile).
class NameLengths {
 public:
  template <typename Row, std::size_t N>
  constexpr explicit NameLengths(const Row (&rows)[N]) {
    for (const Row& row : rows) bits_ |= uint64_t{1} << row.Name.size();
  }
  constexpr bool MayHold(std::size_t length) const { return length < 64 && ((bits_ >> length) & 1) != 0; }

 private:
  uint64_t bits_ = 0;
};

// An event's text, with whether it is all ASCII.
struct EventText {
  std::u16string_view text;
  bool ascii = true;
};
inline EventText EventTextOf(std::u16string_view text) { return {text, IsAsciiText(text)}; }

// A host string, measured in one pass that also tells whether it is ASCII;
// null is the empty string.
EventText ReadHostText(const EvWideChar* text);

// The ways ReadHostText measures, here for the tests. Eight units (with SSE2)
// or a machine word at a time is quicker, and reads past the terminator, but
// only within aligned blocks, which never cross into another page. A
// sanitizer would rightly report those reads (and another thread may be
// writing there), so sanitized builds measure unit by unit.
#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || __has_feature(memory_sanitizer)
#define EVRULES_SANITIZED 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__) || defined(EVRULES_SANITIZED)
#define EVRULES_READS_PAST_TERMINATOR 0
#elif defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
#define EVRULES_READS_PAST_TERMINATOR 1
#else
// The word and block reads assume little-endian units.
#define EVRULES_READS_PAST_TERMINATOR 0
#endif
EventText MeasureTextByUnit(const char16_t* text);
#if EVRULES_READS_PAST_TERMINATOR
EventText MeasureTextByWord(const char16_t* text);
#ifdef __SSE2__
EventText MeasureTextByBlock(const char16_t* text);
#endif
#endif

// A string as the host passed it, measured only when a rule reads it: most
// events never look at their command line or value name.
class HostText {
 public:
  explicit HostText(const EvWideChar* text) : host_(text) {}
  explicit HostText(const EventText& text) : text_(text), measured_(true) {}

  EventText Read() const { return measured_ ? text_ : ReadHostText(host_); }

 private:
  const EvWideChar* host_ = nullptr;
  EventText text_;
  bool measured_ = false;
};

// File name: the text after the last "\" or ":"; folder: the text up to and
// including it (empty when there is none).
struct PathParts {
  std::u16string_view folder;
  std::u16string_view name;
};
PathParts SplitPath(std::u16string_view path);

// An image path split at its last "\" or ":" (see SplitPath), each part
// normalised once for every rule that looks at the image.
struct ImagePath {
  ImagePath(std::u16string_view image, bool ascii) : ImagePath(image, SplitPath(image), ascii) {}
  explicit ImagePath(std::u16string_view image) : ImagePath(image, IsAsciiText(image)) {}

  std::u16string_view path;  // as given
  Normalized folder;         // with its trailing separator
  Normalized name;

 private:
  ImagePath(std::u16string_view image, PathParts parts, bool ascii)
      : path(image), folder(parts.folder, ascii), name(parts.name, ascii) {}
};

// Tokens of a command line: double quotes group and are dropped, unquoted
// spaces separate, at most 10 tokens. A token may lose quotes from its middle,
// so the tokens' units are copied, together, into one buffer: on the stack for
// command lines of up to kInlineCapacity units.
constexpr std::size_t kMaxCommandTokens = 10;
class CommandTokens {
 public:
  static constexpr std::size_t kInlineCapacity = 1024;

  explicit CommandTokens(std::u16string_view commandLine);
  CommandTokens(const CommandTokens&) = delete;
  CommandTokens& operator=(const CommandTokens&) = delete;

  std::size_t size() const { return count_; }
  std::u16string_view operator[](std::size_t i) const { return tokens_[i]; }
  const std::u16string_view* begin() const { return tokens_; }
  const std::u16string_view* end() const { return tokens_ + count_; }

 private:
  char16_t inline_[kInlineCapacity];
  std::u16string heap_;
  std::u16string_view tokens_[kMaxCommandTokens];
  std::size_t count_ = 0;
};
// The same tokens as strings of their own.
std::vector<std::u16string> SplitCommandLine(std::u16string_view commandLine);

// True when `path` is an existing file (not a directory) whose last write
// falls on today's local date.
bool IsWrittenToday(std::u16string_view path);

// The host's callbacks, as taken by InitLibrary; absent ones are null.
struct HostCallbackSet {
  ReportDetectionFn reportDetection = nullptr;
  QueryFileFn queryFile = nullptr;
  CheckWhiteListFn checkWhiteList = nullptr;
};
void SetHostCallbacks(const HostCallbackSet& callbacks);
const HostCallbackSet& CurrentHostCallbacks();

// All paths below are zero-terminated.
// Asks the host's white list (non-zero: white-listed) and writes the two
// debugger lines.
int32_t HIPSCheckWhiteListEntry(const char16_t* path);
// The host's QueryFile answer, or 0 when it gave none.
int32_t QueryHostFile(const char16_t* path, char16_t* buffer, int32_t capacity);
// Sends one DetectionReport (Kind 2); skipped when the host gave no callback.
void ReportDetectionFor(const char16_t* path, std::string_view verdict);

// An event's answer: the report of a kRuleReport outcome, for `path`, and
// the export's result.
inline int32_t Answer(const RuleOutcome& outcome, const char16_t* path) {
  if (outcome.code == kRuleReport) ReportDetectionFor(path, outcome.verdict);
  return ExportResultFor(outcome.code);
}

// Converts for the host's types (the same type except on Windows).
inline const EvWideChar* ToHostWide(const char16_t* text) { return reinterpret_cast<const EvWideChar*>(text); }
inline EvWideChar* ToHostWide(char16_t* text) { return reinterpret_cast<EvWideChar*>(text); }
inline const char16_t* FromHostWide(const EvWideChar* text) { return reinterpret_cast<const char16_t*>(text); }

}  // namespace evrules

#endif
