// Registry dispatch: the rule sets run for one registry event, in order.
#ifndef EVRULES_LOGIC_REGISTRY_H
#define EVRULES_LOGIC_REGISTRY_H

#include <cstdint>
#include <string_view>

namespace evrules {

struct EventText;
class HostText;

// Export result (1 to 4) of RegEvent. `processPath` must be zero-terminated.
int32_t CheckRegistryEvent(const EventText& processPath, const EventText& keyPath, const HostText& valueName,
                           int32_t operation);
int32_t CheckRegistryEvent(std::u16string_view processPath, std::u16string_view keyPath,
                           std::u16string_view valueName, int32_t operation);

}  // namespace evrules

#endif
