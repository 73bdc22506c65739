// Set-up of the Linux emulation of Windows behind Platform.h (Linux build
// only). Tests and the test host call these, before events run, to describe
// the machine the module sees. They are exported from libevrules.so so that a
// host that loads the module dynamically can find them by name.
#ifndef EVRULES_PLATFORM_EMULATION_H
#define EVRULES_PLATFORM_EMULATION_H

#if defined(_WIN32)
#error "The Windows build has no emulation: the real system answers."
#endif

#include <stdint.h>

#include "evrules.h"

#ifdef __cplusplus
extern "C" {
#endif

// Which folder answer to change.
enum EvEmuFolder {
  EVEMU_SYSTEM_DIRECTORY = 1,   // default "C:\Windows\System32"
  EVEMU_WINDOWS_DIRECTORY = 2,  // default "C:\Windows"
  EVEMU_PROFILES_DIRECTORY = 3  // default "C:\Users"
};

typedef void (*EvEmuDebugSink)(const char* ansiText, void* context);

// Back to the start state: no drives on any computer, computer 0 selected,
// default folder answers, host clock, no debugger sink.
EVRULES_EXPORT void EvEmu_Reset(void);

// Maps a drive ("C:" or "\\server\share", any case) of the selected computer
// to a host folder, with a Windows drive type (2 removable, 3 fixed, 4
// remote, ...). A second mapping of the same root replaces the first. Returns
// 0 when the root is malformed.
EVRULES_EXPORT int32_t EvEmu_MapDrive(const char16_t* root, const char* hostFolder, uint32_t driveType);

// Each computer (0, 1, ...) has drives of its own; this one's are what the
// module sees from now on, a root it lacks is no drive. Computer 0 is selected
// at the start and after EvEmu_Reset. Switching costs nothing per drive.
EVRULES_EXPORT void EvEmu_SelectComputer(int32_t computer);

// Sets a folder answer; a null path makes that query fail.
EVRULES_EXPORT void EvEmu_SetFolder(int32_t which, const char16_t* path);

// Fixes the local date; year 0 returns to the host clock.
EVRULES_EXPORT void EvEmu_SetToday(int32_t year, int32_t month, int32_t day);

// Debugger output goes to `sink` (called on the event's thread); null drops it.
EVRULES_EXPORT void EvEmu_SetDebugSink(EvEmuDebugSink sink, void* context);

#ifdef __cplusplus
}
#endif

#endif
