// Cost of one event on the paths the protection host calls for every
// registry write and process start, and on the paths where a rule fires.
// Each benchmark also reports the heap allocations per event, counted by the
// operator new below.
//
// `evrules_bench --count-event NAME N` runs one event N times inside
// CountedRuns and prints its allocations per event; instructions.sh runs
// that under callgrind, which counts the instructions of CountedRuns alone.
// `evrules_bench --list-events` prints the event names.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <new>
#include <string>
#include <system_error>

#include <unistd.h>

#include "PlatformEmulation.h"
#include "evrules.h"

namespace {
std::atomic<std::size_t> theAllocations{0};

void* CountedAllocation(std::size_t size) {
  theAllocations.fetch_add(1, std::memory_order_relaxed);
  if (void* memory = std::malloc(size == 0 ? 1 : size)) return memory;
  throw std::bad_alloc();
}
}  // namespace

void* operator new(std::size_t size) { return CountedAllocation(size); }
void* operator new[](std::size_t size) { return CountedAllocation(size); }
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }

namespace {

int32_t EVRULES_CALL IgnoreReport(const DetectionReport*) { return 0; }
int32_t EVRULES_CALL NeverExempt(const EvWideChar*, EvWideChar*, int32_t) { return 0; }
int32_t EVRULES_CALL NotWhiteListed(const EvWideChar*) { return 0; }
// A debugger that takes every line, so that the lines are built and sent.
void IgnoreDebugLine(const char*, void*) {}

std::filesystem::path MachineFolder() {
  static const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("evrules-bench-" + std::to_string(::getpid()));
  return folder;
}

void CreateFile(const std::filesystem::path& path) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path) << "x";
}

// The emulation's default machine with the usual environment, drive C: fixed
// and E: removable, a program written today (C:\Temp\fresh.exe) and a script
// on E:, and a host that gave every callback and a debugger.
void InitModule() {
  static bool done = false;
  if (done) return;
  done = true;
  const std::filesystem::path folder = MachineFolder();
  CreateFile(folder / "c/Temp/fresh.exe");
  CreateFile(folder / "e/run.vbs");
  std::atexit([] {
    std::error_code ignored;
    std::filesystem::remove_all(MachineFolder(), ignored);
  });
  EvEmu_Reset();
  EvEmu_MapDrive(u"C:", (folder / "c").c_str(), 3);
  EvEmu_MapDrive(u"E:", (folder / "e").c_str(), 2);
  EvEmu_SetDebugSink(IgnoreDebugLine, nullptr);
  ::setenv("ALLUSERSPROFILE", "C:\\ProgramData", 1);
  ::setenv("ProgramFiles", "C:\\Program Files", 1);
  HostCallbacks callbacks{EVRULES_SIZE_WITH_ALL, IgnoreReport, NeverExempt, NotWhiteListed};
  InitLibrary(&callbacks);
}

struct Event {
  const char* name;
  int32_t expected;
  int32_t (*call)();
};

