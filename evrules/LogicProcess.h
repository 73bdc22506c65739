// Process dispatch: the rule sets run for one process event, in order.
#ifndef EVRULES_LOGIC_PROCESS_H
#define EVRULES_LOGIC_PROCESS_H

#include <cstdint>
#include <string>
#include <string_view>

#include "ProcessNameFilter.h"

namespace evrules {

// Export result (1 to 4) of ProcessEvent. `processPath` and `targetPath` must
// be zero-terminated.
int32_t CheckProcessEvent(const EventText& processPath, const EventText& targetPath, const HostText& commandLine,
                          int32_t flags);
int32_t CheckProcessEvent(std::u16string_view processPath, std::u16string_view targetPath,
                          std::u16string_view commandLine, int32_t flags);

// Normalised full paths of the script hosts and command interpreters in
// SystemDir and SysWow64Dir, built once so that events compare without
// building strings. A path whose folder string is empty is empty itself and
// matches no image.
struct InterpreterPaths {
  std::u16string scriptHosts[4];  // WSCRIPT and CSCRIPT, in the order tested
  std::u16string commandInterpreters[2];
};

// Builds them for a folder set (may throw); InitLibrary installs the result
// together with the folder set it came from.
InterpreterPaths InterpreterPathsFor(const FolderStrings& folders);
void SetInterpreterPaths(InterpreterPaths&& paths) noexcept;

}  // namespace evrules

#endif
