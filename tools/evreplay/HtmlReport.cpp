#include "HtmlReport.h"

#include <algorithm>
#include <cstdio>

namespace evreplay {

namespace {

constexpr int64_t kHour = 3600, kDay = 86400;

// Text for HTML, in elements and in quoted attributes; control characters
// shown as \xNN.
void AppendEscaped(std::string& out, std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default:
        if (byte < 0x20 || byte == 0x7F) {
          out += "\\x";
          out += kHex[byte >> 4];
          out += kHex[byte & 15];
        } else {
          out += c;
        }
    }
  }
}

std::string Escaped(std::string_view text) {
  std::string out;
  AppendEscaped(out, text);
  return out;
}

// 1234567 as "1,234,567".
std::string Count(uint64_t n) {
  std::string digits = std::to_string(n), out;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

// A table of name and count rows, largest first (the first `limit`).
void AppendCountTable(std::string& out, const char* id, const char* heading, const char* nameColumn,
                      std::vector<std::pair<std::string, uint64_t>> rows, std::size_t limit = 100) {
  out += "<section><h2>";
  out += heading;
  out += "</h2>";
  if (rows.empty()) {
    out += "<p class=\"none\">None.</p></section>\n";
    return;
  }
  std::stable_sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) { return a.second > b.second; });
  out += "<table id=\"";
  out += id;
  out += "\"><thead><tr><th>";
  out += nameColumn;
  out += "</th><th class=\"n\">Count</th></tr></thead><tbody>";
  for (std::size_t i = 0; i < rows.size() && i < limit; ++i) {
    out += "<tr><td>";
    AppendEscaped(out, rows[i].first);
    out += "</td><td class=\"n\">" + Count(rows[i].second) + "</td></tr>";
  }
  out += "</tbody></table>";
  if (rows.size() > limit) out += "<p class=\"none\">and " + Count(rows.size() - limit) + " more</p>";
  out += "</section>\n";
}

std::string DayText(int64_t day) { return TimeText(day * kDay).substr(0, 10); }

