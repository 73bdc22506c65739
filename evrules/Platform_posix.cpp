// Linux emulation of the Windows calls behind Platform.h. See Platform.h for
// what is emulated and PlatformEmulation.h for its set-up.
#include "Platform.h"
#include "PlatformEmulation.h"
#include "rules/WindowsPaths.h"

#include <dirent.h>
#include <limits.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

namespace evrules::platform {
namespace {

struct EmulatedDrive {
  std::u16string root;  // "C:" or "\\SERVER\SHARE", upper case
  std::string hostFolder;
  uint32_t type = 0;
};

struct Emulation {
  // The drives of each computer; the module sees the selected one's.
  std::vector<std::vector<EmulatedDrive>> computers{1};
  std::size_t selected = 0;
  std::vector<EmulatedDrive>& drives() { return computers[selected]; }
  std::optional<std::u16string> systemDirectory{u"C:\\Windows\\System32"};
  std::optional<std::u16string> windowsDirectory{u"C:\\Windows"};
  std::optional<std::u16string> profilesDirectory{u"C:\\Users"};
  LocalDate fixedToday;  // year 0: use the host clock
  EvEmuDebugSink debugSink = nullptr;
  void* debugContext = nullptr;
};

Emulation& TheEmulation() {
  static Emulation emulation;
  return emulation;
}

// Windows-1252 bytes 0x80-0x9F. The five bytes the code page leaves undefined
// map to the C1 controls of the same value, as Windows does.
constexpr char16_t kHighControlRow[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

constexpr char kDefaultAnsiChar = '?';

char AnsiFor(char16_t unit) {
  if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF)) return static_cast<char>(unit);
  for (unsigned i = 0; i < 32; ++i)
    if (kHighControlRow[i] == unit) return static_cast<char>(0x80 + i);
  return kDefaultAnsiChar;
}

bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

using windows_paths::AsciiUpper;
using windows_paths::IsSeparator;

bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b) { return windows_paths::EqualsIgnoringAsciiCase(a, b); }

// The UTF-8 bytes of one code point; returns their count.
std::size_t EncodeUtf8(char32_t code, char (&bytes)[4]) {
  if (code < 0x80) {
    bytes[0] = static_cast<char>(code);
    return 1;
  }
  if (code < 0x800) {
    bytes[0] = static_cast<char>(0xC0 | (code >> 6));
    bytes[1] = static_cast<char>(0x80 | (code & 0x3F));
    return 2;
  }
  if (code < 0x10000) {
    bytes[0] = static_cast<char>(0xE0 | (code >> 12));
    bytes[1] = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    bytes[2] = static_cast<char>(0x80 | (code & 0x3F));
    return 3;
  }
  bytes[0] = static_cast<char>(0xF0 | (code >> 18));
  bytes[1] = static_cast<char>(0x80 | ((code >> 12) & 0x3F));
  bytes[2] = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
  bytes[3] = static_cast<char>(0x80 | (code & 0x3F));
  return 4;
}

// File names on the host are UTF-8; an unpaired surrogate names no file.
// Hands the UTF-8 bytes of each character to `append`, which may refuse them;
// false when it did or for an unpaired surrogate.
template <typename Append>
bool EncodeUtf8(std::u16string_view wide, Append append) {
  for (std::size_t i = 0; i < wide.size(); ++i) {
    char16_t unit = wide[i];
    char32_t code = unit;
    if (IsHighSurrogate(unit) && i + 1 < wide.size() && IsLowSurrogate(wide[i + 1])) {
      code = 0x10000 + ((char32_t(unit) - 0xD800) << 10) + (char32_t(wide[i + 1]) - 0xDC00);
      ++i;
    } else if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
      return false;
    }
    char bytes[4];
    if (!append(std::string_view(bytes, EncodeUtf8(code, bytes)))) return false;
  }
  return true;
}

std::optional<std::string> ToUtf8(std::u16string_view wide) {
  std::string out;
  if (!EncodeUtf8(wide, [&](std::string_view bytes) {
        out += bytes;
        return true;
      }))
    return std::nullopt;
  return out;
}

