// The emulated machine: drives are folders in a sandbox folder; the module
// finds them through EvEmu_MapDrive. Every file and folder the machine makes
// is remembered by its upper-cased Windows path, so that names differing only
// in case meet in one host file, as on Windows, without searching folders.
#include <fcntl.h>
#include <limits.h>
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
#include "rules/WindowsPaths.h"

namespace rulehost {
namespace {

using evrules::windows_paths::IsSeparator;

constexpr std::size_t kMaxWindowsPathBytes = 3 * 32767;

// A path as a message shows it: its start, when it is long.
std::string Shown(std::string_view path) {
  constexpr std::size_t kShown = 200;
  return path.size() <= kShown ? std::string(path) : std::string(path.substr(0, kShown)) + "...";
}

// What Windows refuses in a name; the emulation finds no file by such a name.
bool IsValidName(std::string_view name) {
  for (char c : name) {
    auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || c == '*' || c == '?' || c == '<' || c == '>' || c == '|' || c == '"' || c == ':')
      return false;
  }
  return true;
}

using evrules::windows_paths::AsciiUpper;

void AppendUpper(std::string& out, std::string_view text) {
  for (char c : text) out += AsciiUpper(c);
}

// The root as the drive table keeps it, into `out`: upper case, "\" separators.
void AppendCanonicalRoot(std::string& out, std::string_view root) {
  for (char c : root) out += IsSeparator(c) ? '\\' : AsciiUpper(c);
}

std::string CanonicalRoot(std::string_view root) {
  std::string out;
  AppendCanonicalRoot(out, root);
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
  std::unordered_map<std::string, std::size_t> byRoot;  // canonical root -> drives index
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
  std::unordered_map<std::string, Entry> entries;
  // What the sandbox holds, and may hold (0: no limit).
  std::size_t made = 0, nameBytes = 0;
  std::size_t maxMade = 0, maxNameBytes = 0;
  bool full = false;
  std::vector<std::pair<std::string, std::optional<std::string>>> savedEnvironment;
  // Scratch, kept between calls so that known paths cost no allocation.
  std::string key;
  std::string prefixKey;
  std::vector<std::string_view> components;
  std::vector<std::size_t> keyEnds;  // key length after each component
  bool streamed = false;             // the last component named a stream

  bool Fail(std::string why) {
    error = std::move(why);
    return false;
  }

  std::string rootKey;  // scratch for FindDrive

  const Drive* FindDrive(int computer, std::string_view root) {
    rootKey.clear();
    AppendCanonicalRoot(rootKey, root);
    const Computer& owner = computers[static_cast<std::size_t>(computer)];
    auto found = owner.byRoot.find(rootKey);
    return found == owner.byRoot.end() ? nullptr : &owner.drives[found->second];
  }

  bool MapInEmulation(const std::u16string& wideRoot, const std::string& hostFolder, uint32_t type) {
    if (!module.emulated()) return true;
    if (module.EmuMapDrive(wideRoot.c_str(), hostFolder.c_str(), type) == 0)
      return Fail("bad drive root " + ToUtf8(wideRoot));
    return true;
  }

  // Fills `key`, `components` and `keyEnds` for the selected computer; the
  // drive of the path, or null with `error`.
  const Drive* Resolve(std::string_view path) {
    // No Windows path is longer than 32,767 units (three bytes each at most):
    // a longer one is refused before it costs more than its length.
    if (path.size() > kMaxWindowsPathBytes) {
      Fail("longer than any Windows path: " + Shown(path));
      return nullptr;
    }
    std::string_view root, rest;
    if (!SplitDriveRoot(path, root, rest)) {
      Fail("no drive in " + Shown(path));
      return nullptr;
    }
    const Drive* drive = FindDrive(selected, root);
    if (drive == nullptr) {
      Fail("no drive for " + Shown(path));
      return nullptr;
    }
    components.clear();
    streamed = false;
    std::size_t start = 0;
    while (start <= rest.size()) {
      std::size_t end = start;
      while (end < rest.size() && !IsSeparator(rest[end])) ++end;
      std::string_view component = rest.substr(start, end - start);
      // "name:stream" (and "name:stream:$DATA") is a stream of the file
      // "name": writing it writes the file.
      if (end == rest.size()) {
        const std::size_t colon = component.find(':');
        if (colon != std::string_view::npos && colon > 0) {
          component = component.substr(0, colon);
          streamed = true;
        }
      }
      if (component == "..") {
        if (!components.empty()) components.pop_back();
      } else if (!component.empty() && component != ".") {
        if (!IsValidName(component)) {
          Fail("not a file name Windows can hold: " + Shown(path));
          return nullptr;
        }
        components.push_back(component);
      }
      start = end + 1;
    }
    // Nor can the machine hold what the host cannot name.
    std::size_t hostLength = drive->hostFolder.size();
    for (std::string_view component : components) hostLength += 1 + component.size();
    if (hostLength >= PATH_MAX) {
      Fail("longer than the machine's folders can hold: " + Shown(path));
      return nullptr;
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

  // Counts one more file or folder named `name`; false, and full, past the limits.
  bool Admit(std::string_view name) {
    if ((maxMade != 0 && made + 1 > maxMade) || (maxNameBytes != 0 && nameBytes + name.size() > maxNameBytes)) {
      full = true;
      return Fail("the sandbox is full: " + std::to_string(made) + " files and folders, " + std::to_string(nameBytes) +
                  " bytes of names");
    }
    ++made;
    nameBytes += name.size();
    return true;
  }

  // Makes sure the first `count` components are folders; their host path in
  // `host`. A file the machine made where a folder must be becomes that
  // folder: logs name a new folder as a file created, then files inside it.
  bool EnsureFolders(const Drive& drive, std::size_t count, std::string& host) {
    std::size_t existing = count;
    host = drive.hostFolder;
    while (existing > 0) {
      prefixKey.assign(key, 0, keyEnds[existing - 1]);
      auto found = entries.find(prefixKey);
      if (found != entries.end()) {
        Entry& entry = found->second;
        if (!entry.directory) {
          if (::unlink(entry.hostPath.c_str()) != 0 || ::mkdir(entry.hostPath.c_str(), 0755) != 0)
            return Fail("cannot make " + entry.hostPath + " a folder: " + std::strerror(errno));
          entry.directory = true;
        }
        host = entry.hostPath;
        break;
      }
      --existing;
    }
    for (std::size_t i = existing; i < count; ++i) {
      host += '/';
      host.append(components[i]);
      if (!Admit(components[i])) return false;
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
  // A computer's folder and its drives count as files of the sandbox.
  if (!state_->Admit("computer")) return -1;
  state_->computers.emplace_back();
  int computer = static_cast<int>(state_->computers.size() - 1);
  ::mkdir((state_->folder + "/" + std::to_string(computer)).c_str(), 0755);
  return computer;
}

void Machine::SelectComputer(int computer) {
  State& s = *state_;
  if (computer == s.selected || computer < 0 || static_cast<std::size_t>(computer) >= s.computers.size()) return;
  s.selected = computer;
  // The emulation keeps each computer's drives: nothing is mapped again.
  if (s.module.emulated()) s.module.EmuSelectComputer(computer);
}

int Machine::SelectedComputer() const { return state_->selected; }

bool Machine::MapDrive(std::string_view root, uint32_t type) {
  State& s = *state_;
  std::string_view driveRoot, rest;
  if (!SplitDriveRoot(root, driveRoot, rest) || !rest.empty()) return s.Fail("bad drive root " + std::string(root));
  Computer& computer = s.computers[static_cast<std::size_t>(s.selected)];
  const std::string canonical = CanonicalRoot(driveRoot);
  auto known = computer.byRoot.find(canonical);
  if (known != computer.byRoot.end()) {
    Drive& drive = computer.drives[known->second];
    drive.type = type;
    return s.MapInEmulation(drive.wideRoot, drive.hostFolder, type);
  }
  Drive drive;
  drive.root = canonical;
  drive.wideRoot = FromUtf8(drive.root);
  drive.hostFolder = s.folder + "/" + std::to_string(s.selected) + "/drive" + std::to_string(computer.drives.size());
  drive.type = type;
  if (::mkdir(drive.hostFolder.c_str(), 0755) != 0 && errno != EEXIST)
    return s.Fail("cannot make " + drive.hostFolder + ": " + std::strerror(errno));
  if (!s.MapInEmulation(drive.wideRoot, drive.hostFolder, type)) return false;
  computer.byRoot.emplace(canonical, computer.drives.size());
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

void Machine::SetLimits(std::size_t entries, std::size_t nameBytes) {
  state_->maxMade = entries;
  state_->maxNameBytes = nameBytes;
}

bool Machine::full() const { return state_->full; }

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
  if (s.components.empty()) return s.Fail("not a file: " + Shown(windowsPath));
  auto found = s.entries.find(s.key);
  if (found != s.entries.end()) {
    // A folder's stream (a script hidden in "C:\\Users\\x\\AppData:run.vbs")
    // is written with the folder, which stays one.
    if (found->second.directory && !s.streamed) return s.Fail("a folder, not a file: " + Shown(windowsPath));
    return s.Touch(found->second.hostPath, lastWrite);
  }
  std::string host;
  if (!s.EnsureFolders(*drive, s.components.size() - 1, host)) return false;
  host += '/';
  host.append(s.components.back());
  if (!s.Admit(s.components.back())) return false;
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
  if (found->second.directory) return s.Fail("a folder, not a file: " + Shown(windowsPath));
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
