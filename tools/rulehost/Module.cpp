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
#define RULEHOST_RESOLVE(Member, Symbol) && Resolve(library, #Symbol, module.Member)
  const bool complete = true RULEHOST_MODULE_EXPORTS(RULEHOST_RESOLVE);
  if (!complete) {
    error = path + " lacks one of the seven exports";
    return std::nullopt;
  }
  const bool emulated = true RULEHOST_EMULATION_EXPORTS(RULEHOST_RESOLVE);
#undef RULEHOST_RESOLVE
  if (!emulated) module.EmuReset = nullptr;
  return module;
}

}  // namespace rulehost
