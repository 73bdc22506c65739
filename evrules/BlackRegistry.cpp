#include "BlackRegistry.h"

#include "RegistryKeys.h"

namespace evrules {
namespace black_registry {

struct TBlackReg {
  std::u16string_view Key;        // upper case, trailing backslash
  std::u16string_view ValueName;  // upper case, or "*" for any value
  RuleCode Code;
  std::string_view Verdict;
};

// Relative to the user's hive.
constexpr TBlackReg BlackRegUser[] = {
    {u"\\SOFTWARE\\LOCKY\\", u"*", 2, "HIPS:Trojan.Locky.Win32.1"},
    {u"\\SOFTWARE\\XXXSYS\\", u"*", 2, "HIPS:Trojan.Bitman.Win32.1"},
    {u"\\SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\EXPLORER\\ADVANCED\\", u"SHOWSUPERHIDDEN", 1,
     "HIPS:Worm.Vobfus.Win32.1"},
    {u"\\SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\POLICIES\\SYSTEM\\", u"DISABLETASKMGR", 1,
     "HIPS:Trojan.HookSystem.Win32.6"},
    {u"\\SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\POLICIES\\SYSTEM\\", u"DISABLEREGISTRYTOOLS", 1,
     "HIPS:Trojan.HookSystem.Win32.7"},
    {u"\\SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\POLICIES\\SYSTEM\\", u"ENABLELUA", 1,
     "HIPS:Trojan.HookSystem.Win32.8"},
};

constexpr TBlackReg BlackRegMachine[] = {
    {u"\\REGISTRY\\MACHINE\\SOFTWARE\\CLASSES\\EXEFILE\\SHELL\\OPEN\\COMMAND\\", u"*", 1,
     "HIPS:Trojan.HookSystem.Win32.1"},
    {u"\\REGISTRY\\MACHINE\\SOFTWARE\\MICROSOFT\\WINDOWS NT\\CURRENTVERSION\\WINLOGON\\", u"SHELL", 1,
     "HIPS:Trojan.HookSystem.Win32.2"},
    {u"\\REGISTRY\\MACHINE\\SOFTWARE\\MICROSOFT\\WINDOWS NT\\CURRENTVERSION\\WINLOGON\\", u"USERINIT", 1,
     "HIPS:Trojan.HookSystem.Win32.3"},
    {u"\\REGISTRY\\MACHINE\\SOFTWARE\\XWCMT\\", u"*", 2, "HIPS:Trojan.Kovter.Win32.1"},
    {u"\\REGISTRY\\MACHINE\\SOFTWARE\\MICROSOFT\\WINDOWS NT\\CURRENTVERSION\\WINLOGON\\", u"SFCSCAN", 1,
     "HIPS:Trojan.HookSystem.Win32.4"},
    {u"\\REGISTRY\\MACHINE\\SOFTWARE\\WOW6432NODE\\MICROSOFT\\WINDOWS NT\\CURRENTVERSION\\WINLOGON\\",
     u"SFCDISABLE", 1, "HIPS:Trojan.HookSystem.Win32.5"},
};

}  // namespace black_registry

RuleOutcome CheckBlackRegistry(const RegistryKey& event) {
  using namespace black_registry;
  const TBlackReg* row = nullptr;
  // Registry value names are case-insensitive, so the per-user branch
  // normalises the value name as the machine branch does.
  constexpr bool kNormalizeUserValueName = true;
  if (event.branch == KeyBranch::User)
    row = FindRegistryRow(BlackRegUser, event, kNormalizeUserValueName);
  else if (event.branch == KeyBranch::Machine)
    row = FindRegistryRow(BlackRegMachine, event, kNormalizeUserValueName);
  if (row == nullptr) return {};
  return {row->Code, row->Verdict};
}

RuleOutcome CheckBlackRegistry(std::u16string_view keyPath, std::u16string_view valueName) {
  return CheckBlackRegistry(RegistryKey(keyPath, valueName));
}

}  // namespace evrules
