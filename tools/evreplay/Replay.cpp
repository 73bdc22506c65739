#include "Replay.h"

#include <dirent.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include <cstdlib>
#include <ctime>
#include <fstream>

#include "EvtxRecord.h"
#include "Explain.h"
#include "HostText.h"
#include "JsonText.h"
#include "rules/WindowsPaths.h"

namespace evreplay {

volatile std::sig_atomic_t Replayer::stopRequested = 0;

namespace {

// Images the log did not create have been there long: 2000-01-01 UTC.
constexpr rulehost::FileTime kOldFileTime{946684800, 0};
constexpr uint64_t kProgressEvery = 1u << 14;

// Registry and process events are judged; file events change the machine.
constexpr uint32_t kFixedDrive = 3;
constexpr uint32_t kRemoteDrive = 4;
constexpr uint32_t kRemovableDrive = 2;

using evrules::windows_paths::AsciiUpper;

bool IsBlank(const char* data, std::size_t size) {
  for (std::size_t i = 0; i < size; ++i)
    if (data[i] != ' ' && data[i] != '\t' && data[i] != '\r') return false;
  return true;
}

// The Sysmon ids the replay maps to the module or the machine.
bool IsUsedId(int64_t id) {
  return id == 1 || id == 2 || id == 11 || id == 12 || id == 13 || id == 14 || id == 23 || id == 26 || id == 27 ||
         id == 28;
}

}  // namespace

std::string DefaultSandboxParent() {
  const char* tmp = std::getenv("TMPDIR");
  if (tmp != nullptr && *tmp != '\0') return tmp;
  // Files come and go with the log: in memory they cost no disk writes.
  if (::access("/dev/shm", W_OK | X_OK) == 0) return "/dev/shm";
  return "/tmp";
}

void RemoveAbandonedSandboxes(const std::string& parent) {
  DIR* folder = ::opendir(parent.c_str());
  if (folder == nullptr) return;
  while (const dirent* entry = ::readdir(folder)) {
    // evreplay-PID-XXXXXX, made by this user for a process that is gone.
    const std::string name = entry->d_name;
    if (name.rfind("evreplay-", 0) != 0) continue;
    const std::size_t dash = name.find('-', 9);
    if (dash == std::string::npos || dash == 9 || name.size() != dash + 7 ||
        name.find_first_not_of("0123456789", 9) != dash)
      continue;
    const long pid = std::strtol(name.c_str() + 9, nullptr, 10);
    struct stat status {};
    const std::string path = parent + "/" + name;
    if (pid <= 0 || ::lstat(path.c_str(), &status) != 0 || !S_ISDIR(status.st_mode) || status.st_uid != ::getuid())
      continue;
    if (::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) continue;  // alive, or not ours to ask
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
  }
  ::closedir(folder);
}

void AssignWide(std::u16string& out, std::string_view utf8) {
  out.resize(utf8.size());
  std::size_t n = 0;
  for (std::size_t i = 0; i < utf8.size();) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    if (lead < 0x80) {
      out[n++] = lead;
      ++i;
      continue;
    }
    const std::size_t extra = lead < 0xE0 ? 1 : lead < 0xF0 ? 2 : 3;
    char32_t code = lead & (0x3Fu >> extra);
    for (std::size_t k = 1; k <= extra && i + k < utf8.size(); ++k)
      code = (code << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3Fu);
    i += extra + 1;
    if (code >= 0x10000) {
      // Four bytes make two units: never more units than bytes.
      out[n++] = static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10));
      out[n++] = static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
    } else {
      out[n++] = static_cast<char16_t>(code);
    }
  }
  out.resize(n);
}

Replayer::Replayer(const rulehost::Module& module, rulehost::Machine& machine, const Options& options, Output& out)
    : module_(module),
      machine_(machine),
      options_(options),
      out_(out),
      writer_(MakeFindingWriter(options.format, options.explain, false)) {}

void Replayer::SetWriter(std::unique_ptr<FindingWriter> writer) { writer_ = std::move(writer); }

