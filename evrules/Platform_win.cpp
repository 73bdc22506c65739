// The real Windows calls behind Platform.h. File tests use the wide-character
// calls, so that paths outside the ANSI code page are judged as they are.
#include "Platform.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <userenv.h>

#include <atomic>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

namespace evrules::platform {
namespace {

LPWSTR AsWin(char16_t* text) { return reinterpret_cast<LPWSTR>(text); }
LPCWSTR AsWin(const char16_t* text) { return reinterpret_cast<LPCWSTR>(text); }

// The calls below want zero-terminated paths: copied on the stack, unless
// longer than kInlineCapacity units.
class Terminated {
 public:
  static constexpr std::size_t kInlineCapacity = 1023;

  explicit Terminated(std::u16string_view text) {
    wchar_t* out = inline_;
    if (text.size() > kInlineCapacity) {
      heap_.resize(text.size());
      out = heap_.data();
    }
    if (!text.empty()) std::memcpy(out, text.data(), text.size() * sizeof(wchar_t));
    out[text.size()] = L'\0';
    text_ = out;
  }
  Terminated(const Terminated&) = delete;
  Terminated& operator=(const Terminated&) = delete;

  LPCWSTR c_str() const { return text_; }

 private:
  wchar_t inline_[kInlineCapacity + 1];
  std::wstring heap_;
  const wchar_t* text_;
};

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

void DebugOutput(const char* ansiLine) { ::OutputDebugStringA(ansiLine); }

namespace {

// MinGW's C++ runtime needs heap memory to throw: for the exception object,
// for the thread's emulated thread-local block on its first throw, and, when
// the object must come from the emergency pool, for the pool's mutex, which
// winpthreads creates on first use. With the heap exhausted, a std::bad_alloc
// would never reach a catch: failing to lock that mutex throws again, and so
// on until the stack overflows. So a block is kept aside, and the module's
// new-handler frees it just before std::bad_alloc is thrown. The C++ runtime
// is linked into the DLL, so the handler is the module's alone.
constexpr std::size_t kRoomSizes[] = {64 * 1024, 16 * 1024, 4 * 1024, 1024};
std::atomic<void*> theRoom{nullptr};

[[noreturn]] void FreeRoomAndFail() {
  std::free(theRoom.exchange(nullptr));
  throw std::bad_alloc();
}

struct RoomWhileLoaded {
  RoomWhileLoaded() {
    std::set_new_handler(FreeRoomAndFail);
    KeepRoomToThrow();
  }
  ~RoomWhileLoaded() { std::free(theRoom.exchange(nullptr)); }
} theRoomWhileLoaded;

}  // namespace

// After a failure the room is taken again once the exception is gone, before
// the host can take that memory; smaller if need be, as a thread's first
// throw keeps a little of it.
void KeepRoomToThrow() noexcept {
  if (theRoom.load(std::memory_order_relaxed) != nullptr) return;
  for (std::size_t size : kRoomSizes) {
    if (void* block = std::malloc(size)) {
      void* none = nullptr;
      if (!theRoom.compare_exchange_strong(none, block)) std::free(block);
      return;
    }
  }
}

}  // namespace evrules::platform
