// Cost of one event on the hot paths the protection host calls for every
// registry write and process start. Each benchmark also reports the heap
// allocations per event, counted by the operator new below.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "PlatformEmulation.h"
#include "evrules.h"

namespace {
std::atomic<std::size_t> theAllocations{0};
}  // namespace

void* operator new(std::size_t size) {
  theAllocations.fetch_add(1, std::memory_order_relaxed);
  if (void* memory = std::malloc(size == 0 ? 1 : size)) return memory;
  throw std::bad_alloc();
}
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }

namespace {

int32_t EVRULES_CALL IgnoreReport(const DetectionReport*) { return 0; }
int32_t EVRULES_CALL NeverExempt(const EvWideChar*, EvWideChar*, int32_t) { return 0; }
int32_t EVRULES_CALL NotWhiteListed(const EvWideChar*) { return 0; }

// A machine as the emulation sets it up by default, with the usual
// environment, and a host that gave every callback.
void InitModule() {
  static bool done = false;
  if (done) return;
  done = true;
  EvEmu_Reset();
  ::setenv("ALLUSERSPROFILE", "C:\\ProgramData", 1);
  ::setenv("ProgramFiles", "C:\\Program Files", 1);
  HostCallbacks callbacks{EVRULES_SIZE_WITH_ALL, IgnoreReport, NeverExempt, NotWhiteListed};
  InitLibrary(&callbacks);
}

template <typename Event>
void RunEvent(benchmark::State& state, int32_t expected, Event event) {
  InitModule();
  if (event() != expected) {
    state.SkipWithError("unexpected result");
    return;
  }
  std::size_t before = theAllocations.load();
  for (auto _ : state) benchmark::DoNotOptimize(event());
  std::size_t allocations = theAllocations.load() - before;
  state.counters["allocs_per_event"] =
      benchmark::Counter(static_cast<double>(allocations) / static_cast<double>(state.iterations()));
}

// Operation 4 on a key no table holds, by a process that is not a system process.
void BM_RegEvent_UnlistedMachineKey(benchmark::State& state) {
  RunEvent(state, EVRULES_RESULT_NONE, [] {
    return RegEvent(u"C:\\Program Files\\Vendor\\App\\app.exe",
                    u"\\REGISTRY\\MACHINE\\SOFTWARE\\Vendor\\App\\Settings\\Window\\", u"LastPosition", 4);
  });
}
BENCHMARK(BM_RegEvent_UnlistedMachineKey);

void BM_RegEvent_UnlistedUserKey(benchmark::State& state) {
  RunEvent(state, EVRULES_RESULT_NONE, [] {
    return RegEvent(u"C:\\Program Files\\Vendor\\App\\app.exe",
                    u"\\REGISTRY\\USER\\S-1-5-21-3623811015-3361044348-30300820-1013\\Software\\Vendor\\App\\Recent\\",
                    u"File1", 4);
  });
}
BENCHMARK(BM_RegEvent_UnlistedUserKey);

// Flags 0, judged by the name filter without a hit.
void BM_ProcessEvent_NameFilterMiss(benchmark::State& state) {
  RunEvent(state, EVRULES_RESULT_NONE, [] {
    return ProcessEvent(u"C:\\Program Files\\Vendor\\App\\app.exe", u"C:\\Program Files\\Vendor\\App\\helper.exe",
                        u"\"C:\\Program Files\\Vendor\\App\\helper.exe\" --update", 0, 0, 0);
  });
}
BENCHMARK(BM_ProcessEvent_NameFilterMiss);

// A system process, answered by the exemption at once.
void BM_RegEvent_SystemProcess(benchmark::State& state) {
  RunEvent(state, EVRULES_RESULT_SYSTEM, [] {
    return RegEvent(u"C:\\Windows\\System32\\svchost.exe", u"\\REGISTRY\\MACHINE\\SOFTWARE\\XWCMT\\", u"x", 4);
  });
}
BENCHMARK(BM_RegEvent_SystemProcess);

// A name-filter hit: asks the white list (two debugger lines) and reports.
void BM_ProcessEvent_NameFilterHit(benchmark::State& state) {
  RunEvent(state, EVRULES_RESULT_DETECTED,
           [] { return ProcessEvent(u"C:\\Temp\\svch0st.exe", u"", u"", 0, 0, 0); });
}
BENCHMARK(BM_ProcessEvent_NameFilterHit);

}  // namespace

BENCHMARK_MAIN();
