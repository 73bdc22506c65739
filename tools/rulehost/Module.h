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

// The seven exports, then the emulation's set-up: EXPORT(member, symbol).
#define RULEHOST_MODULE_EXPORTS(EXPORT)                                                     \
  EXPORT(InitLibrary, InitLibrary) EXPORT(RegEvent, RegEvent) EXPORT(RegEventEx, RegEventEx) \
  EXPORT(ProcessEvent, ProcessEvent) EXPORT(ProcessEventEx, ProcessEventEx)                 \
  EXPORT(NetConnectEvent, NetConnectEvent) EXPORT(NetProtocolData, NetProtocolData)
#define RULEHOST_EMULATION_EXPORTS(EXPORT)                                                  \
  EXPORT(EmuReset, EvEmu_Reset) EXPORT(EmuMapDrive, EvEmu_MapDrive)                         \
  EXPORT(EmuSelectComputer, EvEmu_SelectComputer) EXPORT(EmuSetFolder, EvEmu_SetFolder)     \
  EXPORT(EmuSetToday, EvEmu_SetToday) EXPORT(EmuSetDebugSink, EvEmu_SetDebugSink)

struct Module {
#define RULEHOST_MODULE_MEMBER(Member, Symbol) Member##Fn Member = nullptr;
  RULEHOST_MODULE_EXPORTS(RULEHOST_MODULE_MEMBER)
  RULEHOST_EMULATION_EXPORTS(RULEHOST_MODULE_MEMBER)
#undef RULEHOST_MODULE_MEMBER
  bool emulated() const { return EmuReset != nullptr; }
};

// Loads the module at `path` (UTF-8) and resolves its seven exports, and the
// emulation's set-up where the module has it. On failure `error` says why,
// e.g. "cannot load PATH: REASON" or "PATH lacks one of the seven exports".
// The module stays loaded for the life of the process.
std::optional<Module> LoadModule(const std::string& path, std::string& error);

}  // namespace rulehost

#endif
