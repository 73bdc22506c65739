// Path handling shared by both machines.
#include "Machine.h"

namespace rulehost {
namespace {
bool IsSeparator(char c) { return c == '\\' || c == '/'; }
}  // namespace

bool SplitDriveRoot(std::string_view path, std::string_view& root, std::string_view& rest) {
  if (path.size() >= 2 && path[1] == ':' && ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'))) {
    root = path.substr(0, 2);
    rest = path.substr(2);
    return rest.empty() || IsSeparator(rest[0]);
  }
  if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
    std::size_t serverEnd = 2;
    while (serverEnd < path.size() && !IsSeparator(path[serverEnd])) ++serverEnd;
    if (serverEnd == 2 || serverEnd == path.size()) return false;
    std::size_t shareEnd = serverEnd + 1;
    while (shareEnd < path.size() && !IsSeparator(path[shareEnd])) ++shareEnd;
    if (shareEnd == serverEnd + 1) return false;
    root = path.substr(0, shareEnd);
    rest = path.substr(shareEnd);
    return true;
  }
  return false;
}

}  // namespace rulehost
