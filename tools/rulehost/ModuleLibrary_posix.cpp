#include <dlfcn.h>

#include "ModuleLibrary.h"

namespace rulehost {

void* OpenLibrary(const std::string& path, std::string& error) {
  void* library = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) error = "cannot load " + path + ": " + ::dlerror();
  return library;
}

void* FindSymbol(void* library, const char* name) { return ::dlsym(library, name); }

}  // namespace rulehost
