#include "AutoRunRegistry.h"

#include "Platform.h"
#include "ProcessNameFilter.h"
#include "RegistryKeys.h"
#include "rules/AutoRunRegistry.h"

namespace evrules {
namespace auto_run_registry {

constexpr int32_t kQueryBufferCapacity = 1025;

bool FolderContains(const NormalizedView& folder, const std::u16string& installFolder) {
  return !installFolder.empty() && folder.Contains(installFolder);
}

bool ImagePassesCheck(int32_t check, const ImagePath& image) {
  const std::u16string_view processPath = image.path;
  // The host may write into the buffer; a second query sees what it left.
  char16_t queryBuffer[kQueryBufferCapacity] = {};
  auto hostExempts = [&] { return QueryHostFile(processPath.data(), queryBuffer, kQueryBufferCapacity) != 0; };

  if (check == kWrittenToday) return IsWrittenToday(processPath) && !hostExempts();
  if (check != kOutsideInstallFolders) return false;

  if (platform::GetFileKind(processPath) != platform::FileKind::File) return false;
  platform::LocalDate written;
  if (!platform::FindLastWriteDate(processPath, written)) return false;
  if (written == platform::GetLocalDate() && !hostExempts()) return true;

  const NormalizedView imageFolder = image.folder.view();
  const FolderStrings& folders = Folders();
  if (FolderContains(imageFolder, folders.ProgramFilesDir) || FolderContains(imageFolder, folders.SystemDir) ||
      FolderContains(imageFolder, folders.SysWow64Dir))
    return false;
  return !hostExempts();
}

}  // namespace auto_run_registry

RuleOutcome CheckAutoRunRegistry(const ImagePath& image, const RegistryKey& event) {
  using namespace auto_run_registry;
  // Per-user rows take any value name, so the value is compared as given.
  constexpr bool kNormalizeUserValueName = false;
  const TBlackReg* row = nullptr;
  if (event.branch == KeyBranch::User)
    row = FindRegistryRow(AutoRunUser, event, kNormalizeUserValueName);
  else if (event.branch == KeyBranch::Machine)
    row = FindRegistryRow(AutoRunMachine, event, kNormalizeUserValueName);
  // Only the first matching row is considered.
  if (row == nullptr || !ImagePassesCheck(row->Check, image)) return {};
  return {row->Code, row->Verdict};
}

RuleOutcome CheckAutoRunRegistry(std::u16string_view processPath, std::u16string_view keyPath,
                                 std::u16string_view valueName) {
  return CheckAutoRunRegistry(ImagePath(processPath), RegistryKey(keyPath, valueName));
}

}  // namespace evrules
