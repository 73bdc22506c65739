#include "PipeListener.h"

#include <windows.h>

#include <atomic>
#include <string>
#include <system_error>

namespace coreservice {

using tevrin::platform::FileHandle;
using tevrin::platform::kInvalidFileHandle;

namespace {

constexpr DWORD kBufferSize = 4096;

std::atomic<bool> stopRequested{false};
// Manual-reset event that ends WaitForStop(); made once, never closed, so a
// console control handler can always signal it.
HANDLE StopEvent() {
  static HANDLE event = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
  return event;
}
// The pipe of the live listener, so that Stop() can wake a pending
// ConnectNamedPipe by connecting to it.
std::string servedPipe;

[[noreturn]] void ThrowLastError(const std::string& what) {
  throw std::system_error(static_cast<int>(::GetLastError()), std::system_category(), what);
}

// Console control handlers run on a thread of their own, so Stop() may make
// ordinary calls there.
BOOL WINAPI OnConsoleControl(DWORD type) {
  if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT && type != CTRL_CLOSE_EVENT) return FALSE;
  PipeListener::Stop();
  return TRUE;
}

HANDLE CreateInstance(const std::string& name, DWORD maxInstances) {
  HANDLE pipe = ::CreateNamedPipeA(name.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT,
                                   maxInstances, kBufferSize, kBufferSize, 0, nullptr);
  if (pipe == INVALID_HANDLE_VALUE) ThrowLastError("cannot serve " + name);
  return pipe;
}

}  // namespace

struct PipeListener::State {
  std::string name;
  // The instance that the next client connects to. It exists from the start,
  // so that clients find the pipe as soon as the listener is made.
  HANDLE pending = INVALID_HANDLE_VALUE;
  // Our own client end that fills the only instance while HoldBusy() is on.
  HANDLE busyClient = INVALID_HANDLE_VALUE;
};

PipeListener::PipeListener(const std::string& pipeName) : state_(new State) {
  state_->name = pipeName;
  try {
    state_->pending = CreateInstance(pipeName, PIPE_UNLIMITED_INSTANCES);
  } catch (...) {
    delete state_;
    throw;
  }
  servedPipe = pipeName;
}

PipeListener::~PipeListener() {
  servedPipe.clear();
  if (state_->busyClient != INVALID_HANDLE_VALUE) ::CloseHandle(state_->busyClient);
  if (state_->pending != INVALID_HANDLE_VALUE) ::CloseHandle(state_->pending);
  delete state_;
}

FileHandle PipeListener::Accept() {
  while (!stopRequested) {
    HANDLE instance = state_->pending;
    // A client that connected and left before we saw it (ERROR_NO_DATA) is
    // handed out too, as a socket's accept hands it out: its reader meets
    // the end at once. Waiting for another client instead would hang a
    // caller that connects, closes and waits for the serving to end.
    const DWORD error = ::ConnectNamedPipe(instance, nullptr) ? ERROR_SUCCESS : ::GetLastError();
    if (stopRequested) break;  // the client was Stop()'s wake-up call
    if (error != ERROR_SUCCESS && error != ERROR_PIPE_CONNECTED && error != ERROR_NO_DATA) {
      ::DisconnectNamedPipe(instance);
      continue;
    }
    // The next instance is made before this one is handed out, so that a
    // client arriving meanwhile connects and waits instead of failing.
    state_->pending = CreateInstance(state_->name, PIPE_UNLIMITED_INSTANCES);
    return instance;
  }
  return kInvalidFileHandle;
}

void PipeListener::HoldBusy() {
  // Recreating the pipe with one instance, then connecting to it ourselves,
  // leaves no instance for anyone else: clients fail with ERROR_PIPE_BUSY.
  ::CloseHandle(state_->pending);
  state_->pending = CreateInstance(state_->name, 1);
  state_->busyClient = tevrin::platform::OpenPipe(state_->name);
  if (state_->busyClient == INVALID_HANDLE_VALUE) ThrowLastError("cannot occupy " + state_->name);
}

void PipeListener::WaitForStop() {
  while (!stopRequested) ::WaitForSingleObject(StopEvent(), 100);
}

void PipeListener::Stop() {
  stopRequested = true;
  ::SetEvent(StopEvent());
  // Wakes a ConnectNamedPipe that is waiting; fails harmlessly when no
  // instance is free.
  if (!servedPipe.empty()) {
    HANDLE wake = tevrin::platform::OpenPipe(servedPipe);
    if (wake != INVALID_HANDLE_VALUE) ::CloseHandle(wake);
  }
}

void PipeListener::StopOnInterrupt() {
  StopEvent();
  ::SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

}  // namespace coreservice
