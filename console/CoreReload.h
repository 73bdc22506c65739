#pragma once

#include <string>

namespace corectl {

// The core service's pipe.
inline const std::string kCorePipeName = "\\\\.\\pipe\\TevrinAV-Core-780863D5-5ABD-4b1a-AAF3-427AF74D4ECE";

// Connects to the core service, calls ReloadCore once and answers whether the
// service reported success. Every failure answers false after at most one
// line of diagnostics on standard output, continuing the current line.
bool RunCoreReload();

}  // namespace corectl
