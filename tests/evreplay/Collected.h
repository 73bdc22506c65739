// A sink that keeps everything a reader hands over, as text.
#ifndef EVREPLAY_TEST_COLLECTED_H
#define EVREPLAY_TEST_COLLECTED_H

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "EvtxReader.h"
#include "LogReader.h"

namespace evreplay {

class Collected : public LogSink {
 public:
  std::vector<std::string> events;
  std::size_t stopAfter = SIZE_MAX;  // lines
  std::size_t padding = 0;
  std::string folder;  // left out of source names
  std::size_t lines = 0;

  void OnSource(const std::string& name) override {
    events.push_back("source " + (!folder.empty() && name.rfind(folder, 0) == 0 ? name.substr(folder.size() + 1) : name));
  }
  bool OnLine(const char* data, std::size_t size, std::size_t capacity, uint64_t lineNumber) override {
    events.push_back(std::to_string(lineNumber) + " " + std::string(data, size));
    EXPECT_GE(capacity, size + padding);
    return ++lines < stopAfter;
  }
  void OnLongLine(uint64_t lineNumber) override { events.push_back(std::to_string(lineNumber) + " too long"); }
  // EVTX events as "record N EventID".
  bool OnEvtxChunk(const evtx::ParsedChunk& chunk) override {
    for (const auto& e : chunk.events)
      events.push_back("record " + std::to_string(e.recordNumber) + " " + std::string(chunk.view(e.eventId)));
    return true;
  }
  void OnEvtxDamage(evtx::Damage damage, uint64_t count) override {
    events.push_back(std::string("damage ") + evtx::DamageText(damage) + " " + std::to_string(count));
  }
};

}  // namespace evreplay

#endif