bool Replayer::SetUp(std::string& error) {
  if (!module_.emulated()) {
    error = "the module has no Windows emulation (EvEmu_* exports); evreplay needs it";
    return false;
  }
  const std::string parent = options_.sandboxParent.empty() ? DefaultSandboxParent() : options_.sandboxParent;
  RemoveAbandonedSandboxes(parent);
  machine_.SetLimits(options_.sandboxFiles, options_.sandboxBytes);
  if (!machine_.Open(parent, "evreplay-" + std::to_string(::getpid()))) {
    error = machine_.error();
    return false;
  }
  // A Windows machine as installed; the clock is UTC, so that a file's
  // last-write date and the emulation's "today" are both UTC dates.
  machine_.SetEnvironment("ALLUSERSPROFILE", std::string("C:\\ProgramData"));
  machine_.SetEnvironment("ProgramFiles", std::string("C:\\Program Files"));
  machine_.SetEnvironment("TZ", std::string("UTC"));
  ::tzset();

  for (const std::string& folder : options_.trustedFolders) {
    std::u16string upper = rulehost::FromUtf8(folder);
    for (char16_t& c : upper) c = AsciiUpper(c);
    if (upper.back() != u'\\') upper += u'\\';
    trusted_.push_back(std::move(upper));
  }
  if (!options_.whiteListFile.empty()) {
    std::ifstream in(options_.whiteListFile);
    if (!in) {
      error = "cannot read the white list " + options_.whiteListFile;
      return false;
    }
    std::string line;
    while (std::getline(in, line)) {
      while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) line.pop_back();
      std::size_t start = line.find_first_not_of(" \t");
      if (start == std::string::npos || line[start] == '#') continue;
      std::string entry = rulehost::UpperAscii(line.substr(start));
      if (entry.back() == '\\') whiteListedFolders_.push_back(std::move(entry));
      else whiteListed_.insert(std::move(entry));
    }
  }

  rulehost::RecordShape shape;
  HostCallbacks record = rulehost::MakeRecord(*this, shape);
  if (module_.InitLibrary(&record) != 1) {
    error = "the module refused the host's callbacks (InitLibrary answered 0)";
    return false;
  }
  return true;
}

void Replayer::OnSource(const std::string& name) {
  source_ = name;
  counters_.BeginInput(name);
}

void Replayer::Skip(SkipReason reason) {
  if (counters_.CountSkip(reason))
    counters_.AddSkipPlace(reason, source_ + (recordNumbers_ ? ":record " : ":") + std::to_string(lineNumber_));
}

void Replayer::OnLongLine(uint64_t lineNumber) {
  ++counters_.read;
  lineNumber_ = lineNumber;
  Skip(SkipReason::LineTooLong);
}

bool Replayer::OnLine(const char* data, std::size_t size, std::size_t capacity, uint64_t lineNumber) {
  if (stopRequested != 0 || out_.failed()) return false;
  if (IsBlank(data, size)) return true;
  recordNumbers_ = false;
  lineNumber_ = lineNumber;
  ++counters_.read;
  if (progress_ != nullptr && counters_.read % kProgressEvery == 0) progress_(counters_.read, progressContext_);
  switch (parser_.Parse(data, size, capacity, record_)) {
    case ParseStatus::NotJson: Skip(SkipReason::NotJson); return true;
    case ParseStatus::NotObject: Skip(SkipReason::NotObject); return true;
    case ParseStatus::Ok: break;
  }
  Replay();
  if (!out_.Written()) return false;
  return true;
}

bool Replayer::OnEvtxChunk(const evtx::ParsedChunk& chunk) {
  recordNumbers_ = true;
  for (const evtx::ParsedEvent& event : chunk.events) {
    if (stopRequested != 0 || out_.failed()) return false;
    ++counters_.read;
    lineNumber_ = event.recordNumber;
    if (progress_ != nullptr && counters_.read % kProgressEvery == 0) progress_(counters_.read, progressContext_);
    RecordFromEvtx(chunk, event, record_);
    Replay();
    if (!out_.Written()) return false;
  }
  return true;
}

void Replayer::OnEvtxDamage(evtx::Damage damage, uint64_t count) { counters_.CountDamage(damage, count, source_); }

void Replayer::Replay() {
  if (!record_.hasSource) {
    Skip(SkipReason::NoSource);
  } else if (!record_.isSysmon) {
    Skip(SkipReason::NotSysmon);
  } else if (!record_.hasEventId) {
    Skip(SkipReason::NoEventId);
  } else if (record_.eventId < 0 || record_.eventId > 65535) {
    // Windows event ids are 16-bit.
    Skip(SkipReason::EventIdOutOfRange);
  } else if (record_.nulInText && IsUsedId(record_.eventId)) {
    Skip(SkipReason::NulInText);
  } else {
    switch (record_.eventId) {
      case 1: ProcessCreated(); break;
      case 2:
      case 11: FileWritten(); break;
      case 12:
      case 13:
      case 14: RegistryChanged(); break;
      case 23:
      case 26:
      case 27:
      case 28: FileDeleted(); break;
      default:
        ++counters_.unusedIds[record_.eventId];
        Skip(SkipReason::IdNotUsed);
    }
  }
}

bool Replayer::ReadTime(EventTime& time, SkipReason& reason) const {
  const std::string_view text = !record_.utcTime.empty() ? record_.utcTime : record_.timestamp;
  if (text.empty()) {
    reason = SkipReason::MissingTime;
    return false;
  }
  if (!ParseTime(text, time)) {
    reason = SkipReason::BadTime;
    return false;
  }
  return true;
}

