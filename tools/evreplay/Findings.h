// The lines evreplay writes for the module's reports (and, with --all, its
// silent results), in the format asked for: JSON lines for pipelines, CSV
// for a spreadsheet's timeline, an aligned table for a terminal.
#ifndef EVREPLAY_FINDINGS_H
#define EVREPLAY_FINDINGS_H

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "EventMapping.h"
#include "Explain.h"
#include "Options.h"
#include "Summary.h"

namespace evreplay {

// One judged event and what the module said of it. The views live as long
// as the call that writes it.
struct Finding {
  EventTime time;
  std::string_view host;
  bool hasRecord = false;
  uint64_t record = 0;
  bool isProcess = false;  // else a registry event
  // Process events.
  std::string_view process, target, commandLine;
  int32_t flags = 0;
  // Registry events (`process` too).
  std::string_view key, value;
  int32_t operation = 0;
  int32_t result = 0;
  bool reported = false;
  int32_t kind = 0;
  std::string_view verdict, path;  // UTF-8
  // With --explain: the row, or null with `rule` saying what stands instead.
  bool explain = false;
  const RuleRow* row = nullptr;
  std::string_view unit, rule;
};

class FindingWriter {
 public:
  virtual ~FindingWriter() = default;
  // Appends the line (or lines) of `finding` to `out`.
  virtual void Append(std::string& out, const Finding& finding) = 0;
};

// `colour`: the table may use ANSI colours (a terminal, no NO_COLOR).
std::unique_ptr<FindingWriter> MakeFindingWriter(Format format, bool explain, bool colour);

}  // namespace evreplay

#endif
