#include <windows.h>

#include "PipeApi.h"

namespace tevrin::platform {

static_assert(sizeof(char16_t) == sizeof(wchar_t), "wide text is UTF-16 on Windows");

FileHandle OpenPipe(const std::string& path) {
  return ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
}

bool ReadFromPipe(FileHandle handle, void* buffer, std::uint32_t length, std::uint32_t& bytesRead) {
  DWORD count = 0;
  BOOL ok = ::ReadFile(handle, buffer, length, &count, nullptr);
  bytesRead = count;
  return ok != FALSE;
}

bool WriteToPipe(FileHandle handle, const void* buffer, std::uint32_t length, std::uint32_t& bytesWritten) {
  DWORD count = 0;
  BOOL ok = ::WriteFile(handle, buffer, length, &count, nullptr);
  bytesWritten = count;
  return ok != FALSE;
}

bool FlushPipe(FileHandle handle) { return ::FlushFileBuffers(handle) != FALSE; }

bool ClosePipe(FileHandle handle) { return ::CloseHandle(handle) != FALSE; }

std::uint32_t LastError() { return ::GetLastError(); }

int WideToUtf8Bytes(const char16_t* text, char* out, int capacity) {
  return ::WideCharToMultiByte(CP_UTF8, 0, reinterpret_cast<const wchar_t*>(text), -1, out, capacity, nullptr, nullptr);
}

int Utf8ToWideChars(const char* text, char16_t* out, int capacity) {
  return ::MultiByteToWideChar(CP_UTF8, 0, text, -1, reinterpret_cast<wchar_t*>(out), capacity);
}

}  // namespace tevrin::platform
