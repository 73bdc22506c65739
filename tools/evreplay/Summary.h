// What a replay counted, and the summary evreplay prints at the end.
#ifndef EVREPLAY_SUMMARY_H
#define EVREPLAY_SUMMARY_H

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "EventMapping.h"
#include "EvtxReader.h"

namespace evreplay {

// Events used and reports, of a computer, a day or an input.
struct Tally {
  uint64_t events = 0;
  uint64_t reports = 0;
};

struct InputTally {
  std::string name;  // escaped for printing
  uint64_t read = 0, used = 0, skipped = 0, reports = 0;
};

struct Counters {
  static constexpr std::size_t kFirstLines = 5;  // line numbers kept per reason at fault
  static constexpr std::size_t kUsedIds = 29;
  // What a log can make grow is kept within these; the rest is summed up.
  static constexpr std::size_t kMaxInputs = 1000;
  static constexpr std::size_t kMaxComputers = 10000;
  static constexpr std::size_t kMaxBuckets = 100000;  // days, hours

  uint64_t read = 0;  // lines that are not blank
  std::array<uint64_t, kUsedIds> usedById{};
  std::array<uint64_t, static_cast<std::size_t>(SkipReason::Count)> skipped{};
  std::array<std::vector<std::string>, static_cast<std::size_t>(SkipReason::Count)> firstLines;
  std::map<int64_t, uint64_t> unusedIds;
  std::map<std::string, uint64_t, std::less<>> verdicts;
  std::array<uint64_t, 5> results{};  // [1] to [4]
  // Parts of EVTX inputs skipped, by kind, and the first inputs they were in.
  std::array<uint64_t, static_cast<std::size_t>(evtx::Damage::Count)> damage{};
  std::array<std::vector<std::string>, static_cast<std::size_t>(evtx::Damage::Count)> damagePlaces;

  // Per input (the first kMaxInputs; the others summed in `otherInputs`).
  std::vector<InputTally> inputs;
  InputTally otherInputs;
  uint64_t inputsNotListed = 0;
  // Per computer (the first kMaxComputers named; the others summed).
  std::map<std::string, Tally, std::less<>> computers;
  Tally otherComputers;
  uint64_t computersNotListed = 0;
  // Events used and reports by day (days since 1970), reports by hour.
  std::map<int64_t, Tally> days;
  std::map<int64_t, uint64_t> reportHours;
  // Reports by the rule table (or the unit, for a rule written as code).
  std::map<std::string, uint64_t, std::less<>> tables;
  // The first and last time of the events used (seconds since 1970).
  bool anyTime = false;
  int64_t firstTime = 0, lastTime = 0;

  uint64_t used() const;
  uint64_t skippedTotal() const;
  uint64_t reports() const;

  // An event skipped for `reason`; true when its place ("FILE:LINE") is
  // wanted (AddSkipPlace): the first few of a reason the line is at fault for.
  bool CountSkip(SkipReason reason);
  void AddSkipPlace(SkipReason reason, std::string place);
  // `count` parts of EVTX input `source` skipped as damaged.
  void CountDamage(evtx::Damage damage, uint64_t count, const std::string& source);
  // A new input begins; the counts until the next one are its own.
  void BeginInput(const std::string& name);
  // Ends the counts of the current input (at the next one, or the end).
  void EndInput();
  // An event used on `computer`, at `*seconds` when it has a time (events
  // of one computer come in runs: the last one is remembered).
  void CountEvent(std::string_view computer, const int64_t* seconds);
  // A report of the event counted last, of rule table (or unit) `table`.
  void CountReport(std::string_view table, int64_t seconds);

 private:
  Tally* computer_ = nullptr;
  std::string computerName_;
  InputTally start_;  // the totals when the current input began
  bool inInput_ = false;
};

// What a Sysmon id the replay uses stands for ("process created", ...).
const char* SysmonIdName(int64_t id);

// What a result stands for, in words.
std::string_view ResultName(int32_t result);

// "2024-05-01 09:00:05" of seconds since 1970 (UTC).
std::string TimeText(int64_t seconds);

// The summary's lines; the last one, "  speed: ...", is the only one that
// depends on the clock. `module` names the module used (empty: none).
std::string SummaryText(const Counters& counters, double seconds, const std::string& module = {});

}  // namespace evreplay

#endif
