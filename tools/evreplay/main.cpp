// evreplay: judges recorded Windows telemetry (Sysmon events in EVTX files or
// as JSON lines) with the rule module, on an emulated machine that follows
// the log.
//
//   evreplay [options] FILE...
//
// See docs/evreplay.md for the mapping of events to the module's exports.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>
#include <thread>

#include "EventWriter.h"
#include "HtmlReport.h"
#include "LogReader.h"
#include "Machine.h"
#include "Module.h"
#include "Options.h"
#include "Output.h"
#include "Replay.h"
#include "Summary.h"

namespace {

using Clock = std::chrono::steady_clock;

void RequestStop(int signal) { evreplay::Replayer::stopRequested = signal; }

// The progress line on a terminal, once a second: how far through the input
// bytes, and the time left.
struct Progress {
  Clock::time_point start;
  Clock::time_point last;
  const evreplay::LogReader* reader = nullptr;
  uint64_t totalBytes = 0;  // 0: unknown (standard input, a device)
};

void ShowProgress(uint64_t read, void* context) {
  auto* progress = static_cast<Progress*>(context);
  const Clock::time_point now = Clock::now();
  if (now - progress->last < std::chrono::seconds(1)) return;
  progress->last = now;
  const double seconds = std::chrono::duration<double>(now - progress->start).count();
  const double rate = seconds > 0 ? static_cast<double>(read) / seconds : 0.0;
  if (progress->totalBytes > 0 && progress->reader != nullptr) {
    const double done = std::min(1.0, static_cast<double>(progress->reader->bytesRead()) /
                                          static_cast<double>(progress->totalBytes));
    const double left = done > 0 ? seconds * (1 - done) / done : 0;
    std::fprintf(stderr, "\r\033[Kevreplay: %3.0f%%, %llu events, %.0f events/s, %.0f s left", done * 100,
                 static_cast<unsigned long long>(read), rate, left);
  } else {
    std::fprintf(stderr, "\r\033[Kevreplay: %llu events, %.0f events/s", static_cast<unsigned long long>(read), rate);
  }
  std::fflush(stderr);
}

// The folder of the running program.
std::string ProgramFolder() {
  char path[4096];
  const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return ".";
  std::string text(path, static_cast<std::size_t>(n));
  const std::size_t slash = text.rfind('/');
  return slash == std::string::npos ? "." : text.substr(0, slash);
}

// The module of --module, or the one beside evreplay; empty with `error`.
std::string FindModule(const evreplay::Options& options, std::string& error) {
  if (!options.modulePath.empty()) return options.modulePath;
  const std::vector<std::string> candidates = evreplay::ModuleCandidates(ProgramFolder());
  for (const std::string& candidate : candidates) {
    char resolved[PATH_MAX];
    if (::access(candidate.c_str(), R_OK) == 0 && ::realpath(candidate.c_str(), resolved) != nullptr) return resolved;
  }
  error = "no rule module beside evreplay (looked for " + candidates.front() + " and " + candidates.back() +
          "); give it with --module PATH";
  return {};
}

// Ends as a program killed by SIGPIPE does, as `cat` does when its reader
// has gone: quietly.
[[noreturn]] void EndByClosedOutput() {
  std::signal(SIGPIPE, SIG_DFL);
  ::raise(SIGPIPE);
  std::_Exit(cli::kSignalBase + SIGPIPE);
}

bool WriteFile(const std::string& path, const std::string& text, std::string& error) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) {
    error = "cannot write " + path + ": " + std::strerror(errno);
    return false;
  }
  const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  const int writeError = errno;
  if (std::fclose(file) != 0 || !written) {
    error = "cannot write " + path + ": " + std::strerror(written ? errno : writeError);
    return false;
  }
  return true;
}

