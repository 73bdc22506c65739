#include "WScript.h"

#include "Platform.h"
#include "rules/CodeRules.h"

namespace evrules {
namespace wscript {

constexpr std::u16string_view kScriptExtensions[] = {u".VBS", u".JS", u".WSF", u".VBE"};
constexpr int32_t kStartsProgramWrittenToday = 0x80;
constexpr uint32_t kRemovableDrive = 2;

// From the last "." after the last "\" or ":", dot included.
std::u16string_view ExtensionOf(std::u16string_view path) {
  const std::u16string_view name = SplitPath(path).name;
  const std::size_t dot = name.rfind(u'.');
  return dot == std::u16string_view::npos ? std::u16string_view() : name.substr(dot);
}

bool HasScriptExtension(std::u16string_view token) {
  const Normalized extension(ExtensionOf(token));
  for (std::u16string_view scriptExtension : kScriptExtensions)
    if (extension.view().Is(scriptExtension)) return true;
  return false;
}

bool IsExistingFile(std::u16string_view path) { return platform::GetFileKind(path) == platform::FileKind::File; }

}  // namespace wscript

std::u16string_view DrivePart(std::u16string_view path) {
  const bool driveLetter = path.size() >= 2 && path[1] == u':' &&
                           ((path[0] >= u'A' && path[0] <= u'Z') || (path[0] >= u'a' && path[0] <= u'z'));
  if (driveLetter) return path.substr(0, 2);
  if (path.substr(0, 2) != u"\\\\") return {};
  const std::size_t serverEnd = path.find(u'\\', 2);
  if (serverEnd == std::u16string_view::npos) return {};
  const std::size_t shareEnd = path.find(u'\\', serverEnd + 1);
  return path.substr(0, shareEnd);
}

RuleCode CheckWScript(std::u16string_view commandLine, std::u16string_view targetPath, int32_t flags) {
  using namespace wscript;
  if (targetPath.empty()) return kRuleNone;
  const CommandTokens tokens(commandLine);
  if (tokens.size() < 2) return kRuleNone;

  const std::u16string_view* script = tokens.begin();
  while (script != tokens.end() && !(HasScriptExtension(*script) && IsExistingFile(*script))) ++script;
  if (script == tokens.end()) return kRuleNone;
  // Reported as normalised.
  const WideText scriptPath = NormalizeText(*script);

  RuleCode result = kRuleNone;
  if (platform::QueryDriveType(DrivePart(scriptPath.view())) == kRemovableDrive &&
      HIPSCheckWhiteListEntry(scriptPath.c_str()) == 0) {
    result = kRuleSilent;
    ReportDetectionFor(scriptPath.c_str(), wscript::kScriptFromRemovable.Verdict.data());
  }
  if ((flags & kStartsProgramWrittenToday) != 0 && IsWrittenToday(targetPath) &&
      HIPSCheckWhiteListEntry(targetPath.data()) == 0) {
    result = kRuleSilent;
    ReportDetectionFor(scriptPath.c_str(), wscript::kScriptStartedFreshProgram.Verdict.data());
    ReportDetectionFor(targetPath.data(), wscript::kFreshProgramOfScript.Verdict.data());
  }
  return result;
}

}  // namespace evrules
