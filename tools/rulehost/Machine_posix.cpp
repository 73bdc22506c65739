// The emulated machine: drives are folders in a sandbox folder; the module
// finds them through EvEmu_MapDrive. Every file and folder the machine makes
// is remembered by its upper-cased Windows path, so that names differing only
// in case meet in one host file, as on Windows, without searching folders.
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <unordered_map>
#include <utility>
#include <vector>

#include "HostText.h"
#include "Machine.h"

namespace rulehost {
namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// What Windows refuses in a name; the emulation finds no file by such a name.
bool IsValidName(std::string_view name) {
  for (char c : name) {
    auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || c == '*' || c == '?' || c == '<' || c == '>' || c == '|' || c == '"' || c == ':')
      return false;
  }
  return true;
}

void AppendUpper(std::string& out, std::string_view text) {
  for (char c : text) out += c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
}

// The root as the drive table keeps it: upper case, "\" separators.
std::string CanonicalRoot(std::string_view root) {
  std::string out;
  for (char c : root) out += IsSeparator(c) ? '\\' : c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
  return out;
}

struct Drive {
  std::string root;  // canonical
  std::u16string wideRoot;
  std::string hostFolder;
  uint32_t type = 0;
};

struct Computer {
  std::vector<Drive> drives;
};

struct Entry {
  std::string hostPath;
  bool directory = false;
};

}  // namespace

struct Machine::State {
  explicit State(const Module& m) : module(m) {}
  const Module& module;
  std::string folder;
  std::string error;
  std::vector<Computer> computers{1};
  int selected = 0;
  std::vector<std::string> allRoots;  // every root some computer has
  std::vector<std::u16string> allWideRoots;
  std::string noDriveFolder;          // empty: stands for a drive a computer lacks
  std::unordered_map<std::string, Entry> entries;
  std::vector<std::pair<std::string, std::optional<std::string>>> savedEnvironment;
  // Scratch, kept between calls so that known paths cost no allocation.
  std::string key;
  std::string prefixKey;
  std::vector<std::string_view> components;
  std::vector<std::size_t> keyEnds;  // key length after each component

  bool Fail(std::string why) {
    error = std::move(why);
    return false;
  }

  const Drive* FindDrive(int computer, std::string_view root) const {
    for (const Drive& drive : computers[static_cast<std::size_t>(computer)].drives) {
      if (drive.root.size() != root.size()) continue;
      bool same = true;
      for (std::size_t i = 0; i < root.size() && same; ++i) {
        char c = IsSeparator(root[i]) ? '\\' : root[i] >= 'a' && root[i] <= 'z' ? static_cast<char>(root[i] - 32) : root[i];
        same = c == drive.root[i];
      }
      if (same) return &drive;
    }
    return nullptr;
  }

  // Switching computers calls this for every drive: it allocates nothing.
  bool MapInEmulation(const std::u16string& wideRoot, const std::string& hostFolder, uint32_t type) {
    if (!module.emulated()) return true;
    if (module.EmuMapDrive(wideRoot.c_str(), hostFolder.c_str(), type) == 0)
      return Fail("bad drive root " + ToUtf8(wideRoot));
    return true;
  }

  // Fills `key`, `components` and `keyEnds` for the selected computer; the
  // drive of the path, or null with `error`.
  const Drive* Resolve(std::string_view path) {
    std::string_view root, rest;
    if (!SplitDriveRoot(path, root, rest)) {
      Fail("no drive in " + std::string(path));
      return nullptr;
    }
    const Drive* drive = FindDrive(selected, root);
    if (drive == nullptr) {
      Fail("no drive for " + std::string(path));
      return nullptr;
    }
    components.clear();
    std::size_t start = 0;
    while (start <= rest.size()) {
      std::size_t end = start;
      while (end < rest.size() && !IsSeparator(rest[end])) ++end;
      std::string_view component = rest.substr(start, end - start);
      if (component == "..") {
        if (!components.empty()) components.pop_back();
      } else if (!component.empty() && component != ".") {
        if (!IsValidName(component)) {
          Fail("not a file name Windows can hold: " + std::string(path));
          return nullptr;
        }
        components.push_back(component);
      }
      start = end + 1;
    }
    key.clear();
    key += std::to_string(selected);  // short: fits the string's own buffer
    key += '|';
    key += drive->root;
    keyEnds.clear();
    for (std::string_view component : components) {
      key += '\\';
      AppendUpper(key, component);
      keyEnds.push_back(key.size());
    }
    return drive;
  }

