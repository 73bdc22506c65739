#include "Module.h"

#include "ModuleLibrary.h"

namespace rulehost {
namespace {

template <typename Fn>
bool Resolve(void* library, const char* name, Fn& out) {
  out = reinterpret_cast<Fn>(FindSymbol(library, name));
  return out != nullptr;
}

}  // namespace

std::optional<Module> LoadModule(const std::string& path, std::string& error) {
  void* library = OpenLibrary(path, error);
  if (library == nullptr) return std::nullopt;
  Module module;
  bool complete = Resolve(library, "InitLibrary", module.InitLibrary) && Resolve(library, "RegEvent", module.RegEvent) &&
                  Resolve(library, "RegEventEx", module.RegEventEx) &&
                  Resolve(library, "ProcessEvent", module.ProcessEvent) &&
                  Resolve(library, "ProcessEventEx", module.ProcessEventEx) &&
                  Resolve(library, "NetConnectEvent", module.NetConnectEvent) &&
                  Resolve(library, "NetProtocolData", module.NetProtocolData);
  if (!complete) {
    error = path + " lacks one of the seven exports";
    return std::nullopt;
  }
  bool emulated = Resolve(library, "EvEmu_Reset", module.EmuReset) &&
                  Resolve(library, "EvEmu_MapDrive", module.EmuMapDrive) &&
                  Resolve(library, "EvEmu_SelectComputer", module.EmuSelectComputer) &&
                  Resolve(library, "EvEmu_SetFolder", module.EmuSetFolder) &&
                  Resolve(library, "EvEmu_SetToday", module.EmuSetToday) &&
                  Resolve(library, "EvEmu_SetDebugSink", module.EmuSetDebugSink);
  if (!emulated) module.EmuReset = nullptr;
  return module;
}

}  // namespace rulehost
