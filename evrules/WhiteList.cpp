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

constexpr NameLengths kWhiteNameLengths(WhiteNames);

bool IsListedName(const NormalizedView& name) {
  if (!kWhiteNameLengths.MayHold(name.size())) return false;
  for (const WhiteNamesType& row : WhiteNames)
    if (name.Is(row.Name) && row.Place == kPlaceSystem) return true;
  return false;
}

}  // namespace white_list

bool IsSystemProcess(const ImagePath& image) {
  const NormalizedView name = image.name.view();
  if (name.empty()) return false;
  // Most events come from other programs: the name decides before the folder
  // is looked at.
  if (!white_list::IsListedName(name)) return false;
  NormalizedView folder = image.folder.view();
  if (folder.empty()) return false;
  if (folder.EndsWith(u'\\')) folder = folder.WithoutLast();
  if (folder.empty()) return false;
  return IsHomeFolder(folder, kPlaceSystem);
}

bool IsSystemProcess(std::u16string_view path) { return IsSystemProcess(ImagePath(path)); }

}  // namespace evrules