void AppendChart(std::string& out, const Counters& counters) {
  std::string unit;
  const std::vector<ChartBar> bars = ChartBars(counters, unit);
  out += "<section><h2>Detections over time</h2>";
  if (bars.empty()) {
    out += "<p class=\"none\">No detections.</p></section>\n";
    return;
  }
  uint64_t highest = 0;
  for (const ChartBar& bar : bars) highest = std::max(highest, bar.reports);
  // Bars stand at their place in time: one slot per bucket from the first
  // to the last.
  const int64_t step = unit == "hour" ? kHour : kDay;
  int64_t slots = 1;
  if (unit == "month") {
    slots = 0;
    int64_t year = std::stoll(bars.front().label.substr(0, 4)), month = std::stoll(bars.front().label.substr(5, 2));
    const int64_t lastYear = std::stoll(bars.back().label.substr(0, 4)), lastMonth = std::stoll(bars.back().label.substr(5, 2));
    slots = (lastYear - year) * 12 + (lastMonth - month) + 1;
  } else {
    slots = (bars.back().start - bars.front().start) / step + 1;
  }
  constexpr double kWidth = 900, kHeight = 220, kLeft = 48, kBottom = 36, kTop = 12;
  const double plotWidth = kWidth - kLeft - 8, plotHeight = kHeight - kBottom - kTop;
  const double slotWidth = plotWidth / static_cast<double>(slots);
  char number[512];  // the longest element below is about 300 characters
  out += "<svg id=\"chart\" role=\"img\" viewBox=\"0 0 900 220\" width=\"100%\" "
         "xmlns=\"http://www.w3.org/2000/svg\" aria-label=\"Detections per ";
  out += unit;
  out += "\">";
  std::snprintf(number, sizeof number,
                "<line class=\"axis\" x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\"/>"
                "<text class=\"tick\" x=\"%.1f\" y=\"%.1f\" text-anchor=\"end\">%llu</text>"
                "<text class=\"tick\" x=\"%.1f\" y=\"%.1f\" text-anchor=\"end\">0</text>",
                kLeft, kTop + plotHeight, kLeft + plotWidth, kTop + plotHeight, kLeft - 6, kTop + 10,
                static_cast<unsigned long long>(highest), kLeft - 6, kTop + plotHeight);
  out += number;
  for (const ChartBar& bar : bars) {
    int64_t slot = 0;
    if (unit == "month") {
      const int64_t year = std::stoll(bar.label.substr(0, 4)), month = std::stoll(bar.label.substr(5, 2));
      const int64_t firstYear = std::stoll(bars.front().label.substr(0, 4));
      const int64_t firstMonth = std::stoll(bars.front().label.substr(5, 2));
      slot = (year - firstYear) * 12 + (month - firstMonth);
    } else {
      slot = (bar.start - bars.front().start) / step;
    }
    const double height = std::max(1.0, plotHeight * static_cast<double>(bar.reports) / static_cast<double>(highest));
    const double width = std::max(1.0, slotWidth * 0.8);
    std::snprintf(number, sizeof number,
                  "<rect class=\"bar\" x=\"%.2f\" y=\"%.2f\" width=\"%.2f\" height=\"%.2f\" data-count=\"%llu\" "
                  "data-bucket=\"",
                  kLeft + slotWidth * static_cast<double>(slot) + (slotWidth - width) / 2, kTop + plotHeight - height,
                  width, height, static_cast<unsigned long long>(bar.reports));
    out += number;
    out += bar.label + "\"><title>" + bar.label + ": " + Count(bar.reports) +
           (bar.reports == 1 ? " detection" : " detections") + "</title></rect>";
  }
  std::snprintf(number, sizeof number, "<text class=\"tick\" x=\"%.1f\" y=\"%.1f\">", kLeft, kHeight - 14);
  out += number;
  out += bars.front().label + "</text>";
  if (bars.size() > 1) {
    std::snprintf(number, sizeof number, "<text class=\"tick\" x=\"%.1f\" y=\"%.1f\" text-anchor=\"end\">",
                  kLeft + plotWidth, kHeight - 14);
    out += number;
    out += bars.back().label + "</text>";
  }
  out += "</svg><p class=\"caption\">Detections per " + unit + " (UTC); " + Count(bars.size()) + " " + unit +
         (bars.size() == 1 ? "" : "s") + " with a detection.</p></section>\n";
}