bool Replayer::TimeOf(EventTime& time) {
  SkipReason reason{};
  if (ReadTime(time, reason)) return true;
  Skip(reason);
  return false;
}

bool Replayer::SelectComputer(std::string_view name) {
  if (anyComputer_ && name == computer_) return true;
  auto found = computers_.find(name);
  if (found != computers_.end()) {
    computer_.assign(name);
    machine_.SelectComputer(found->second);
    return true;
  }
  // The first computer of the log is the machine's computer 0.
  const int computer = anyComputer_ ? machine_.AddComputer() : 0;
  if (computer < 0) return false;
  computer_.assign(name);
  anyComputer_ = true;
  computers_.emplace(computer_, computer);
  machine_.SelectComputer(computer);
  machine_.MapDrive("C:", kFixedDrive);
  for (const std::string& drive : options_.removableDrives) machine_.MapDrive(drive, kRemovableDrive);
  return true;
}

bool Replayer::Enter(const EventTime& time) {
  if (!SelectComputer(record_.computer)) {
    Skip(SkipReason::SandboxFull);
    return false;
  }
  if (time.year != todayYear_ || time.month != todayMonth_ || time.day != todayDay_) {
    todayYear_ = time.year;
    todayMonth_ = time.month;
    todayDay_ = time.day;
    machine_.SetToday(time.year, time.month, time.day);
  }
  return true;
}

bool Replayer::EnsureDrive(std::string_view path) {
  std::string_view root, rest;
  if (!rulehost::SplitDriveRoot(path, root, rest)) return false;
  if (machine_.HasDrive(root)) return true;
  return machine_.MapDrive(root, root[1] == ':' ? kFixedDrive : kRemoteDrive);
}

void Replayer::EnsureImage(std::string_view path) {
  if (!EnsureDrive(path) || machine_.HasFile(path)) return;
  // A name the machine cannot hold is no file for the module either.
  machine_.WriteFile(path, kOldFileTime);
}

void Replayer::Used(bool timed) {
  ++counters_.usedById[static_cast<std::size_t>(record_.eventId)];
  counters_.CountEvent(record_.computer, timed ? &time_.seconds : nullptr);
}

void Replayer::ProcessCreated() {
  if (!record_.hasImage) return Skip(SkipReason::MissingImage);
  if (!record_.hasParentImage) return Skip(SkipReason::MissingParentImage);
  if (!TimeOf(time_)) return;
  if (!Enter(time_)) return;
  EnsureImage(record_.parentImage);
  EnsureImage(record_.image);
  // The scripts a script host ran were there when it ran them.
  if (IsScriptHost(record_.parentImage))
    ForEachScript(record_.parentCommandLine, scratch_, [this](std::string_view script) { EnsureImage(script); });
  flags_ = options_.flags ? *options_.flags : FlagsFor(record_.parentImage);
  AssignWide(process16_, record_.parentImage);
  AssignWide(target16_, record_.image);
  AssignWide(text16_, record_.parentCommandLine);
  Used();
  reportCount_ = 0;
  const int32_t result = module_.ProcessEvent(rulehost::ToModule(process16_.c_str()), rulehost::ToModule(target16_.c_str()),
                                              rulehost::ToModule(text16_.c_str()), flags_, 0, 0);
  Judged(EventKind::Process, result);
}

void Replayer::RegistryChanged() {
  if (!record_.hasImage) return Skip(SkipReason::MissingImage);
  if (!record_.hasTargetObject) return Skip(SkipReason::MissingTargetObject);
  SkipReason reason{};
  if (!OperationFor(record_.eventId, EffectiveEventType(record_.eventType, record_.message), operation_, reason))
    return Skip(reason);
  if (!TimeOf(time_)) return;
  if (!MapRegistryPath(record_.targetObject, record_.userSid, operation_, key_, value_, reason)) return Skip(reason);
  if (!Enter(time_)) return;
  EnsureImage(record_.image);
  AssignWide(process16_, record_.image);
  AssignWide(key16_, key_);
  AssignWide(value16_, value_);
  Used();
  reportCount_ = 0;
  const int32_t result = module_.RegEvent(rulehost::ToModule(process16_.c_str()), rulehost::ToModule(key16_.c_str()),
                                          rulehost::ToModule(value16_.c_str()), operation_);
  Judged(EventKind::Registry, result);
}

