#include "LogicProcess.h"

#include <string>
#include <utility>

#include "ProcessNameFilter.h"
#include "Rules_CMD.h"
#include "WScript.h"
#include "WhiteList.h"
#include "evrules_Common.h"

namespace evrules {
namespace {

// Before InitLibrary the folder strings are empty, and so are these paths.
InterpreterPaths theInterpreterPaths;

template <std::size_t N>
bool IsOneOf(std::u16string_view path, const std::u16string (&candidates)[N]) {
  for (const std::u16string& candidate : candidates)
    if (!candidate.empty() && path == candidate) return true;
  return false;
}

// The folder's program, or nothing when the folder is unknown: an empty
// folder string would turn "\CMD.EXE" into an interpreter path.
std::u16string ProgramIn(const std::u16string& folder, std::u16string_view name) {
  if (folder.empty()) return {};
  std::u16string path = folder;
  path += u'\\';
  path += name;
  return path;
}

}  // namespace

InterpreterPaths InterpreterPathsFor(const FolderStrings& folders) {
  return InterpreterPaths{
      {ProgramIn(folders.SystemDir, u"WSCRIPT.EXE"), ProgramIn(folders.SysWow64Dir, u"WSCRIPT.EXE"),
       ProgramIn(folders.SystemDir, u"CSCRIPT.EXE"), ProgramIn(folders.SysWow64Dir, u"CSCRIPT.EXE")},
      {ProgramIn(folders.SystemDir, u"CMD.EXE"), ProgramIn(folders.SysWow64Dir, u"CMD.EXE")}};
}

void SetInterpreterPaths(InterpreterPaths&& paths) noexcept { theInterpreterPaths = std::move(paths); }

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
