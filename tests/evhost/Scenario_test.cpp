// Scenario files as evhost reads them: every malformed shape is one message
// naming the file, the place and the problem; and evhost itself, run on
// them, exits 2 and leaves no folder behind.
#include "Scenario.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

struct MalformedCase {
  const char* name;
  std::string text;
  std::string message;
};

const MalformedCase kMalformed[] = {
    {"NotJson", "{\"events\": [\n  {\"call\": }", "s.json:2:12: not JSON: syntax error while parsing value - unexpected '}'; expected '[', '{', or a literal"},
    {"NotAnObject", "[]", "s.json: at /: expected an object, got an array"},
    {"ObjectForArray", R"({"events": {}})", "s.json: at /events: expected an array, got an object"},
    {"NumberForText", R"({"machine": {"files": [{"path": 5}]}})",
     "s.json: at /machine/files/0/path: expected a string, got the number 5"},
    {"HugeAge", R"({"machine": {"files": [{"path": "C:\\a", "ageDays": 1e300}]}})",
     "s.json: at /machine/files/0/ageDays: expected a whole number from -36500 to 36500, got the number 1e+300"},
    {"FractionForNumber", R"({"events": [{"operation": 2.5}]})",
     "s.json: at /events/0/operation: expected a whole number from -2147483648 to 2147483647, got the number 2.5"},
    {"OperationOutOfRange", R"({"events": [{"operation": 2147483648}]})",
     "s.json: at /events/0/operation: expected a whole number from -2147483648 to 2147483647, got 2147483648"},
    {"Nested", std::string(100000, '['), "s.json: at /0/0/0/0/0/0/0/0/0/0/0/0/0/0/0/0/0/0/0/0/0/0/0/0/0/0/0/0/0/0/0/0: nested deeper than 32 levels"},
    {"NestedInAMember", R"({"events": [{"expect": {"reports": [[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]}}]})",
     "s.json: at /events/0/expect/reports/0/0/0/0/0/0/0/0/0/0/0/0/0/0/0/0/0/0/0/0/0/0/0/0/0/0/0/0: nested deeper than "
     "32 levels"},
    {"KeyTwice", R"({"events": [], "events": []})", "s.json: at /events: the key \"events\" is given twice"},
    {"UnknownMember", R"({"events": [{"expcet": {}}]})",
     "s.json: at /events/0/expcet: unknown member \"expcet\"; expected one of name, call, process, key, value, "
     "target, commandLine, operation, flags, host, expect"},
    {"UnknownCall", R"({"events": [{"call": "RegEvnt"}]})",
     "s.json: at /events/0/call: unknown call \"RegEvnt\"; expected InitLibrary, RegEvent, RegEventEx, ProcessEvent, "
     "ProcessEventEx, NetConnectEvent or NetProtocolData"},
    {"UnknownRecord", R"({"host": {"record": "half"}})",
     "s.json: at /host/record: expected full, reportOnly, tooSmall, empty or null, not \"half\""},
    {"TextForAnswer", R"({"host": {"whiteList": {"answers": {"C:\\x": "yes"}}}})",
     "s.json: at /host/whiteList/answers/C:\\x: expected a whole number from -2147483648 to 2147483647, got a string"},
    {"BadDate", R"({"machine": {"today": "2024-02-30"}})",
     "s.json: at /machine/today: expected a date YYYY-MM-DD, not \"2024-02-30\""},
    {"DriveWithoutRoot", R"({"machine": {"drives": [{"type": 2}]}})",
     "s.json: at /machine/drives/0: a drive needs its \"root\""},
    {"NumberForVariable", R"({"machine": {"environment": {"ProgramFiles": 1}}})",
     "s.json: at /machine/environment/ProgramFiles: expected a string or null, got the number 1"},
    {"ArrayForFolder", R"({"machine": {"folders": {"system": []}}})",
     "s.json: at /machine/folders/system: expected a string or null, got an array"},
    {"TextForKind", R"({"events": [{"expect": {"reports": [{"kind": "2"}]}}]})",
     "s.json: at /events/0/expect/reports/0/kind: expected a whole number from -2147483648 to 2147483647, got a "
     "string"},
    {"UnknownRequirement", R"({"requires": ["windows"]})",
     "s.json: at /requires/0: the only requirement known is \"emulation\""},
};

void PrintTo(const MalformedCase& c, std::ostream* out) { *out << c.name; }

class MalformedScenarioTest : public ::testing::TestWithParam<MalformedCase> {};

TEST_P(MalformedScenarioTest, IsOneMessageWithItsPlace) {
  try {
    evhost::ParseScenario(GetParam().text, "s.json");
    FAIL() << "accepted";
  } catch (const evhost::ScenarioError& e) {
    EXPECT_EQ(std::string(e.what()), GetParam().message);
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, MalformedScenarioTest, ::testing::ValuesIn(kMalformed),
                         [](const auto& test) { return std::string(test.param.name); });

TEST(ScenarioTest, AWellFormedScenarioIsReadWhole) {
  const evhost::Scenario s = evhost::ParseScenario(R"({
    "description": "d", "requires": ["emulation"],
    "machine": {"today": "2024-02-29", "drives": [{"root": "E:", "type": 2}], "folders": {"system": null},
                "environment": {"X": "y"}, "files": [{"path": "E:\\a.vbs", "ageDays": -1}, {"path": "C:\\d", "directory": true}]},
    "host": {"record": "reportOnly", "whiteList": {"default": 1, "answers": {"c:\\x": 0}}, "expectInit": 1},
    "events": [{"name": "e", "call": "ProcessEvent", "process": null, "flags": 4294967295,
                "expect": {"result": 3, "reports": [{"path": "p", "verdict": "v", "kind": 2}], "whiteListAsked": ["a"]}}]})",
                                                   "s.json");
  EXPECT_TRUE(s.needsEmulation);
  EXPECT_EQ(s.machine.today->day, 29);
  ASSERT_EQ(s.machine.drives.size(), 1u);
  EXPECT_EQ(s.machine.drives[0].second, 2u);
  EXPECT_FALSE(s.machine.folders[0].second.has_value());
  EXPECT_EQ(s.machine.files[0].ageDays, -1);
  EXPECT_TRUE(s.machine.files[1].directory);
  EXPECT_EQ(s.host.whiteList->byPath.at("C:\\X"), 0);
  EXPECT_EQ(*s.host.expectInit, 1);
  ASSERT_EQ(s.events.size(), 1u);
  EXPECT_FALSE(s.events[0].process.has_value());
  EXPECT_EQ(s.events[0].key, std::string());
  EXPECT_EQ(s.events[0].flags, -1);
  EXPECT_EQ(s.events[0].expect["result"], 3);
}

