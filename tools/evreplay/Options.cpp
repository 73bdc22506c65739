#include "Options.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace evreplay {

const char* const kUsage =
    "usage: evreplay --module PATH [options] FILE...\n"
    "Judges recorded Sysmon events (Windows event logs, .evtx, or JSON lines, flat or as Winlogbeat\n"
    "writes them) with the rule module.\n"
    "FILE: a log, plain or compressed or archived (.gz, .zip, .tar.gz, .7z, ...), told by its content;\n"
    "a folder (every file below it); - is standard input.\n"
    "\n"
    "  --module PATH          the rule module (libevrules.so)\n"
    "  --all                  also a line for every event answered 2 or 3 without a report\n"
    "  --events               write every event read as one flat JSON line (the shape evreplay\n"
    "                         reads) instead of judging; no module needed\n"
    "  --threads N            parse EVTX chunks on N threads (default: one per core); the output\n"
    "                         is that of one thread\n"
    "  --explain              add which rule table and row fired\n"
    "  --flags N              Flags of every process event (default: 0x80 when the parent is\n"
    "                         wscript.exe, cscript.exe or cmd.exe in the system folder, else 0)\n"
    "  --removable X:         drive X: is removable (repeatable)\n"
    "  --trust FOLDER         QueryFile vouches for images below FOLDER (repeatable; default none)\n"
    "  --white-list FILE      CheckWhiteList's paths, one a line (a path ending in \\ covers\n"
    "                         everything below it; # starts a comment line)\n"
    "  --sandbox DIR          make the machine's folder inside DIR (default $TMPDIR, else\n"
    "                         /dev/shm, else /tmp); it is removed at the end\n"
    "  --sandbox-files N      at most N files and folders in it (default 100000, about a\n"
    "                         kilobyte of kernel memory each); later file events are skipped\n"
    "  --sandbox-bytes N      at most N bytes of their names (default 67108864)\n"
    "  --help                 this text\n"
    "\n"
    "Standard output: one JSON line per report. Standard error: a summary at the end.\n";

namespace {

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

bool ParseCount(std::string_view text, std::size_t& count) {
  if (text.empty() || text.size() > 18 || text.find_first_not_of("0123456789") != std::string_view::npos) return false;
  count = static_cast<std::size_t>(std::stoull(std::string(text)));
  return count > 0;
}

bool IsDriveLetter(std::string_view text) {
  return text.size() == 2 && text[1] == ':' && ((text[0] >= 'A' && text[0] <= 'Z') || (text[0] >= 'a' && text[0] <= 'z'));
}

}  // namespace

bool ParseOptions(int argc, const char* const* argv, Options& options, std::string& error) {
  bool filesOnly = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (filesOnly || argument == "-" || argument.substr(0, 2) != "--") {
      if (!filesOnly && argument.size() > 1 && argument[0] == '-' && argument != "-") {
        error = "unknown option " + std::string(argument);
        return false;
      }
      options.files.emplace_back(argument);
      continue;
    }
    if (argument == "--") {
      filesOnly = true;
      continue;
    }
    if (argument == "--help") {
      options.help = true;
      return true;
    }
    if (argument == "--all") {
      options.all = true;
      continue;
    }
    if (argument == "--events") {
      options.events = true;
      continue;
    }
    if (argument == "--explain") {
      options.explain = true;
      continue;
    }
    const bool takesValue = argument == "--module" || argument == "--flags" || argument == "--removable" ||
                            argument == "--trust" || argument == "--white-list" || argument == "--sandbox" ||
                            argument == "--sandbox-files" || argument == "--sandbox-bytes" || argument == "--threads";
    if (!takesValue) {
      error = "unknown option " + std::string(argument);
      return false;
    }
    if (i + 1 >= argc) {
      error = std::string(argument) + " needs a value";
      return false;
    }
    const std::string_view value = argv[++i];
    if (argument == "--module") {
      options.modulePath = value;
    } else if (argument == "--flags") {
      int32_t flags = 0;
      if (!ParseFlags(value, flags)) {
        error = "--flags takes a number (decimal, or hexadecimal with 0x), not \"" + std::string(value) + "\"";
        return false;
      }
      options.flags = flags;
    } else if (argument == "--removable") {
      if (!IsDriveLetter(value)) {
        error = "--removable takes a drive such as E:, not \"" + std::string(value) + "\"";
        return false;
      }
      options.removableDrives.emplace_back(value);
    } else if (argument == "--trust") {
      if (value.empty()) {
        error = "--trust takes a folder";
        return false;
      }
      options.trustedFolders.emplace_back(value);
    } else if (argument == "--white-list") {
      options.whiteListFile = value;
    } else if (argument == "--threads") {
      std::size_t threads = 0;
      if (!ParseCount(value, threads) || threads > 256) {
        error = "--threads takes a number from 1 to 256, not \"" + std::string(value) + "\"";
        return false;
      }
      options.threads = static_cast<int>(threads);
    } else if (argument == "--sandbox-files" || argument == "--sandbox-bytes") {
      std::size_t& limit = argument == "--sandbox-files" ? options.sandboxFiles : options.sandboxBytes;
      if (!ParseCount(value, limit)) {
        error = std::string(argument) + " takes a positive whole number, not \"" + std::string(value) + "\"";
        return false;
      }
    } else {
      options.sandboxParent = value;
    }
  }
  if (options.modulePath.empty() && !options.events) {
    error = "--module PATH is missing";
    return false;
  }
  if (options.files.empty()) {
    error = "no FILE given (- reads standard input)";
    return false;
  }
  return true;
}

}  // namespace evreplay