int Run(int argc, char** argv) {
  evreplay::Options options;
  try {
    if (evreplay::ParseOptions(argc, argv, options, std::cout) != cli::Parser::Outcome::Run) return cli::kOk;
    if (!options.whiteListFile.empty() && ::access(options.whiteListFile.c_str(), R_OK) != 0)
      throw cli::UsageError("cannot read the white list " + options.whiteListFile + ": " + std::strerror(errno));
  } catch (const cli::UsageError& e) {
    evreplay::CommandLine().PrintUsageError(std::cerr, e.what());
    return cli::kUsage;
  }
  std::string error;
  std::string modulePath;
  if (!options.events) {
    modulePath = FindModule(options, error);
    if (modulePath.empty()) {
      std::fprintf(stderr, "evreplay: %s\n", error.c_str());
      return cli::kUnavailable;
    }
  }
  std::FILE* outFile = stdout;
  if (!options.outputFile.empty() && options.outputFile != "-") {
    outFile = std::fopen(options.outputFile.c_str(), "wb");
    if (outFile == nullptr) {
      std::fprintf(stderr, "evreplay: cannot write %s: %s\n", options.outputFile.c_str(), std::strerror(errno));
      return cli::kUsage;
    }
  }

  // Ctrl-C, termination and a closed terminal end the run at once, inside
  // any read; the summary is printed and the sandbox removed all the same.
  struct sigaction stop {};
  stop.sa_handler = RequestStop;
  sigemptyset(&stop.sa_mask);
  sigaction(SIGINT, &stop, nullptr);
  sigaction(SIGTERM, &stop, nullptr);
  sigaction(SIGHUP, &stop, nullptr);
  signal(SIGPIPE, SIG_IGN);

  const int threads = options.threads > 0 ? options.threads
                                          : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  const bool onTerminal = ::isatty(STDERR_FILENO) == 1;
  const char* noColor = std::getenv("NO_COLOR");
  const bool colour = options.format == evreplay::Format::Table && ::isatty(::fileno(outFile)) == 1 &&
                      (noColor == nullptr || *noColor == '\0');
  evreplay::Output out(outFile);
  int status = cli::kOk;
  // Reads every input into `sink`; a problem of one input is one line, and
  // the others are still read.
  auto readAll = [&](evreplay::LogSink& sink, Progress* progress) {
    evreplay::LogReader reader(sink, [&](const std::string& problem) {
      if (onTerminal) std::fputs("\r\033[K", stderr);
      std::fprintf(stderr, "evreplay: %s\n", problem.c_str());
    });
    reader.StopOn(&evreplay::Replayer::stopRequested);
    reader.SetThreads(threads);
    if (progress != nullptr) {
      progress->reader = &reader;
      bool known = true;
      for (const std::string& file : options.files) known = evreplay::LogReader::InputSize(file, progress->totalBytes) && known;
      if (!known) progress->totalBytes = 0;
    }
    for (const std::string& file : options.files) {
      if (evreplay::Replayer::stopRequested != 0 || out.failed()) break;
      if (!reader.Read(file) && !reader.stopped() && !out.failed()) status = cli::kIncomplete;
    }
    if (progress != nullptr) progress->reader = nullptr;
  };
  const Clock::time_point start = Clock::now();
  // The end of every run: the output written, the summary, the status.
  auto finish = [&](const std::string& summary) {
    if (out.closedByReader()) return -1;
    std::fputs(summary.c_str(), stderr);
    if (out.failed()) {
      std::fprintf(stderr, "evreplay: cannot write %s: %s\n",
                   options.outputFile.empty() ? "standard output" : options.outputFile.c_str(), std::strerror(out.error()));
      status = cli::kIncomplete;
    }
    if (outFile != stdout && std::fclose(outFile) != 0 && status == cli::kOk) {
      std::fprintf(stderr, "evreplay: cannot write %s: %s\n", options.outputFile.c_str(), std::strerror(errno));
      status = cli::kIncomplete;
    }
    if (evreplay::Replayer::stopRequested != 0) {
      std::fputs("evreplay: stopped before the end\n", stderr);
      return cli::kSignalBase + evreplay::Replayer::stopRequested;
    }
    return status;
  };

  if (options.events) {
    evreplay::EventWriter writer(out, &evreplay::Replayer::stopRequested);
    readAll(writer, nullptr);
    out.Flush();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const int result = finish(evreplay::EventsSummaryText(writer.counters(), seconds));
    if (result < 0) EndByClosedOutput();
    return result;
  }

  std::optional<rulehost::Module> module = rulehost::LoadModule(modulePath, error);
  if (!module) {
    std::fprintf(stderr, "evreplay: %s\n", error.c_str());
    return cli::kUnavailable;
  }
  double seconds = 0;
  evreplay::Counters counters;
  {
    rulehost::Machine machine(*module);
    evreplay::Replayer replayer(*module, machine, options, out);
    replayer.SetWriter(evreplay::MakeFindingWriter(options.format, options.explain, colour));
    if (!replayer.SetUp(error)) {
      std::fprintf(stderr, "evreplay: %s\n", error.c_str());
      return cli::kUnavailable;
    }
    // The first line comes early, the next ones once a second.
    Progress progress{start, start - std::chrono::seconds(1)};
    if (onTerminal) replayer.SetProgress(ShowProgress, &progress);
    readAll(replayer, onTerminal ? &progress : nullptr);
    out.Flush();
    seconds = std::chrono::duration<double>(Clock::now() - start).count();
    if (onTerminal) std::fputs("\r\033[K", stderr);
    counters = replayer.counters();
    counters.EndInput();
  }
  // The machine is gone; a reader that went away ends it here, quietly.
  if (out.closedByReader()) EndByClosedOutput();
  if (!options.reportFile.empty()) {
    evreplay::ReportContext context;
    context.arguments.assign(argv, argv + argc);
    context.module = modulePath;
    if (!WriteFile(options.reportFile, evreplay::HtmlReport(counters, context), error)) {
      std::fprintf(stderr, "evreplay: %s\n", error.c_str());
      status = cli::kIncomplete;
    }
  }
  if (options.failOnReport && status == cli::kOk && counters.reports() > 0) status = cli::kNegative;
  return finish(evreplay::SummaryText(counters, seconds, modulePath));
}

}  // namespace

int main(int argc, char** argv) { return Run(argc, argv); }
