// Registry black list: keys and values whose change marks malware (code 2)
// or tampers with system settings (code 1).
#ifndef EVRULES_BLACK_REGISTRY_H
#define EVRULES_BLACK_REGISTRY_H

#include <string_view>

#include "evrules_Common.h"

namespace evrules {

struct RegistryKey;

RuleOutcome CheckBlackRegistry(const RegistryKey& event);
RuleOutcome CheckBlackRegistry(std::u16string_view keyPath, std::u16string_view valueName);

}  // namespace evrules

#endif
