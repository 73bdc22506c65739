// The auto-run rows: registry values that make a program start with Windows,
// set by a program that was written today or (for the rows checking
// kOutsideInstallFolders) lives outside the installation folders.
#ifndef EVRULES_RULES_AUTO_RUN_REGISTRY_H
#define EVRULES_RULES_AUTO_RUN_REGISTRY_H

#include "Rows.h"

namespace evrules::auto_run_registry {

using TBlackReg = RegistryRow;

// Relative to the user's hive.
constexpr TBlackReg AutoRunUser[] = {
    {kWrittenToday, u"\\SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\RUN\\", u"*", kRuleReport,
     "HIPS:Trojan.AutoRunUSER.Win32.1", "the user's Run key set by a program written today"},
    {kWrittenToday, u"\\SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\RUNONCE\\", u"*", kRuleReport,
     "HIPS:Trojan.AutoRunUSER.Win32.2", "the user's RunOnce key set by a program written today"},
};

constexpr TBlackReg AutoRunMachine[] = {
    {kWrittenToday, u"\\REGISTRY\\MACHINE\\SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\RUN\\", u"*", kRuleReport,
     "HIPS:Trojan.AutoRunSYS.Win32.1", "the machine's Run key set by a program written today"},
    {kWrittenToday, u"\\REGISTRY\\MACHINE\\SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\RUNONCE\\", u"*",
     kRuleReport, "HIPS:Trojan.AutoRunSYS.Win32.2", "the machine's RunOnce key set by a program written today"},
    {kOutsideInstallFolders, u"\\REGISTRY\\MACHINE\\SOFTWARE\\MICROSOFT\\SECURITY CENTER\\", u"*", kRuleReport,
     "HIPS:Trojan.Agent3.Win32.1", "Security Center settings changed by a program outside the installation folders"},
    {kOutsideInstallFolders, u"\\REGISTRY\\MACHINE\\SOFTWARE\\MICROSOFT\\WINDOWS NT\\CURRENTVERSION\\WINLOGON\\",
     u"USERINIT", kRuleReport, "HIPS:Trojan.Agent3.Win32.2",
     "Winlogon's Userinit changed by a program outside the installation folders"},
};

}  // namespace evrules::auto_run_registry

#endif
