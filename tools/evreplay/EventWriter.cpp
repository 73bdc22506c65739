#include "EventWriter.h"

#include "EvtxRecord.h"

namespace evreplay {
bool EventWriter::Written() { return out_.Written() && *stop_ == 0; }

bool EventWriter::OnLine(const char* data, std::size_t size, std::size_t, uint64_t) {
  std::size_t blank = 0;
  while (blank < size && (data[blank] == ' ' || data[blank] == '\t' || data[blank] == '\r')) ++blank;
  if (blank == size) return true;
  ++counters_.read;
  out_.text().append(data, size);
  out_.text() += '\n';
  return Written();
}

void EventWriter::OnLongLine(uint64_t lineNumber) {
  ++counters_.read;
  if (counters_.CountSkip(SkipReason::LineTooLong))
    counters_.AddSkipPlace(SkipReason::LineTooLong, source_ + ":" + std::to_string(lineNumber));
}

bool EventWriter::OnEvtxChunk(const evtx::ParsedChunk& chunk) {
  for (const evtx::ParsedEvent& event : chunk.events) {
    ++counters_.read;
    AppendEventLine(out_.text(), chunk, event);
  }
  return Written();
}

void EventWriter::OnEvtxDamage(evtx::Damage damage, uint64_t count) { counters_.CountDamage(damage, count, source_); }

std::string EventsSummaryText(const Counters& counters, double seconds) {
  Counters shown = counters;
  std::string text = SummaryText(shown, seconds);
  // The judging counts mean nothing here: events written, and what was skipped.
  std::string out = "evreplay: " + std::to_string(counters.read - counters.skippedTotal()) + " events written\n";
  const std::size_t skipped = text.find("  skipped:");
  const std::size_t reports = text.find("  reports:");
  if (skipped != std::string::npos && reports != std::string::npos) out += text.substr(skipped, reports - skipped);
  const std::size_t speed = text.find("  speed:");
  if (speed != std::string::npos) out += text.substr(speed);
  return out;
}

}  // namespace evreplay
