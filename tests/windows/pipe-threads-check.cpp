// Checks that the Windows layer under test can run the interoperation tests'
// setup: two threads of one process talking over a named pipe with blocking
// calls, then the server thread seeing the client close (ERROR_BROKEN_PIPE).
// Wine run by qemu's user-mode emulator cannot: such a process crashes or
// loses wake-ups within a few round trips, with no code of ours involved.
// Prints nothing and exits 0 when every round trip and the close went right.
#include <windows.h>

#include <cstdio>
#include <string>
#include <thread>

namespace {

constexpr int kRoundTrips = 300;
constexpr DWORD kMessageSize = 64;

int Fail(const char* what, int roundTrip) {
  std::printf("pipe-threads-check: %s failed at round trip %d (error %lu)\n", what, roundTrip,
              static_cast<unsigned long>(::GetLastError()));
  return 1;
}

}  // namespace

int main() {
  const std::string name = "\\\\.\\pipe\\tevrin-pipe-threads-check-" + std::to_string(::GetCurrentProcessId());
  HANDLE server = ::CreateNamedPipeA(name.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT,
                                     1, 4096, 4096, 0, nullptr);
  if (server == INVALID_HANDLE_VALUE) return Fail("CreateNamedPipe", 0);

  DWORD serverEnd = 0;
  std::thread echo([&] {
    if (!::ConnectNamedPipe(server, nullptr) && ::GetLastError() != ERROR_PIPE_CONNECTED) return;
    char buffer[kMessageSize];
    DWORD count = 0;
    DWORD written = 0;
    while (::ReadFile(server, buffer, sizeof buffer, &count, nullptr) &&
           ::WriteFile(server, buffer, count, &written, nullptr)) {
    }
    serverEnd = ::GetLastError();
  });

  HANDLE client =
      ::CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                    SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION, nullptr);
  if (client == INVALID_HANDLE_VALUE) {
    int result = Fail("CreateFile", 0);
    echo.detach();  // still waiting for a client; ends with the process
    return result;
  }
  int result = 0;
  for (int i = 1; i <= kRoundTrips && result == 0; ++i) {
    char reply[kMessageSize];
    DWORD count = 0;
    if (!::WriteFile(client, "ping", 4, &count, nullptr) || count != 4) result = Fail("WriteFile", i);
    else if (!::ReadFile(client, reply, sizeof reply, &count, nullptr) || count != 4) result = Fail("ReadFile", i);
  }
  ::CloseHandle(client);
  echo.join();
  ::CloseHandle(server);
  if (result == 0 && serverEnd != ERROR_BROKEN_PIPE) {
    std::printf("pipe-threads-check: the server thread ended with error %lu, not %lu\n",
                static_cast<unsigned long>(serverEnd), static_cast<unsigned long>(ERROR_BROKEN_PIPE));
    result = 1;
  }
  return result;
}
