// evreplay's command line.
#ifndef EVREPLAY_OPTIONS_H
#define EVREPLAY_OPTIONS_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace evreplay {

struct Options {
  std::string modulePath;
  std::vector<std::string> files;
  std::vector<std::string> removableDrives;  // "E:"
  std::vector<std::string> trustedFolders;   // Windows paths
  std::string whiteListFile;
  std::optional<int32_t> flags;              // forced for every process event
  bool all = false;
  bool events = false;  // write every event read as a JSON line instead of judging
  int threads = 0;      // EVTX parsers; 0: one per core
  bool explain = false;
  std::string sandboxParent;                 // empty: $TMPDIR or /tmp
  // What the sandbox may hold: files and folders, and the bytes of their names.
  std::size_t sandboxFiles = 100000;
  std::size_t sandboxBytes = std::size_t{64} << 20;
  bool help = false;
};

extern const char* const kUsage;

// False, with `error`, for a command line evreplay cannot use.
bool ParseOptions(int argc, const char* const* argv, Options& options, std::string& error);

}  // namespace evreplay

#endif
