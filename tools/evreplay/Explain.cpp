#include "Explain.h"

#include <iterator>

namespace evreplay {
namespace {

constexpr std::string_view kRunKey = "\\SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\RUN\\";
constexpr std::string_view kRunOnceKey = "\\SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\RUNONCE\\";
constexpr std::string_view kPoliciesKey = "\\SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\POLICIES\\SYSTEM\\";
constexpr std::string_view kWinlogonKey = "\\REGISTRY\\MACHINE\\SOFTWARE\\MICROSOFT\\WINDOWS NT\\CURRENTVERSION\\WINLOGON\\";

constexpr RuleRow kRows[] = {
    // AutoRunRegistry.cpp
    {"AutoRunRegistry", "AutoRunUser", 1, "HIPS:Trojan.AutoRunUSER.Win32.1",
     "the user's Run key set by a program written today", kRunKey, "*"},
    {"AutoRunRegistry", "AutoRunUser", 2, "HIPS:Trojan.AutoRunUSER.Win32.2",
     "the user's RunOnce key set by a program written today", kRunOnceKey, "*"},
    {"AutoRunRegistry", "AutoRunMachine", 1, "HIPS:Trojan.AutoRunSYS.Win32.1",
     "the machine's Run key set by a program written today",
     "\\REGISTRY\\MACHINE\\SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\RUN\\", "*"},
    {"AutoRunRegistry", "AutoRunMachine", 2, "HIPS:Trojan.AutoRunSYS.Win32.2",
     "the machine's RunOnce key set by a program written today",
     "\\REGISTRY\\MACHINE\\SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\RUNONCE\\", "*"},
    {"AutoRunRegistry", "AutoRunMachine", 3, "HIPS:Trojan.Agent3.Win32.1",
     "Security Center settings changed by a program outside the installation folders",
     "\\REGISTRY\\MACHINE\\SOFTWARE\\MICROSOFT\\SECURITY CENTER\\", "*"},
    {"AutoRunRegistry", "AutoRunMachine", 4, "HIPS:Trojan.Agent3.Win32.2",
     "Winlogon's Userinit changed by a program outside the installation folders", kWinlogonKey, "USERINIT"},
    // BlackRegistry.cpp
    {"BlackRegistry", "BlackRegUser", 1, "HIPS:Trojan.Locky.Win32.1", "Locky's key in the user's hive",
     "\\SOFTWARE\\LOCKY\\", "*"},
    {"BlackRegistry", "BlackRegUser", 2, "HIPS:Trojan.Bitman.Win32.1", "Bitman's key in the user's hive",
     "\\SOFTWARE\\XXXSYS\\", "*"},
    {"BlackRegistry", "BlackRegUser", 3, "HIPS:Worm.Vobfus.Win32.1", "super-hidden files shown (silent)",
     "\\SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\EXPLORER\\ADVANCED\\", "SHOWSUPERHIDDEN"},
    {"BlackRegistry", "BlackRegUser", 4, "HIPS:Trojan.HookSystem.Win32.6", "Task Manager disabled (silent)",
     kPoliciesKey, "DISABLETASKMGR"},
    {"BlackRegistry", "BlackRegUser", 5, "HIPS:Trojan.HookSystem.Win32.7", "registry tools disabled (silent)",
     kPoliciesKey, "DISABLEREGISTRYTOOLS"},
    {"BlackRegistry", "BlackRegUser", 6, "HIPS:Trojan.HookSystem.Win32.8", "user account control changed (silent)",
     kPoliciesKey, "ENABLELUA"},
    {"BlackRegistry", "BlackRegMachine", 1, "HIPS:Trojan.HookSystem.Win32.1",
     "the command that opens programs changed (silent)",
     "\\REGISTRY\\MACHINE\\SOFTWARE\\CLASSES\\EXEFILE\\SHELL\\OPEN\\COMMAND\\", "*"},
    {"BlackRegistry", "BlackRegMachine", 2, "HIPS:Trojan.HookSystem.Win32.2", "Winlogon's Shell changed (silent)",
     kWinlogonKey, "SHELL"},
    {"BlackRegistry", "BlackRegMachine", 3, "HIPS:Trojan.HookSystem.Win32.3", "Winlogon's Userinit changed (silent)",
     kWinlogonKey, "USERINIT"},
    {"BlackRegistry", "BlackRegMachine", 4, "HIPS:Trojan.Kovter.Win32.1", "Kovter's key",
     "\\REGISTRY\\MACHINE\\SOFTWARE\\XWCMT\\", "*"},
    {"BlackRegistry", "BlackRegMachine", 5, "HIPS:Trojan.HookSystem.Win32.4", "file protection scan changed (silent)",
     kWinlogonKey, "SFCSCAN"},
    {"BlackRegistry", "BlackRegMachine", 6, "HIPS:Trojan.HookSystem.Win32.5",
     "file protection disabled, 32-bit view (silent)",
     "\\REGISTRY\\MACHINE\\SOFTWARE\\WOW6432NODE\\MICROSOFT\\WINDOWS NT\\CURRENTVERSION\\WINLOGON\\", "SFCDISABLE"},
    // ProcessNameFilter.cpp
    {"ProcessNameFilter", "MalNames", 1, "HIPS:Trojan.Generic1.Win32.1", "known malicious name", "SVCH0ST.EXE", ""},
    {"ProcessNameFilter", "MalNames", 2, "HIPS:Trojan.Generic1.Win32.2", "known malicious name", "SYSTEM.COM", ""},
    {"ProcessNameFilter", "MalNames", 3, "HIPS:Trojan.Generic1.Win32.3", "known malicious name", "SCVHOST.COM", ""},
    {"ProcessNameFilter", "MalNames", 4, "HIPS:Trojan.Generic1.Win32.4", "known malicious name", "CTFMON.COM", ""},
    {"ProcessNameFilter", "MalNames", 5, "HIPS:Trojan.Generic1.Win32.5", "known malicious name", "SCVHOST.EXE", ""},
    {"ProcessNameFilter", "MalNames", 6, "HIPS:Trojan.Generic1.Win32.6", "known malicious name", "SDRA64.EXE", ""},
    {"ProcessNameFilter", "MalNames", 7, "HIPS:Trojan.Generic1.Win32.7", "known malicious name", "NEW FOLDER.EXE",
     ""},
    {"ProcessNameFilter", "MalNames", 8, "HIPS:Trojan.Generic1.Win32.8", "known malicious name", "SVHOST.EXE", ""},
    {"ProcessNameFilter", "MalNames", 9, "HIPS:Trojan.Generic1.Win32.9", "known malicious name", "SVCHOSS.EXE", ""},
    {"ProcessNameFilter", "MalNames", 10, "HIPS:Trojan.Generic1.Win32.10", "known malicious name",
     "WINDOWSUPDATE.EXE", ""},
    {"ProcessNameFilter", "MalNames", 11, "HIPS:Trojan.Generic1.Win32.11", "known malicious name", "RECYCLER.EXE",
     ""},
    {"ProcessNameFilter", "MalNames", 12, "HIPS:Trojan.Generic1.Win32.12", "known malicious name", "SVCHOST..EXE",
     ""},
    {"ProcessNameFilter", "MalNames", 13, "HIPS:Trojan.WanaCry.Win32.1", "known name, ignored (result 2)",
     "TASKDL.EXE", ""},
    {"ProcessNameFilter", "MalNames", 14, "HIPS:Trojan.WanaCry.Win32.2", "known name, ignored (result 2)",
     "TASKSE.EXE", ""},
    {"ProcessNameFilter", "MalNames", 15, "HIPS:Trojan.WanaCry.Win32.3", "known name, ignored (result 2)",
     "@WANADECRYPTOR@.EXE", ""},
    {"ProcessNameFilter", "MalNames", 16, "HIPS:Trojan.WanaCry.Win32.4", "known name, ignored (result 2)",
     "MSSECSVC.EXE", ""},
    {"ProcessNameFilter", "MalNames", 17, "HIPS:Trojan.WanaCry.Win32.5", "known name, ignored (result 2)",
     "TASKSCHE.EXE", ""},
    {"ProcessNameFilter", "SysNames", 1, "HIPS:Trojan.Generic2.Win32.1", "system name outside the system folder",
     "SVCHOST.EXE", ""},
    {"ProcessNameFilter", "SysNames", 2, "HIPS:Trojan.Generic2.Win32.2", "system name outside the system folder",
     "LSASS.EXE", ""},
    {"ProcessNameFilter", "SysNames", 3, "HIPS:Trojan.Generic2.Win32.3", "system name outside the system folder",
     "CSRSS.EXE", ""},
    {"ProcessNameFilter", "SysNames", 4, "HIPS:Trojan.Generic2.Win32.4", "system name outside the system folder",
     "SERVICES.EXE", ""},
    {"ProcessNameFilter", "SysNames", 5, "HIPS:Trojan.Generic2.Win32.5", "system name outside the system folder",
     "SMSS.EXE", ""},
    {"ProcessNameFilter", "SysNames", 6, "HIPS:Trojan.Generic2.Win32.6", "system name outside the system folder",
     "WINLOGON.EXE", ""},
    {"ProcessNameFilter", "SysNames", 7, "HIPS:Trojan.Generic2.Win32.7", "system name outside the system folder",
     "IGFXPERS.EXE", ""},
    {"ProcessNameFilter", "SysNames", 8, "HIPS:Trojan.Generic2.Win32.8", "system name outside the system folder",
     "SPOOLSV.EXE", ""},
    {"ProcessNameFilter", "SysNames", 9, "HIPS:Trojan.Generic2.Win32.9", "system name outside the system folder",
     "TASKHOST.EXE", ""},
    {"ProcessNameFilter", "SysNames", 10, "HIPS:Trojan.Generic2.Win32.10", "system name outside the system folder",
     "WININIT.EXE", ""},
    {"ProcessNameFilter", "SysNames", 11, "HIPS:Trojan.Generic2.Win32.11",
     "system name outside the Windows and system folders", "EXPLORER.EXE", ""},
    {"ProcessNameFilter", "", 0, "HIPS:Trojan.Generic3.Win32.1",
     "program directly in an installation root (ProgramData, Users, Program Files)", "", ""},
    // WScript.cpp and Rules_CMD.cpp: rules written as code, reporting on their own.
    {"WScript", "", 0, "HIPS:Worm.AutoRun.Script.1", "script run from a removable drive", "", ""},
    {"WScript", "", 0, "HIPS:Downloader.Agent.Script.1", "script that started a program written today", "", ""},
    {"WScript", "", 0, "HIPS:Trojan.Agent.Win32.1", "program written today, started by a script", "", ""},
    {"Rules_CMD", "", 0, "HIPS:Trojan.HiddenRun.Win32.1", "cmd /C starting a program written today", "", ""},
};

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }

bool EqualsUpper(std::string_view text, std::string_view upper) {
  if (text.size() != upper.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i)
    if (Upper(text[i]) != upper[i]) return false;
  return true;
}

bool IsSilent(const RuleRow& row) { return row.rule.size() > 8 && row.rule.substr(row.rule.size() - 8) == "(silent)"; }

}  // namespace

