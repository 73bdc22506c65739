// The exports when the heap runs out. This program replaces the global
// operator new and delete so that, once armed, the Nth allocation and every
// one after it fail.
//
// It is a program of its own so that the replacement touches no other test.
// It works alike with and without AddressSanitizer: ASan's operator new is
// only the default that a program's own replaces, and the memory still comes
// from malloc and goes back to free, which ASan watches; only its new/delete
// mismatch check is lost, and only here.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <limits>
#include <new>
#include <string>
#include <utility>

#include "EmulatedMachine.h"
#include "ProcessNameFilter.h"
#include "evrules.h"

namespace {

struct AllocationFaults {
  bool armed = false;
  std::size_t failFrom = 0;  // number of the first allocation that fails, from 1
  std::size_t asked = 0;     // allocations asked for since arming
};
AllocationFaults theFaults;

void* Allocate(std::size_t size) noexcept {
  if (theFaults.armed && ++theFaults.asked >= theFaults.failFrom) return nullptr;
  return std::malloc(size != 0 ? size : 1);
}

void* AllocateOrThrow(std::size_t size) {
  if (void* block = Allocate(size)) return block;
  throw std::bad_alloc();
}

}  // namespace

void* operator new(std::size_t size) { return AllocateOrThrow(size); }
void* operator new[](std::size_t size) { return AllocateOrThrow(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { std::free(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { std::free(block); }

namespace {

using evrules::Folders;
using evrules_test::FullCallbacks;

constexpr std::size_t kNoFault = std::numeric_limits<std::size_t>::max();

struct Outcome {
  int32_t answer;
  std::size_t allocations;
};

// Calls `call` with allocation `failFrom` and all after it failing. Test
// assertions allocate, so they come only after the fault is disarmed. What the
// host recorded before is dropped, so that every run allocates alike.
Outcome RunWithFaults(std::size_t failFrom, const std::function<int32_t()>& call) {
  evrules_test::Recorded() = evrules_test::HostRecord{};
  struct Disarm {
    ~Disarm() { theFaults.armed = false; }
  } disarm;
  theFaults = AllocationFaults{true, failFrom, 0};
  const int32_t answer = call();
  return {answer, theFaults.asked};
}

class AllocationFailureTest : public evrules_test::EmulatedMachine {
 protected:
  // Every folder answer as SetUp left it, or moved to drive D:.
  void AnswerFolders(bool moved) {
    EvEmu_SetFolder(EVEMU_SYSTEM_DIRECTORY, moved ? u"D:\\Win\\System32" : u"C:\\Windows\\System32");
    EvEmu_SetFolder(EVEMU_WINDOWS_DIRECTORY, moved ? u"D:\\Win" : u"C:\\Windows");
    EvEmu_SetFolder(EVEMU_PROFILES_DIRECTORY, moved ? u"D:\\Users" : u"C:\\Users");
    SetEnvironment("ALLUSERSPROFILE", moved ? "D:\\ProgramData" : "C:\\ProgramData");
    SetEnvironment("ProgramFiles", moved ? "D:\\Program Files" : "C:\\Program Files");
  }
};

constexpr char16_t kLockyKey[] = u"\\REGISTRY\\USER\\S-1-5-21-1\\SOFTWARE\\Locky\\";

TEST_F(AllocationFailureTest, EventExportsAnswerOneWhereverTheHeapRunsOut) {
  // Text longer than 300 units is normalised on the heap, and so is every
  // command-line token longer than a few units and each debugger line.
  const std::u16string longFolder = u"C:\\" + std::u16string(400, u'd');
  const std::u16string nonAsciiFolder = u"C:\\" + std::u16string(400, u'\u0436');
  const std::u16string longSvchost = longFolder + u"\\svchost.exe";
  const std::u16string nonAsciiSvchost = nonAsciiFolder + u"\\svchost.exe";
  CreateFile(u"C:\\t\\x.exe", 0);
  std::u16string cmdLine = u"cmd.exe /c C:\\t\\x.exe";
  for (int i = 0; i < 12; ++i) cmdLine += u" " + std::u16string(350, static_cast<char16_t>(u'a' + i));
  MapDrive(u"E:", 2);
  CreateFile(u"E:\\run.vbs");

  struct Case {
    const char* name;
    std::function<int32_t()> call;
    int32_t normal;
  };
  const Case kCases[] = {
      {"RegEvent, long image folder", [&] { return RegEvent(longSvchost.c_str(), kLockyKey, u"v", 2); }, 4},
      {"RegEventEx, non-ASCII image folder",
       [&] { return RegEventEx(nonAsciiSvchost.c_str(), kLockyKey, u"v", 2, 0, 0, 0, 0, 0); }, 4},
      {"ProcessEvent, long image folder", [&] { return ProcessEvent(longSvchost.c_str(), u"", u"", 0, 0, 0); }, 4},
      {"ProcessEventEx, non-ASCII image folder",
       [&] { return ProcessEventEx(nonAsciiSvchost.c_str(), u"", u"", 0, 0, 0, 0, 0, 0, 0, 0); }, 4},
      {"ProcessEvent, cmd.exe with many long tokens",
       [&] { return ProcessEvent(u"C:\\Windows\\System32\\cmd.exe", u"C:\\t\\x.exe", cmdLine.c_str(), 0x80, 0, 0); },
       3},
      {"ProcessEvent, wscript.exe",
       [&] {
         return ProcessEvent(u"C:\\Windows\\System32\\wscript.exe", u"C:\\x.exe", u"wscript.exe E:\\run.vbs", 0x80, 0,
                             0);
       },
       3},
      {"ProcessEvent, name filter hit with debugger lines",
       [&] { return ProcessEvent(u"C:\\Temp\\svch0st.exe", u"", u"", 0, 0, 0); }, 4},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    const Outcome normal = RunWithFaults(kNoFault, c.call);
    EXPECT_EQ(normal.answer, c.normal);
    ASSERT_GT(normal.allocations, 0u) << "the event must need the heap";
    for (std::size_t failFrom = 1; failFrom <= normal.allocations; ++failFrom) {
      const Outcome failed = RunWithFaults(failFrom, c.call);
      EXPECT_EQ(failed.answer, EVRULES_RESULT_NONE) << "allocation " << failFrom << " failed";
      EXPECT_GE(failed.allocations, failFrom) << "the fault was reached";
    }
    EXPECT_EQ(RunWithFaults(kNoFault, c.call).answer, c.normal);
  }
}

// A host that keeps nothing, so that only the module could allocate.
int32_t EVRULES_CALL CountReport(const DetectionReport*) { return 0; }
int32_t EVRULES_CALL AnswerNoFile(const EvWideChar*, EvWideChar*, int32_t) { return 0; }
int32_t EVRULES_CALL AnswerNotWhiteListed(const EvWideChar*) { return 0; }
void DropDebugLine(const char*, void*) {}

TEST_F(AllocationFailureTest, EventsOnOrdinaryPathsNeedNoHeap) {
  CreateFile(u"C:\\Temp\\fresh.exe", 0);
  CreateFile(u"C:\\Program Files\\Vendor\\old.exe", 30);
  MapDrive(u"E:", 2);
  CreateFile(u"E:\\run.vbs");
  const HostCallbacks quiet{EVRULES_SIZE_WITH_ALL, CountReport, AnswerNoFile, AnswerNotWhiteListed};
  ASSERT_EQ(Init(quiet), 1);
  EvEmu_SetDebugSink(DropDebugLine, nullptr);
  constexpr char16_t kMachineRun[] = u"\\REGISTRY\\MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run\\";
  struct Case {
    const char* name;
    std::function<int32_t()> call;
    int32_t normal;
  };
  const Case kCases[] = {
      {"unlisted key", [] { return RegEvent(u"C:\\Apps\\app.exe", u"\\REGISTRY\\MACHINE\\SOFTWARE\\App\\", u"v", 4); },
       1},
      {"system process", [] { return RegEvent(u"C:\\Windows\\System32\\svchost.exe", kLockyKey, u"v", 2); }, 2},
      {"black list, non-ASCII value",
       [] { return RegEvent(u"C:\\T\\\u0444.exe", u"\\REGISTRY\\MACHINE\\SOFTWARE\\XWCMT\\", u"\u0444", 4); }, 4},
      {"black list, user value", [] { return RegEvent(u"C:\\T\\a.exe", kLockyKey, u"v", 3); }, 4},
      {"auto-run", [&] { return RegEvent(u"C:\\Temp\\fresh.exe", kMachineRun, u"x", 2); }, 4},
      {"Winlogon by an old program",
       [] {
         return RegEvent(u"C:\\Program Files\\Vendor\\old.exe",
                         u"\\REGISTRY\\MACHINE\\SOFTWARE\\MICROSOFT\\WINDOWS NT\\CURRENTVERSION\\WINLOGON\\",
                         u"Userinit", 2);
       },
       3},
      {"name filter miss", [] { return ProcessEvent(u"C:\\Apps\\app.exe", u"C:\\Apps\\b.exe", u"b --x", 0, 0, 0); }, 1},
      {"name filter hit", [] { return ProcessEvent(u"C:\\Temp\\svch0st.exe", u"", u"", 0, 0, 0); }, 4},
      {"name filter hit, non-ASCII folder",
       [] { return ProcessEvent(u"C:\\\u00c9t\u00e9\\svchost.exe", u"", u"", 0, 0, 0); }, 4},
      {"script from a removable drive",
       [] {
         return ProcessEvent(u"C:\\Windows\\System32\\wscript.exe", u"C:\\x.exe", u"wscript.exe //B \"E:\\run.vbs\"", 0, 0,
                             0);
       },
       3},
      {"cmd /c a fresh program",
       [] {
         return ProcessEvent(u"C:\\Windows\\System32\\cmd.exe", u"C:\\Temp\\fresh.exe", u"cmd /c C:\\Temp\\fresh.exe",
                             0x80, 0, 0);
       },
       3},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    const Outcome outcome = RunWithFaults(1, c.call);
    EXPECT_EQ(outcome.answer, c.normal);
    EXPECT_EQ(outcome.allocations, 0u);
  }
}

TEST_F(AllocationFailureTest, NetworkExportsNeedNoHeap) {
  const Outcome connect = RunWithFaults(1, [] { return NetConnectEvent(1, 2, 3, 4, 5, 6, 7, 8); });
  const Outcome data = RunWithFaults(1, [] { return NetProtocolData(1, 2, 3, 4, 5, 6, 7); });
  EXPECT_EQ(connect.answer, 0);
  EXPECT_EQ(data.answer, 0);
  EXPECT_EQ(connect.allocations + data.allocations, 0u);
}

std::u16string FolderSet() {
  const evrules::FolderStrings& f = Folders();
  return f.SystemDir + u'|' + f.WindowsDir + u'|' + f.SysWow64Dir + u'|' + f.AllUsersDir + u'|' + f.ProfilesDir +
         u'|' + f.ProgramFilesDir;
}

TEST_F(AllocationFailureTest, FailedInitLibraryAnswersZeroAndKeepsTheFolderSetWhole) {
  CreateFile(u"C:\\t\\x.exe", 0);
  const auto cmdIn = [](const char16_t* image) {
    return ProcessEvent(image, u"C:\\t\\x.exe", u"cmd /c C:\\t\\x.exe", 0x80, 0, 0);
  };
  const HostCallbacks callbacks = FullCallbacks();
  const std::function<int32_t()> init = [&] { return InitLibrary(&callbacks); };
  const std::u16string before = FolderSet();

  AnswerFolders(true);
  const Outcome moved = RunWithFaults(kNoFault, init);
  ASSERT_EQ(moved.answer, 1);
  ASSERT_GT(moved.allocations, 0u);
  EXPECT_EQ(cmdIn(u"D:\\Win\\System32\\cmd.exe"), 3);

  for (std::size_t failFrom = 1; failFrom <= moved.allocations; ++failFrom) {
    SCOPED_TRACE(failFrom);
    AnswerFolders(false);
    ASSERT_EQ(Init(), 1);
    AnswerFolders(true);
    EXPECT_EQ(RunWithFaults(failFrom, init).answer, 0);
    // The folders and the interpreter paths are still the earlier ones, together.
    EXPECT_EQ(FolderSet(), before);
    EXPECT_EQ(cmdIn(u"C:\\Windows\\System32\\cmd.exe"), 3);
    EXPECT_EQ(cmdIn(u"D:\\Win\\System32\\cmd.exe"), 1);
  }
  EXPECT_EQ(RunWithFaults(kNoFault, init).answer, 1);
  EXPECT_EQ(cmdIn(u"D:\\Win\\System32\\cmd.exe"), 3);
}

}  // namespace
