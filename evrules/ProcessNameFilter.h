// Process name filter: known malicious image names, Windows system program
// names away from their home folders, and programs placed directly in an
// installation root. Also holds the module's folder strings.
#ifndef EVRULES_PROCESS_NAME_FILTER_H
#define EVRULES_PROCESS_NAME_FILTER_H

#include <string>
#include <string_view>

#include "evrules_Common.h"
#include "rules/ProcessNameFilter.h"

namespace evrules {

// Normalised, without trailing backslash; empty until InitLibrary has run or
// when the query failed.
struct FolderStrings {
  std::u16string SystemDir;
  std::u16string WindowsDir;
  std::u16string SysWow64Dir;
  std::u16string AllUsersDir;
  std::u16string ProfilesDir;
  std::u16string ProgramFilesDir;
};

const FolderStrings& Folders();
// Written only by InitLibrary, never while events run.
FolderStrings& MutableFolders();

// True when an image's folder (normalised, no trailing backslash) is
// `folderString`. An empty folder string is an unknown folder and is no
// image's folder, not even that of "\x.exe".
inline bool IsFolder(const NormalizedView& imageFolder, const std::u16string& folderString) {
  return !folderString.empty() && imageFolder.Is(folderString);
}

RuleOutcome CheckProcessName(const ImagePath& image);
RuleOutcome CheckProcessName(std::u16string_view processPath);

// True when `folder` (normalised, no trailing backslash) is a home for `place`.
bool IsHomeFolder(const NormalizedView& folder, int32_t place);
bool IsHomeFolder(std::u16string_view folder, int32_t place);

}  // namespace evrules

#endif
