#pragma once

namespace corectl {

// Connects to the core service, calls ReloadCore once and answers whether the
// service reported success. Every failure answers false after at most one
// line of diagnostics on standard output, continuing the current line.
bool RunCoreReload();

}  // namespace corectl
