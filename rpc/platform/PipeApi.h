// The operating-system calls the RPC client needs, with Windows semantics on
// every platform. This is the only header that names platform types.
//
// Windows: thin wrappers over CreateFileA, ReadFile, WriteFile,
//   FlushFileBuffers, CloseHandle, GetLastError, WideCharToMultiByte and
//   MultiByteToWideChar (code page UTF-8, no flags).
//   A pipe is opened for identification only (PipeOpenFlags): whoever serves
//   it may learn who called, for access checks, but cannot act as the caller
//   (ImpersonateNamedPipeClient gives it an identification token). Any local
//   program that creates the pipe first serves it, so this is the one level
//   a client that cannot vouch for its server may grant.
//   A handle opened with a deadline is an overlapped one: its reads and
//   writes wait on an event for at most the time left, then cancel; its
//   flush runs FlushFileBuffers on a thread of its own, which is given up on
//   when the time is over (the pipe then stays open until that thread ends).
// Linux: an emulation for development and tests. The pipe "\\.\pipe\NAME" is
//   the abstract-namespace Unix stream socket NAME. Failures are reported as
//   the Windows last-error codes below, per thread. The flags of
//   PipeOpenFlags are not used: the server of a Unix socket can never act as
//   its client (it learns the client's user id, SO_PEERCRED, and nothing
//   more), so the emulation needs none. Reads and writes never raise
//   SIGPIPE. Flushing waits in the kernel (epoll) until the peer has read
//   everything written. Text conversion follows the Windows converter
//   without its strict flag.
//
// Every wait blocks in the kernel; none polls.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace tevrin::platform {

#ifdef _WIN32
using FileHandle = void*;  // HANDLE
inline const FileHandle kInvalidFileHandle = reinterpret_cast<FileHandle>(static_cast<std::intptr_t>(-1));
#else
using FileHandle = int;  // socket descriptor
inline constexpr FileHandle kInvalidFileHandle = -1;
#endif

// Windows last-error codes that the emulation reports and tests expect.
inline constexpr std::uint32_t kErrorFileNotFound = 2;
inline constexpr std::uint32_t kErrorAccessDenied = 5;
inline constexpr std::uint32_t kErrorInvalidHandle = 6;
inline constexpr std::uint32_t kErrorNotEnoughMemory = 8;
inline constexpr std::uint32_t kErrorBrokenPipe = 109;
inline constexpr std::uint32_t kErrorInvalidParameter = 87;
inline constexpr std::uint32_t kErrorInsufficientBuffer = 122;
inline constexpr std::uint32_t kErrorFilenameTooLong = 206;
inline constexpr std::uint32_t kErrorPipeBusy = 231;
inline constexpr std::uint32_t kErrorNoData = 232;
inline constexpr std::uint32_t kErrorTimeout = 1460;

// When waits for the peer give up, failing with kErrorTimeout. A handle is
// opened for one deadline, or for none, and used with that one only.
using Deadline = std::chrono::steady_clock::time_point;
inline constexpr Deadline kNoDeadline = Deadline::max();

// The flags and attributes word that OpenPipe hands CreateFileA: security
// quality of service present, at the identification level, plus overlapped
// I/O for a connection with a deadline. The values are Windows' own.
inline constexpr std::uint32_t kFileFlagOverlapped = 0x40000000;
inline constexpr std::uint32_t kSecuritySqosPresent = 0x00100000;
inline constexpr std::uint32_t kSecurityIdentification = 0x00010000;  // SecurityIdentification << 16
inline constexpr std::uint32_t kSecurityLevelMask = 0x00030000;
constexpr std::uint32_t PipeOpenFlags(Deadline deadline) {
  return kSecuritySqosPresent | kSecurityIdentification | (deadline == kNoDeadline ? 0 : kFileFlagOverlapped);
}

// Opens an existing pipe for reading and writing without sharing and without
// waiting for a free instance, with PipeOpenFlags. Returns kInvalidFileHandle
// on failure.
FileHandle OpenPipe(const std::string& path, Deadline deadline = kNoDeadline);

// The account of the process that serves the pipe of `handle`, in `account`.
// Windows: the user SID of its token as text ("S-1-5-18"), from
//   GetNamedPipeServerProcessId, OpenProcess with limited query rights,
//   OpenProcessToken and TokenUser.
// Linux: the peer's user id in decimal ("1000"), from SO_PEERCRED.
// False on failure, with LastError().
bool PipeServerAccount(FileHandle handle, std::string& account);

// One blocking read of up to `length` bytes; false on failure. On Linux a
// peer that has closed its end fails with kErrorBrokenPipe.
bool ReadFromPipe(FileHandle handle, void* buffer, std::uint32_t length, std::uint32_t& bytesRead,
                  Deadline deadline = kNoDeadline);

// One blocking write of `length` bytes; false on failure. Writing to a
// closed peer fails with kErrorNoData.
bool WriteToPipe(FileHandle handle, const void* buffer, std::uint32_t length, std::uint32_t& bytesWritten,
                 Deadline deadline = kNoDeadline);

// Returns once the peer has read everything written so far, or has gone.
bool FlushPipe(FileHandle handle, Deadline deadline = kNoDeadline);

// Releases the handle.
bool ClosePipe(FileHandle handle);

// The calling thread's last error code from the functions above.
std::uint32_t LastError();

// UTF-16 to UTF-8 of a NUL-terminated text, terminator included. With
// capacity 0 returns the size needed; otherwise the bytes written, or 0 on
// failure. Unpaired surrogates become U+FFFD.
int WideToUtf8Bytes(const char16_t* text, char* out, int capacity);

// UTF-8 to UTF-16 of a NUL-terminated text, terminator included, with the
// same size convention. Invalid sequences become U+FFFD.
int Utf8ToWideChars(const char* text, char16_t* out, int capacity);

// The same for the `length` units of a text, NULs included and no
// terminator added: one pass when `capacity` is enough (3 bytes a unit for
// UTF-8, 1 unit a byte for UTF-16).
int WideToUtf8Bytes(const char16_t* text, int length, char* out, int capacity);
int Utf8ToWideChars(const char* text, int length, char16_t* out, int capacity);

}  // namespace tevrin::platform
