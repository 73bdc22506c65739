// The operating system's dynamic loader, for Module.cpp only.
#ifndef RULEHOST_MODULE_LIBRARY_H
#define RULEHOST_MODULE_LIBRARY_H

#include <string>

namespace rulehost {

// Null on failure, with `error` set to "cannot load PATH...".
void* OpenLibrary(const std::string& path, std::string& error);
void* FindSymbol(void* library, const char* name);

}  // namespace rulehost

#endif
