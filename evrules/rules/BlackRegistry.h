// The registry black list: keys and values that malware writes, reported
// (kRuleReport) or answered 3 without a report (kRuleSilent).
#ifndef EVRULES_RULES_BLACK_REGISTRY_H
#define EVRULES_RULES_BLACK_REGISTRY_H

#include "Rows.h"

namespace evrules::black_registry {

using TBlackReg = RegistryRow;

// Relative to the user's hive.
constexpr TBlackReg BlackRegUser[] = {
    {kAnyImage, u"\\SOFTWARE\\LOCKY\\", u"*", kRuleReport, "HIPS:Trojan.Locky.Win32.1", "Locky's key in the user's hive"},
    {kAnyImage, u"\\SOFTWARE\\XXXSYS\\", u"*", kRuleReport, "HIPS:Trojan.Bitman.Win32.1", "Bitman's key in the user's hive"},
    {kAnyImage, u"\\SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\EXPLORER\\ADVANCED\\", u"SHOWSUPERHIDDEN", kRuleSilent,
     "HIPS:Worm.Vobfus.Win32.1", "super-hidden files shown"},
    {kAnyImage, u"\\SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\POLICIES\\SYSTEM\\", u"DISABLETASKMGR", kRuleSilent,
     "HIPS:Trojan.HookSystem.Win32.6", "Task Manager disabled"},
    {kAnyImage, u"\\SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\POLICIES\\SYSTEM\\", u"DISABLEREGISTRYTOOLS", kRuleSilent,
     "HIPS:Trojan.HookSystem.Win32.7", "registry tools disabled"},
    {kAnyImage, u"\\SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\POLICIES\\SYSTEM\\", u"ENABLELUA", kRuleSilent,
     "HIPS:Trojan.HookSystem.Win32.8", "user account control changed"},
};

constexpr TBlackReg BlackRegMachine[] = {
    {kAnyImage, u"\\REGISTRY\\MACHINE\\SOFTWARE\\CLASSES\\EXEFILE\\SHELL\\OPEN\\COMMAND\\", u"*", kRuleSilent,
     "HIPS:Trojan.HookSystem.Win32.1", "the command that opens programs changed"},
    {kAnyImage, u"\\REGISTRY\\MACHINE\\SOFTWARE\\MICROSOFT\\WINDOWS NT\\CURRENTVERSION\\WINLOGON\\", u"SHELL", kRuleSilent,
     "HIPS:Trojan.HookSystem.Win32.2", "Winlogon's Shell changed"},
    {kAnyImage, u"\\REGISTRY\\MACHINE\\SOFTWARE\\MICROSOFT\\WINDOWS NT\\CURRENTVERSION\\WINLOGON\\", u"USERINIT", kRuleSilent,
     "HIPS:Trojan.HookSystem.Win32.3", "Winlogon's Userinit changed"},
    {kAnyImage, u"\\REGISTRY\\MACHINE\\SOFTWARE\\XWCMT\\", u"*", kRuleReport, "HIPS:Trojan.Kovter.Win32.1", "Kovter's key"},
    {kAnyImage, u"\\REGISTRY\\MACHINE\\SOFTWARE\\MICROSOFT\\WINDOWS NT\\CURRENTVERSION\\WINLOGON\\", u"SFCSCAN", kRuleSilent,
     "HIPS:Trojan.HookSystem.Win32.4", "file protection scan changed"},
    {kAnyImage, u"\\REGISTRY\\MACHINE\\SOFTWARE\\WOW6432NODE\\MICROSOFT\\WINDOWS NT\\CURRENTVERSION\\WINLOGON\\",
     u"SFCDISABLE", kRuleSilent, "HIPS:Trojan.HookSystem.Win32.5", "file protection disabled, 32-bit view"},
};

}  // namespace evrules::black_registry

#endif
