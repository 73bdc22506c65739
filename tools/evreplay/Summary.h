// What a replay counted, and the summary evreplay prints at the end.
#ifndef EVREPLAY_SUMMARY_H
#define EVREPLAY_SUMMARY_H

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "EventMapping.h"
#include "EvtxReader.h"

namespace evreplay {

struct Counters {
  static constexpr std::size_t kFirstLines = 5;  // line numbers kept per reason at fault
  static constexpr std::size_t kUsedIds = 29;

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

  uint64_t used() const;
  uint64_t skippedTotal() const;
  uint64_t reports() const;
};

// What a Sysmon id the replay uses stands for ("process created", ...).
const char* SysmonIdName(int64_t id);

// The summary's lines; the last one, "  speed: ...", is the only one that
// depends on the clock.
std::string SummaryText(const Counters& counters, double seconds);

}  // namespace evreplay

#endif
