#include "ProcessNameFilter.h"

namespace evrules {
namespace process_name_filter {

struct MalNamesType {
  std::u16string_view Name;  // upper case
  RuleCode Code;
  std::string_view Verdict;
};

struct SysNamesType {
  std::u16string_view Name;  // upper case
  int32_t Place;
  RuleCode Code;
  std::string_view Verdict;
};

constexpr MalNamesType MalNames[] = {
    {u"SVCH0ST.EXE", 2, "HIPS:Trojan.Generic1.Win32.1"},  // digit zero
    {u"SYSTEM.COM", 2, "HIPS:Trojan.Generic1.Win32.2"},
    {u"SCVHOST.COM", 2, "HIPS:Trojan.Generic1.Win32.3"},
    {u"CTFMON.COM", 2, "HIPS:Trojan.Generic1.Win32.4"},
    {u"SCVHOST.EXE", 2, "HIPS:Trojan.Generic1.Win32.5"},
    {u"SDRA64.EXE", 2, "HIPS:Trojan.Generic1.Win32.6"},
    {u"NEW FOLDER.EXE", 2, "HIPS:Trojan.Generic1.Win32.7"},
    {u"SVHOST.EXE", 2, "HIPS:Trojan.Generic1.Win32.8"},
    {u"SVCHOSS.EXE", 2, "HIPS:Trojan.Generic1.Win32.9"},
    {u"WINDOWSUPDATE.EXE", 2, "HIPS:Trojan.Generic1.Win32.10"},
    {u"RECYCLER.EXE", 2, "HIPS:Trojan.Generic1.Win32.11"},
    {u"SVCHOST..EXE", 2, "HIPS:Trojan.Generic1.Win32.12"},  // two dots
    // Known names answered 2 without a report.
    {u"TASKDL.EXE", 3, "HIPS:Trojan.WanaCry.Win32.1"},
    {u"TASKSE.EXE", 3, "HIPS:Trojan.WanaCry.Win32.2"},
    {u"@WANADECRYPTOR@.EXE", 3, "HIPS:Trojan.WanaCry.Win32.3"},
    {u"MSSECSVC.EXE", 3, "HIPS:Trojan.WanaCry.Win32.4"},
    {u"TASKSCHE.EXE", 3, "HIPS:Trojan.WanaCry.Win32.5"},
};

constexpr SysNamesType SysNames[] = {
    {u"SVCHOST.EXE", 1, 2, "HIPS:Trojan.Generic2.Win32.1"},
    {u"LSASS.EXE", 1, 2, "HIPS:Trojan.Generic2.Win32.2"},
    {u"CSRSS.EXE", 1, 2, "HIPS:Trojan.Generic2.Win32.3"},
    {u"SERVICES.EXE", 1, 2, "HIPS:Trojan.Generic2.Win32.4"},
    {u"SMSS.EXE", 1, 2, "HIPS:Trojan.Generic2.Win32.5"},
    {u"WINLOGON.EXE", 1, 2, "HIPS:Trojan.Generic2.Win32.6"},
    {u"IGFXPERS.EXE", 1, 2, "HIPS:Trojan.Generic2.Win32.7"},
    {u"SPOOLSV.EXE", 1, 2, "HIPS:Trojan.Generic2.Win32.8"},
    {u"TASKHOST.EXE", 1, 2, "HIPS:Trojan.Generic2.Win32.9"},
    {u"WININIT.EXE", 1, 2, "HIPS:Trojan.Generic2.Win32.10"},
    {u"EXPLORER.EXE", 3, 2, "HIPS:Trojan.Generic2.Win32.11"},
};

constexpr std::string_view kInstallationRootVerdict = "HIPS:Trojan.Generic3.Win32.1";
constexpr std::size_t kMinimumPathLength = 4;

FolderStrings theFolders;

}  // namespace process_name_filter

const FolderStrings& Folders() { return process_name_filter::theFolders; }
FolderStrings& MutableFolders() { return process_name_filter::theFolders; }

bool IsHomeFolder(std::u16string_view folder, int32_t place) {
  const FolderStrings& folders = Folders();
  const bool inSystem = IsFolder(folder, folders.SystemDir) || IsFolder(folder, folders.SysWow64Dir);
  const bool inWindows = IsFolder(folder, folders.WindowsDir);
  switch (place) {
    case kPlaceSystem: return inSystem;
    case kPlaceWindows: return inWindows;
    case kPlaceAny: return inSystem || inWindows;
    default: return false;
  }
}

RuleOutcome CheckProcessName(std::u16string_view processPath) {
  using namespace process_name_filter;
  if (processPath.size() < kMinimumPathLength) return {};
  const PathParts parts = SplitPath(processPath);
  const WideText name = NormalizeText(parts.name);
  if (name.empty()) return {};
  WideText folder = NormalizeText(parts.folder);
  if (folder.empty()) return {};
  if (folder.view().back() == u'\\') folder.RemoveLast();

  for (const MalNamesType& row : MalNames)
    if (name.view() == row.Name) return {row.Code, row.Verdict};

  if (!folder.empty()) {
    for (const SysNamesType& row : SysNames)
      if (name.view() == row.Name && !IsHomeFolder(folder.view(), row.Place)) return {row.Code, row.Verdict};
  }

  const FolderStrings& folders = Folders();
  if (IsFolder(folder.view(), folders.AllUsersDir) || IsFolder(folder.view(), folders.ProfilesDir) ||
      IsFolder(folder.view(), folders.ProgramFilesDir))
    return {kRuleReport, kInstallationRootVerdict};
  return {};
}

}  // namespace evrules
