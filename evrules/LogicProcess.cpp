#include "LogicProcess.h"

#include <string>

#include "ProcessNameFilter.h"
#include "Rules_CMD.h"
#include "WScript.h"
#include "WhiteList.h"
#include "evrules_Common.h"

namespace evrules {
namespace {

// Normalised full paths, built from SystemDir and SysWow64Dir by InitLibrary
// so that events compare without building strings. Until then both folders
// are empty, and so are the folder parts here.
struct InterpreterPaths {
  std::u16string scriptHosts[4] = {u"\\WSCRIPT.EXE", u"\\WSCRIPT.EXE", u"\\CSCRIPT.EXE",
                                   u"\\CSCRIPT.EXE"};  // in the order tested
  std::u16string commandInterpreters[2] = {u"\\CMD.EXE", u"\\CMD.EXE"};
};
InterpreterPaths theInterpreterPaths;

template <std::size_t N>
bool IsOneOf(std::u16string_view path, const std::u16string (&candidates)[N]) {
  for (const std::u16string& candidate : candidates)
    if (path == candidate) return true;
  return false;
}

}  // namespace

void RefreshInterpreterPaths() {
  const FolderStrings& folders = Folders();
  theInterpreterPaths = InterpreterPaths{
      {folders.SystemDir + u"\\WSCRIPT.EXE", folders.SysWow64Dir + u"\\WSCRIPT.EXE",
       folders.SystemDir + u"\\CSCRIPT.EXE", folders.SysWow64Dir + u"\\CSCRIPT.EXE"},
      {folders.SystemDir + u"\\CMD.EXE", folders.SysWow64Dir + u"\\CMD.EXE"}};
}

int32_t CheckProcessEvent(std::u16string_view processPath, std::u16string_view targetPath,
                          std::u16string_view commandLine, int32_t flags) {
  if (processPath == targetPath) return EVRULES_RESULT_NONE;
  if (processPath.empty()) return EVRULES_RESULT_NONE;
  RuleOutcome outcome;
  if (IsSystemProcess(processPath)) outcome.code = kRuleExempt;

  if (outcome.code == kRuleNone) {
    const WideText image = NormalizeText(processPath);
    if (IsOneOf(image.view(), theInterpreterPaths.scriptHosts))
      outcome.code = CheckWScript(commandLine, targetPath, flags);
    if (outcome.code == kRuleNone && IsOneOf(image.view(), theInterpreterPaths.commandInterpreters))
      outcome.code = CheckCmd(commandLine, targetPath, flags);
  }

  if (flags == 0 && outcome.code == kRuleNone) {
    outcome = CheckProcessName(processPath);
    if (outcome.code > kRuleNone && HIPSCheckWhiteListEntry(processPath.data()) != 0) outcome = RuleOutcome{};
  }

  // Only the name filter yields kRuleReport here; the script rules reported
  // on their own.
  if (outcome.code == kRuleReport) ReportDetectionFor(processPath.data(), outcome.verdict);
  return ExportResultFor(outcome.code);
}

}  // namespace evrules
