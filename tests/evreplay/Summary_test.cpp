#include "Summary.h"

#include <gtest/gtest.h>

namespace evreplay {
namespace {

TEST(SummaryTest, EveryCountInItsPlace) {
  Counters counters;
  counters.BeginInput("a.jsonl");
  counters.read = 12;
  counters.usedById[1] = 2;
  counters.usedById[13] = 3;
  counters.skipped[static_cast<std::size_t>(SkipReason::NotJson)] = 6;
  counters.firstLines[static_cast<std::size_t>(SkipReason::NotJson)] = {"a:1", "a:2", "a:3", "a:4", "a:5"};
  counters.skipped[static_cast<std::size_t>(SkipReason::IdNotUsed)] = 1;
  counters.unusedIds[3] = 1;
  const int64_t nine = 1714554000;  // 2024-05-01 09:00:00
  for (int i = 0; i < 3; ++i) counters.CountEvent("WS01", &nine);
  counters.CountReport("AutoRunUser", nine);
  const int64_t later = nine + 86400 + 5;
  counters.CountEvent("SRV", &later);
  counters.CountEvent("SRV", nullptr);
  counters.verdicts["HIPS:Trojan.Locky.Win32.1"] = 2;
  counters.BeginInput("b.evtx");
  counters.results = {0, 1, 1, 1, 2};
  counters.EndInput();
  EXPECT_EQ(SummaryText(counters, 0.5, "/m/libevrules.so"),
            "evreplay: 12 events read from 2 inputs\n"
            "  module: /m/libevrules.so\n"
            "  time span: 2024-05-01 09:00:00 to 2024-05-02 09:00:05 UTC\n"
            "  used: 5\n"
            "    Sysmon 1 (process created): 2\n"
            "    Sysmon 13 (registry value set): 3\n"
            "  skipped: 7\n"
            "    not JSON: 6, lines a:1, a:2, a:3, a:4, a:5, ...\n"
            "    Sysmon id not used: 1 (id 3: 1)\n"
            "  reports: 2\n"
            "    HIPS:Trojan.Locky.Win32.1: 2\n"
            "  results: 1 no verdict (1), 1 exempt system process (2), 1 blocked without a report (3), 2 detected (4)\n"
            "  busiest computers (2 in all):\n"
            "    WS01: 3 events used, 1 report\n"
            "    SRV: 2 events used, 0 reports\n"
            "  inputs:\n"
            "    a.jsonl: 12 read, 5 used, 7 skipped, 2 reports\n"
            "    b.evtx: 0 read, 0 used, 0 skipped, 0 reports\n"
            "  speed: 24 events/s (0.500 s)\n");
  EXPECT_EQ(counters.days.at(19844).events, 3u);
  EXPECT_EQ(counters.days.at(19844).reports, 1u);
  EXPECT_EQ(counters.reportHours.at(476265), 1u);
  EXPECT_EQ(counters.tables.at("AutoRunUser"), 1u);
}

TEST(SummaryTest, NothingRead) {
  EXPECT_EQ(SummaryText(Counters{}, 0),
            "evreplay: 0 events read\n"
            "  used: 0\n"
            "  skipped: 0\n"
            "  reports: 0\n"
            "  results: 0 no verdict (1), 0 exempt system process (2), 0 blocked without a report (3), 0 detected (4)\n"
            "  speed: 0 events/s (0.000 s)\n");
}

// A log may name any number of computers and inputs: beyond the limits they
// are summed, not kept.
TEST(SummaryTest, WhatALogMakesGrowStaysWithinItsLimits) {
  Counters counters;
  for (std::size_t i = 0; i < Counters::kMaxComputers + 5; ++i) {
    const int64_t t = static_cast<int64_t>(i) * 86400;
    counters.CountEvent("pc" + std::to_string(i), &t);
    counters.CountReport("t", t * 3);
  }
  for (std::size_t i = 0; i < Counters::kMaxInputs + 2; ++i) counters.BeginInput("in" + std::to_string(i));
  counters.EndInput();
  EXPECT_EQ(counters.computers.size(), Counters::kMaxComputers);
  EXPECT_EQ(counters.computersNotListed, 5u);
  EXPECT_EQ(counters.otherComputers.events, 5u);
  EXPECT_EQ(counters.inputs.size(), Counters::kMaxInputs);
  EXPECT_EQ(counters.inputsNotListed, 2u);
  EXPECT_LE(counters.days.size(), Counters::kMaxBuckets);
  EXPECT_NE(SummaryText(counters, 1).find("    2 more inputs: 0 read"), std::string::npos);
}

TEST(SummaryTest, NamesOfTheUsedIdsAndResults) {
  for (int64_t id : {1, 2, 11, 12, 13, 14, 23, 26, 27, 28}) EXPECT_STRNE(SysmonIdName(id), "not used") << id;
  EXPECT_STREQ(SysmonIdName(3), "not used");
  EXPECT_EQ(ResultName(4), "detected");
  EXPECT_EQ(TimeText(-1), "1969-12-31 23:59:59");
}

}  // namespace
}  // namespace evreplay