  // Makes sure the first `count` components are folders; their host path in `host`.
  bool EnsureFolders(const Drive& drive, std::size_t count, std::string& host) {
    std::size_t existing = count;
    host = drive.hostFolder;
    while (existing > 0) {
      prefixKey.assign(key, 0, keyEnds[existing - 1]);
      auto found = entries.find(prefixKey);
      if (found != entries.end()) {
        if (!found->second.directory) return Fail("a file stands where a folder must be: " + prefixKey.substr(prefixKey.find('|') + 1));
        host = found->second.hostPath;
        break;
      }
      --existing;
    }
    for (std::size_t i = existing; i < count; ++i) {
      host += '/';
      host.append(components[i]);
      if (::mkdir(host.c_str(), 0755) != 0 && errno != EEXIST) return Fail("cannot make " + host + ": " + std::strerror(errno));
      entries.emplace(key.substr(0, keyEnds[i]), Entry{host, true});
    }
    return true;
  }

  bool Touch(const std::string& host, FileTime when) {
    const struct timespec times[2] = {{static_cast<time_t>(when.seconds), when.nanoseconds},
                                      {static_cast<time_t>(when.seconds), when.nanoseconds}};
    if (::utimensat(AT_FDCWD, host.c_str(), times, 0) != 0) return Fail("cannot date " + host + ": " + std::strerror(errno));
    return true;
  }
};

Machine::Machine(const Module& module) : state_(std::make_unique<State>(module)) {}

Machine::~Machine() {
  if (state_->module.emulated()) state_->module.EmuReset();
  for (const auto& [name, value] : state_->savedEnvironment) {
    if (value) ::setenv(name.c_str(), value->c_str(), 1);
    else ::unsetenv(name.c_str());
  }
  if (!state_->folder.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(state_->folder, ignored);
  }
}

bool Machine::Open(const std::string& parent, const std::string& prefix) {
  if (state_->module.emulated()) state_->module.EmuReset();
  std::string base = parent;
  if (base.empty()) {
    const char* tmp = std::getenv("TMPDIR");
    base = tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
  }
  std::string pattern = base + "/" + prefix + "-XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr)
    return state_->Fail("cannot make a folder in " + base + ": " + std::strerror(errno));
  state_->folder = pattern;
  if (::mkdir((state_->folder + "/0").c_str(), 0755) != 0) return state_->Fail("cannot make a folder in " + pattern);
  return true;
}

const std::string& Machine::Folder() const { return state_->folder; }
const std::string& Machine::error() const { return state_->error; }

int Machine::AddComputer() {
  state_->computers.emplace_back();
  int computer = static_cast<int>(state_->computers.size() - 1);
  ::mkdir((state_->folder + "/" + std::to_string(computer)).c_str(), 0755);
  return computer;
}

void Machine::SelectComputer(int computer) {
  State& s = *state_;
  if (computer == s.selected || computer < 0 || static_cast<std::size_t>(computer) >= s.computers.size()) return;
  s.selected = computer;
  // A root the computer lacks must hold nothing: an empty folder with the
  // type of a drive that is not there.
  constexpr uint32_t kNoRootDirectory = 1;
  for (std::size_t i = 0; i < s.allRoots.size(); ++i) {
    if (const Drive* drive = s.FindDrive(computer, s.allRoots[i])) {
      s.MapInEmulation(drive->wideRoot, drive->hostFolder, drive->type);
      continue;
    }
    if (s.noDriveFolder.empty()) {
      s.noDriveFolder = s.folder + "/none";
      ::mkdir(s.noDriveFolder.c_str(), 0755);
    }
    s.MapInEmulation(s.allWideRoots[i], s.noDriveFolder, kNoRootDirectory);
  }
}

int Machine::SelectedComputer() const { return state_->selected; }

