// Calls evrules.dll's exports as the protection host does, with the process
// out of memory: the whole address space reserved, so that no heap can grow,
// and the C runtime's heap, which the DLL's operator new draws on, taken to
// the last block before each call. Events that need the heap inside the DLL
// (paths of 100,000 characters, non-ASCII text, long command lines, debugger
// lines) must answer 1 and InitLibrary 0, without a crash; once the memory is
// given back the usual answers must return.
// Prints one line per check; exits 1 when a check fails.
// Usage: evrules-out-of-memory.exe PATH_OF_EVRULES_DLL
#include <windows.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "Module.h"

namespace {

// Host callbacks that need no memory either.
int theReports = 0;
int32_t EVRULES_CALL CountReport(const DetectionReport*) { return ++theReports, 0; }
int32_t EVRULES_CALL NoFileAnswer(const EvWideChar*, EvWideChar*, int32_t) { return 0; }
int32_t EVRULES_CALL NotWhiteListed(const EvWideChar*) { return 0; }

int theFailures = 0;

// Straight to the standard output handle from a stack buffer: the C
// runtime's stream buffer may be impossible to allocate.
void Print(const char* format, ...) {
  char line[256];
  va_list arguments;
  va_start(arguments, format);
  const int length = std::vsnprintf(line, sizeof line, format, arguments);
  va_end(arguments);
  DWORD written = 0;
  if (length > 0)
    ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), line, static_cast<DWORD>(std::min<int>(length, sizeof line - 1)),
                &written, nullptr);
}

void Check(const char* what, int32_t answer, int32_t expected) {
  Print("%s %s: answered %ld, expected %ld\n", answer == expected ? "ok  " : "FAIL", what, static_cast<long>(answer),
        static_cast<long>(expected));
  if (answer != expected) ++theFailures;
}

// What was taken from the process, so that it can be given back.
constexpr std::size_t kMaxReservations = 1 << 16;
void* theReservations[kMaxReservations];
std::size_t theReservationCount = 0;
void* theHeapBlocks = nullptr;  // each block holds the address of the one before

void ReserveAddressSpace() {
  for (SIZE_T size = SIZE_T{1} << 30; size >= 64 * 1024; size /= 2) {
    while (theReservationCount < kMaxReservations) {
      void* block = ::VirtualAlloc(nullptr, size, MEM_RESERVE, PAGE_NOACCESS);
      if (block == nullptr) break;
      theReservations[theReservationCount++] = block;
    }
  }
}

// With no address space left the heap cannot grow; this takes what it still
// has free, to the last block.
void TakeTheHeap() {
  for (std::size_t size = std::size_t{1} << 20; size >= sizeof(void*); size /= 2) {
    while (void* block = std::malloc(size)) {
      *static_cast<void**>(block) = theHeapBlocks;
      theHeapBlocks = block;
    }
  }
}

void ReleaseMemory() {
  while (theHeapBlocks != nullptr) {
    void* before = *static_cast<void**>(theHeapBlocks);
    std::free(theHeapBlocks);
    theHeapBlocks = before;
  }
  while (theReservationCount > 0) ::VirtualFree(theReservations[--theReservationCount], 0, MEM_RELEASE);
}

