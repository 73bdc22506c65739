// Command-interpreter rule: "/C" running a program, named on the command
// line, that was written today. Sends its own report.
#ifndef EVRULES_RULES_CMD_H
#define EVRULES_RULES_CMD_H

#include <string_view>

#include "evrules_Common.h"

namespace evrules {

// `targetPath` must be zero-terminated. Returns kRuleNone or kRuleSilent.
RuleCode CheckCmd(std::u16string_view commandLine, std::u16string_view targetPath, int32_t flags);

}  // namespace evrules

#endif
