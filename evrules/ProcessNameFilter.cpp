#include "ProcessNameFilter.h"

namespace evrules {
namespace process_name_filter {

constexpr NameLengths kMalNameLengths(MalNames);
constexpr NameLengths kSysNameLengths(SysNames);

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
    return {kRuleReport, kInstallationRoot.Verdict};
  return {};
}

RuleOutcome CheckProcessName(std::u16string_view processPath) { return CheckProcessName(ImagePath(processPath)); }

}  // namespace evrules
