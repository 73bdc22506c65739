// Process dispatch: the rule sets run for one process event, in order.
#ifndef EVRULES_LOGIC_PROCESS_H
#define EVRULES_LOGIC_PROCESS_H

#include <cstdint>
#include <string_view>

namespace evrules {

// Export result (1 to 4) of ProcessEvent. `processPath` and `targetPath` must
// be zero-terminated.
int32_t CheckProcessEvent(std::u16string_view processPath, std::u16string_view targetPath,
                          std::u16string_view commandLine, int32_t flags);

// Recomputes the script-host and interpreter paths from the folder strings;
// called by InitLibrary.
void RefreshInterpreterPaths();

}  // namespace evrules

#endif
