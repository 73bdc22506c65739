#include "EventWriter.h"

#include "EvtxRecord.h"

namespace evreplay {
namespace {
constexpr std::size_t kFlushAt = std::size_t{1} << 18;
}

bool EventWriter::Written() {
  if (buffer_.size() >= kFlushAt && !Flush()) return false;
  return *stop_ == 0 && !failed_;
}

bool EventWriter::OnLine(const char* data, std::size_t size, std::size_t, uint64_t) {
  std::size_t blank = 0;
  while (blank < size && (data[blank] == ' ' || data[blank] == '\t' || data[blank] == '\r')) ++blank;
  if (blank == size) return true;
  ++counters_.read;
  buffer_.append(data, size);
  buffer_ += '\n';
  return Written();
}

void EventWriter::OnLongLine(uint64_t lineNumber) {
  ++counters_.read;
  const auto index = static_cast<std::size_t>(SkipReason::LineTooLong);
  ++counters_.skipped[index];
  if (counters_.firstLines[index].size() < Counters::kFirstLines)
    counters_.firstLines[index].push_back(source_ + ":" + std::to_string(lineNumber));
}

bool EventWriter::OnEvtxChunk(const evtx::ParsedChunk& chunk) {
  for (const evtx::ParsedEvent& event : chunk.events) {
    ++counters_.read;
    AppendEventLine(buffer_, chunk, event);
  }
  return Written();
}

void EventWriter::OnEvtxDamage(evtx::Damage damage, uint64_t count) {
  const auto index = static_cast<std::size_t>(damage);
  counters_.damage[index] += count;
  auto& places = counters_.damagePlaces[index];
  if (places.size() < Counters::kFirstLines && (places.empty() || places.back() != source_)) places.push_back(source_);
}

bool EventWriter::Flush() {
  if (!buffer_.empty() && !failed_ && std::fwrite(buffer_.data(), 1, buffer_.size(), out_) != buffer_.size())
    failed_ = true;
  buffer_.clear();
  if (std::fflush(out_) != 0) failed_ = true;
  return !failed_;
}

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