template <typename Fn>
bool Resolve(HMODULE module, const char* name, Fn& out) {
  out = reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
  if (out == nullptr) Print("FAIL GetProcAddress(%s)\n", name);
  return out != nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s PATH_OF_EVRULES_DLL\n", argv[0]);
    return 2;
  }
  HMODULE module = ::LoadLibraryA(argv[1]);
  if (module == nullptr) {
    Print("FAIL LoadLibrary(%s): error %lu\n", argv[1], static_cast<unsigned long>(::GetLastError()));
    return 1;
  }
  rulehost::InitLibraryFn InitLibrary;
  rulehost::RegEventFn RegEvent;
  rulehost::RegEventExFn RegEventEx;
  rulehost::ProcessEventFn ProcessEvent;
  rulehost::ProcessEventExFn ProcessEventEx;
  rulehost::NetConnectEventFn NetConnectEvent;
  rulehost::NetProtocolDataFn NetProtocolData;
  if (!Resolve(module, "InitLibrary", InitLibrary) || !Resolve(module, "RegEvent", RegEvent) ||
      !Resolve(module, "RegEventEx", RegEventEx) || !Resolve(module, "ProcessEvent", ProcessEvent) ||
      !Resolve(module, "ProcessEventEx", ProcessEventEx) || !Resolve(module, "NetConnectEvent", NetConnectEvent) ||
      !Resolve(module, "NetProtocolData", NetProtocolData))
    return 1;

  const HostCallbacks callbacks{EVRULES_SIZE_WITH_ALL, CountReport, NoFileAnswer, NotWhiteListed};
  Check("InitLibrary", InitLibrary(&callbacks), 1);

  // Built while there is memory. The interpreters are the system folder's.
  wchar_t systemFolder[MAX_PATH] = L"";
  ::GetSystemDirectoryW(systemFolder, MAX_PATH);
  const std::wstring cmd = std::wstring(systemFolder) + L"\\cmd.exe";
  const std::wstring wscript = std::wstring(systemFolder) + L"\\wscript.exe";
  const std::wstring longFolder = L"C:\\" + std::wstring(100000, L'd');
  const std::wstring nonAsciiFolder = L"C:\\" + std::wstring(100000, L'\x0436');
  const std::wstring longSvchost = longFolder + L"\\svchost.exe";
  const std::wstring nonAsciiSvchost = nonAsciiFolder + L"\\svchost.exe";
  const std::wstring longTarget = longFolder + L"\\x.exe";
  const std::wstring cmdLine = L"cmd /c " + longTarget + L" " + longFolder + L" " + nonAsciiFolder;
  const std::wstring scriptLine = L"wscript.exe " + longFolder + L"\\run.vbs " + nonAsciiFolder + L"\\run.js";
  const wchar_t* lockyKey = L"\\REGISTRY\\USER\\S-1-5-21-1\\SOFTWARE\\Locky\\";
  Check("RegEvent, long path, with memory", RegEvent(longSvchost.c_str(), lockyKey, L"v", 2), 4);

  // `expected`: the answer of a call that runs out of memory.
  struct Call {
    const char* what;
    std::function<int32_t()> call;
    int32_t expected;
  };
  const Call kCalls[] = {
      {"RegEvent, long path", [&] { return RegEvent(longSvchost.c_str(), lockyKey, L"v", 2); }, 1},
      {"RegEventEx, non-ASCII path",
       [&] { return RegEventEx(nonAsciiSvchost.c_str(), lockyKey, L"v", 2, 0, 0, 0, 0, 0); }, 1},
      {"ProcessEvent, long path", [&] { return ProcessEvent(longSvchost.c_str(), L"", L"", 0, 0, 0); }, 1},
      {"ProcessEventEx, non-ASCII path",
       [&] { return ProcessEventEx(nonAsciiSvchost.c_str(), L"", L"", 0, 0, 0, 0, 0, 0, 0, 0); }, 1},
      {"ProcessEvent, cmd.exe with a long command line",
       [&] { return ProcessEvent(cmd.c_str(), longTarget.c_str(), cmdLine.c_str(), 0x80, 0, 0); }, 1},
      {"ProcessEvent, wscript.exe with a long command line",
       [&] { return ProcessEvent(wscript.c_str(), longTarget.c_str(), scriptLine.c_str(), 0x80, 0, 0); }, 1},
      {"ProcessEvent, name filter hit with debugger lines",
       [&] { return ProcessEvent(L"C:\\Temp\\svch0st.exe", L"", L"", 0, 0, 0); }, 1},
      {"NetConnectEvent", [&] { return NetConnectEvent(1, 2, 3, 4, 5, 6, 7, 8); }, 0},
      {"NetProtocolData", [&] { return NetProtocolData(1, 2, 3, 4, 5, 6, 7); }, 0},
      {"InitLibrary", [&] { return InitLibrary(&callbacks); }, 0},
  };

  // What each call answers while there is memory: a call that needs none
  // may still give that answer when there is none.
  std::vector<int32_t> withMemory;
  for (const Call& c : kCalls) withMemory.push_back(c.call());

  ReserveAddressSpace();
  Print("reserved the address space in %u blocks\n", static_cast<unsigned>(theReservationCount));
  TakeTheHeap();
  void* probe = std::malloc(8);
  Check("malloc(8) with no memory left gives null", probe == nullptr ? 1 : 0, 1);
  std::free(probe);
  // Taken again before each call, so that what a call left free (the DLL
  // frees memory it kept aside when it fails) cannot serve the next one.
  for (std::size_t i = 0; i < std::size(kCalls); ++i) {
    TakeTheHeap();
    const int32_t answer = kCalls[i].call();
    const bool ok = answer == kCalls[i].expected || answer == withMemory[i];
    Print("%s %s: answered %ld, expected %ld (or %ld, its answer with memory)\n", ok ? "ok  " : "FAIL",
          kCalls[i].what, static_cast<long>(answer), static_cast<long>(kCalls[i].expected),
          static_cast<long>(withMemory[i]));
    if (!ok) ++theFailures;
  }
  ReleaseMemory();

  theReports = 0;
  Check("InitLibrary, memory back", InitLibrary(&callbacks), 1);
  Check("RegEvent, long path, memory back", RegEvent(longSvchost.c_str(), lockyKey, L"v", 2), 4);
  Check("ProcessEvent, name filter hit, memory back", ProcessEvent(L"C:\\Temp\\svch0st.exe", L"", L"", 0, 0, 0), 4);
  Check("reports, memory back", theReports, 2);
  return theFailures == 0 ? 0 : 1;
}
