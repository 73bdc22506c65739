// Script-host rules: a script run from a removable drive, and a script host
// starting a program written today. They send their own reports.
#ifndef EVRULES_WSCRIPT_H
#define EVRULES_WSCRIPT_H

#include <string_view>

#include "evrules_Common.h"

namespace evrules {

// `targetPath` must be zero-terminated. Returns kRuleNone or kRuleSilent.
RuleCode CheckWScript(std::u16string_view commandLine, std::u16string_view targetPath, int32_t flags);

// The drive part of a path: "X:" for a drive-letter path, "\\server\share"
// for a network path, empty otherwise.
std::u16string_view DrivePart(std::u16string_view path);

}  // namespace evrules

#endif
