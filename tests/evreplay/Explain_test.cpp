#include "Explain.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace evreplay {
namespace {

struct SourceRow {
  std::vector<std::string> texts;  // the row's u"..." literals, unescaped
  std::string verdict;
};

std::string ReadSource(const std::string& unit) {
  std::ifstream in(std::string(EVRULES_SOURCE_DIR) + "/" + unit + ".cpp");
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string Unescape(const std::string& literal) {
  std::string out;
  for (std::size_t i = 0; i < literal.size(); ++i) {
    if (literal[i] == '\\' && i + 1 < literal.size()) ++i;
    out += literal[i];
  }
  return out;
}

// The rows of `constexpr T table[] = { {...}, ... };` in a module source.
std::vector<SourceRow> TableRows(const std::string& source, const std::string& table) {
  const std::size_t start = source.find(" " + table + "[] = {");
  if (start == std::string::npos) return {};
  const std::size_t end = source.find("};", start);
  const std::string body = source.substr(start, end - start);
  std::vector<SourceRow> rows;
  const std::regex row(R"re(\{([^{}]*"HIPS:[^"]*"[^{}]*)\})re");
  const std::regex wide(R"re(u"((?:[^"\\]|\\.)*)")re");
  const std::regex verdict(R"re("(HIPS:[^"]*)")re");
  for (auto match = std::sregex_iterator(body.begin(), body.end(), row); match != std::sregex_iterator(); ++match) {
    const std::string text = (*match)[1];
    SourceRow parsed;
    for (auto w = std::sregex_iterator(text.begin(), text.end(), wide); w != std::sregex_iterator(); ++w)
      parsed.texts.push_back(Unescape((*w)[1]));
    std::smatch found;
    std::regex_search(text, found, verdict);
    parsed.verdict = found[1];
    rows.push_back(parsed);
  }
  return rows;
}

// The host's rows must be the module's: same tables, same order, same
// verdicts, keys, value names and names.
TEST(ExplainTest, RowsAreTheModulesTables) {
  std::size_t count = 0;
  const RuleRow* rows = RuleRows(count);
  std::map<std::string, std::vector<const RuleRow*>> tables;
  for (std::size_t i = 0; i < count; ++i)
    if (!rows[i].table.empty()) tables[std::string(rows[i].table)].push_back(&rows[i]);
  ASSERT_EQ(tables.size(), 6u);
  for (const auto& [table, hostRows] : tables) {
    SCOPED_TRACE(table);
    const std::vector<SourceRow> moduleRows = TableRows(ReadSource(std::string(hostRows.front()->unit)), table);
    ASSERT_EQ(moduleRows.size(), hostRows.size());
    for (std::size_t i = 0; i < hostRows.size(); ++i) {
      SCOPED_TRACE(i + 1);
      const RuleRow& host = *hostRows[i];
      EXPECT_EQ(host.row, static_cast<int>(i + 1));
      EXPECT_EQ(host.verdict, moduleRows[i].verdict);
      ASSERT_FALSE(moduleRows[i].texts.empty());
      EXPECT_EQ(host.key, moduleRows[i].texts[0]);
      if (moduleRows[i].texts.size() > 1) {
        EXPECT_EQ(host.value, moduleRows[i].texts[1]);
      }
    }
  }
}

TEST(ExplainTest, RulesWrittenAsCodeAreInTheirUnits) {
  std::size_t count = 0;
  const RuleRow* rows = RuleRows(count);
  for (std::size_t i = 0; i < count; ++i) {
    if (!rows[i].table.empty()) continue;
    SCOPED_TRACE(std::string(rows[i].verdict));
    EXPECT_EQ(rows[i].row, 0);
    EXPECT_NE(ReadSource(std::string(rows[i].unit)).find("\"" + std::string(rows[i].verdict) + "\""), std::string::npos);
  }
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
