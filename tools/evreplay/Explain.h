// Which rule fired, told on the host's side: the module names no rule, but
// every verdict it reports belongs to exactly one row of one of its tables
// (or to one rule written as code), so the verdict tells the row. Results
// without a report are told from the event: a registry result 3 is a silent
// row of the black list, found by its key and value name; a process result 2
// is a known name the filter ignores, or a system process.
//
// The rows are read from the module's own tables (evrules/rules/*.h), which
// say what each row does as fields: silent, ignored, which table.
#ifndef EVREPLAY_EXPLAIN_H
#define EVREPLAY_EXPLAIN_H

#include <cstdint>
#include <string_view>

namespace evreplay {

struct RuleRow {
  std::string_view unit;     // the module's source, e.g. "AutoRunRegistry"
  std::string_view table;    // empty for a rule written as code
  int row;                   // 1-based; 0 for a rule written as code
  std::string_view verdict;  // empty for rows that report nothing
  std::string_view rule;     // what it catches, in words
  // Black-list rows: the key (upper case, relative to the user's hive for
  // per-user rows) and value name ("*": any); name-filter rows: the name.
  std::string_view key;
  std::string_view value;
  bool silent;   // fires without a report (result 3)
  bool ignored;  // a known name the filter answers 2 without a report
};

// Every row the explanation knows, in the module's order.
const RuleRow* RuleRows(std::size_t& count);

// The row of a reported verdict, or null.
const RuleRow* RowForVerdict(std::string_view verdict);

// The row behind a result without a report, or null when none is told:
// registry events with result 3 (a silent black-list row) and process events
// with result 2 whose image has a known name the filter ignores.
const RuleRow* RowForSilentRegistry(std::string_view key, std::string_view value);
const RuleRow* RowForIgnoredName(std::string_view processPath);

// The exemption a result 2 without a row stands for.
constexpr std::string_view kSystemProcessRule = "a system process in the system folder: exempt";

}  // namespace evreplay

#endif
