#include "Rules_CMD.h"

#include "Platform.h"
#include "rules/CodeRules.h"

namespace evrules {
namespace rules_cmd {

constexpr std::u16string_view kRunSwitch = u"/C";
constexpr int32_t kStartsProgramWrittenToday = 0x80;

}  // namespace rules_cmd

RuleCode CheckCmd(std::u16string_view commandLine, std::u16string_view targetPath, int32_t flags) {
  using namespace rules_cmd;
  if (targetPath.empty()) return kRuleNone;
  const CommandTokens tokens(commandLine);
  if (tokens.size() < 2) return kRuleNone;

  const Normalized target(targetPath);
  bool targetNamed = false;
  bool runSwitchPresent = false;
  // The first token is the interpreter itself.
  for (std::size_t i = 1; i < tokens.size(); ++i) {
    const Normalized token(tokens[i]);
    if (token.view().Is(target.view()) && platform::GetFileKind(tokens[i]) == platform::FileKind::File)
      targetNamed = true;
    if (token.view().Is(kRunSwitch)) runSwitchPresent = true;
  }

  if (targetNamed && (flags & kStartsProgramWrittenToday) != 0 && IsWrittenToday(targetPath) && runSwitchPresent &&
      HIPSCheckWhiteListEntry(targetPath.data()) == 0) {
    ReportDetectionFor(targetPath.data(), rules_cmd::kHiddenRun.Verdict.data());
    return kRuleSilent;
  }
  return kRuleNone;
}

}  // namespace evrules