const Event kEvents[] = {
    // Operation 4 on a key no table holds, by a process that is not a system process.
    {"BM_RegEvent_UnlistedMachineKey", EVRULES_RESULT_NONE,
     [] {
       return RegEvent(u"C:\\Program Files\\Vendor\\App\\app.exe",
                       u"\\REGISTRY\\MACHINE\\SOFTWARE\\Vendor\\App\\Settings\\Window\\", u"LastPosition", 4);
     }},
    {"BM_RegEvent_UnlistedUserKey", EVRULES_RESULT_NONE,
     [] {
       return RegEvent(
           u"C:\\Program Files\\Vendor\\App\\app.exe",
           u"\\REGISTRY\\USER\\S-1-5-21-3623811015-3361044348-30300820-1013\\Software\\Vendor\\App\\Recent\\",
           u"File1", 4);
     }},
    // Flags 0, judged by the name filter without a hit.
    {"BM_ProcessEvent_NameFilterMiss", EVRULES_RESULT_NONE,
     [] {
       return ProcessEvent(u"C:\\Program Files\\Vendor\\App\\app.exe", u"C:\\Program Files\\Vendor\\App\\helper.exe",
                           u"\"C:\\Program Files\\Vendor\\App\\helper.exe\" --update", 0, 0, 0);
     }},
    // A system process, answered by the exemption at once.
    {"BM_RegEvent_SystemProcess", EVRULES_RESULT_SYSTEM,
     [] { return RegEvent(u"C:\\Windows\\System32\\svchost.exe", u"\\REGISTRY\\MACHINE\\SOFTWARE\\XWCMT\\", u"x", 4); }},
    // A name-filter hit: asks the white list (two debugger lines) and reports.
    {"BM_ProcessEvent_NameFilterHit", EVRULES_RESULT_DETECTED,
     [] { return ProcessEvent(u"C:\\Temp\\svch0st.exe", u"", u"", 0, 0, 0); }},
    // A registry black-list hit with a report.
    {"BM_RegEvent_BlackListReport", EVRULES_RESULT_DETECTED,
     [] { return RegEvent(u"C:\\Temp\\app.exe", u"\\REGISTRY\\MACHINE\\SOFTWARE\\XWCMT\\", u"x", 4); }},
    // A Run key set by a program written today: file tests, the host's
    // QueryFile, a report.
    {"BM_RegEvent_AutoRunHit", EVRULES_RESULT_DETECTED,
     [] {
       return RegEvent(u"C:\\Temp\\fresh.exe",
                       u"\\REGISTRY\\MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run\\", u"Updater", 2);
     }},
    // A script host running a script from a removable drive.
    {"BM_ProcessEvent_ScriptFromRemovable", EVRULES_RESULT_SILENT,
     [] {
       return ProcessEvent(u"C:\\Windows\\System32\\wscript.exe", u"C:\\Temp\\none.exe",
                           u"wscript.exe //B \"E:\\run.vbs\"", 0, 0, 0);
     }},
    // The command interpreter's /C starting a program written today.
    {"BM_ProcessEvent_CmdRunsFreshProgram", EVRULES_RESULT_SILENT,
     [] {
       return ProcessEvent(u"C:\\Windows\\System32\\cmd.exe", u"C:\\Temp\\fresh.exe", u"cmd.exe /c C:\\Temp\\fresh.exe",
                           0x80, 0, 0);
     }},
};

void RunEvent(benchmark::State& state, const Event& event) {
  InitModule();
  if (event.call() != event.expected) {
    state.SkipWithError("unexpected result");
    return;
  }
  std::size_t before = theAllocations.load();
  for (auto _ : state) benchmark::DoNotOptimize(event.call());
  std::size_t allocations = theAllocations.load() - before;
  state.counters["allocs_per_event"] =
      benchmark::Counter(static_cast<double>(allocations) / static_cast<double>(state.iterations()));
}

// The only function whose instructions instructions.sh counts.
__attribute__((noinline)) int32_t CountedRuns(int32_t (*call)(), long runs) {
  int32_t last = 0;
  for (long i = 0; i < runs; ++i) {
    last = call();
    benchmark::DoNotOptimize(last);
  }
  return last;
}

int CountEvent(const char* name, long runs) {
  for (const Event& event : kEvents) {
    if (std::strcmp(event.name, name) != 0) continue;
    InitModule();
    // Once before counting, so that first-call work (the time zone, say) is not counted.
    if (event.call() != event.expected) {
      std::fprintf(stderr, "%s: unexpected result\n", name);
      return 1;
    }
    const std::size_t before = theAllocations.load();
    const int32_t result = CountedRuns(event.call, runs);
    const std::size_t allocations = theAllocations.load() - before;
    std::printf("%s result=%d allocs_per_event=%g\n", name, result,
                static_cast<double>(allocations) / static_cast<double>(runs));
    return result == event.expected ? 0 : 1;
  }
  std::fprintf(stderr, "no event %s\n", name);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--list-events") == 0) {
    for (const Event& event : kEvents) std::printf("%s\n", event.name);
    return 0;
  }
  if (argc == 4 && std::strcmp(argv[1], "--count-event") == 0) return CountEvent(argv[2], std::atol(argv[3]));

  for (const Event& event : kEvents)
    benchmark::RegisterBenchmark(event.name, [&event](benchmark::State& state) { RunEvent(state, event); });
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
