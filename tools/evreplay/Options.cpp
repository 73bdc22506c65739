#include "Options.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace evreplay {

namespace {

const std::vector<cli::Option> kOptions = {
    {"module", "PATH", "the rule module, libevrules.so (default: the one built or installed with evreplay)"},
    {"format", "FORMAT", "jsonl (default: one JSON line a report), csv (a timeline) or table (aligned columns)"},
    {"output", "FILE", "write the reports to FILE instead of standard output", 'o'},
    {"report", "FILE", "also write an HTML page of the detections over time and the counts"},
    {"fail-on-report", "", "exit status 1 when anything was reported"},
    {"all", "", "also a line for every event answered 2 or 3 without a report"},
    {"events", "",
     "write every event read as one flat JSON line (the shape evreplay reads) instead of judging; no module needed"},
    {"threads", "N", "parse EVTX chunks on N threads (default: one per core); the output is that of one"},
    {"explain", "", "add which rule table and row fired"},
    {"flags", "N",
     "Flags of every process event (default: 0x80 when the parent is wscript.exe, cscript.exe or cmd.exe in the "
     "system folder, else 0)"},
    {"removable", "X:", "drive X: is removable (repeatable)"},
    {"trust", "FOLDER", "QueryFile vouches for images below FOLDER (repeatable; default none)"},
    {"white-list", "FILE",
     "CheckWhiteList's paths, one a line (a path ending in \\ covers everything below it; # starts a comment line)"},
    {"sandbox", "DIR",
     "make the machine's folder inside DIR (default $TMPDIR, else /dev/shm, else /tmp); it is removed at the end"},
    {"sandbox-files", "N",
     "at most N files and folders in it (default 100000, about a kilobyte of kernel memory each); later file events "
     "are skipped"},
    {"sandbox-bytes", "N", "at most N bytes of their names (default 67108864)"},
};

bool ParseFlags(std::string_view text, int32_t& flags) {
  if (text.empty()) return false;
  std::string copy(text);
  char* end = nullptr;
  errno = 0;
  long long value = std::strtoll(copy.c_str(), &end, 0);
  if (errno != 0 || end == copy.c_str() || *end != '\0' || value < INT32_MIN || value > UINT32_MAX) return false;
  flags = static_cast<int32_t>(static_cast<uint32_t>(value));
  return true;
}

bool IsDriveLetter(std::string_view text) {
  return text.size() == 2 && text[1] == ':' && ((text[0] >= 'A' && text[0] <= 'Z') || (text[0] >= 'a' && text[0] <= 'z'));
}

Format ReadFormat(const std::string& text) {
  if (text == "jsonl") return Format::Jsonl;
  if (text == "csv") return Format::Csv;
  if (text == "table") return Format::Table;
  throw cli::UsageError("--format takes jsonl, csv or table, not '" + text + "'");
}

}  // namespace

const cli::Parser& CommandLine() {
  static const cli::Parser parser(
      "evreplay", kOptions, "evreplay [options] FILE...\nevreplay --events FILE...",
      "Judges recorded Sysmon events (Windows event logs, .evtx, or JSON lines, flat or as Winlogbeat writes them) "
      "with the rule module, on an emulated machine that follows the log.\n\n"
      "FILE: a log, plain or compressed or archived (.gz, .zip, .tar.gz, .7z, ...), told by its content; a folder "
      "(every file below it); - is standard input.",
      "Standard output: the reports (or -o FILE). Standard error: a summary at the end, and on a terminal the "
      "progress.\n"
      "Exit status: 0 done; 1 with --fail-on-report, something was reported; 2 bad usage; 3 an input could not be "
      "read to its end (the others were replayed); 4 the module could not be used; 128+N stopped by signal N.\n");
  return parser;
}

cli::Parser::Outcome ParseOptions(int argc, const char* const* argv, Options& options, std::ostream& out) {
  cli::Arguments arguments;
  const cli::Parser::Outcome outcome = CommandLine().Parse(argc, argv, arguments, out);
  if (outcome != cli::Parser::Outcome::Run) return outcome;
  options.modulePath = arguments.value("module");
  if (arguments.has("module") && options.modulePath.empty()) throw cli::UsageError("--module takes a path");
  options.files = arguments.words();
  options.all = arguments.has("all");
  options.events = arguments.has("events");
  options.explain = arguments.has("explain");
  options.failOnReport = arguments.has("fail-on-report");
  if (arguments.has("format")) options.format = ReadFormat(arguments.value("format"));
  options.outputFile = arguments.value("output");
  if (arguments.has("output") && options.outputFile.empty()) throw cli::UsageError("--output takes a file");
  options.reportFile = arguments.value("report");
  if (arguments.has("report") && options.reportFile.empty()) throw cli::UsageError("--report takes a file");
  if (arguments.has("flags")) {
    int32_t flags = 0;
    const std::string text = arguments.value("flags");
    if (!ParseFlags(text, flags))
      throw cli::UsageError("--flags takes a number (decimal, or hexadecimal with 0x), not '" + text + "'");
    options.flags = flags;
  }
  for (const std::string& drive : arguments.values("removable")) {
    if (!IsDriveLetter(drive)) throw cli::UsageError("--removable takes a drive such as E:, not '" + drive + "'");
    options.removableDrives.push_back(drive);
  }
  for (const std::string& folder : arguments.values("trust")) {
    if (folder.empty()) throw cli::UsageError("--trust takes a folder");
    options.trustedFolders.push_back(folder);
  }
  options.whiteListFile = arguments.value("white-list");
  options.sandboxParent = arguments.value("sandbox");
  if (arguments.has("threads"))
    options.threads = static_cast<int>(cli::WholeNumber("threads", arguments.value("threads"), 1, 256));
  if (arguments.has("sandbox-files"))
    options.sandboxFiles = cli::WholeNumber("sandbox-files", arguments.value("sandbox-files"), 1, SIZE_MAX / 2);
  if (arguments.has("sandbox-bytes"))
    options.sandboxBytes = cli::WholeNumber("sandbox-bytes", arguments.value("sandbox-bytes"), 1, SIZE_MAX / 2);
  if (options.events && (options.format != Format::Jsonl || !options.reportFile.empty() || options.failOnReport))
    throw cli::UsageError("--events writes events as JSON lines; --format, --report and --fail-on-report judge them");
  if (options.files.empty()) throw cli::UsageError("no FILE given (- reads standard input)");
  return outcome;
}

std::vector<std::string> ModuleCandidates(const std::string& programFolder) {
  return {programFolder + "/../../evrules/libevrules.so",
          programFolder + "/" EVREPLAY_INSTALL_LIBDIR "/libevrules.so"};
}

}  // namespace evreplay
