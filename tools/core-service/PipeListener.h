// Server end of a local pipe for the stand-in core service.
//
// Windows: a named pipe "\\.\pipe\NAME" created with CreateNamedPipeA in
//   byte mode; each accepted client gets its own instance.
// Linux: the abstract-namespace Unix stream socket NAME, the address the
//   client's emulation connects to.
#pragma once

#include <string>

#include "platform/PipeApi.h"

namespace coreservice {

class PipeListener {
public:
  // Starts serving `pipeName`; throws std::system_error on failure.
  explicit PipeListener(const std::string& pipeName);
  ~PipeListener();

  PipeListener(const PipeListener&) = delete;
  PipeListener& operator=(const PipeListener&) = delete;

  // Waits for the next client and returns its connection, or
  // kInvalidFileHandle once Stop() was requested.
  tevrin::platform::FileHandle Accept();

  // Occupies every instance of the pipe, so that clients find it busy, until
  // the listener is destroyed.
  void HoldBusy();

  // Waits until Stop() is requested.
  void WaitForStop();

  // Ends Accept() and WaitForStop(); safe to call from a signal or console
  // control handler.
  static void Stop();

  // Installs Stop() as the handler of Ctrl-C and termination requests.
  static void StopOnInterrupt();

private:
  struct State;
  State* state_;
};

}  // namespace coreservice
