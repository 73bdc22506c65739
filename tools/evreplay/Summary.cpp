#include "Summary.h"

#include <cstdio>

namespace evreplay {

uint64_t Counters::used() const {
  uint64_t total = 0;
  for (uint64_t count : usedById) total += count;
  return total;
}

uint64_t Counters::skippedTotal() const {
  uint64_t total = 0;
  for (uint64_t count : skipped) total += count;
  return total;
}

uint64_t Counters::reports() const {
  uint64_t total = 0;
  for (const auto& [verdict, count] : verdicts) total += count;
  return total;
}

const char* SysmonIdName(int64_t id) {
  switch (id) {
    case 1: return "process created";
    case 2: return "file creation time changed";
    case 11: return "file created";
    case 12: return "registry key or value created or deleted";
    case 13: return "registry value set";
    case 14: return "registry key or value renamed";
    case 23: return "file deleted";
    case 26: return "file deletion logged";
    case 27: return "executable file blocked";
    case 28: return "file shredding blocked";
    default: return "not used";
  }
}

std::string SummaryText(const Counters& counters, double seconds) {
  std::string text = "evreplay: " + std::to_string(counters.read) + " events read\n";
  text += "  used: " + std::to_string(counters.used()) + "\n";
  for (std::size_t id = 0; id < counters.usedById.size(); ++id)
    if (counters.usedById[id] > 0)
      text += "    Sysmon " + std::to_string(id) + " (" + SysmonIdName(static_cast<int64_t>(id)) +
              "): " + std::to_string(counters.usedById[id]) + "\n";
  text += "  skipped: " + std::to_string(counters.skippedTotal()) + "\n";
  for (std::size_t reason = 0; reason < counters.skipped.size(); ++reason) {
    const uint64_t count = counters.skipped[reason];
    if (count == 0) continue;
    text += "    " + std::string(ReasonText(static_cast<SkipReason>(reason))) + ": " + std::to_string(count);
    if (static_cast<SkipReason>(reason) == SkipReason::IdNotUsed) {
      text += " (";
      bool first = true;
      for (const auto& [id, idCount] : counters.unusedIds) {
        text += (first ? "id " : ", id ") + std::to_string(id) + ": " + std::to_string(idCount);
        first = false;
      }
      text += ")";
    }
    // Events of other sources or ids are no fault of the line: no line numbers.
    const auto& lines = counters.firstLines[reason];
    if (!lines.empty()) {
      text += lines.size() == 1 ? ", line " : ", lines ";
      for (std::size_t i = 0; i < lines.size(); ++i) text += (i > 0 ? ", " : "") + lines[i];
      if (count > lines.size()) text += ", ...";
    }
    text += "\n";
  }
  uint64_t damaged = 0;
  for (uint64_t count : counters.damage) damaged += count;
  if (damaged > 0) {
    text += "  damaged parts of EVTX files skipped: " + std::to_string(damaged) + "\n";
    for (std::size_t kind = 0; kind < counters.damage.size(); ++kind) {
      if (counters.damage[kind] == 0) continue;
      text += "    " + std::string(evtx::DamageText(static_cast<evtx::Damage>(kind))) + ": " +
              std::to_string(counters.damage[kind]);
      const auto& places = counters.damagePlaces[kind];
      for (std::size_t i = 0; i < places.size(); ++i) text += (i == 0 ? ", in " : ", ") + places[i];
      text += "\n";
    }
  }
  text += "  reports: " + std::to_string(counters.reports()) + "\n";
  for (const auto& [verdict, count] : counters.verdicts) text += "    " + verdict + ": " + std::to_string(count) + "\n";
  text += "  results:";
  for (int result = 1; result <= 4; ++result)
    text += (result > 1 ? "," : "") + std::string(" ") + std::to_string(result) + ": " +
            std::to_string(counters.results[static_cast<std::size_t>(result)]);
  text += "\n";
  char speed[128];
  const double rate = seconds > 0 ? static_cast<double>(counters.read) / seconds : 0.0;
  std::snprintf(speed, sizeof speed, "  speed: %.0f events/s (%.3f s)\n", rate, seconds);
  text += speed;
  return text;
}

}  // namespace evreplay
