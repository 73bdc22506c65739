// evreplay's HTML report: one self-contained page (no script, font or style
// from elsewhere, so that it opens offline and runs nothing) with the
// detections over time as a bar chart in inline SVG and the counts of the
// summary as tables. Every text from the log is escaped.
#ifndef EVREPLAY_HTML_REPORT_H
#define EVREPLAY_HTML_REPORT_H

#include <string>
#include <vector>

#include "Summary.h"

namespace evreplay {

struct ReportContext {
  std::vector<std::string> arguments;  // the command line, program included
  std::string module;                  // the module used
};

// A bar of the chart: its time bucket and the reports in it.
struct ChartBar {
  int64_t start = 0;  // seconds since 1970
  std::string label;  // "2024-05-01 09:00", "2024-05-01" or "2024-05"
  uint64_t reports = 0;
};

// The chart's buckets with a report: hours when the reports span at most
// three days, days up to about three years, months beyond.
std::vector<ChartBar> ChartBars(const Counters& counters, std::string& unit);

std::string HtmlReport(const Counters& counters, const ReportContext& context);

}  // namespace evreplay

#endif
