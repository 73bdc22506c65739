#include "AutoRunRegistry.h"

#include "Platform.h"
#include "ProcessNameFilter.h"
#include "RegistryKeys.h"

namespace evrules {
namespace auto_run_registry {

// Image test of a row.
constexpr int32_t kWrittenToday = 1;
constexpr int32_t kOutsideInstallFolders = 2;

struct TBlackReg {
  int32_t Check;
  std::u16string_view Key;        // upper case, trailing backslash
  std::u16string_view ValueName;  // upper case, or "*" for any value
  RuleCode Code;
  std::string_view Verdict;
};

// Relative to the user's hive.
constexpr TBlackReg AutoRunUser[] = {
    {1, u"\\SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\RUN\\", u"*", 2, "HIPS:Trojan.AutoRunUSER.Win32.1"},
    {1, u"\\SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\RUNONCE\\", u"*", 2, "HIPS:Trojan.AutoRunUSER.Win32.2"},
};

constexpr TBlackReg AutoRunMachine[] = {
    {1, u"\\REGISTRY\\MACHINE\\SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\RUN\\", u"*", 2,
     "HIPS:Trojan.AutoRunSYS.Win32.1"},
    {1, u"\\REGISTRY\\MACHINE\\SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\RUNONCE\\", u"*", 2,
     "HIPS:Trojan.AutoRunSYS.Win32.2"},
    {2, u"\\REGISTRY\\MACHINE\\SOFTWARE\\MICROSOFT\\SECURITY CENTER\\", u"*", 2, "HIPS:Trojan.Agent3.Win32.1"},
    {2, u"\\REGISTRY\\MACHINE\\SOFTWARE\\MICROSOFT\\WINDOWS NT\\CURRENTVERSION\\WINLOGON\\", u"USERINIT", 2,
     "HIPS:Trojan.Agent3.Win32.2"},
};

constexpr int32_t kQueryBufferCapacity = 1025;

bool FolderContains(std::u16string_view folder, const std::u16string& installFolder) {
  return !installFolder.empty() && folder.find(installFolder) != std::u16string_view::npos;
}

bool ImagePassesCheck(int32_t check, std::u16string_view processPath) {
  // The host may write into the buffer; a second query sees what it left.
  char16_t queryBuffer[kQueryBufferCapacity] = {};
  const char16_t* image = processPath.data();
  auto hostExempts = [&] { return QueryHostFile(image, queryBuffer, kQueryBufferCapacity) != 0; };

  if (check == kWrittenToday) return IsWrittenToday(processPath) && !hostExempts();
  if (check != kOutsideInstallFolders) return false;

  if (platform::GetFileKind(processPath) != platform::FileKind::File) return false;
  platform::LocalDate written;
  if (!platform::FindLastWriteDate(processPath, written)) return false;
  if (written == platform::GetLocalDate() && !hostExempts()) return true;

  const WideText imageFolder = NormalizeText(SplitPath(processPath).folder);
  const FolderStrings& folders = Folders();
  if (FolderContains(imageFolder.view(), folders.ProgramFilesDir) ||
      FolderContains(imageFolder.view(), folders.SystemDir) ||
      FolderContains(imageFolder.view(), folders.SysWow64Dir))
    return false;
  return !hostExempts();
}

}  // namespace auto_run_registry

RuleOutcome CheckAutoRunRegistry(std::u16string_view processPath, std::u16string_view keyPath,
                                 std::u16string_view valueName) {
  using namespace auto_run_registry;
  std::u16string_view userKey;
  const KeyBranch branch = ClassifyKeyPath(keyPath, userKey);
  // Per-user rows take any value name, so the value is compared as given.
  constexpr bool kNormalizeUserValueName = false;
  const TBlackReg* row = nullptr;
  if (branch == KeyBranch::User)
    row = FindRegistryRow(AutoRunUser, branch, keyPath, userKey, valueName, kNormalizeUserValueName);
  else if (branch == KeyBranch::Machine)
    row = FindRegistryRow(AutoRunMachine, branch, keyPath, userKey, valueName, kNormalizeUserValueName);
  // Only the first matching row is considered.
  if (row == nullptr || !ImagePassesCheck(row->Check, processPath)) return {};
  return {row->Code, row->Verdict};
}

}  // namespace evrules