// Lenient decoding, as the Windows converter without its strict flag: every
// invalid sequence becomes U+FFFD.
std::u16string FromUtf8(std::string_view text) {
  std::u16string out;
  std::size_t i = 0;
  while (i < text.size()) {
    unsigned char lead = static_cast<unsigned char>(text[i]);
    int extra = lead < 0x80 ? 0 : (lead >> 5) == 0x6 ? 1 : (lead >> 4) == 0xE ? 2 : (lead >> 3) == 0x1E ? 3 : -1;
    char32_t code = extra == 0 ? lead : extra == 1 ? (lead & 0x1Fu) : extra == 2 ? (lead & 0x0Fu) : (lead & 0x07u);
    bool valid = extra >= 0 && i + static_cast<std::size_t>(extra) < text.size();
    for (int k = 1; valid && k <= extra; ++k) {
      unsigned char next = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
      if ((next & 0xC0) != 0x80) valid = false;
      else code = (code << 6) | (next & 0x3Fu);
    }
    if (valid) {
      const char32_t minimum[] = {0, 0x80, 0x800, 0x10000};
      if (code < minimum[extra] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) valid = false;
    }
    if (!valid) {
      out += u'\uFFFD';
      ++i;
      continue;
    }
    if (code >= 0x10000) {
      out += static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
    } else {
      out += static_cast<char16_t>(code);
    }
    i += static_cast<std::size_t>(extra) + 1;
  }
  return out;
}

uint32_t CopyAnswer(const std::u16string& answer, char16_t* buffer, uint32_t capacity) {
  auto length = static_cast<uint32_t>(answer.size());
  if (length + 1 > capacity) return length + 1;
  std::memcpy(buffer, answer.data(), answer.size() * sizeof(char16_t));
  buffer[length] = 0;
  return length;
}

bool SplitDriveRoot(std::u16string_view path, std::u16string_view& root, std::u16string_view& rest) {
  return windows_paths::SplitDriveRoot(path, root, rest);
}

bool SameRoot(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (IsSeparator(a[i]) && IsSeparator(b[i])) continue;
    if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
  }
  return true;
}

const EmulatedDrive* FindDrive(std::u16string_view root) {
  for (const EmulatedDrive& drive : TheEmulation().drives())
    if (SameRoot(drive.root, root)) return &drive;
  return nullptr;
}

bool IsValidNameUnit(char16_t unit) {
  return unit >= 0x20 && unit != u'*' && unit != u'?' && unit != u'<' && unit != u'>' && unit != u'|' &&
         unit != u'"' && unit != u':';
}

// Host paths are built in buffers of this size; a longer one names nothing
// on the host either.
constexpr std::size_t kHostPathCapacity = PATH_MAX;

// A zero-terminated host path built component by component, without the heap.
class HostPath {
 public:
  HostPath() { text_[0] = '\0'; }

  std::size_t size() const { return size_; }
  const char* c_str() const { return text_; }
  std::string_view NameFrom(std::size_t start) const { return std::string_view(text_ + start, size_ - start); }

  bool Append(std::string_view text) {
    if (text.size() >= kHostPathCapacity - size_) return false;
    std::memcpy(text_ + size_, text.data(), text.size());
    size_ += text.size();
    text_[size_] = '\0';
    return true;
  }

  // As UTF-8; false for an unpaired surrogate, which names no file.
  bool AppendUtf8(std::u16string_view wide) {
    return EncodeUtf8(wide, [this](std::string_view bytes) { return Append(bytes); });
  }

  // The folder made of the first `size` bytes, opened for reading.
  DIR* OpenFolder(std::size_t size) {
    const char kept = text_[size];
    text_[size] = '\0';
    DIR* dir = ::opendir(text_);
    text_[size] = kept;
    return dir;
  }

  void Overwrite(std::size_t start, std::string_view text) { std::memcpy(text_ + start, text.data(), text.size()); }

 private:
  char text_[kHostPathCapacity];
  std::size_t size_ = 0;
};

// Appends the component `name` to the folder in `host`, found exactly or
// ignoring ASCII case; false when the folder holds no such entry.
bool AppendResolved(HostPath& host, std::u16string_view name) {
  const std::size_t folderSize = host.size();
  if (!host.Append("/") || !host.AppendUtf8(name)) return false;
  struct stat info {};
  if (::lstat(host.c_str(), &info) == 0) return true;
  DIR* dir = host.OpenFolder(folderSize);
  if (dir == nullptr) return false;
  const std::string_view wanted = host.NameFrom(folderSize + 1);
  bool found = false;
  while (dirent* entry = ::readdir(dir)) {
    const std::string_view entryName(entry->d_name);
    if (EqualIgnoringAsciiCase(entryName, wanted)) {
      host.Overwrite(folderSize + 1, entryName);
      found = true;
      break;
    }
  }
  ::closedir(dir);
  return found;
}

