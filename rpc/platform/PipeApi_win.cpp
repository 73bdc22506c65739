#include <windows.h>
#include <sddl.h>

#include <climits>

#include "PipeApi.h"

namespace tevrin::platform {

static_assert(sizeof(char16_t) == sizeof(wchar_t), "wide text is UTF-16 on Windows");
static_assert(kFileFlagOverlapped == FILE_FLAG_OVERLAPPED && kSecuritySqosPresent == SECURITY_SQOS_PRESENT &&
                  kSecurityIdentification == SECURITY_IDENTIFICATION && kSecurityLevelMask == (3 << 16),
              "the flags are Windows' own");

namespace {

// Milliseconds left until `deadline` for the wait functions.
DWORD MillisecondsLeft(Deadline deadline) {
  if (deadline == kNoDeadline) return INFINITE;
  auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
  if (left <= 0) return 0;
  return left >= static_cast<long long>(INFINITE) ? INFINITE - 1 : static_cast<DWORD>(left);
}

// Runs one overlapped read or write and waits for it until the deadline;
// a late one is cancelled and fails with ERROR_TIMEOUT.
template <class Start>
bool RunOverlapped(HANDLE handle, Deadline deadline, std::uint32_t& transferred, Start start) {
  transferred = 0;
  OVERLAPPED overlapped{};
  overlapped.hEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (overlapped.hEvent == nullptr) return false;
  DWORD count = 0;
  BOOL ok = start(&overlapped);
  if (!ok && ::GetLastError() == ERROR_IO_PENDING) {
    if (::WaitForSingleObject(overlapped.hEvent, MillisecondsLeft(deadline)) == WAIT_OBJECT_0) {
      ok = ::GetOverlappedResult(handle, &overlapped, &count, FALSE);
    } else {
      ::CancelIoEx(handle, &overlapped);
      ok = ::GetOverlappedResult(handle, &overlapped, &count, TRUE);  // completed or cancelled now
      if (!ok) ::SetLastError(ERROR_TIMEOUT);
    }
  } else if (ok) {
    ok = ::GetOverlappedResult(handle, &overlapped, &count, FALSE);
  }
  DWORD error = ::GetLastError();
  ::CloseHandle(overlapped.hEvent);
  ::SetLastError(error);
  transferred = count;
  return ok != FALSE;
}

// One read or write: overlapped when there is a deadline (the handle was
// opened for it), plain otherwise. `io(count, overlapped)` starts it.
template <class Io>
bool TransferOnPipe(HANDLE handle, Deadline deadline, std::uint32_t& transferred, Io io) {
  if (deadline != kNoDeadline)
    return RunOverlapped(handle, deadline, transferred, [&](OVERLAPPED* overlapped) { return io(nullptr, overlapped); });
  DWORD count = 0;
  BOOL ok = io(&count, nullptr);
  transferred = count;
  return ok != FALSE;
}

// FlushFileBuffers on a copy of the handle, so that the thread may outlive
// a caller that gives up on it.
DWORD WINAPI FlushInBackground(void* copy) {
  ::FlushFileBuffers(copy);
  ::CloseHandle(copy);
  return 0;
}

}  // namespace

FileHandle OpenPipe(const std::string& path, Deadline deadline) {
  return ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, PipeOpenFlags(deadline),
                       nullptr);
}

bool PipeServerAccount(FileHandle handle, std::string& account) {
  account.clear();
  ULONG processId = 0;
  if (!::GetNamedPipeServerProcessId(handle, &processId)) return false;
  HANDLE process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
  if (process == nullptr) return false;
  HANDLE token = nullptr;
  const BOOL opened = ::OpenProcessToken(process, TOKEN_QUERY, &token);
  DWORD error = ::GetLastError();
  ::CloseHandle(process);
  if (!opened) {
    ::SetLastError(error);
    return false;
  }
  // TOKEN_USER and the SID it points to; a SID takes at most 68 bytes.
  alignas(TOKEN_USER) unsigned char buffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
  DWORD size = 0;
  char* text = nullptr;
  BOOL ok = ::GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &size) &&
            ::ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &text);
  error = ::GetLastError();
  ::CloseHandle(token);
  if (ok) {
    account = text;
    ::LocalFree(text);
  }
  ::SetLastError(error);
  return ok != FALSE;
}

bool ReadFromPipe(FileHandle handle, void* buffer, std::uint32_t length, std::uint32_t& bytesRead,
                  Deadline deadline) {
  return TransferOnPipe(handle, deadline, bytesRead, [&](DWORD* count, OVERLAPPED* overlapped) {
    return ::ReadFile(handle, buffer, length, count, overlapped);
  });
}

bool WriteToPipe(FileHandle handle, const void* buffer, std::uint32_t length, std::uint32_t& bytesWritten,
                 Deadline deadline) {
  return TransferOnPipe(handle, deadline, bytesWritten, [&](DWORD* count, OVERLAPPED* overlapped) {
    return ::WriteFile(handle, buffer, length, count, overlapped);
  });
}

bool FlushPipe(FileHandle handle, Deadline deadline) {
  if (deadline == kNoDeadline) return ::FlushFileBuffers(handle) != FALSE;
  // FlushFileBuffers has no time limit of its own.
  HANDLE process = ::GetCurrentProcess();
  HANDLE copy = nullptr;
  if (!::DuplicateHandle(process, handle, process, &copy, 0, FALSE, DUPLICATE_SAME_ACCESS)) return false;
  HANDLE thread = ::CreateThread(nullptr, 0, FlushInBackground, copy, 0, nullptr);
  if (thread == nullptr) {
    DWORD error = ::GetLastError();
    ::CloseHandle(copy);
    ::SetLastError(error);
    return false;
  }
  bool flushed = ::WaitForSingleObject(thread, MillisecondsLeft(deadline)) == WAIT_OBJECT_0;
  if (!flushed) ::CancelSynchronousIo(thread);  // where it can; else the thread ends with the pipe
  ::CloseHandle(thread);
  if (!flushed) ::SetLastError(ERROR_TIMEOUT);
  return flushed;
}

bool ClosePipe(FileHandle handle) { return ::CloseHandle(handle) != FALSE; }

std::uint32_t LastError() { return ::GetLastError(); }

int WideToUtf8Bytes(const char16_t* text, char* out, int capacity) {
  return ::WideCharToMultiByte(CP_UTF8, 0, reinterpret_cast<const wchar_t*>(text), -1, out, capacity, nullptr, nullptr);
}

int Utf8ToWideChars(const char* text, char16_t* out, int capacity) {
  return ::MultiByteToWideChar(CP_UTF8, 0, text, -1, reinterpret_cast<wchar_t*>(out), capacity);
}

int WideToUtf8Bytes(const char16_t* text, int length, char* out, int capacity) {
  return ::WideCharToMultiByte(CP_UTF8, 0, reinterpret_cast<const wchar_t*>(text), length, out, capacity, nullptr,
                               nullptr);
}

int Utf8ToWideChars(const char* text, int length, char16_t* out, int capacity) {
  return ::MultiByteToWideChar(CP_UTF8, 0, text, length, reinterpret_cast<wchar_t*>(out), capacity);
}

}  // namespace tevrin::platform
