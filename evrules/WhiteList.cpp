#include "WhiteList.h"

#include "ProcessNameFilter.h"
#include "evrules_Common.h"

namespace evrules {
namespace white_list {

struct WhiteNamesType {
  std::u16string_view Name;  // upper case
  int32_t Place;             // only kPlaceSystem exempts
};

constexpr WhiteNamesType WhiteNames[] = {
    {u"SVCHOST.EXE", 1}, {u"LSASS.EXE", 1}, {u"CSRSS.EXE", 1},
    {u"SERVICES.EXE", 1}, {u"SMSS.EXE", 1}, {u"WINLOGON.EXE", 1},
};

bool IsListedName(std::u16string_view name) {
  for (const WhiteNamesType& row : WhiteNames)
    if (name == row.Name && row.Place == kPlaceSystem) return true;
  return false;
}

}  // namespace white_list

bool IsSystemProcess(std::u16string_view path) {
  const PathParts parts = SplitPath(path);
  const WideText name = NormalizeText(parts.name);
  if (name.empty()) return false;
  // Most events come from other programs: the name decides before the folder
  // is normalised.
  if (!white_list::IsListedName(name.view())) return false;
  WideText folder = NormalizeText(parts.folder);
  if (folder.empty()) return false;
  if (folder.view().back() == u'\\') folder.RemoveLast();
  if (folder.empty()) return false;
  return IsHomeFolder(folder.view(), kPlaceSystem);
}

}  // namespace evrules
