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
bool IsOneOf(const NormalizedView& path, const std::u16string (&candidates)[N]) {
  for (const std::u16string& candidate : candidates)
    if (!candidate.empty() && path.Is(candidate)) return true;
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

int32_t CheckProcessEvent(const EventText& processPath, const EventText& targetPath, const HostText& commandLine,
                          int32_t flags) {
  if (processPath.text == targetPath.text) return EVRULES_RESULT_NONE;
  if (processPath.text.empty()) return EVRULES_RESULT_NONE;
  const ImagePath image(processPath.text, processPath.ascii);
  RuleOutcome outcome;
  if (IsSystemProcess(image)) outcome.code = kRuleExempt;

  if (outcome.code == kRuleNone) {
    const Normalized wholeImage(processPath.text, processPath.ascii);
    const NormalizedView imagePath = wholeImage.view();
    if (IsOneOf(imagePath, theInterpreterPaths.scriptHosts))
      outcome.code = CheckWScript(commandLine.Read().text, targetPath.text, flags);
    if (outcome.code == kRuleNone && IsOneOf(imagePath, theInterpreterPaths.commandInterpreters))
      outcome.code = CheckCmd(commandLine.Read().text, targetPath.text, flags);
  }

  if (flags == 0 && outcome.code == kRuleNone) {
    outcome = CheckProcessName(image);
    if (outcome.code > kRuleNone && HIPSCheckWhiteListEntry(processPath.text.data()) != 0) outcome = RuleOutcome{};
  }

  // Only the name filter yields kRuleReport here; the script rules reported
  // on their own.
  return Answer(outcome, processPath.text.data());
}

int32_t CheckProcessEvent(std::u16string_view processPath, std::u16string_view targetPath,
                          std::u16string_view commandLine, int32_t flags) {
  return CheckProcessEvent(EventTextOf(processPath), EventTextOf(targetPath), HostText(EventTextOf(commandLine)),
                           flags);
}

}  // namespace evrules
