// The module's exports as a hostile host calls them. An input is:
//   byte 0     the export (modulo 7): RegEvent, RegEventEx, ProcessEvent,
//              ProcessEventEx, InitLibrary, NetConnectEvent, NetProtocolData
//   byte 1     the host: bits 0-1 the record InitLibrary gets (full, report
//              only, too small, null); bits 2-3 CheckWhiteList and bits 4-5
//              QueryFile (absent, answers 0, answers 1, re-enters the module
//              and answers 0); bit 6 no ReportDetection; bit 7 ReportDetection
//              re-enters the module
//   bytes 2-5  Operation or Flags, little-endian; for InitLibrary the
//              record's Size
//   the rest   UTF-16 units, little-endian: up to three strings separated
//              by NUL units; the single unit FFFF stands for a null pointer
// Every call must answer within its result codes, and nothing may crash.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "evrules.h"
#ifndef _WIN32
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "PlatformEmulation.h"
#endif

namespace {

using Text = std::basic_string<EvWideChar>;

void Require(bool holds) {
  if (!holds) std::abort();
}

enum class Answer { Absent, No, Yes, ReEnter };

struct Host {
  Answer whiteList = Answer::Absent;
  Answer queryFile = Answer::Absent;
  bool report = true;
  bool reportReEnters = false;
};
Host theHost;
thread_local int theDepth = 0;

// A callback calls the module again once, as a host under load might.
void ReEnter(const EvWideChar* path) {
  if (theDepth > 0) return;
  ++theDepth;
  Require(RegEvent(path, path, path, 2) >= 1);
  Require(ProcessEvent(path, nullptr, path, 0x80, 0, 0) >= 1);
  --theDepth;
}

int32_t Respond(Answer answer, const EvWideChar* path) {
  if (answer == Answer::ReEnter) ReEnter(path);
  return answer == Answer::Yes ? 1 : 0;
}

int32_t EVRULES_CALL ReportDetection(const DetectionReport* report) {
  Require(report != nullptr && report->Path != nullptr && report->Path[0] != 0 && report->Verdict != nullptr &&
          report->Kind == 2);
  if (theHost.reportReEnters) ReEnter(report->Path);
  return 0;
}
int32_t EVRULES_CALL QueryFile(const EvWideChar* path, EvWideChar* buffer, int32_t capacity) {
  Require(path != nullptr && buffer != nullptr && capacity > 0);
  buffer[0] = 0;
  return Respond(theHost.queryFile, path);
}
int32_t EVRULES_CALL CheckWhiteList(const EvWideChar* path) {
  Require(path != nullptr);
  return Respond(theHost.whiteList, path);
}

// A machine on which the rules find files to judge: interpreters in the
// system folder, a program written today, a script on a removable drive.
void SetUpMachine() {
#ifndef _WIN32
  static bool done = false;
  if (done) return;
  done = true;
  namespace fs = std::filesystem;
  const fs::path root = fs::temp_directory_path() / ("evrules-fuzz-" + std::to_string(::getpid()));
  for (const char* file : {"c/Windows/System32/wscript.exe", "c/Windows/System32/cmd.exe", "c/Temp/a.exe",
                           "c/Temp/s.js", "e/x.vbs"}) {
    fs::create_directories((root / file).parent_path());
    std::ofstream(root / file) << "x";
  }
  EvEmu_Reset();
  EvEmu_MapDrive(u"C:", (root / "c").c_str(), 3);
  EvEmu_MapDrive(u"E:", (root / "e").c_str(), 2);
  std::atexit([] {
    std::error_code ignored;
    fs::remove_all(fs::temp_directory_path() / ("evrules-fuzz-" + std::to_string(::getpid())), ignored);
  });
#endif
}

bool IsEventResult(int32_t result) { return result >= 1 && result <= 4; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size < 6) return 0;
  SetUpMachine();
  const uint8_t exportChoice = data[0] % 7;
  const uint8_t host = data[1];
  const auto number = static_cast<int32_t>(uint32_t{data[2]} | uint32_t{data[3]} << 8 | uint32_t{data[4]} << 16 |
                                           uint32_t{data[5]} << 24);

  // Up to three strings; absent ones are null.
  std::vector<Text> texts(1);
  for (std::size_t i = 6; i + 1 < size && texts.size() <= 3; i += 2) {
    const auto unit = static_cast<EvWideChar>(data[i] | data[i + 1] << 8);
    if (unit == 0)
      texts.emplace_back();
    else
      texts.back() += unit;
  }
  const EvWideChar* strings[3] = {};
  for (std::size_t i = 0; i < 3 && i < texts.size(); ++i)
    strings[i] = texts[i] == Text(1, static_cast<EvWideChar>(0xFFFF)) ? nullptr : texts[i].c_str();

  theHost.whiteList = static_cast<Answer>((host >> 2) & 3);
  theHost.queryFile = static_cast<Answer>((host >> 4) & 3);
  theHost.report = (host & 0x40) == 0;
  theHost.reportReEnters = (host & 0x80) != 0;
  HostCallbacks record{EVRULES_SIZE_WITH_ALL, theHost.report ? ReportDetection : nullptr,
                       theHost.queryFile == Answer::Absent ? nullptr : QueryFile,
                       theHost.whiteList == Answer::Absent ? nullptr : CheckWhiteList};
  switch (host & 3) {
    case 1: record.Size = EVRULES_SIZE_WITH_REPORT; break;
    case 2: record.Size = EVRULES_SIZE_WITH_REPORT - 1; break;
    default: break;
  }
  const HostCallbacks* given = (host & 3) == 3 ? nullptr : &record;

  switch (exportChoice) {
    case 0:
      InitLibrary(given);
      Require(IsEventResult(RegEvent(strings[0], strings[1], strings[2], number)));
      break;
    case 1:
      InitLibrary(given);
      Require(IsEventResult(RegEventEx(strings[0], strings[1], strings[2], number, 1, 2, 3, 4, 5)));
      break;
    case 2:
      InitLibrary(given);
      Require(IsEventResult(ProcessEvent(strings[0], strings[1], strings[2], number, 1, 2)));
      break;
    case 3:
      InitLibrary(given);
      Require(IsEventResult(ProcessEventEx(strings[0], strings[1], strings[2], number, 1, 2, 3, 4, 5, 6, 7)));
      break;
    case 4: {
      record.Size = static_cast<uint32_t>(number);
      const int32_t taken = InitLibrary(given);
      Require(taken == 0 || taken == 1);
      break;
    }
    case 5: Require(NetConnectEvent(1, 2, 3, 4, 5, 6, 7, 8) == 0); break;
    default: Require(NetProtocolData(1, 2, 3, 4, 5, 6, 7) == 0); break;
  }
  return 0;
}
