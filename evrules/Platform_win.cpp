// The real Windows calls behind Platform.h. File tests use the wide-character
// calls, so that paths outside the ANSI code page are judged as they are.
#include "Platform.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <userenv.h>

#include <climits>
#include <string>

namespace evrules::platform {
namespace {

LPWSTR AsWin(char16_t* text) { return reinterpret_cast<LPWSTR>(text); }
LPCWSTR AsWin(const char16_t* text) { return reinterpret_cast<LPCWSTR>(text); }

// The calls below want zero-terminated paths.
std::wstring Terminated(std::u16string_view text) {
  return std::wstring(reinterpret_cast<const wchar_t*>(text.data()), text.size());
}

int ClampToInt(std::size_t value) { return value > INT_MAX ? INT_MAX : static_cast<int>(value); }

}  // namespace

uint32_t QuerySystemDirectory(char16_t* buffer, uint32_t capacity) {
  return ::GetSystemDirectoryW(AsWin(buffer), capacity);
}

uint32_t QueryWindowsDirectory(char16_t* buffer, uint32_t capacity) {
  return ::GetWindowsDirectoryW(AsWin(buffer), capacity);
}

uint32_t QueryEnvironmentVariable(const char16_t* name, char16_t* buffer, uint32_t capacity) {
  return ::GetEnvironmentVariableW(AsWin(name), AsWin(buffer), capacity);
}

bool QueryProfilesDirectory(char16_t* buffer, uint32_t capacity) {
  DWORD size = capacity;
  return ::GetProfilesDirectoryW(AsWin(buffer), &size) != FALSE;
}

// No best-fit mapping: a character the code page lacks becomes its default
// character instead of a look-alike letter that a rule could then match.
constexpr DWORD kStrictToAnsi = WC_NO_BEST_FIT_CHARS;

std::size_t WideToAnsi(std::u16string_view wide, char* out, std::size_t capacity) {
  if (wide.empty()) return 0;
  const int wideLength = ClampToInt(wide.size());
  const int needed =
      ::WideCharToMultiByte(CP_ACP, kStrictToAnsi, AsWin(wide.data()), wideLength, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return 0;
  if (static_cast<std::size_t>(needed) > capacity) return static_cast<std::size_t>(needed);
  const int written =
      ::WideCharToMultiByte(CP_ACP, kStrictToAnsi, AsWin(wide.data()), wideLength, out, needed, nullptr, nullptr);
  return written > 0 ? static_cast<std::size_t>(written) : 0;
}

std::size_t AnsiToWide(std::string_view ansi, char16_t* out, std::size_t capacity) {
  if (ansi.empty()) return 0;
  const int ansiLength = ClampToInt(ansi.size());
  const int needed = ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), ansiLength, nullptr, 0);
  if (needed <= 0) return 0;
  if (static_cast<std::size_t>(needed) > capacity) return static_cast<std::size_t>(needed);
  const int written = ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), ansiLength, AsWin(out), needed);
  return written > 0 ? static_cast<std::size_t>(written) : 0;
}

FileKind GetFileKind(std::u16string_view path) {
  const DWORD attributes = ::GetFileAttributesW(Terminated(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return FileKind::Missing;
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? FileKind::Directory : FileKind::File;
}

bool FindLastWriteDate(std::u16string_view path, LocalDate& date) {
  WIN32_FIND_DATAW found;
  const HANDLE search = ::FindFirstFileW(Terminated(path).c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  ::FindClose(search);
  FILETIME local;
  SYSTEMTIME parts;
  if (!::FileTimeToLocalFileTime(&found.ftLastWriteTime, &local) || !::FileTimeToSystemTime(&local, &parts))
    return false;
  date = LocalDate{parts.wYear, parts.wMonth, parts.wDay};
  return true;
}

LocalDate GetLocalDate() {
  SYSTEMTIME now;
  ::GetLocalTime(&now);
  return LocalDate{now.wYear, now.wMonth, now.wDay};
}

uint32_t QueryDriveType(std::u16string_view root) { return ::GetDriveTypeW(Terminated(root).c_str()); }

void DebugOutput(std::string_view ansiText) { ::OutputDebugStringA(std::string(ansiText).c_str()); }

}  // namespace evrules::platform