constexpr char kStyle[] = R"(
body{font:14px/1.45 system-ui,-apple-system,"Segoe UI",Roboto,sans-serif;margin:0;color:#1d2430;background:#f6f7f9}
header{background:#1d2430;color:#fff;padding:20px 32px}header h1{margin:0;font-size:22px}
header p{margin:4px 0 0;color:#c6ccd6}
main{padding:16px 32px;display:grid;grid-template-columns:repeat(auto-fill,minmax(420px,1fr));gap:16px}
section{background:#fff;border:1px solid #dde1e7;border-radius:6px;padding:12px 16px}
section.wide{grid-column:1/-1}h2{font-size:15px;margin:0 0 8px}
.cards{display:flex;flex-wrap:wrap;gap:12px}.card{min-width:120px}
.card .v{font-size:24px;font-weight:600}.card .k{color:#5b6573;font-size:12px;text-transform:uppercase}
.card.alert .v{color:#b3261e}
table{border-collapse:collapse;width:100%}th,td{text-align:left;padding:3px 8px;border-bottom:1px solid #eef0f3;
word-break:break-all}th{color:#5b6573;font-weight:600;font-size:12px}.n{text-align:right;white-space:nowrap}
.none,.caption{color:#5b6573}svg .bar{fill:#c0392b}svg .axis{stroke:#8a94a3}svg .tick{fill:#5b6573;font-size:11px}
code{font-size:12px;word-break:break-all}
)";

}  // namespace

std::vector<ChartBar> ChartBars(const Counters& counters, std::string& unit) {
  std::vector<ChartBar> bars;
  if (counters.reportHours.empty()) {
    unit = "hour";
    return bars;
  }
  const int64_t firstHour = counters.reportHours.begin()->first, lastHour = counters.reportHours.rbegin()->first;
  if (lastHour - firstHour < 72) {
    unit = "hour";
    for (const auto& [hour, count] : counters.reportHours)
      bars.push_back({hour * kHour, TimeText(hour * kHour).substr(0, 16), count});
    return bars;
  }
  std::vector<std::pair<int64_t, uint64_t>> days;
  for (const auto& [day, tally] : counters.days)
    if (tally.reports > 0) days.emplace_back(day, tally.reports);
  if (days.empty()) return bars;
  if (days.back().first - days.front().first < 1100) {
    unit = "day";
    for (const auto& [day, count] : days) bars.push_back({day * kDay, DayText(day), count});
    return bars;
  }
  unit = "month";
  for (const auto& [day, count] : days) {
    const std::string month = DayText(day).substr(0, 7);
    if (bars.empty() || bars.back().label != month) bars.push_back({day * kDay, month, 0});
    bars.back().reports += count;
  }
  return bars;
}

std::string HtmlReport(const Counters& counters, const ReportContext& context) {
  std::string out =
      "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
      "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; style-src 'unsafe-inline'\">"
      "<meta name=\"viewport\" content=\"width=device-width\"><title>evreplay report</title><style>";
  out += kStyle;
  out += "</style></head><body>\n<header><h1>evreplay report</h1><p>";
  if (counters.anyTime)
    out += "Events from " + TimeText(counters.firstTime) + " to " + TimeText(counters.lastTime) + " UTC";
  else
    out += "No event with a time was used";
  out += "</p></header>\n<main>\n";

  const uint64_t inputCount = counters.inputs.size() + counters.inputsNotListed;
  const uint64_t computerCount = counters.computers.size() + counters.computersNotListed;
  struct Card {
    const char* id;
    const char* label;
    uint64_t value;
  };
  const Card cards[] = {{"read", "events read", counters.read},
                        {"used", "used", counters.used()},
                        {"skipped", "skipped", counters.skippedTotal()},
                        {"reports", "detections", counters.reports()},
                        {"computers", "computers", computerCount},
                        {"inputs", "inputs", inputCount}};
  out += "<section class=\"wide\"><div class=\"cards\">";
  for (const Card& card : cards) {
    out += std::string("<div class=\"card") + (card.id == std::string_view("reports") && card.value > 0 ? " alert" : "") +
           "\" id=\"card-" + card.id + "\"><div class=\"v\">" + Count(card.value) + "</div><div class=\"k\">" +
           card.label + "</div></div>";
  }
  out += "</div></section>\n<div class=\"wide\" style=\"grid-column:1/-1\">";
  AppendChart(out, counters);
  out += "</div>\n";

  std::vector<std::pair<std::string, uint64_t>> rows;
  for (const auto& [verdict, count] : counters.verdicts) rows.emplace_back(verdict, count);
  AppendCountTable(out, "by-verdict", "Detections by verdict", "Verdict", rows);

  rows.clear();
  for (const auto& [table, count] : counters.tables) rows.emplace_back(table, count);
  AppendCountTable(out, "by-table", "Detections by rule table", "Table", rows);

  // Computers: events used and detections.
  out += "<section><h2>Computers</h2><table id=\"by-computer\"><thead><tr><th>Computer</th><th class=\"n\">Events "
         "used</th><th class=\"n\">Detections</th></tr></thead><tbody>";
  std::vector<std::pair<std::string_view, Tally>> computers(counters.computers.begin(), counters.computers.end());
  std::stable_sort(computers.begin(), computers.end(), [](const auto& a, const auto& b) {
    return a.second.reports != b.second.reports ? a.second.reports > b.second.reports : a.second.events > b.second.events;
  });
  for (std::size_t i = 0; i < computers.size() && i < 100; ++i)
    out += "<tr><td>" + Escaped(computers[i].first) + "</td><td class=\"n\">" + Count(computers[i].second.events) +
           "</td><td class=\"n\">" + Count(computers[i].second.reports) + "</td></tr>";
  if (counters.computersNotListed > 0)
    out += "<tr><td>" + Count(counters.computersNotListed) + " more computers</td><td class=\"n\">" +
           Count(counters.otherComputers.events) + "</td><td class=\"n\">" + Count(counters.otherComputers.reports) +
           "</td></tr>";
  out += "</tbody></table></section>\n";

  // Days: events used and detections.
  out += "<section><h2>By day (UTC)</h2><table id=\"by-day\"><thead><tr><th>Day</th><th class=\"n\">Events "
         "used</th><th class=\"n\">Detections</th></tr></thead><tbody>";
  std::size_t dayRows = 0;
  for (auto day = counters.days.rbegin(); day != counters.days.rend() && dayRows < 400; ++day, ++dayRows)
    out += "<tr><td>" + DayText(day->first) + "</td><td class=\"n\">" + Count(day->second.events) +
           "</td><td class=\"n\">" + Count(day->second.reports) + "</td></tr>";
  out += "</tbody></table>";
  if (counters.days.size() > dayRows) out += "<p class=\"none\">the latest " + Count(dayRows) + " days</p>";
  out += "</section>\n";

  rows.clear();
  for (int result = 1; result <= 4; ++result)
    rows.emplace_back(std::string(ResultName(result)) + " (" + std::to_string(result) + ")",
                      counters.results[static_cast<std::size_t>(result)]);
  out += "<section><h2>Results</h2><table id=\"results\"><tbody>";
  for (const auto& [name, count] : rows) out += "<tr><td>" + name + "</td><td class=\"n\">" + Count(count) + "</td></tr>";
  out += "</tbody></table></section>\n";

  rows.clear();
  for (std::size_t reason = 0; reason < counters.skipped.size(); ++reason)
    if (counters.skipped[reason] > 0)
      rows.emplace_back(ReasonText(static_cast<SkipReason>(reason)), counters.skipped[reason]);
  for (std::size_t kind = 0; kind < counters.damage.size(); ++kind)
    if (counters.damage[kind] > 0) rows.emplace_back(evtx::DamageText(static_cast<evtx::Damage>(kind)), counters.damage[kind]);
  AppendCountTable(out, "skipped", "Skipped", "Reason", rows);

  out += "<section class=\"wide\"><h2>Inputs</h2><table id=\"inputs\"><thead><tr><th>Input</th><th class=\"n\">Read"
         "</th><th class=\"n\">Used</th><th class=\"n\">Skipped</th><th class=\"n\">Detections</th></tr></thead><tbody>";
  auto inputRow = [&](const std::string& name, const InputTally& input) {
    out += "<tr><td>" + Escaped(name) + "</td><td class=\"n\">" + Count(input.read) + "</td><td class=\"n\">" +
           Count(input.used) + "</td><td class=\"n\">" + Count(input.skipped) + "</td><td class=\"n\">" +
           Count(input.reports) + "</td></tr>";
  };
  for (const InputTally& input : counters.inputs) inputRow(input.name, input);
  if (counters.inputsNotListed > 0) inputRow(Count(counters.inputsNotListed) + " more inputs", counters.otherInputs);
  out += "</tbody></table></section>\n";

  out += "<section class=\"wide\"><h2>Options</h2><p><code>";
  for (std::size_t i = 0; i < context.arguments.size(); ++i) {
    if (i > 0) out += ' ';
    AppendEscaped(out, context.arguments[i]);
  }
  out += "</code></p>";
  if (!context.module.empty()) out += "<p>Module: <code>" + Escaped(context.module) + "</code></p>";
  out += "</section>\n</main></body></html>\n";
  return out;
}

}  // namespace evreplay