bool Machine::MapDrive(std::string_view root, uint32_t type) {
  State& s = *state_;
  std::string_view driveRoot, rest;
  if (!SplitDriveRoot(root, driveRoot, rest) || !rest.empty()) return s.Fail("bad drive root " + std::string(root));
  Computer& computer = s.computers[static_cast<std::size_t>(s.selected)];
  for (Drive& drive : computer.drives) {
    if (drive.root == CanonicalRoot(driveRoot)) {
      drive.type = type;
      return s.MapInEmulation(drive.wideRoot, drive.hostFolder, type);
    }
  }
  Drive drive;
  drive.root = CanonicalRoot(driveRoot);
  drive.wideRoot = FromUtf8(drive.root);
  drive.hostFolder = s.folder + "/" + std::to_string(s.selected) + "/drive" + std::to_string(computer.drives.size());
  drive.type = type;
  if (::mkdir(drive.hostFolder.c_str(), 0755) != 0 && errno != EEXIST)
    return s.Fail("cannot make " + drive.hostFolder + ": " + std::strerror(errno));
  if (!s.MapInEmulation(drive.wideRoot, drive.hostFolder, type)) return false;
  bool known = false;
  for (const std::string& other : s.allRoots) known = known || other == drive.root;
  if (!known) {
    s.allRoots.push_back(drive.root);
    s.allWideRoots.push_back(drive.wideRoot);
  }
  computer.drives.push_back(std::move(drive));
  return true;
}

bool Machine::HasDrive(std::string_view root) const { return state_->FindDrive(state_->selected, root) != nullptr; }

void Machine::SetFolder(FolderAnswer which, const std::optional<std::string>& path) {
  if (!state_->module.emulated()) return;
  if (!path) {
    state_->module.EmuSetFolder(static_cast<int32_t>(which), nullptr);
    return;
  }
  std::u16string wide = FromUtf8(*path);
  state_->module.EmuSetFolder(static_cast<int32_t>(which), wide.c_str());
}

void Machine::SetEnvironment(const std::string& name, const std::optional<std::string>& value) {
  const char* old = std::getenv(name.c_str());
  state_->savedEnvironment.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
  if (value) ::setenv(name.c_str(), value->c_str(), 1);
  else ::unsetenv(name.c_str());
}

void Machine::SetToday(int year, int month, int day) {
  if (state_->module.emulated()) state_->module.EmuSetToday(year, month, day);
}

void Machine::SetDebugSink(EmuDebugSinkFn sink, void* context) {
  if (state_->module.emulated()) state_->module.EmuSetDebugSink(sink, context);
}

bool Machine::WriteFile(std::string_view windowsPath, FileTime lastWrite) {
  State& s = *state_;
  const Drive* drive = s.Resolve(windowsPath);
  if (drive == nullptr) return false;
  if (s.components.empty()) return s.Fail("not a file: " + std::string(windowsPath));
  auto found = s.entries.find(s.key);
  if (found != s.entries.end()) {
    if (found->second.directory) return s.Fail("a folder, not a file: " + std::string(windowsPath));
    return s.Touch(found->second.hostPath, lastWrite);
  }
  std::string host;
  if (!s.EnsureFolders(*drive, s.components.size() - 1, host)) return false;
  host += '/';
  host.append(s.components.back());
  int fd = ::open(host.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return s.Fail("cannot make " + host + ": " + std::strerror(errno));
  ::close(fd);
  if (!s.Touch(host, lastWrite)) return false;
  s.entries.emplace(s.key, Entry{std::move(host), false});
  return true;
}

bool Machine::MakeDirectory(std::string_view windowsPath) {
  State& s = *state_;
  const Drive* drive = s.Resolve(windowsPath);
  if (drive == nullptr) return false;
  std::string host;
  return s.EnsureFolders(*drive, s.components.size(), host);
}

bool Machine::RemoveFile(std::string_view windowsPath) {
  State& s = *state_;
  if (s.Resolve(windowsPath) == nullptr) return true;  // on no drive: never there
  auto found = s.entries.find(s.key);
  if (found == s.entries.end()) return true;
  if (found->second.directory) return s.Fail("a folder, not a file: " + std::string(windowsPath));
  if (::unlink(found->second.hostPath.c_str()) != 0 && errno != ENOENT)
    return s.Fail("cannot remove " + found->second.hostPath + ": " + std::strerror(errno));
  s.entries.erase(found);
  return true;
}

bool Machine::HasFile(std::string_view windowsPath) {
  State& s = *state_;
  if (s.Resolve(windowsPath) == nullptr) return false;
  auto found = s.entries.find(s.key);
  return found != s.entries.end() && !found->second.directory;
}

}  // namespace rulehost