// The path below the drive root with "." and ".." taken out, each component
// after a "\"; false when a component holds a unit no name may hold, or when
// the result would be too long to name anything on the host.
bool LexicalComponents(std::u16string_view rest, char16_t (&out)[kHostPathCapacity], std::size_t& outSize) {
  outSize = 0;
  std::size_t start = 0;
  while (start <= rest.size()) {
    std::size_t end = start;
    while (end < rest.size() && !IsSeparator(rest[end])) ++end;
    std::u16string_view component = rest.substr(start, end - start);
    for (char16_t unit : component)
      if (!IsValidNameUnit(unit)) return false;
    if (component == u"..") {
      while (outSize > 0 && out[outSize - 1] != u'\\') --outSize;
      if (outSize > 0) --outSize;
    } else if (!component.empty() && component != u".") {
      if (component.size() + 1 > kHostPathCapacity - outSize) return false;
      out[outSize++] = u'\\';
      std::memcpy(out + outSize, component.data(), component.size() * sizeof(char16_t));
      outSize += component.size();
    }
    start = end + 1;
  }
  return true;
}

bool HostPathFor(std::u16string_view path, HostPath& host) {
  std::u16string_view root, rest;
  if (!SplitDriveRoot(path, root, rest)) return false;
  const EmulatedDrive* drive = FindDrive(root);
  if (drive == nullptr) return false;
  char16_t components[kHostPathCapacity];
  std::size_t componentsSize = 0;
  if (!LexicalComponents(rest, components, componentsSize)) return false;
  if (!host.Append(drive->hostFolder)) return false;
  const std::u16string_view lexical(components, componentsSize);
  std::size_t start = 0;
  while (start < lexical.size()) {
    const std::size_t end = std::min(lexical.find(u'\\', start + 1), lexical.size());
    if (!AppendResolved(host, lexical.substr(start + 1, end - start - 1))) return false;
    start = end;
  }
  return true;
}

bool StatWindowsPath(std::u16string_view path, struct stat& info) {
  HostPath host;
  if (!HostPathFor(path, host) || ::stat(host.c_str(), &info) != 0) return false;
  // As on Windows, a trailing separator names a directory or nothing.
  const bool trailingSeparator = path.size() > 2 && IsSeparator(path.back());
  return !trailingSeparator || S_ISDIR(info.st_mode);
}

}  // namespace

uint32_t QuerySystemDirectory(char16_t* buffer, uint32_t capacity) {
  const auto& answer = TheEmulation().systemDirectory;
  return answer ? CopyAnswer(*answer, buffer, capacity) : 0;
}

uint32_t QueryWindowsDirectory(char16_t* buffer, uint32_t capacity) {
  const auto& answer = TheEmulation().windowsDirectory;
  return answer ? CopyAnswer(*answer, buffer, capacity) : 0;
}

bool QueryProfilesDirectory(char16_t* buffer, uint32_t capacity) {
  const auto& answer = TheEmulation().profilesDirectory;
  return answer && CopyAnswer(*answer, buffer, capacity) <= answer->size();
}

uint32_t QueryEnvironmentVariable(const char16_t* name, char16_t* buffer, uint32_t capacity) {
  std::optional<std::string> utf8Name = ToUtf8(name);
  if (!utf8Name) return 0;
  const char* value = std::getenv(utf8Name->c_str());
  if (value == nullptr) return 0;
  return CopyAnswer(FromUtf8(value), buffer, capacity);
}

std::size_t WideToAnsi(std::u16string_view wide, char* out, std::size_t capacity) {
  std::size_t length = 0;
  for (std::size_t i = 0; i < wide.size(); ++i) {
    char16_t unit = wide[i];
    // A surrogate pair is one character, and one default character.
    if (IsHighSurrogate(unit) && i + 1 < wide.size() && IsLowSurrogate(wide[i + 1])) ++i;
    if (length < capacity) out[length] = AnsiFor(unit);
    ++length;
  }
  return length;
}

