// The narrow platform layer of the rule module: everything the rules need from
// the operating system. Wide text is UTF-16 (char16_t) on every platform.
//
// Platform_win.cpp implements it with the real Windows calls. Platform_posix.cpp
// emulates Windows on Linux (set up through PlatformEmulation.h):
//  - the ANSI code page is Windows-1252; a character it cannot represent, and
//    every surrogate pair or unpaired surrogate, becomes "?";
//  - Windows paths ("C:\..." and "\\server\share\...") are found through a
//    table of drives, each a host folder with a drive type; names are matched
//    ignoring ASCII case; "/" also separates; "*?<>|\"" and control
//    characters never name a file; an unmapped drive holds no files;
//  - the folder answers default to "C:\Windows\System32", "C:\Windows" and
//    "C:\Users", and each can be changed or made to fail;
//  - environment variables are the process's own (UTF-8, names exact);
//  - the local date is the host clock's unless fixed;
//  - debugger output goes to a sink if one is set, else nowhere.
#ifndef EVRULES_PLATFORM_H
#define EVRULES_PLATFORM_H

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace evrules::platform {

// Folder and environment queries, with the Windows contracts: the result is
// the length written (without the terminating NUL), 0 on failure, or the
// capacity needed (NUL included) when the buffer is too small, in which case
// the buffer is left as it was.
uint32_t QuerySystemDirectory(char16_t* buffer, uint32_t capacity);
uint32_t QueryWindowsDirectory(char16_t* buffer, uint32_t capacity);
uint32_t QueryEnvironmentVariable(const char16_t* name, char16_t* buffer, uint32_t capacity);
// True when the whole profiles root, with its NUL, fitted into the buffer.
bool QueryProfilesDirectory(char16_t* buffer, uint32_t capacity);

// Conversion between UTF-16 and the ANSI code page, without a terminating NUL.
// Returns the length of the whole conversion; only when it is at most
// `capacity` has it been written. Empty input gives 0.
std::size_t WideToAnsi(std::u16string_view wide, char* out, std::size_t capacity);
std::size_t AnsiToWide(std::string_view ansi, char16_t* out, std::size_t capacity);

enum class FileKind { Missing, File, Directory };

// Attributes of the file system object at `path` (wide calls on Windows).
FileKind GetFileKind(std::u16string_view path);

struct LocalDate {
  int year = 0;
  int month = 0;
  int day = 0;
  friend bool operator==(const LocalDate& a, const LocalDate& b) {
    return a.year == b.year && a.month == b.month && a.day == b.day;
  }
};

// Directory search for exactly `path`; on success the last-write time of the
// entry found, converted to the local date.
bool FindLastWriteDate(std::u16string_view path, LocalDate& date);

LocalDate GetLocalDate();

// Windows drive types: 0 unknown, 1 no root directory, 2 removable, 3 fixed,
// 4 remote, 5 CD-ROM, 6 RAM disk. `root` is "C:" or "\\server\share", with
// no trailing backslash.
uint32_t QueryDriveType(std::u16string_view root);

// One zero-terminated line of debugger output (OutputDebugStringA on Windows).
void DebugOutput(const char* ansiLine);

// Called as each export ends, so that a heap exhausted during the next call
// ends in a std::bad_alloc that the export can catch. On Windows the C++
// runtime itself needs heap memory to throw, so a little is kept aside for it
// (see Platform_win.cpp); elsewhere there is nothing to do.
#ifdef _WIN32
void KeepRoomToThrow() noexcept;
#else
inline void KeepRoomToThrow() noexcept {}
#endif

}  // namespace evrules::platform

#endif
