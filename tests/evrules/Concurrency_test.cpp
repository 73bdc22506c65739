// The host may call the event exports from several threads at once: each
// thread must get exactly what one thread alone gets.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "EmulatedMachine.h"

namespace {

using evrules_test::Recorded;
using evrules_test::Report;

struct Event {
  bool registry;
  const char16_t* process;
  const char16_t* second;  // key or target
  const char16_t* third;   // value name or command line
  int32_t code;            // operation or flags
};

const Event kEvents[] = {
    {true, u"C:\\Users\\x\\Temp\\a.exe", u"\\REGISTRY\\MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run\\", u"a", 2},
    {true, u"C:\\Tools\\t.exe", u"\\REGISTRY\\USER\\S-1-5-21-1\\Software\\Locky\\", u"", 4},
    {true, u"C:\\Tools\\t.exe", u"\\REGISTRY\\MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon\\", u"Userinit", 3},
    {true, u"C:\\Windows\\System32\\svchost.exe", u"\\REGISTRY\\MACHINE\\SOFTWARE\\XWCMT\\", u"", 4},
    {true, u"C:\\Tools\\t.exe", u"\\REGISTRY\\MACHINE\\SOFTWARE\\Other\\", u"x", 4},
    {false, u"C:\\Temp\\svch0st.exe", u"", u"", 0},
    {false, u"C:\\Temp\\taskdl.exe", u"", u"", 0},
    {false, u"C:\\Program Files\\setup.exe", u"", u"", 0},
    {false, u"C:\\Windows\\System32\\wscript.exe", u"C:\\Users\\x\\Temp\\a.exe", u"wscript.exe \"E:\\s\\run.vbs\"", 0x80},
    {false, u"C:\\Windows\\System32\\cmd.exe", u"C:\\Users\\x\\Temp\\a.exe", u"cmd /c C:\\Users\\x\\Temp\\a.exe", 0x80},
    {false, u"C:\\Windows\\notepad.exe", u"", u"", 0},
};

struct Outcome {
  std::vector<int32_t> results;
  std::vector<Report> reports;
  std::vector<std::string> debugLines;
  bool operator==(const Outcome& o) const {
    return results == o.results && reports == o.reports && debugLines == o.debugLines;
  }
};

Outcome RunAll(int rounds) {
  Recorded() = evrules_test::HostRecord{};
  Outcome outcome;
  for (int round = 0; round < rounds; ++round) {
    for (const Event& e : kEvents) {
      outcome.results.push_back(e.registry ? RegEvent(e.process, e.second, e.third, e.code)
                                           : ProcessEvent(e.process, e.second, e.third, e.code, 0, 0));
    }
  }
  outcome.reports = Recorded().reports;
  outcome.debugLines = Recorded().debugLines;
  return outcome;
}

class ConcurrencyTest : public evrules_test::EmulatedMachine {};

TEST_F(ConcurrencyTest, EightThreadsGetWhatOneThreadGets) {
  MapDrive(u"E:", 2);
  CreateFile(u"E:\\s\\run.vbs");
  CreateFile(u"C:\\Users\\x\\Temp\\a.exe", 0);
  CreateFile(u"C:\\Tools\\t.exe", 40);
  evrules_test::Answers().whiteList[u"C:\\Program Files\\setup.exe"] = 1;

  constexpr int kRounds = 40;
  const Outcome expected = RunAll(kRounds);
  ASSERT_EQ(expected.results.size(), std::size(kEvents) * kRounds);
  // Spot-check that the events do exercise every rule set.
  EXPECT_EQ(std::vector<int32_t>(expected.results.begin(), expected.results.begin() + std::size(kEvents)),
            (std::vector<int32_t>{4, 4, 4, 2, 1, 4, 2, 1, 3, 3, 1}));

  constexpr int kThreads = 8;
  std::vector<Outcome> outcomes(kThreads);
  std::vector<std::thread> threads;
  std::atomic<int> ready{0};
  for (int i = 0; i < kThreads; ++i) {
    threads.emplace_back([&outcomes, &ready, i] {
      // Start together so that the events really overlap.
      ready.fetch_add(1);
      while (ready.load() < kThreads) std::this_thread::yield();
      outcomes[i] = RunAll(kRounds);
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (int i = 0; i < kThreads; ++i) {
    SCOPED_TRACE(i);
    EXPECT_TRUE(outcomes[i] == expected);
  }
}

}  // namespace
