#include "Summary.h"

#include "Calendar.h"

#include <algorithm>
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

namespace {

using rulehost::CivilFromDays;
using rulehost::FloorDiv;

std::string Plural(uint64_t count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

}  // namespace

std::string TimeText(int64_t seconds) {
  int64_t year = 0;
  unsigned month = 0, day = 0;
  CivilFromDays(FloorDiv(seconds, 86400), year, month, day);
  const int64_t inDay = seconds - FloorDiv(seconds, 86400) * 86400;
  char text[64];
  std::snprintf(text, sizeof text, "%04lld-%02u-%02u %02lld:%02lld:%02lld", static_cast<long long>(year), month, day,
                static_cast<long long>(inDay / 3600), static_cast<long long>(inDay / 60 % 60),
                static_cast<long long>(inDay % 60));
  return text;
}

std::string_view ResultName(int32_t result) {
  switch (result) {
    case 1: return "no verdict";
    case 2: return "exempt system process";
    case 3: return "blocked without a report";
    case 4: return "detected";
    default: return "unknown result";
  }
}

bool Counters::CountSkip(SkipReason reason) {
  const auto index = static_cast<std::size_t>(reason);
  ++skipped[index];
  const bool lineAtFault = reason != SkipReason::NotSysmon && reason != SkipReason::IdNotUsed;
  return lineAtFault && firstLines[index].size() < kFirstLines;
}

void Counters::AddSkipPlace(SkipReason reason, std::string place) {
  firstLines[static_cast<std::size_t>(reason)].push_back(std::move(place));
}

void Counters::CountDamage(evtx::Damage kind, uint64_t count, const std::string& source) {
  const auto index = static_cast<std::size_t>(kind);
  damage[index] += count;
  auto& places = damagePlaces[index];
  if (places.size() < kFirstLines && (places.empty() || places.back() != source)) places.push_back(source);
}

void Counters::BeginInput(const std::string& name) {
  EndInput();
  start_ = InputTally{name, read, used(), skippedTotal(), reports()};
  inInput_ = true;
}

void Counters::EndInput() {
  if (!inInput_) return;
  inInput_ = false;
  InputTally tally{start_.name, read - start_.read, used() - start_.used, skippedTotal() - start_.skipped,
                   reports() - start_.reports};
  if (inputs.size() < kMaxInputs) {
    inputs.push_back(std::move(tally));
    return;
  }
  ++inputsNotListed;
  otherInputs.read += tally.read;
  otherInputs.used += tally.used;
  otherInputs.skipped += tally.skipped;
  otherInputs.reports += tally.reports;
}

void Counters::CountEvent(std::string_view computer, const int64_t* at) {
  if (computer_ == nullptr || computer != computerName_) {
    computerName_.assign(computer);
    auto found = computers.find(computer);
    if (found != computers.end()) {
      computer_ = &found->second;
    } else if (computers.size() < kMaxComputers) {
      computer_ = &computers.emplace(computerName_, Tally{}).first->second;
    } else {
      ++computersNotListed;
      computer_ = &otherComputers;
    }
  }
  ++computer_->events;
  if (at == nullptr) return;
  const int64_t seconds = *at;
  const int64_t day = FloorDiv(seconds, 86400);
  auto found = days.find(day);
  if (found != days.end()) ++found->second.events;
  else if (days.size() < kMaxBuckets) days.emplace(day, Tally{1, 0});
  if (!anyTime || seconds < firstTime) firstTime = seconds;
  if (!anyTime || seconds > lastTime) lastTime = seconds;
  anyTime = true;
}

void Counters::CountReport(std::string_view table, int64_t seconds) {
  if (computer_ != nullptr) ++computer_->reports;
  auto day = days.find(FloorDiv(seconds, 86400));
  if (day != days.end()) ++day->second.reports;
  const int64_t hour = FloorDiv(seconds, 3600);
  auto found = reportHours.find(hour);
  if (found != reportHours.end()) ++found->second;
  else if (reportHours.size() < kMaxBuckets) reportHours.emplace(hour, 1);
  auto known = tables.find(table);
  if (known == tables.end()) known = tables.emplace(std::string(table), 0).first;
  ++known->second;
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

std::string SummaryText(const Counters& counters, double seconds, const std::string& module) {
  const std::size_t inputCount = counters.inputs.size() + counters.inputsNotListed;
  std::string text = "evreplay: " + std::to_string(counters.read) + " events read";
  if (inputCount > 1) text += " from " + std::to_string(inputCount) + " inputs";
  text += "\n";
  if (!module.empty()) text += "  module: " + module + "\n";
  if (counters.anyTime)
    text += "  time span: " + TimeText(counters.firstTime) + " to " + TimeText(counters.lastTime) + " UTC\n";
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
    text += (result > 1 ? "," : "") + std::string(" ") +
            std::to_string(counters.results[static_cast<std::size_t>(result)]) + " " +
            std::string(ResultName(result)) + " (" + std::to_string(result) + ")";
  text += "\n";
  // The busiest computers, when there are several.
  if (counters.computers.size() + counters.computersNotListed > 1) {
    std::vector<std::pair<std::string_view, Tally>> busiest(counters.computers.begin(), counters.computers.end());
    std::stable_sort(busiest.begin(), busiest.end(),
                     [](const auto& a, const auto& b) { return a.second.events > b.second.events; });
    const std::size_t shown = std::min<std::size_t>(busiest.size(), 10);
    text += "  busiest computers (" + std::to_string(counters.computers.size() + counters.computersNotListed) +
            " in all):\n";
    for (std::size_t i = 0; i < shown; ++i)
      text += "    " + std::string(busiest[i].first) + ": " + Plural(busiest[i].second.events, "event", "events") +
              " used, " + Plural(busiest[i].second.reports, "report", "reports") + "\n";
  }
  if (inputCount > 1) {
    text += "  inputs:\n";
    auto line = [&](const InputTally& input) {
      text += "    " + input.name + ": " + std::to_string(input.read) + " read, " + std::to_string(input.used) +
              " used, " + std::to_string(input.skipped) + " skipped, " +
              Plural(input.reports, "report", "reports") + "\n";
    };
    for (const InputTally& input : counters.inputs) line(input);
    if (counters.inputsNotListed > 0) {
      InputTally others = counters.otherInputs;
      others.name = std::to_string(counters.inputsNotListed) + " more inputs";
      line(others);
    }
  }
  char speed[128];
  const double rate = seconds > 0 ? static_cast<double>(counters.read) / seconds : 0.0;
  std::snprintf(speed, sizeof speed, "  speed: %.0f events/s (%.3f s)\n", rate, seconds);
  text += speed;
  return text;
}

}  // namespace evreplay
