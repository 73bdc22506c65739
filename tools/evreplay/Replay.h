// The replay: every line of the inputs becomes, when it is a Sysmon event the
// module judges, one call of RegEvent or ProcessEvent on a machine that
// follows the log; reports (and with --all, silent results) become JSON lines.
#ifndef EVREPLAY_REPLAY_H
#define EVREPLAY_REPLAY_H

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <map>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "EventMapping.h"
#include "Findings.h"
#include "HostRecord.h"
#include "LineReader.h"
#include "LogReader.h"
#include "Machine.h"
#include "Module.h"
#include "Options.h"
#include "Output.h"
#include "Summary.h"
#include "SysmonRecord.h"

namespace evreplay {

class Replayer : public LogSink, public rulehost::Host {
 public:
  Replayer(const rulehost::Module& module, rulehost::Machine& machine, const Options& options, Output& out);

  // How the lines are written (JSON lines unless set).
  void SetWriter(std::unique_ptr<FindingWriter> writer);
  // Prepares the machine and hands the module its callbacks; false with `error`.
  bool SetUp(std::string& error);

  // Set from a signal handler: reading stops after the current line.
  static volatile std::sig_atomic_t stopRequested;
  // Called every `progressEvery` lines with the count so far.
  void SetProgress(void (*progress)(uint64_t read, void* context), void* context) {
    progress_ = progress;
    progressContext_ = context;
  }

  const Counters& counters() const { return counters_; }

  void OnSource(const std::string& name) override;
  bool OnLine(const char* data, std::size_t size, std::size_t capacity, uint64_t lineNumber) override;
  void OnLongLine(uint64_t lineNumber) override;
  bool OnEvtxChunk(const evtx::ParsedChunk& chunk) override;
  void OnEvtxDamage(evtx::Damage damage, uint64_t count) override;

  void OnReport(std::u16string_view path, std::string_view verdict, int32_t kind) override;
  int32_t OnQueryFile(std::u16string_view path) override;
  int32_t OnCheckWhiteList(std::u16string_view path) override;

 private:
  struct Report {
    std::u16string path;
    std::string verdict;
    int32_t kind = 0;
  };
  enum class EventKind { Process, Registry };

  void Skip(SkipReason reason);
  // Judges the event in record_, or changes the machine with it.
  void Replay();
  bool ReadTime(EventTime& time, SkipReason& reason) const;
  bool TimeOf(EventTime& time);
  // False, the event skipped, when the sandbox holds no new computer.
  bool Enter(const EventTime& time);
  bool SelectComputer(std::string_view name);
  bool EnsureDrive(std::string_view path);
  void EnsureImage(std::string_view path);
  // Counts the event as used; `timed`: time_ is its time.
  void Used(bool timed = true);

  void ProcessCreated();
  void RegistryChanged();
  void FileWritten();
  void FileDeleted();
  void Judged(EventKind kind, int32_t result);
  void WriteLine(EventKind kind, int32_t result, const Report* report);

  const rulehost::Module& module_;
  rulehost::Machine& machine_;
  const Options& options_;
  Output& out_;

  RecordParser parser_;
  SysmonRecord record_;
  EventTime time_;
  std::string source_;
  uint64_t lineNumber_ = 0;
  bool recordNumbers_ = false;  // the source's events are EVTX records, told by number
  Counters counters_;

  // The machine's state as the module last saw it.
  std::map<std::string, int, std::less<>> computers_;
  std::string computer_;
  bool anyComputer_ = false;
  int todayYear_ = 0, todayMonth_ = 0, todayDay_ = 0;

  // The event's arguments, UTF-8 for the output and UTF-16 for the module.
  std::string key_, value_, scratch_, verdict_;
  std::u16string process16_, target16_, text16_, key16_, value16_;
  int32_t flags_ = 0;
  int32_t operation_ = 0;

  std::vector<Report> reports_;
  std::size_t reportCount_ = 0;

  std::vector<std::u16string> trusted_;  // upper case, with a trailing backslash
  std::unordered_set<std::string> whiteListed_;
  std::vector<std::string> whiteListedFolders_;  // upper case, trailing backslash
  std::string whiteListKey_;

  std::unique_ptr<FindingWriter> writer_;
  Finding finding_;
  void (*progress_)(uint64_t, void*) = nullptr;
  void* progressContext_ = nullptr;
};

// Where the sandbox folder goes without --sandbox: $TMPDIR, else /dev/shm
// when it can be written, else /tmp.
std::string DefaultSandboxParent();

// Removes the sandboxes in `parent` that an evreplay left when it was killed
// (evreplay-PID-XXXXXX of this user, whose process is gone).
void RemoveAbandonedSandboxes(const std::string& parent);

// UTF-8 (already valid) to UTF-16 into `out`, reusing its storage.
void AssignWide(std::u16string& out, std::string_view utf8);

}  // namespace evreplay

#endif
