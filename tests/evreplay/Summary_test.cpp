#include "Summary.h"

#include <gtest/gtest.h>

namespace evreplay {
namespace {

TEST(SummaryTest, EveryCountInItsPlace) {
  Counters counters;
  counters.read = 12;
  counters.usedById[1] = 2;
  counters.usedById[13] = 3;
  counters.skipped[static_cast<std::size_t>(SkipReason::NotJson)] = 6;
  counters.firstLines[static_cast<std::size_t>(SkipReason::NotJson)] = {"a:1", "a:2", "a:3", "a:4", "a:5"};
  counters.skipped[static_cast<std::size_t>(SkipReason::IdNotUsed)] = 1;
  counters.unusedIds[3] = 1;
  counters.verdicts["HIPS:Trojan.Locky.Win32.1"] = 2;
  counters.results = {0, 1, 1, 1, 2};
  EXPECT_EQ(SummaryText(counters, 0.5),
            "evreplay: 12 events read\n"
            "  used: 5\n"
            "    Sysmon 1 (process created): 2\n"
            "    Sysmon 13 (registry value set): 3\n"
            "  skipped: 7\n"
            "    not JSON: 6, lines a:1, a:2, a:3, a:4, a:5, ...\n"
            "    Sysmon id not used: 1 (id 3: 1)\n"
            "  reports: 2\n"
            "    HIPS:Trojan.Locky.Win32.1: 2\n"
            "  results: 1: 1, 2: 1, 3: 1, 4: 2\n"
            "  speed: 24 events/s (0.500 s)\n");
}

TEST(SummaryTest, NothingRead) {
  EXPECT_EQ(SummaryText(Counters{}, 0),
            "evreplay: 0 events read\n"
            "  used: 0\n"
            "  skipped: 0\n"
            "  reports: 0\n"
            "  results: 1: 0, 2: 0, 3: 0, 4: 0\n"
            "  speed: 0 events/s (0.000 s)\n");
}

TEST(SummaryTest, NamesOfTheUsedIds) {
  for (int64_t id : {1, 2, 11, 12, 13, 14, 23, 26}) EXPECT_STRNE(SysmonIdName(id), "not used") << id;
  EXPECT_STREQ(SysmonIdName(3), "not used");
}

}  // namespace
}  // namespace evreplay
