// The machine the module judges events on. On Linux it is the module's
// emulation: drives are folders inside one sandbox folder that the machine
// creates and removes, the folder answers and the date are set through the
// EvEmu_* exports. On Windows it is the real machine: drives and folders are
// whatever the system has, files are created where they are named and removed
// again at the end.
//
// Several computers can live in one machine (a log may come from many): each
// has its own drives and files, and SelectComputer shows one to the module.
#ifndef RULEHOST_MACHINE_H
#define RULEHOST_MACHINE_H

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "Module.h"

namespace rulehost {

struct FileTime {
  int64_t seconds = 0;  // since 1970-01-01 UTC
  int32_t nanoseconds = 0;
};

// Which folder answer to change (as EvEmuFolder).
enum class FolderAnswer : int32_t { System = 1, Windows = 2, Profiles = 3 };

class Machine {
 public:
  explicit Machine(const Module& module);
  ~Machine();
  Machine(const Machine&) = delete;
  Machine& operator=(const Machine&) = delete;

  // Resets the emulation and makes the sandbox folder, named PREFIX-XXXXXX,
  // inside `parent` (empty: $TMPDIR, else /tmp). False, with error(), when
  // it cannot.
  bool Open(const std::string& parent, const std::string& prefix);
  // The sandbox folder (empty on Windows).
  const std::string& Folder() const;
  const std::string& error() const;

  // Computer 0 exists from the start and is selected. A new computer's
  // number, or -1 (error()) when the sandbox holds no more.
  int AddComputer();
  void SelectComputer(int computer);
  int SelectedComputer() const;

  // Gives the selected computer the drive `root` ("C:" or "\\server\share",
  // any case) of a Windows drive type (2 removable, 3 fixed, 4 remote); a
  // second call changes the type. HasDrive ignores case.
  bool MapDrive(std::string_view root, uint32_t type);
  bool HasDrive(std::string_view root) const;

  // At most `entries` files and folders made, whose names take at most
  // `nameBytes` bytes (0: no limit); past them WriteFile and MakeDirectory
  // fail and full() says so. Each entry costs the kernel about a kilobyte.
  void SetLimits(std::size_t entries, std::size_t nameBytes);
  bool full() const;

  void SetFolder(FolderAnswer which, const std::optional<std::string>& path);
  // Changes a variable of this process until the machine ends; null unsets it.
  void SetEnvironment(const std::string& name, const std::optional<std::string>& value);
  void SetToday(int year, int month, int day);
  void SetDebugSink(EmuDebugSinkFn sink, void* context);

  // Files of the selected computer, by Windows path (UTF-8; "\" or "/"
  // separate, names ignore ASCII case, "." and ".." are resolved). Missing
  // folders are created, and a file the machine made where a folder must be
  // becomes one. False, with error(), for a path on no drive of the
  // computer, a name Windows cannot hold, a path longer than Windows or the
  // sandbox holds, or a full sandbox.
  bool WriteFile(std::string_view windowsPath, FileTime lastWrite);
  bool MakeDirectory(std::string_view windowsPath);
  // True when the file was there and is gone, or was never there.
  bool RemoveFile(std::string_view windowsPath);
  // A file this machine wrote and did not remove.
  bool HasFile(std::string_view windowsPath);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// Splits a Windows path into its drive root ("C:", "\\server\share") and
// the rest; false when it has none.
bool SplitDriveRoot(std::string_view path, std::string_view& root, std::string_view& rest);

}  // namespace rulehost

#endif
