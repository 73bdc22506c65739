// The module's exports and InitLibrary.
#include "evrules.h"

#include <type_traits>
#include <utility>

#include "LogicProcess.h"
#include "LogicRegistry.h"
#include "Platform.h"
#include "ProcessNameFilter.h"
#include "evrules_Common.h"

#if defined(_WIN32) && !defined(_WIN64)
static_assert(EVRULES_SIZE_WITH_REPORT == 8 && EVRULES_SIZE_WITH_ALL == 16, "the host's record layout");
static_assert(sizeof(DetectionReport) == 12, "the report the host reads");
#endif

namespace evrules {
namespace {

constexpr uint32_t kScratchCapacity = 4096;
// One more unit than the capacity given to the queries, always NUL, so that a
// full buffer still reads as a terminated string.
char16_t theScratch[kScratchCapacity + 1];

std::u16string NormalizedScratch() { return std::u16string(NormalizeText(theScratch).view()); }

// A folder query answers the length it wrote. Zero is a failure, and so is an
// answer not below the capacity: that is the size a longer folder would need,
// and the buffer still holds what an earlier query left in it.
std::u16string FolderAnswer(uint32_t answer) {
  return answer > 0 && answer < kScratchCapacity ? NormalizedScratch() : std::u16string();
}

// May throw; reads the module's state only for the profiles root, which a
// failed query keeps.
FolderStrings QueryFolderStrings() {
  FolderStrings folders;
  folders.SystemDir = FolderAnswer(platform::QuerySystemDirectory(theScratch, kScratchCapacity));
  folders.WindowsDir = FolderAnswer(platform::QueryWindowsDirectory(theScratch, kScratchCapacity));
  folders.SysWow64Dir = folders.WindowsDir.empty() ? std::u16string() : folders.WindowsDir + u"\\SYSWOW64";
  folders.AllUsersDir =
      FolderAnswer(platform::QueryEnvironmentVariable(u"ALLUSERSPROFILE", theScratch, kScratchCapacity));
  folders.ProfilesDir = platform::QueryProfilesDirectory(theScratch, kScratchCapacity) ? NormalizedScratch()
                                                                                       : Folders().ProfilesDir;
  folders.ProgramFilesDir =
      FolderAnswer(platform::QueryEnvironmentVariable(u"ProgramFiles", theScratch, kScratchCapacity));
  return folders;
}

static_assert(std::is_nothrow_move_assignable_v<FolderStrings> &&
                  std::is_nothrow_move_assignable_v<InterpreterPaths>,
              "installing a new folder set cannot fail halfway");

// All or nothing: everything that can fail runs before the first store, so a
// failure leaves the previous folder set and the interpreter paths built from
// it, which belong together.
void RefreshFolderStrings() {
  FolderStrings folders = QueryFolderStrings();
  InterpreterPaths interpreters = InterpreterPathsFor(folders);
  MutableFolders() = std::move(folders);
  SetInterpreterPaths(std::move(interpreters));
}

// No exception may reach the host, which is not C++: an export whose work
// throws answers `fallback`. Text longer than the stack buffers (non-ASCII
// paths over 300 units, command lines over 1,024, file paths and debugger
// lines over about 1,000) goes to the heap, so std::bad_alloc can come from
// any event.
template <typename Work>
int32_t Guarded(int32_t fallback, Work&& work) noexcept {
  int32_t answer = fallback;
  try {
    answer = work();
  } catch (...) {
    // The answer stays `fallback`.
  }
  platform::KeepRoomToThrow();
  return answer;
}

}  // namespace
}  // namespace evrules

using namespace evrules;

extern "C" {

int32_t EVRULES_CALL InitLibrary(const HostCallbacks* callbacks) {
  // Cleared first, so that a record refused or a failure below leaves none.
  SetHostCallbacks(HostCallbackSet{});
  return Guarded(0, [&] {
    RefreshFolderStrings();
    // Mended: a null record is refused rather than read.
    if (callbacks == nullptr || callbacks->Size < EVRULES_SIZE_WITH_REPORT) return 0;
    HostCallbackSet taken;
    taken.reportDetection = callbacks->ReportDetection;
    if (callbacks->Size >= EVRULES_SIZE_WITH_ALL) {
      taken.queryFile = callbacks->QueryFile;
      taken.checkWhiteList = callbacks->CheckWhiteList;
    }
    SetHostCallbacks(taken);
    return 1;
  });
}

int32_t EVRULES_CALL RegEvent(const EvWideChar* ProcessPath, const EvWideChar* KeyPath, const EvWideChar* ValueName,
                              int32_t Operation) {
  return Guarded(EVRULES_RESULT_NONE, [&] {
    return CheckRegistryEvent(ReadHostText(ProcessPath), ReadHostText(KeyPath), HostText(ValueName), Operation);
  });
}

int32_t EVRULES_CALL RegEventEx(const EvWideChar* ProcessPath, const EvWideChar* KeyPath,
                                const EvWideChar* ValueName, int32_t Operation, uint32_t, uint32_t, uint32_t,
                                uint32_t, uint32_t) {
  return Guarded(EVRULES_RESULT_NONE, [&] {
    return CheckRegistryEvent(ReadHostText(ProcessPath), ReadHostText(KeyPath), HostText(ValueName), Operation);
  });
}

int32_t EVRULES_CALL ProcessEvent(const EvWideChar* ProcessPath, const EvWideChar* TargetPath,
                                  const EvWideChar* CommandLine, int32_t Flags, uint32_t, uint32_t) {
  return Guarded(EVRULES_RESULT_NONE, [&] {
    return CheckProcessEvent(ReadHostText(ProcessPath), ReadHostText(TargetPath), HostText(CommandLine), Flags);
  });
}

int32_t EVRULES_CALL ProcessEventEx(const EvWideChar* ProcessPath, const EvWideChar* TargetPath,
                                    const EvWideChar* CommandLine, int32_t Flags, uint32_t, uint32_t, uint32_t,
                                    uint32_t, uint32_t, uint32_t, uint32_t) {
  return Guarded(EVRULES_RESULT_NONE, [&] {
    return CheckProcessEvent(ReadHostText(ProcessPath), ReadHostText(TargetPath), HostText(CommandLine), Flags);
  });
}

// These two do no work, but are guarded like the others so that work added
// later cannot throw into the host; their one answer is 0.
int32_t EVRULES_CALL NetConnectEvent(uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t,
                                     uint32_t) {
  return Guarded(0, [] { return 0; });
}

int32_t EVRULES_CALL NetProtocolData(uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t) {
  return Guarded(0, [] { return 0; });
}

}  // extern "C"
