// Key and value matching shared by the registry black list and the auto-run
// rules: both split native key paths into a per-user and a machine branch.
#ifndef EVRULES_REGISTRY_KEYS_H
#define EVRULES_REGISTRY_KEYS_H

#include <iterator>
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
  if (StartsWith(keyPath, kUserPrefix)) {
    std::size_t keyStart = keyPath.find(u'\\', kUserHiveRootLength);
    if (keyStart == std::u16string_view::npos) return KeyBranch::None;
    userKey = keyPath.substr(keyStart);
    return KeyBranch::User;
  }
  if (StartsWith(keyPath, kMachinePrefix)) return KeyBranch::Machine;
  return KeyBranch::None;
}

// A registry event's key, classified and normalised once for the rule sets
// that look at it, and its value name, read when a key matches.
struct RegistryKey {
  RegistryKey(const EventText& keyPath, const HostText& valueName)
      : RegistryKey(ClassifiedKey(keyPath.text), keyPath.ascii, valueName) {}
  RegistryKey(std::u16string_view keyPath, std::u16string_view valueName)
      : RegistryKey(EventTextOf(keyPath), HostText(EventTextOf(valueName))) {}

  KeyBranch branch;
  Normalized key;  // per-user: the part after the SID; machine: the whole path; else empty
  HostText value;

 private:
  struct Classified {
    KeyBranch branch;
    std::u16string_view key;
  };
  static Classified ClassifiedKey(std::u16string_view keyPath) {
    std::u16string_view userKey;
    const KeyBranch branch = ClassifyKeyPath(keyPath, userKey);
    if (branch == KeyBranch::User) return {branch, userKey};
    if (branch == KeyBranch::Machine) return {branch, keyPath};
    return {branch, {}};
  }
  RegistryKey(Classified classified, bool keyAscii, const HostText& valueName)
      : branch(classified.branch), key(classified.key, keyAscii), value(valueName) {}
};

// Tries the rows from `row` to `end` in order, once the key of `row` has
// matched, and returns the first whose key and value name match, or null.
template <typename Row>
const Row* FindRowWithValue(const Row* row, const Row* end, const RegistryKey& event, bool normalizeValue) {
  const NormalizedView key = event.key.view();
  EventText valueName;
  Normalized value;
  bool valueRead = false;
  for (; row != end; ++row) {
    if (!key.Is(row->Key)) continue;
    if (row->ValueName == u"*") return row;
    if (!valueRead) {
      valueName = event.value.Read();
      if (normalizeValue) value.Assign(valueName.text, valueName.ascii);
      valueRead = true;
    }
    if (normalizeValue ? value.view().Is(row->ValueName) : valueName.text == row->ValueName) return row;
  }
  return nullptr;
}

// Tries `rows` in order and returns the first whose normalised key and value
// name match, or null. Per-user rows compare the value name exactly as given,
// unless `normalizeUserValueName`; machine rows compare it normalised. "*"
// matches any value name. Most keys match no row, and the value name is
// read only once one does.
template <typename Row, std::size_t N>
const Row* FindRegistryRow(const Row (&rows)[N], const RegistryKey& event, bool normalizeUserValueName) {
  const NormalizedView key = event.key.view();
  const bool normalizeValue = event.branch == KeyBranch::Machine || normalizeUserValueName;
  for (const Row& row : rows)
    if (key.Is(row.Key)) return FindRowWithValue(&row, std::end(rows), event, normalizeValue);
  return nullptr;
}

}  // namespace evrules

#endif
