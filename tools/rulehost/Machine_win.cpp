// The real machine: drives, folder answers and the date are Windows' own;
// files are created where they are named and removed when the machine ends.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <filesystem>
#include <vector>

#include "Machine.h"

namespace rulehost {

struct Machine::State {
  explicit State(const Module& m) : module(m) {}
  const Module& module;
  std::string folder;
  std::string error;
  std::vector<std::filesystem::path> created;
  std::vector<std::pair<std::wstring, std::optional<std::wstring>>> savedEnvironment;

  bool Fail(std::string why) {
    error = std::move(why);
    return false;
  }
};

Machine::Machine(const Module& module) : state_(std::make_unique<State>(module)) {}

Machine::~Machine() {
  for (const auto& [name, value] : state_->savedEnvironment)
    ::SetEnvironmentVariableW(name.c_str(), value ? value->c_str() : nullptr);
  std::error_code ignored;
  for (auto it = state_->created.rbegin(); it != state_->created.rend(); ++it) std::filesystem::remove(*it, ignored);
}

bool Machine::Open(const std::string&, const std::string&) { return true; }
const std::string& Machine::Folder() const { return state_->folder; }
const std::string& Machine::error() const { return state_->error; }

// One computer: the one this runs on.
int Machine::AddComputer() { return 0; }
void Machine::SelectComputer(int) {}
int Machine::SelectedComputer() const { return 0; }
bool Machine::MapDrive(std::string_view, uint32_t) { return true; }
bool Machine::HasDrive(std::string_view) const { return true; }
void Machine::SetFolder(FolderAnswer, const std::optional<std::string>&) {}
// Files are made where the scenario names them, few and known in advance.
void Machine::SetLimits(std::size_t, std::size_t) {}
bool Machine::full() const { return false; }
void Machine::SetToday(int, int, int) {}
void Machine::SetDebugSink(EmuDebugSinkFn, void*) {}

void Machine::SetEnvironment(const std::string& name, const std::optional<std::string>& value) {
  std::wstring wideName = std::filesystem::u8path(name).wstring();
  wchar_t old[4096];
  DWORD length = ::GetEnvironmentVariableW(wideName.c_str(), old, 4096);
  state_->savedEnvironment.emplace_back(wideName, length > 0 && length < 4096 ? std::optional<std::wstring>(old)
                                                                             : std::nullopt);
  if (!value) ::SetEnvironmentVariableW(wideName.c_str(), nullptr);
  else ::SetEnvironmentVariableW(wideName.c_str(), std::filesystem::u8path(*value).wstring().c_str());
}

bool Machine::WriteFile(std::string_view windowsPath, FileTime lastWrite) {
  std::filesystem::path path = std::filesystem::u8path(windowsPath);
  std::error_code error;
  std::filesystem::create_directories(path.parent_path(), error);
  HANDLE handle = ::CreateFileW(path.wstring().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return state_->Fail("cannot create " + std::string(windowsPath));
  // Unix time to FILETIME (100 ns since 1601).
  ULONGLONG ticks = (static_cast<ULONGLONG>(lastWrite.seconds) + 11644473600ULL) * 10000000ULL +
                    static_cast<ULONGLONG>(lastWrite.nanoseconds / 100);
  FILETIME written{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
  ::SetFileTime(handle, nullptr, nullptr, &written);
  ::CloseHandle(handle);
  state_->created.push_back(path);
  return true;
}

bool Machine::MakeDirectory(std::string_view windowsPath) {
  std::filesystem::path path = std::filesystem::u8path(windowsPath);
  std::error_code error;
  std::filesystem::create_directories(path, error);
  state_->created.push_back(path);
  return true;
}

bool Machine::RemoveFile(std::string_view windowsPath) {
  std::error_code error;
  std::filesystem::remove(std::filesystem::u8path(windowsPath), error);
  return !error;
}

bool Machine::HasFile(std::string_view windowsPath) {
  std::error_code error;
  return std::filesystem::is_regular_file(std::filesystem::u8path(windowsPath), error);
}

}  // namespace rulehost
