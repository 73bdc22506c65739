// Test fixture: a Windows machine emulated in a temporary folder, with the
// module initialised against recording host callbacks.
#ifndef EVRULES_TESTS_EMULATED_MACHINE_H
#define EVRULES_TESTS_EMULATED_MACHINE_H

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "PlatformEmulation.h"
#include "evrules.h"

namespace evrules_test {

inline std::string Utf8(std::u16string_view text) {
  std::string out;
  for (char16_t unit : text) {
    if (unit < 0x80) {
      out += static_cast<char>(unit);
    } else if (unit < 0x800) {
      out += static_cast<char>(0xC0 | (unit >> 6));
      out += static_cast<char>(0x80 | (unit & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (unit >> 12));
      out += static_cast<char>(0x80 | ((unit >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (unit & 0x3F));
    }
  }
  return out;
}

struct Report {
  std::u16string path;
  std::string verdict;
  int32_t kind = 0;
  bool operator==(const Report& other) const {
    return path == other.path && verdict == other.verdict && kind == other.kind;
  }
};

inline std::ostream& operator<<(std::ostream& out, const Report& report) {
  return out << "{" << Utf8(report.path) << ", " << report.verdict << ", " << report.kind << "}";
}

// What the host saw, per thread so that concurrent events keep theirs apart.
struct HostRecord {
  std::vector<Report> reports;
  std::vector<std::u16string> whiteListAsked;
  std::vector<std::u16string> queryFileAsked;
  std::vector<std::string> debugLines;
  std::vector<std::u16string> queryBuffersSeen;  // buffer contents when asked
};

inline HostRecord& Recorded() {
  thread_local HostRecord record;
  return record;
}

// Answers of the host, set before events run.
struct HostAnswers {
  std::map<std::u16string, int32_t> whiteList;  // path -> answer, else 0
  std::map<std::u16string, int32_t> queryFile;
};

inline HostAnswers& Answers() {
  static HostAnswers answers;
  return answers;
}

inline int32_t EVRULES_CALL RecordReport(const DetectionReport* report) {
  Recorded().reports.push_back({report->Path, report->Verdict, report->Kind});
  return 0;
}

inline int32_t EVRULES_CALL AnswerQueryFile(const EvWideChar* path, EvWideChar* buffer, int32_t capacity) {
  Recorded().queryFileAsked.push_back(path);
  Recorded().queryBuffersSeen.push_back(std::u16string(buffer, 4));
  // Leaves a mark so that a second query can be seen to get the same buffer.
  if (capacity > 2) buffer[0] = u'X';
  auto found = Answers().queryFile.find(path);
  return found == Answers().queryFile.end() ? 0 : found->second;
}

inline int32_t EVRULES_CALL AnswerWhiteList(const EvWideChar* path) {
  Recorded().whiteListAsked.push_back(path);
  auto found = Answers().whiteList.find(path);
  return found == Answers().whiteList.end() ? 0 : found->second;
}

inline void CaptureDebugLine(const char* text, void*) { Recorded().debugLines.emplace_back(text); }

inline HostCallbacks FullCallbacks() {
  return HostCallbacks{EVRULES_SIZE_WITH_ALL, RecordReport, AnswerQueryFile, AnswerWhiteList};
}

class EmulatedMachine : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/evrules-test-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    root_ = pattern;
    SaveEnvironment("ALLUSERSPROFILE");
    SaveEnvironment("ProgramFiles");
    ::setenv("ALLUSERSPROFILE", "C:\\ProgramData", 1);
    ::setenv("ProgramFiles", "C:\\Program Files", 1);
    EvEmu_Reset();
    EvEmu_SetDebugSink(CaptureDebugLine, nullptr);
    std::time_t now = std::time(nullptr);
    ::localtime_r(&now, &today_);
    // A fixed date keeps file ages exact across midnight.
    EvEmu_SetToday(today_.tm_year + 1900, today_.tm_mon + 1, today_.tm_mday);
    MapDrive(u"C:", 3);
    Answers() = HostAnswers{};
    Recorded() = HostRecord{};
    Init();
  }

  void TearDown() override {
    EvEmu_Reset();
    for (const auto& [name, value] : savedEnvironment_) {
      if (value) ::setenv(name.c_str(), value->c_str(), 1);
      else ::unsetenv(name.c_str());
    }
    InitLibrary(nullptr);
    Answers() = HostAnswers{};
    Recorded() = HostRecord{};
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }

  // Re-runs InitLibrary with the full recording callbacks (or `callbacks`).
  int32_t Init(std::optional<HostCallbacks> callbacks = std::nullopt) {
    HostCallbacks record = callbacks ? *callbacks : FullCallbacks();
    return InitLibrary(&record);
  }

  void SetEnvironment(const char* name, const char* value) {
    SaveEnvironment(name);
    if (value) ::setenv(name, value, 1);
    else ::unsetenv(name);
  }

  // "C:" or "\\server\share" backed by a fresh host folder.
  void MapDrive(std::u16string_view root, uint32_t type) {
    std::string folder = root_ + "/drive" + std::to_string(drives_++);
    std::filesystem::create_directories(folder);
    ASSERT_EQ(EvEmu_MapDrive(std::u16string(root).c_str(), folder.c_str(), type), 1);
    driveFolders_[std::u16string(root)] = folder;
  }

  // Creates the file at a Windows path, last written `ageDays` days ago.
  void CreateFile(std::u16string_view windowsPath, int ageDays = 0) {
    std::string host = HostPath(windowsPath);
    std::filesystem::create_directories(std::filesystem::path(host).parent_path());
    FILE* file = std::fopen(host.c_str(), "w");
    ASSERT_NE(file, nullptr) << host;
    std::fclose(file);
    std::tm noon = today_;
    noon.tm_mday -= ageDays;
    noon.tm_hour = 12;
    noon.tm_min = 0;
    noon.tm_sec = 0;
    noon.tm_isdst = -1;
    std::time_t when = std::mktime(&noon);
    struct utimbuf times {when, when};
    ASSERT_EQ(::utime(host.c_str(), &times), 0);
  }

  void CreateDirectory(std::u16string_view windowsPath) {
    std::filesystem::create_directories(HostPath(windowsPath));
  }

  std::string HostPath(std::u16string_view windowsPath) {
    for (const auto& [root, folder] : driveFolders_) {
      if (windowsPath.substr(0, root.size()) == root) {
        std::string rest = Utf8(windowsPath.substr(root.size()));
        for (char& c : rest)
          if (c == '\\') c = '/';
        return folder + rest;
      }
    }
    ADD_FAILURE() << "no drive for " << Utf8(windowsPath);
    return root_ + "/nowhere";
  }

 private:
  void SaveEnvironment(const std::string& name) {
    if (savedEnvironment_.count(name)) return;
    const char* value = std::getenv(name.c_str());
    savedEnvironment_[name] = value ? std::optional<std::string>(value) : std::nullopt;
  }

  std::string root_;
  std::tm today_{};
  int drives_ = 0;
  std::map<std::u16string, std::string> driveFolders_;
  std::map<std::string, std::optional<std::string>> savedEnvironment_;
};

// The machine with programs of known ages on it, for the rules that ask when
// the program that writes was itself written.
class MachineWithPrograms : public EmulatedMachine {
 protected:
  void SetUp() override {
    EmulatedMachine::SetUp();
    CreateFile(kFresh, 0);
    CreateFile(kYesterday, 1);
    CreateFile(kOldTool, 30);
    CreateFile(kOldVendor, 30);
  }
  static constexpr char16_t kFresh[] = u"C:\\Users\\x\\AppData\\Local\\Temp\\a.exe";
  static constexpr char16_t kYesterday[] = u"C:\\Users\\x\\AppData\\Local\\Temp\\b.exe";
  static constexpr char16_t kOldTool[] = u"C:\\Tools\\t.exe";
  static constexpr char16_t kOldVendor[] = u"C:\\Program Files (x86)\\Vendor\\v.exe";
};

}  // namespace evrules_test

#endif
