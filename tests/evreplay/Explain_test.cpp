#include "Explain.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

namespace evreplay {
namespace {

// The rows are the module's tables, read from them: every table with its
// rows in order, numbered from 1, and the rules written as code after them.
TEST(ExplainTest, RowsAreTheModulesTablesInOrder) {
  std::size_t count = 0;
  const RuleRow* rows = RuleRows(count);
  std::vector<std::pair<std::string, int>> tables;  // table, rows, in the order met
  std::set<std::string> verdicts;
  for (std::size_t i = 0; i < count; ++i) {
    const RuleRow& row = rows[i];
    verdicts.insert(std::string(row.verdict));
    EXPECT_EQ(row.verdict.substr(0, 5), "HIPS:");
    if (row.table.empty()) {
      EXPECT_EQ(row.row, 0);
      continue;
    }
    if (tables.empty() || tables.back().first != row.table) tables.emplace_back(std::string(row.table), 0);
    EXPECT_EQ(row.row, ++tables.back().second) << row.table;
  }
  EXPECT_EQ(tables, (std::vector<std::pair<std::string, int>>{{"AutoRunUser", 2},
                                                              {"AutoRunMachine", 4},
                                                              {"BlackRegUser", 6},
                                                              {"BlackRegMachine", 6},
                                                              {"MalNames", 17},
                                                              {"SysNames", 11}}));
  EXPECT_EQ(verdicts.size(), count) << "every verdict is one row's";
  EXPECT_EQ(count, 46u + 5u);
}

// What a row does comes from its fields: silent black-list rows, ignored names.
TEST(ExplainTest, SilentAndIgnoredRowsAreTold) {
  std::size_t count = 0;
  const RuleRow* rows = RuleRows(count);
  int silent = 0, ignored = 0;
  for (std::size_t i = 0; i < count; ++i) {
    silent += rows[i].silent;
    ignored += rows[i].ignored;
    if (rows[i].silent) {
      EXPECT_NE(rows[i].rule.find("(silent)"), std::string_view::npos) << rows[i].verdict;
    }
  }
  EXPECT_EQ(silent, 9);
  EXPECT_EQ(ignored, 5);
}

TEST(ExplainTest, EveryVerdictTellsOneRow) {
  std::size_t count = 0;
  const RuleRow* rows = RuleRows(count);
  for (std::size_t i = 0; i < count; ++i) EXPECT_EQ(RowForVerdict(rows[i].verdict), &rows[i]) << rows[i].verdict;
  EXPECT_EQ(RowForVerdict("HIPS:Nothing.Win32.1"), nullptr);
  EXPECT_EQ(RowForVerdict(""), nullptr);
}

TEST(ExplainTest, SilentRegistryRowsByKeyAndValue) {
  struct Case {
    const char* key;
    const char* value;
    const char* verdict;  // null: none
  };
  const Case cases[] = {
      {"\\REGISTRY\\USER\\S-1-5-21-1\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System\\",
       "disabletaskmgr", "HIPS:Trojan.HookSystem.Win32.6"},
      {"\\REGISTRY\\USER\\S-1-5-21-1\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced\\",
       "ShowSuperHidden", "HIPS:Worm.Vobfus.Win32.1"},
      {"\\REGISTRY\\MACHINE\\SOFTWARE\\CLASSES\\exefile\\shell\\open\\command\\", "", "HIPS:Trojan.HookSystem.Win32.1"},
      {"\\REGISTRY\\MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon\\", "Userinit",
       "HIPS:Trojan.HookSystem.Win32.3"},
      // Rows that report, or no row at all, are not silent rows.
      {"\\REGISTRY\\MACHINE\\SOFTWARE\\XWCMT\\", "", nullptr},
      {"\\REGISTRY\\USER\\S-1-5-21-1\\Software\\Locky\\", "", nullptr},
      {"\\REGISTRY\\MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon\\", "Other", nullptr},
      {"\\REGISTRY\\USER\\S-1-5-21-1", "DisableTaskMgr", nullptr},
      {"\\REGISTRY\\USER\\.DEFAULT\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System\\",
       "DisableTaskMgr", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.key) + c.value);
    const RuleRow* row = RowForSilentRegistry(c.key, c.value);
    if (c.verdict == nullptr) {
      EXPECT_EQ(row, nullptr);
    } else {
      ASSERT_NE(row, nullptr);
      EXPECT_EQ(row->verdict, c.verdict);
    }
  }
}

TEST(ExplainTest, IgnoredNamesByTheImagesName) {
  ASSERT_NE(RowForIgnoredName("C:\\Users\\Public\\tasksche.exe"), nullptr);
  EXPECT_EQ(RowForIgnoredName("C:\\Users\\Public\\tasksche.exe")->row, 17);
  EXPECT_EQ(RowForIgnoredName("mssecsvc.exe")->row, 16);
  EXPECT_EQ(RowForIgnoredName("C:\\Windows\\System32\\svchost.exe"), nullptr);
  EXPECT_EQ(RowForIgnoredName("C:\\Users\\Public\\svch0st.exe"), nullptr);
}

}  // namespace
}  // namespace evreplay