const RuleRow* RuleRows(std::size_t& count) {
  count = std::size(kRows);
  return kRows;
}

const RuleRow* RowForVerdict(std::string_view verdict) {
  for (const RuleRow& row : kRows)
    if (row.verdict == verdict) return &row;
  return nullptr;
}

const RuleRow* RowForSilentRegistry(std::string_view key, std::string_view value) {
  // Branches as the module tells them: exact prefixes.
  constexpr std::string_view kUser = "\\REGISTRY\\USER\\S-";
  constexpr std::string_view kMachine = "\\REGISTRY\\MACHINE";
  std::string_view table, relative;
  if (key.substr(0, kUser.size()) == kUser) {
    const std::size_t cut = key.find('\\', 15);
    if (cut == std::string_view::npos) return nullptr;
    table = "BlackRegUser";
    relative = key.substr(cut);
  } else if (key.substr(0, kMachine.size()) == kMachine) {
    table = "BlackRegMachine";
    relative = key;
  } else {
    return nullptr;
  }
  for (const RuleRow& row : kRows) {
    if (row.table != table || !EqualsUpper(relative, row.key)) continue;
    // The first row of the key and value decides, as in the module.
    if (row.value == "*" || EqualsUpper(value, row.value)) return IsSilent(row) ? &row : nullptr;
  }
  return nullptr;
}

const RuleRow* RowForIgnoredName(std::string_view processPath) {
  const std::size_t cut = processPath.find_last_of("\\:");
  const std::string_view name = cut == std::string_view::npos ? processPath : processPath.substr(cut + 1);
  for (const RuleRow& row : kRows)
    if (row.table == "MalNames" && row.rule.find("ignored") != std::string_view::npos && EqualsUpper(name, row.key))
      return &row;
  return nullptr;
}

}  // namespace evreplay
