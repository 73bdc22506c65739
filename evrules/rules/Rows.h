// What every rule row says besides its key or name: what the module answers
// when it fires. The rule tables (one header per unit) are read by the
// module and by the tools that explain its answers (evreplay --explain), so
// they hold what a row is as fields, never in the words of its description.
#ifndef EVRULES_RULES_ROWS_H
#define EVRULES_RULES_ROWS_H

#include <cstdint>
#include <string_view>

namespace evrules {

// Outcome of a rule set.
using RuleCode = int32_t;
constexpr RuleCode kRuleNone = 0;     // nothing fired
constexpr RuleCode kRuleSilent = 1;   // fired; result 3, no report by the dispatcher
constexpr RuleCode kRuleReport = 2;   // fired; result 4, the dispatcher reports
constexpr RuleCode kRuleExempt = 3;   // system process or ignored known name; result 2

// Image tests of a registry row: which program may set its key (the
// auto-run rows); the black list's rows take any program.
constexpr int32_t kAnyImage = 0;
constexpr int32_t kWrittenToday = 1;
constexpr int32_t kOutsideInstallFolders = 2;

// A row of a registry table: a key, and a value name under it.
struct RegistryRow {
  int32_t Check;                  // the image test
  std::u16string_view Key;        // upper case, trailing backslash
  std::u16string_view ValueName;  // upper case, or "*" for any value
  RuleCode Code;
  std::string_view Verdict;
  std::string_view Rule;  // what it catches, in words
};

// A verdict that a rule written as code reports itself (WScript, Rules_CMD).
struct CodeRule {
  std::string_view Verdict;
  std::string_view Rule;  // what it catches, in words
};

}  // namespace evrules

#endif
