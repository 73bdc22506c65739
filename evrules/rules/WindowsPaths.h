// Windows' own rules for paths and names, as templates over the character
// type, so that the module's Linux emulation (UTF-16) and the hosts that set
// its machine up (UTF-8) read a path alike: where the drive root ends, and
// which names are equal. Windows compares names without regard to the case
// of ASCII letters here; other letters are compared as they are.
#ifndef EVRULES_RULES_WINDOWS_PATHS_H
#define EVRULES_RULES_WINDOWS_PATHS_H

#include <cstddef>
#include <string_view>

namespace evrules::windows_paths {

template <class C>
constexpr bool IsSeparator(C c) {
  return c == C('\\') || c == C('/');
}

template <class C>
constexpr C AsciiUpper(C c) {
  return c >= C('a') && c <= C('z') ? static_cast<C>(c - 32) : c;
}

// Equal but for the case of ASCII letters.
template <class C>
constexpr bool EqualsIgnoringAsciiCase(std::basic_string_view<C> a, std::basic_string_view<C> b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
  return true;
}

// Splits a path into its drive root ("C:", "\\server\share") and the rest;
// false when the path is neither "X:\..." (or just "X:") nor
// "\\server\share\...".
template <class C>
constexpr bool SplitDriveRoot(std::basic_string_view<C> path, std::basic_string_view<C>& root,
                              std::basic_string_view<C>& rest) {
  if (path.size() >= 2 && path[1] == C(':') &&
      ((path[0] >= C('A') && path[0] <= C('Z')) || (path[0] >= C('a') && path[0] <= C('z')))) {
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

}  // namespace evrules::windows_paths

#endif
