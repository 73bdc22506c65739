#include "LogicRegistry.h"

#include "AutoRunRegistry.h"
#include "BlackRegistry.h"
#include "RegistryKeys.h"
#include "WhiteList.h"
#include "evrules_Common.h"

namespace evrules {
namespace {

bool IsJudgedByAutoRunRules(int32_t operation) { return operation == 2 || operation == 3; }
bool IsJudgedByBlackList(int32_t operation) { return operation >= 2 && operation <= 5; }

}  // namespace

int32_t CheckRegistryEvent(const EventText& processPath, const EventText& keyPath, const HostText& valueName,
                           int32_t operation) {
  if (processPath.text.empty()) return EVRULES_RESULT_NONE;
  const ImagePath image(processPath.text, processPath.ascii);
  RuleOutcome outcome;
  if (IsSystemProcess(image)) outcome.code = kRuleExempt;
  if (outcome.code == kRuleNone && IsJudgedByBlackList(operation)) {
    const RegistryKey key(keyPath, valueName);
    if (IsJudgedByAutoRunRules(operation)) outcome = CheckAutoRunRegistry(image, key);
    if (outcome.code == kRuleNone) outcome = CheckBlackRegistry(key);
  }
  return Answer(outcome, processPath.text.data());
}

int32_t CheckRegistryEvent(std::u16string_view processPath, std::u16string_view keyPath,
                           std::u16string_view valueName, int32_t operation) {
  return CheckRegistryEvent(EventTextOf(processPath), EventTextOf(keyPath), HostText(EventTextOf(valueName)),
                            operation);
}

}  // namespace evrules
