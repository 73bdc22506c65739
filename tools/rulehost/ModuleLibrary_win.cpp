#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <filesystem>

#include "ModuleLibrary.h"

namespace rulehost {

void* OpenLibrary(const std::string& path, std::string& error) {
  void* library = ::LoadLibraryW(std::filesystem::u8path(path).wstring().c_str());
  if (library == nullptr) error = "cannot load " + path + " (error " + std::to_string(::GetLastError()) + ")";
  return library;
}

void* FindSymbol(void* library, const char* name) {
  return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(library), name));
}

}  // namespace rulehost
