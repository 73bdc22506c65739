// Path handling shared by both machines.
#include "Machine.h"
#include "rules/WindowsPaths.h"

namespace rulehost {

bool SplitDriveRoot(std::string_view path, std::string_view& root, std::string_view& rest) {
  return evrules::windows_paths::SplitDriveRoot(path, root, rest);
}

}  // namespace rulehost
