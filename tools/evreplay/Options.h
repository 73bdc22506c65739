// evreplay's command line.
#ifndef EVREPLAY_OPTIONS_H
#define EVREPLAY_OPTIONS_H

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "CommandLine.h"

namespace evreplay {

enum class Format { Jsonl, Csv, Table };

struct Options {
  std::string modulePath;                    // empty: found beside the program
  std::vector<std::string> files;
  std::vector<std::string> removableDrives;  // "E:"
  std::vector<std::string> trustedFolders;   // Windows paths
  std::string whiteListFile;
  std::optional<int32_t> flags;              // forced for every process event
  bool all = false;
  bool events = false;  // write every event read as a JSON line instead of judging
  int threads = 0;      // EVTX parsers; 0: one per core
  bool explain = false;
  Format format = Format::Jsonl;
  std::string outputFile;  // empty: standard output
  std::string reportFile;  // the HTML report, if any
  bool failOnReport = false;
  std::string sandboxParent;                 // empty: $TMPDIR or /tmp
  // What the sandbox may hold: files and folders, and the bytes of their names.
  std::size_t sandboxFiles = 100000;
  std::size_t sandboxBytes = std::size_t{64} << 20;
};

// The options evreplay takes, with its help text.
const cli::Parser& CommandLine();

// Reads argv into `options`: Run, or Help or Version printed to `out`.
// Throws cli::UsageError.
cli::Parser::Outcome ParseOptions(int argc, const char* const* argv, Options& options, std::ostream& out);

// Where the module is looked for when --module is not given, in order: in
// the build tree beside evreplay's folder, then in the installed layout.
std::vector<std::string> ModuleCandidates(const std::string& programFolder);

}  // namespace evreplay

#endif
