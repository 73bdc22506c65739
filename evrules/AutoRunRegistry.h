// Auto-run registry rules: Run and RunOnce keys set by a program written
// today, and Security Center and Winlogon changes by programs outside the
// installation folders, unless the host vouches for the image.
#ifndef EVRULES_AUTO_RUN_REGISTRY_H
#define EVRULES_AUTO_RUN_REGISTRY_H

#include <string_view>

#include "evrules_Common.h"

namespace evrules {

struct RegistryKey;

// The image path must be zero-terminated: it is handed to the host.
RuleOutcome CheckAutoRunRegistry(const ImagePath& image, const RegistryKey& event);
RuleOutcome CheckAutoRunRegistry(std::u16string_view processPath, std::u16string_view keyPath,
                                 std::u16string_view valueName);

}  // namespace evrules

#endif
