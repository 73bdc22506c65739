// evreplay: judges recorded Windows telemetry (Sysmon events as JSON lines)
// with the rule module, on an emulated machine that follows the log.
//
//   evreplay --module PATH [options] FILE...
//
// See README "evreplay" for the mapping of events to the module's exports.
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <thread>
#include <algorithm>

#include "EventWriter.h"
#include "LogReader.h"
#include "Machine.h"
#include "Module.h"
#include "Options.h"
#include "Replay.h"
#include "Summary.h"

namespace {

using Clock = std::chrono::steady_clock;

void RequestStop(int signal) { evreplay::Replayer::stopRequested = signal; }

struct Progress {
  Clock::time_point start;
  Clock::time_point last;
};

// A line on the terminal every second, overwritten in place.
void ShowProgress(uint64_t read, void* context) {
  auto* progress = static_cast<Progress*>(context);
  const Clock::time_point now = Clock::now();
  if (now - progress->last < std::chrono::seconds(1)) return;
  progress->last = now;
  const double seconds = std::chrono::duration<double>(now - progress->start).count();
  std::fprintf(stderr, "\revreplay: %llu events, %.0f events/s ", static_cast<unsigned long long>(read),
               seconds > 0 ? static_cast<double>(read) / seconds : 0.0);
  std::fflush(stderr);
}

int Usage(const std::string& error) {
  std::fprintf(stderr, "evreplay: %s\n%s", error.c_str(), evreplay::kUsage);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  evreplay::Options options;
  std::string error;
  if (!evreplay::ParseOptions(argc, argv, options, error)) return Usage(error);
  if (options.help) {
    std::fputs(evreplay::kUsage, stdout);
    return 0;
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
  int status = 0;
  // Reads every input into `sink`; a problem of one input is one line, and
  // the others are still read.
  auto readAll = [&](evreplay::LogSink& sink, auto outputFailed) {
    evreplay::LogReader reader(sink, [&](const std::string& problem) {
      if (onTerminal) std::fputs("\r\033[K", stderr);
      std::fprintf(stderr, "evreplay: %s\n", problem.c_str());
    });
    reader.StopOn(&evreplay::Replayer::stopRequested);
    reader.SetThreads(threads);
    for (const std::string& file : options.files) {
      if (evreplay::Replayer::stopRequested != 0 || outputFailed()) break;
      if (!reader.Read(file) && !reader.stopped()) status = 2;
    }
  };
  const Clock::time_point start = Clock::now();
  auto finish = [&](const std::string& summary) {
    std::fputs(summary.c_str(), stderr);
    if (evreplay::Replayer::stopRequested != 0) {
      std::fputs("evreplay: stopped before the end\n", stderr);
      return 128 + evreplay::Replayer::stopRequested;
    }
    return status;
  };

  if (options.events) {
    evreplay::EventWriter writer(stdout, &evreplay::Replayer::stopRequested);
    readAll(writer, [&] { return writer.outputFailed(); });
    if (!writer.Flush()) {
      std::fprintf(stderr, "evreplay: cannot write standard output\n");
      status = 2;
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return finish(evreplay::EventsSummaryText(writer.counters(), seconds));
  }

  std::optional<rulehost::Module> module = rulehost::LoadModule(options.modulePath, error);
  if (!module) {
    std::fprintf(stderr, "evreplay: %s\n", error.c_str());
    return 2;
  }
  double seconds = 0;
  evreplay::Counters counters;
  {
    rulehost::Machine machine(*module);
    evreplay::Replayer replayer(*module, machine, options, stdout);
    if (!replayer.SetUp(error)) {
      std::fprintf(stderr, "evreplay: %s\n", error.c_str());
      return 2;
    }
    Progress progress{start, start};
    if (onTerminal) replayer.SetProgress(ShowProgress, &progress);
    readAll(replayer, [&] { return replayer.outputFailed(); });
    if (!replayer.Flush()) {
      std::fprintf(stderr, "evreplay: cannot write standard output\n");
      status = 2;
    }
    seconds = std::chrono::duration<double>(Clock::now() - start).count();
    if (onTerminal) std::fputs("\r\033[K", stderr);
    counters = replayer.counters();
  }
  return finish(evreplay::SummaryText(counters, seconds));
}
