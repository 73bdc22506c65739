// Key and value matching shared by the registry black list and the auto-run
// rules: both split native key paths into a per-user and a machine branch.
#ifndef EVRULES_REGISTRY_KEYS_H
#define EVRULES_REGISTRY_KEYS_H

#include <string_view>

#include "evrules_Common.h"

namespace evrules {

enum class KeyBranch { User, Machine, None };

// Per-user when the path begins with "\REGISTRY\USER\S-" (then `userKey` is
// the part from the first backslash after the user's SID, e.g.
// "\SOFTWARE\LOCKY\"; a path with no such backslash is in no branch); machine
// when it begins with "\REGISTRY\MACHINE". Both prefix tests are exact.
inline KeyBranch ClassifyKeyPath(std::u16string_view keyPath, std::u16string_view& userKey) {
  constexpr std::u16string_view kUserPrefix = u"\\REGISTRY\\USER\\S-";
  constexpr std::size_t kUserHiveRootLength = 15;  // "\REGISTRY\USER\"
  constexpr std::u16string_view kMachinePrefix = u"\\REGISTRY\\MACHINE";
  if (keyPath.substr(0, kUserPrefix.size()) == kUserPrefix) {
    std::size_t keyStart = keyPath.find(u'\\', kUserHiveRootLength);
    if (keyStart == std::u16string_view::npos) return KeyBranch::None;
    userKey = keyPath.substr(keyStart);
    return KeyBranch::User;
  }
  if (keyPath.substr(0, kMachinePrefix.size()) == kMachinePrefix) return KeyBranch::Machine;
  return KeyBranch::None;
}

// Tries `rows` in order and returns the first whose normalised key and value
// name match, or null. Per-user rows compare the value name exactly as given;
// machine rows compare it normalised. "*" matches any value name.
template <typename Row, std::size_t N>
const Row* FindRegistryRow(const Row (&rows)[N], KeyBranch branch, std::u16string_view keyPath,
                           std::u16string_view userKey, std::u16string_view valueName,
                           bool normalizeUserValueName) {
  const WideText key = NormalizeText(branch == KeyBranch::User ? userKey : keyPath);
  const bool normalizeValue = branch == KeyBranch::Machine || normalizeUserValueName;
  WideText normalizedValue;
  bool valueNormalized = false;
  for (const Row& row : rows) {
    if (key.view() != row.Key) continue;
    if (row.ValueName == u"*") return &row;
    if (!normalizeValue) {
      if (valueName == row.ValueName) return &row;
      continue;
    }
    if (!valueNormalized) {
      normalizedValue = NormalizeText(valueName);
      valueNormalized = true;
    }
    if (normalizedValue.view() == row.ValueName) return &row;
  }
  return nullptr;
}

}  // namespace evrules

#endif
