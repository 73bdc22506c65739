// The process-name filter's rows: names of malware (reported, or, for the
// names the filter ignores, answered 2 without a report: kRuleExempt), names
// of system programs that are suspect outside their home folders, and the
// verdict for a program directly in an installation root.
#ifndef EVRULES_RULES_PROCESS_NAME_FILTER_H
#define EVRULES_RULES_PROCESS_NAME_FILTER_H

#include "Rows.h"

namespace evrules {

// Homes of system program names.
constexpr int32_t kPlaceSystem = 1;   // SystemDir or SysWow64Dir
constexpr int32_t kPlaceWindows = 2;  // WindowsDir
constexpr int32_t kPlaceAny = 3;      // WindowsDir, SystemDir or SysWow64Dir

namespace process_name_filter {

struct MalNamesType {
  std::u16string_view Name;  // upper case
  RuleCode Code;
  std::string_view Verdict;
};

struct SysNamesType {
  std::u16string_view Name;  // upper case
  int32_t Place;
  RuleCode Code;
  std::string_view Verdict;
};

constexpr MalNamesType MalNames[] = {
    {u"SVCH0ST.EXE", kRuleReport, "HIPS:Trojan.Generic1.Win32.1"},  // digit zero
    {u"SYSTEM.COM", kRuleReport, "HIPS:Trojan.Generic1.Win32.2"},
    {u"SCVHOST.COM", kRuleReport, "HIPS:Trojan.Generic1.Win32.3"},
    {u"CTFMON.COM", kRuleReport, "HIPS:Trojan.Generic1.Win32.4"},
    {u"SCVHOST.EXE", kRuleReport, "HIPS:Trojan.Generic1.Win32.5"},
    {u"SDRA64.EXE", kRuleReport, "HIPS:Trojan.Generic1.Win32.6"},
    {u"NEW FOLDER.EXE", kRuleReport, "HIPS:Trojan.Generic1.Win32.7"},
    {u"SVHOST.EXE", kRuleReport, "HIPS:Trojan.Generic1.Win32.8"},
    {u"SVCHOSS.EXE", kRuleReport, "HIPS:Trojan.Generic1.Win32.9"},
    {u"WINDOWSUPDATE.EXE", kRuleReport, "HIPS:Trojan.Generic1.Win32.10"},
    {u"RECYCLER.EXE", kRuleReport, "HIPS:Trojan.Generic1.Win32.11"},
    {u"SVCHOST..EXE", kRuleReport, "HIPS:Trojan.Generic1.Win32.12"},  // two dots
    // Known names answered 2 without a report.
    {u"TASKDL.EXE", kRuleExempt, "HIPS:Trojan.WanaCry.Win32.1"},
    {u"TASKSE.EXE", kRuleExempt, "HIPS:Trojan.WanaCry.Win32.2"},
    {u"@WANADECRYPTOR@.EXE", kRuleExempt, "HIPS:Trojan.WanaCry.Win32.3"},
    {u"MSSECSVC.EXE", kRuleExempt, "HIPS:Trojan.WanaCry.Win32.4"},
    {u"TASKSCHE.EXE", kRuleExempt, "HIPS:Trojan.WanaCry.Win32.5"},
};

constexpr SysNamesType SysNames[] = {
    {u"SVCHOST.EXE", kPlaceSystem, kRuleReport, "HIPS:Trojan.Generic2.Win32.1"},
    {u"LSASS.EXE", kPlaceSystem, kRuleReport, "HIPS:Trojan.Generic2.Win32.2"},
    {u"CSRSS.EXE", kPlaceSystem, kRuleReport, "HIPS:Trojan.Generic2.Win32.3"},
    {u"SERVICES.EXE", kPlaceSystem, kRuleReport, "HIPS:Trojan.Generic2.Win32.4"},
    {u"SMSS.EXE", kPlaceSystem, kRuleReport, "HIPS:Trojan.Generic2.Win32.5"},
    {u"WINLOGON.EXE", kPlaceSystem, kRuleReport, "HIPS:Trojan.Generic2.Win32.6"},
    {u"IGFXPERS.EXE", kPlaceSystem, kRuleReport, "HIPS:Trojan.Generic2.Win32.7"},
    {u"SPOOLSV.EXE", kPlaceSystem, kRuleReport, "HIPS:Trojan.Generic2.Win32.8"},
    {u"TASKHOST.EXE", kPlaceSystem, kRuleReport, "HIPS:Trojan.Generic2.Win32.9"},
    {u"WININIT.EXE", kPlaceSystem, kRuleReport, "HIPS:Trojan.Generic2.Win32.10"},
    {u"EXPLORER.EXE", kPlaceAny, kRuleReport, "HIPS:Trojan.Generic2.Win32.11"},
};

// A program directly in ProgramData, Users or Program Files (a rule written
// as code, after the tables).
constexpr CodeRule kInstallationRoot = {"HIPS:Trojan.Generic3.Win32.1",
                                        "program directly in an installation root (ProgramData, Users, Program Files)"};

}  // namespace process_name_filter
}  // namespace evrules

#endif