// ---- evhost, run as a program ----------------------------------------------------

struct Finished {
  int status = -1;
  std::string err;
};

class EvhostProgramTest : public ::testing::Test {
protected:
  void SetUp() override {
    folder_ = std::filesystem::path(::testing::TempDir()) / ("evhost-test-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder_);
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }

  std::string Write(const std::string& name, const std::string& text) {
    const std::string path = (folder_ / name).string();
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }
  // The machine folders evhost left in its temporary folder.
  std::size_t LeftBehind() const {
    std::size_t n = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder_ / "tmp"))
      n += entry.path().filename().string().rfind("evhost-", 0) == 0;
    return n;
  }
  pid_t Start(const std::vector<std::string>& scenarios, const std::string& err) {
    std::filesystem::create_directories(folder_ / "tmp");
    std::vector<std::string> argv = {EVHOST_PATH, "--module", MODULE_PATH, "--quiet"};
    argv.insert(argv.end(), scenarios.begin(), scenarios.end());
    std::vector<char*> args;
    for (auto& a : argv) args.push_back(a.data());
    args.push_back(nullptr);
    std::vector<std::string> environment = {"TMPDIR=" + (folder_ / "tmp").string()};
    std::vector<char*> envp;
    for (auto& e : environment) envp.push_back(e.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = -1;
    EXPECT_EQ(posix_spawn(&pid, args[0], &actions, nullptr, args.data(), envp.data()), 0);
    posix_spawn_file_actions_destroy(&actions);
    return pid;
  }
  static int Wait(pid_t pid) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  Finished Evhost(const std::vector<std::string>& scenarios) {
    const std::string err = (folder_ / "err").string();
    Finished run;
    run.status = Wait(Start(scenarios, err));
    std::ifstream in(err);
    run.err.assign(std::istreambuf_iterator<char>(in), {});
    return run;
  }

  std::filesystem::path folder_;
};

TEST_F(EvhostProgramTest, AMalformedScenarioIsOneLineAndStatusTwo) {
  const std::string good = Write("good.json", R"({"events": [{"call": "RegEvent", "expect": {"result": 1}}]})");
  const std::string bad = Write("bad.json", R"({"machine": {"files": [{"path": "C:\\a", "ageDays": 1e300}]}})");
  Finished run = Evhost({good, bad, good});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, "evhost: " + bad +
                         ": at /machine/files/0/ageDays: expected a whole number from -36500 to 36500, got the number "
                         "1e+300\n");
  EXPECT_EQ(LeftBehind(), 0u);
}

TEST_F(EvhostProgramTest, AMachineThatCannotBeMadeIsStatusTwoAndLeavesNothing) {
  const std::string bad = Write("bad.json", R"({"machine": {"files": [{"path": "Q:\\nowhere.exe"}]}})");
  Finished run = Evhost({bad});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err.rfind("evhost: " + bad + ": machine set-up failed: ", 0), 0u) << run.err;
  EXPECT_EQ(LeftBehind(), 0u);
}

// Statuses as every tool of the project has them; usage errors in two lines.
TEST_F(EvhostProgramTest, CommandLinesEndAsInEveryTool) {
  const std::string good = Write("good.json", R"({"events": [{"call": "RegEvent", "expect": {"result": 1}}]})");
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string err;  // its start
  };
  const Case cases[] = {
      {{"--bogus", good}, 2, "evhost: unknown option '--bogus'\nTry 'evhost --help' for more information.\n"},
      {{}, 2, "evhost: no SCENARIO.json given\nTry 'evhost --help' for more information.\n"},
      {{"--module=/nonexistent/libevrules.so", good}, 4, "evhost: "},
      {{"--version"}, 0, ""},
      {{"-h"}, 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.err);
    const Finished run = Evhost(c.args);
    EXPECT_EQ(run.status, c.status);
    EXPECT_EQ(run.err.substr(0, c.err.size()), c.err);
  }
}

TEST_F(EvhostProgramTest, TerminationMidRunRemovesTheMachine) {
  std::string events = R"({"events": [)";
  for (int i = 0; i < 100000; ++i) events += (i ? "," : "") + std::string(R"({"call": "RegEvent", "process": "C:\\p.exe"})");
  const std::string many = Write("many.json", events + "]}");
  const std::string err = (folder_ / "err").string();
  pid_t pid = Start({many, many, many}, err);
  for (int i = 0; i < 200 && LeftBehind() == 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ::kill(pid, SIGTERM);
  EXPECT_EQ(Wait(pid), 143);
  EXPECT_EQ(LeftBehind(), 0u);
}

}  // namespace
