#include "BlackRegistry.h"

#include "RegistryKeys.h"
#include "rules/BlackRegistry.h"

namespace evrules {

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
