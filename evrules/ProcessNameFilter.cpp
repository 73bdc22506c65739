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

constexpr NameLengths kMalNameLengths(MalNames);
constexpr NameLengths kSysNameLengths(SysNames);

constexpr std::string_view kInstallationRootVerdict = "HIPS:Trojan.Generic3.Win32.1";
constexpr std::size_t kMinimumPathLength = 4;

FolderStrings theFolders;

}  // namespace process_name_filter

const FolderStrings& Folders() { return process_name_filter::theFolders; }
FolderStrings& MutableFolders() { return process_name_filter::theFolders; }

bool IsHomeFolder(const NormalizedView& folder, int32_t place) {
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

bool IsHomeFolder(std::u16string_view folder, int32_t place) {
  // The folder is normalised already.
  return IsHomeFolder(NormalizedView(folder, true), place);
}

RuleOutcome CheckProcessName(const ImagePath& image) {
  using namespace process_name_filter;
  if (image.path.size() < kMinimumPathLength) return {};
  const NormalizedView name = image.name.view();
  if (name.empty()) return {};
  NormalizedView folder = image.folder.view();
  if (folder.empty()) return {};
  if (folder.EndsWith(u'\\')) folder = folder.WithoutLast();

  if (kMalNameLengths.MayHold(name.size())) {
    for (const MalNamesType& row : MalNames)
      if (name.Is(row.Name)) return {row.Code, row.Verdict};
  }

  if (!folder.empty() && kSysNameLengths.MayHold(name.size())) {
    for (const SysNamesType& row : SysNames)
      if (name.Is(row.Name) && !IsHomeFolder(folder, row.Place)) return {row.Code, row.Verdict};
  }

  const FolderStrings& folders = Folders();
  if (IsFolder(folder, folders.AllUsersDir) || IsFolder(folder, folders.ProfilesDir) ||
      IsFolder(folder, folders.ProgramFilesDir))
    return {kRuleReport, kInstallationRootVerdict};
  return {};
}

RuleOutcome CheckProcessName(std::u16string_view processPath) { return CheckProcessName(ImagePath(processPath)); }

}  // namespace evrules
