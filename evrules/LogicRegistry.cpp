#include "LogicRegistry.h"

#include "AutoRunRegistry.h"
#include "BlackRegistry.h"
#include "WhiteList.h"
#include "evrules_Common.h"

namespace evrules {
namespace {

bool IsJudgedByAutoRunRules(int32_t operation) { return operation == 2 || operation == 3; }
bool IsJudgedByBlackList(int32_t operation) { return operation >= 2 && operation <= 5; }

}  // namespace

int32_t CheckRegistryEvent(std::u16string_view processPath, std::u16string_view keyPath,
                           std::u16string_view valueName, int32_t operation) {
  if (processPath.empty()) return EVRULES_RESULT_NONE;
  RuleOutcome outcome;
  if (IsSystemProcess(processPath)) outcome.code = kRuleExempt;
  if (IsJudgedByAutoRunRules(operation) && outcome.code == kRuleNone)
    outcome = CheckAutoRunRegistry(processPath, keyPath, valueName);
  if (IsJudgedByBlackList(operation) && outcome.code == kRuleNone) outcome = CheckBlackRegistry(keyPath, valueName);
  if (outcome.code == kRuleReport) ReportDetectionFor(processPath.data(), outcome.verdict);
  return ExportResultFor(outcome.code);
}

}  // namespace evrules