void Replayer::FileWritten() {
  if (!record_.hasTargetFilename) return Skip(SkipReason::MissingTargetFilename);
  EventTime written;
  if (record_.eventId == 2) {
    // The new creation time, which tools that fake file dates set.
    if (record_.creationUtcTime.empty()) return Skip(SkipReason::MissingCreationUtcTime);
    if (!ParseTime(record_.creationUtcTime, written)) return Skip(SkipReason::BadTime);
    SkipReason ignored{};
    if (!ReadTime(time_, ignored)) time_ = written;
  } else {
    if (!TimeOf(time_)) return;
    written = time_;
  }
  if (!Enter(time_)) return;
  if (!EnsureDrive(record_.targetFilename) ||
      !machine_.WriteFile(record_.targetFilename, {written.seconds, written.nanoseconds}))
    return Skip(machine_.full() ? SkipReason::SandboxFull : SkipReason::FileNotHeld);
  Used();
}

void Replayer::FileDeleted() {
  if (!record_.hasTargetFilename) return Skip(SkipReason::MissingTargetFilename);
  if (!SelectComputer(record_.computer)) return Skip(SkipReason::SandboxFull);
  machine_.RemoveFile(record_.targetFilename);
  Used(false);  // a deletion needs no time
}

void Replayer::Judged(EventKind kind, int32_t result) {
  if (result >= 1 && result <= 4) ++counters_.results[static_cast<std::size_t>(result)];
  for (std::size_t i = 0; i < reportCount_; ++i) {
    const Report& report = reports_[i];
    auto found = counters_.verdicts.find(std::string_view(report.verdict));
    if (found == counters_.verdicts.end()) found = counters_.verdicts.emplace(report.verdict, 0).first;
    ++found->second;
    const RuleRow* row = RowForVerdict(report.verdict);
    counters_.CountReport(row == nullptr ? std::string_view("a rule the host does not know")
                          : row->table.empty() ? row->unit
                                               : row->table,
                          time_.seconds);
    WriteLine(kind, result, &report);
  }
  if (reportCount_ == 0 && options_.all && (result == 2 || result == 3)) WriteLine(kind, result, nullptr);
}

void Replayer::WriteLine(EventKind kind, int32_t result, const Report* report) {
  Finding& f = finding_;
  f.time = time_;
  f.host = record_.computer;
  f.hasRecord = record_.hasRecordId;
  f.record = record_.recordId;
  f.isProcess = kind == EventKind::Process;
  if (f.isProcess) {
    f.process = record_.parentImage;
    f.target = record_.image;
    f.commandLine = record_.parentCommandLine;
    f.flags = flags_;
  } else {
    f.process = record_.image;
    f.key = key_;
    f.value = value_;
    f.operation = operation_;
  }
  f.result = result;
  f.reported = report != nullptr;
  if (report != nullptr) {
    f.kind = report->kind;
    verdict_ = rulehost::AnsiToUtf8(report->verdict);
    f.verdict = verdict_;
    scratch_.clear();
    rulehost::AppendUtf8(scratch_, report->path);
    f.path = scratch_;
  }
  f.explain = options_.explain;
  if (f.explain) {
    f.row = nullptr;
    if (report != nullptr) f.row = RowForVerdict(report->verdict);
    else if (kind == EventKind::Registry && result == 3) f.row = RowForSilentRegistry(key_, value_);
    else if (kind == EventKind::Process && result == 2) f.row = RowForIgnoredName(record_.parentImage);
    f.unit = f.row == nullptr && result == 2 ? "WhiteList" : "";
    f.rule = result == 2 ? kSystemProcessRule : "not told by the host";
  }
  writer_->Append(out_.text(), f);
}

void Replayer::OnReport(std::u16string_view path, std::string_view verdict, int32_t kind) {
  if (reportCount_ == reports_.size()) reports_.emplace_back();
  Report& report = reports_[reportCount_++];
  report.path.assign(path);
  report.verdict.assign(verdict);
  report.kind = kind;
}

int32_t Replayer::OnQueryFile(std::u16string_view path) {
  for (const std::u16string& folder : trusted_) {
    if (path.size() <= folder.size()) continue;
    bool below = true;
    for (std::size_t i = 0; i < folder.size() && below; ++i) below = AsciiUpper(path[i]) == folder[i];
    if (below) return 1;
  }
  return 0;
}

int32_t Replayer::OnCheckWhiteList(std::u16string_view path) {
  whiteListKey_.clear();
  rulehost::AppendUtf8(whiteListKey_, path);
  for (char& c : whiteListKey_) c = AsciiUpper(c);
  if (whiteListed_.count(whiteListKey_) != 0) return 1;
  for (const std::string& folder : whiteListedFolders_)
    if (whiteListKey_.size() > folder.size() && whiteListKey_.compare(0, folder.size(), folder) == 0) return 1;
  return 0;
}

}  // namespace evreplay
