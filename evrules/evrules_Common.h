// Shared routines of the rule units: rule outcomes, text normalisation, path
// split, the file-date test, the host callbacks and their wrappers.
#ifndef EVRULES_COMMON_H
#define EVRULES_COMMON_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "evrules.h"

namespace evrules {

// Outcome of a rule set.
using RuleCode = int32_t;
constexpr RuleCode kRuleNone = 0;     // nothing fired
constexpr RuleCode kRuleSilent = 1;   // fired; result 3, no report by the dispatcher
constexpr RuleCode kRuleReport = 2;   // fired; result 4, the dispatcher reports
constexpr RuleCode kRuleExempt = 3;   // system process or ignored known name; result 2

// A rule set's answer. The verdict is empty when the code is kRuleNone; it
// always views a string literal, so its data() is zero-terminated.
struct RuleOutcome {
  RuleCode code = kRuleNone;
  std::string_view verdict;
};

// Export result of RegEvent and ProcessEvent for a rule outcome.
int32_t ExportResultFor(RuleCode code);

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
  const char16_t* data() const { return onHeap_ ? heap_.data() : inline_; }
  char16_t* data() { return onHeap_ ? heap_.data() : inline_; }

  char16_t inline_[kInlineCapacity + 1];
  std::u16string heap_;
  std::size_t size_ = 0;
  bool onHeap_ = false;
};

// The text through the ANSI code page with "a"-"z" made upper case; what the
// code page cannot represent comes back as its default character.
WideText NormalizeText(std::u16string_view text);

// File name: the text after the last "\" or ":"; folder: the text up to and
// including it (empty when there is none).
struct PathParts {
  std::u16string_view folder;
  std::u16string_view name;
};
PathParts SplitPath(std::u16string_view path);

// Tokens of a command line: double quotes group and are dropped, unquoted
// spaces separate, at most 10 tokens.
constexpr std::size_t kMaxCommandTokens = 10;
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

// Converts for the host's types (the same type except on Windows).
inline const EvWideChar* ToHostWide(const char16_t* text) { return reinterpret_cast<const EvWideChar*>(text); }
inline EvWideChar* ToHostWide(char16_t* text) { return reinterpret_cast<EvWideChar*>(text); }
inline const char16_t* FromHostWide(const EvWideChar* text) { return reinterpret_cast<const char16_t*>(text); }

// A host string as a view; null is the empty string.
std::u16string_view HostString(const EvWideChar* text);

}  // namespace evrules

#endif
