// evreplay --events: every event read, of any channel and id, written as one
// flat JSON line of the shape evreplay reads, instead of being judged. A
// JSON-lines input is written as it is.
#ifndef EVREPLAY_EVENT_WRITER_H
#define EVREPLAY_EVENT_WRITER_H

#include <csignal>
#include <cstdio>
#include <string>

#include "LogReader.h"
#include "Output.h"
#include "Summary.h"

namespace evreplay {

class EventWriter : public LogSink {
 public:
  EventWriter(Output& out, const volatile std::sig_atomic_t* stop) : out_(out), stop_(stop) {}

  void OnSource(const std::string& name) override { source_ = name; }
  bool OnLine(const char* data, std::size_t size, std::size_t capacity, uint64_t lineNumber) override;
  void OnLongLine(uint64_t lineNumber) override;
  bool OnEvtxChunk(const evtx::ParsedChunk& chunk) override;
  void OnEvtxDamage(evtx::Damage damage, uint64_t count) override;

  const Counters& counters() const { return counters_; }

 private:
  bool Written();

  Output& out_;
  const volatile std::sig_atomic_t* stop_;
  std::string source_;
  Counters counters_;
};

// The summary of --events: events written, long lines left out, damage.
std::string EventsSummaryText(const Counters& counters, double seconds);

}  // namespace evreplay

#endif