std::size_t AnsiToWide(std::string_view ansi, char16_t* out, std::size_t capacity) {
  if (ansi.size() > capacity) return ansi.size();
  for (std::size_t i = 0; i < ansi.size(); ++i) {
    auto byte = static_cast<unsigned char>(ansi[i]);
    out[i] = byte >= 0x80 && byte <= 0x9F ? kHighControlRow[byte - 0x80] : static_cast<char16_t>(byte);
  }
  return ansi.size();
}

FileKind GetFileKind(std::u16string_view path) {
  struct stat info {};
  if (!StatWindowsPath(path, info)) return FileKind::Missing;
  if (S_ISDIR(info.st_mode)) return FileKind::Directory;
  return S_ISREG(info.st_mode) ? FileKind::File : FileKind::Missing;
}

bool FindLastWriteDate(std::u16string_view path, LocalDate& date) {
  struct stat info {};
  if (!StatWindowsPath(path, info)) return false;
  std::tm local{};
  time_t written = info.st_mtime;
  if (::localtime_r(&written, &local) == nullptr) return false;
  date = LocalDate{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
  return true;
}

LocalDate GetLocalDate() {
  const LocalDate& fixed = TheEmulation().fixedToday;
  if (fixed.year != 0) return fixed;
  std::time_t now = std::time(nullptr);
  std::tm local{};
  ::localtime_r(&now, &local);
  return LocalDate{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

uint32_t QueryDriveType(std::u16string_view root) {
  constexpr uint32_t kNoRootDirectory = 1;
  const EmulatedDrive* drive = FindDrive(root);
  return drive != nullptr ? drive->type : kNoRootDirectory;
}

void DebugOutput(const char* ansiLine) {
  const Emulation& emulation = TheEmulation();
  if (emulation.debugSink == nullptr) return;
  emulation.debugSink(ansiLine, emulation.debugContext);
}

// KeepRoomToThrow does nothing here (see Platform.h): the C++ runtime throws
// std::bad_alloc from its emergency pool, which needs no heap.

}  // namespace evrules::platform

using evrules::platform::TheEmulation;

extern "C" {

void EvEmu_Reset(void) { TheEmulation() = evrules::platform::Emulation{}; }

int32_t EvEmu_MapDrive(const char16_t* root, const char* hostFolder, uint32_t driveType) {
  if (root == nullptr || hostFolder == nullptr) return 0;
  std::u16string_view rootText(root), driveRoot, rest;
  if (!evrules::platform::SplitDriveRoot(rootText, driveRoot, rest) || !rest.empty()) return 0;
  std::u16string upper;
  for (char16_t unit : driveRoot)
    upper += evrules::platform::IsSeparator(unit) ? u'\\' : evrules::platform::AsciiUpper(unit);
  auto& drives = TheEmulation().drives();
  for (auto& drive : drives) {
    if (drive.root == upper) {
      drive.hostFolder = hostFolder;
      drive.type = driveType;
      return 1;
    }
  }
  drives.push_back({upper, hostFolder, driveType});
  return 1;
}

void EvEmu_SelectComputer(int32_t computer) {
  constexpr int32_t kMaxComputers = 1 << 20;
  if (computer < 0 || computer >= kMaxComputers) return;
  auto& emulation = TheEmulation();
  const auto index = static_cast<std::size_t>(computer);
  if (index >= emulation.computers.size()) emulation.computers.resize(index + 1);
  emulation.selected = index;
}

void EvEmu_SetFolder(int32_t which, const char16_t* path) {
  auto& emulation = TheEmulation();
  std::optional<std::u16string> answer;
  if (path != nullptr) answer = std::u16string(path);
  switch (which) {
    case EVEMU_SYSTEM_DIRECTORY: emulation.systemDirectory = answer; break;
    case EVEMU_WINDOWS_DIRECTORY: emulation.windowsDirectory = answer; break;
    case EVEMU_PROFILES_DIRECTORY: emulation.profilesDirectory = answer; break;
    default: break;
  }
}

void EvEmu_SetToday(int32_t year, int32_t month, int32_t day) {
  TheEmulation().fixedToday = evrules::platform::LocalDate{year, month, day};
}

void EvEmu_SetDebugSink(EvEmuDebugSink sink, void* context) {
  TheEmulation().debugSink = sink;
  TheEmulation().debugContext = context;
}

}  // extern "C"
