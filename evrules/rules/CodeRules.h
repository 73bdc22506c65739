// The verdicts of the rules written as code, which report on their own:
// WScript (a script host's script and what it starts) and Rules_CMD
// (cmd /C starting a program).
#ifndef EVRULES_RULES_CODE_RULES_H
#define EVRULES_RULES_CODE_RULES_H

#include "Rows.h"

namespace evrules {

namespace wscript {
constexpr CodeRule kScriptFromRemovable = {"HIPS:Worm.AutoRun.Script.1", "script run from a removable drive"};
constexpr CodeRule kScriptStartedFreshProgram = {"HIPS:Downloader.Agent.Script.1",
                                                 "script that started a program written today"};
constexpr CodeRule kFreshProgramOfScript = {"HIPS:Trojan.Agent.Win32.1", "program written today, started by a script"};
}  // namespace wscript

namespace rules_cmd {
constexpr CodeRule kHiddenRun = {"HIPS:Trojan.HiddenRun.Win32.1", "cmd /C starting a program written today"};
}  // namespace rules_cmd

}  // namespace evrules

#endif
