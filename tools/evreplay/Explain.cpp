#include "Explain.h"

#include <deque>
#include <string>
#include <vector>

#include "rules/AutoRunRegistry.h"
#include "rules/BlackRegistry.h"
#include "rules/CodeRules.h"
#include "rules/ProcessNameFilter.h"
#include "rules/WindowsPaths.h"

namespace evreplay {
namespace {

// The keys of the module's tables are ASCII.
std::string Narrow(std::u16string_view ascii) { return std::string(ascii.begin(), ascii.end()); }

// Every row of the module's tables, in the module's order, read from the
// tables themselves; key texts are kept here, as UTF-8.
struct Rows {
  std::vector<RuleRow> rows;
  std::deque<std::string> texts;  // stay where they are as more are added

  Rows() {
    using namespace evrules;
    auto text = [&](std::u16string_view wide) -> std::string_view { return texts.emplace_back(Narrow(wide)); };
    auto registry = [&](std::string_view unit, std::string_view table, const auto& tableRows) {
      int number = 0;
      for (const auto& row : tableRows)
        rows.push_back({unit, table, ++number, row.Verdict,
                        row.Code == kRuleSilent ? texts.emplace_back(std::string(row.Rule) + " (silent)") : row.Rule,
                        text(row.Key), text(row.ValueName), row.Code == kRuleSilent, false});
    };
    registry("AutoRunRegistry", "AutoRunUser", auto_run_registry::AutoRunUser);
    registry("AutoRunRegistry", "AutoRunMachine", auto_run_registry::AutoRunMachine);
    registry("BlackRegistry", "BlackRegUser", black_registry::BlackRegUser);
    registry("BlackRegistry", "BlackRegMachine", black_registry::BlackRegMachine);
    int number = 0;
    for (const auto& row : process_name_filter::MalNames) {
      const bool ignored = row.Code == kRuleExempt;
      rows.push_back({"ProcessNameFilter", "MalNames", ++number, row.Verdict,
                      ignored ? "known name, ignored (result 2)" : "known malicious name", text(row.Name), "", false,
                      ignored});
    }
    number = 0;
    for (const auto& row : process_name_filter::SysNames)
      rows.push_back({"ProcessNameFilter", "SysNames", ++number, row.Verdict,
                      row.Place == kPlaceSystem ? "system name outside the system folder"
                                                : "system name outside the Windows and system folders",
                      text(row.Name), "", false, false});
    auto code = [&](std::string_view unit, const CodeRule& rule) {
      rows.push_back({unit, "", 0, rule.Verdict, rule.Rule, "", "", false, false});
    };
    code("ProcessNameFilter", process_name_filter::kInstallationRoot);
    code("WScript", wscript::kScriptFromRemovable);
    code("WScript", wscript::kScriptStartedFreshProgram);
    code("WScript", wscript::kFreshProgramOfScript);
    code("Rules_CMD", rules_cmd::kHiddenRun);
  }
};

const Rows& AllRows() {
  static const Rows rows;
  return rows;
}

bool EqualsUpper(std::string_view text, std::string_view upper) {
  return evrules::windows_paths::EqualsIgnoringAsciiCase(text, upper);
}

}  // namespace

const RuleRow* RuleRows(std::size_t& count) {
  count = AllRows().rows.size();
  return AllRows().rows.data();
}

const RuleRow* RowForVerdict(std::string_view verdict) {
  for (const RuleRow& row : AllRows().rows)
    if (row.verdict == verdict) return &row;
  return nullptr;
}

const RuleRow* RowForSilentRegistry(std::string_view key, std::string_view value) {
  // Branches as the module tells them: exact prefixes.
  constexpr std::string_view kUser = "\\REGISTRY\\USER\\S-";
  constexpr std::string_view kMachine = "\\REGISTRY\\MACHINE";
  std::string_view table, relative;
  if (key.substr(0, kUser.size()) == kUser) {
    const std::size_t cut = key.find('\\', 15);
    if (cut == std::string_view::npos) return nullptr;
    table = "BlackRegUser";
    relative = key.substr(cut);
  } else if (key.substr(0, kMachine.size()) == kMachine) {
    table = "BlackRegMachine";
    relative = key;
  } else {
    return nullptr;
  }
  for (const RuleRow& row : AllRows().rows) {
    if (row.table != table || !EqualsUpper(relative, row.key)) continue;
    // The first row of the key and value decides, as in the module.
    if (row.value == "*" || EqualsUpper(value, row.value)) return row.silent ? &row : nullptr;
  }
  return nullptr;
}

const RuleRow* RowForIgnoredName(std::string_view processPath) {
  const std::size_t cut = processPath.find_last_of("\\:");
  const std::string_view name = cut == std::string_view::npos ? processPath : processPath.substr(cut + 1);
  for (const RuleRow& row : AllRows().rows)
    if (row.ignored && EqualsUpper(name, row.key)) return &row;
  return nullptr;
}

}  // namespace evreplay
