// The rule module as a host sees it: loaded at run time (dlopen on Linux,
// LoadLibrary on Windows) and reached through its exports, resolved by name.
#ifndef RULEHOST_MODULE_H
#define RULEHOST_MODULE_H

#include <cstdint>
#include <optional>
#include <string>

#include "evrules.h"

namespace rulehost {

using InitLibraryFn = int32_t(EVRULES_CALL*)(const HostCallbacks*);
using RegEventFn = int32_t(EVRULES_CALL*)(const EvWideChar*, const EvWideChar*, const EvWideChar*, int32_t);
using RegEventExFn = int32_t(EVRULES_CALL*)(const EvWideChar*, const EvWideChar*, const EvWideChar*, int32_t,
                                            uint32_t, uint32_t, uint32_t, uint32_t, uint32_t);
using ProcessEventFn = int32_t(EVRULES_CALL*)(const EvWideChar*, const EvWideChar*, const EvWideChar*, int32_t,
                                              uint32_t, uint32_t);
using ProcessEventExFn = int32_t(EVRULES_CALL*)(const EvWideChar*, const EvWideChar*, const EvWideChar*, int32_t,
                                                uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t,
                                                uint32_t);
using NetConnectEventFn = int32_t(EVRULES_CALL*)(uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t,
                                                 uint32_t, uint32_t);
using NetProtocolDataFn = int32_t(EVRULES_CALL*)(uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t,
                                                 uint32_t);

// The Linux emulation's set-up (PlatformEmulation.h); absent from the Windows DLL.
using EmuResetFn = void (*)();
using EmuMapDriveFn = int32_t (*)(const char16_t*, const char*, uint32_t);
using EmuSelectComputerFn = void (*)(int32_t);
using EmuSetFolderFn = void (*)(int32_t, const char16_t*);
using EmuSetTodayFn = void (*)(int32_t, int32_t, int32_t);
using EmuDebugSinkFn = void (*)(const char*, void*);
using EmuSetDebugSinkFn = void (*)(EmuDebugSinkFn, void*);

struct Module {
  InitLibraryFn InitLibrary = nullptr;
  RegEventFn RegEvent = nullptr;
  RegEventExFn RegEventEx = nullptr;
  ProcessEventFn ProcessEvent = nullptr;
  ProcessEventExFn ProcessEventEx = nullptr;
  NetConnectEventFn NetConnectEvent = nullptr;
  NetProtocolDataFn NetProtocolData = nullptr;
  EmuResetFn EmuReset = nullptr;
  EmuMapDriveFn EmuMapDrive = nullptr;
  EmuSelectComputerFn EmuSelectComputer = nullptr;
  EmuSetFolderFn EmuSetFolder = nullptr;
  EmuSetTodayFn EmuSetToday = nullptr;
  EmuSetDebugSinkFn EmuSetDebugSink = nullptr;
  bool emulated() const { return EmuReset != nullptr; }
};

// Loads the module at `path` (UTF-8) and resolves its seven exports, and the
// emulation's set-up where the module has it. On failure `error` says why,
// e.g. "cannot load PATH: REASON" or "PATH lacks one of the seven exports".
// The module stays loaded for the life of the process.
std::optional<Module> LoadModule(const std::string& path, std::string& error);

}  // namespace rulehost

#endif
