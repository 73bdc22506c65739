// System-process exemption: core Windows processes in their home folder.
#ifndef EVRULES_WHITE_LIST_H
#define EVRULES_WHITE_LIST_H

#include <string_view>

namespace evrules {

struct ImagePath;

bool IsSystemProcess(const ImagePath& image);
bool IsSystemProcess(std::u16string_view path);

}  // namespace evrules

#endif
