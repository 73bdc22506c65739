// CoreCall end to end against the stand-in core service, both as programs:
// every operation's arguments as the service received them and its answer as
// JSON, compared in full; failures, usage errors, list and describe.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "OperationSamples.h"
#include "reflect/OperationCatalog.h"

extern char** environ;

namespace testing_support {
void PrintTo(const OperationSample& c, std::ostream* out) { *out << c.operation; }
}  // namespace testing_support

namespace {

using testing_support::OperationSample;
using testing_support::kOperationSamples;

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

std::string TempPath(const std::string& what) {
  static int counter = 0;
  return ::testing::TempDir() + "corecall-" + std::to_string(getpid()) + "-" + std::to_string(++counter) + what;
}

void WriteFile(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

pid_t Spawn(const std::vector<std::string>& argv, posix_spawn_file_actions_t* actions) {
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid = -1;
  EXPECT_EQ(posix_spawn(&pid, args[0], actions, nullptr, args.data(), environ), 0) << argv[0];
  return pid;
}

int Wait(pid_t pid) {
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Runs CoreCall with `args` and `input` on standard input, or with the file
// `inputFile` there.
Outcome RunCoreCall(std::vector<std::string> args, const std::string& input = "", const char* inputFile = nullptr) {
  std::string in = TempPath(".in"), out = TempPath(".out"), err = TempPath(".err");
  WriteFile(in, input);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, inputFile != nullptr ? inputFile : in.c_str(), O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  args.insert(args.begin(), CORECALL_PATH);
  Outcome outcome;
  outcome.status = Wait(Spawn(args, &actions));
  posix_spawn_file_actions_destroy(&actions);
  outcome.out = Slurp(out);
  outcome.err = Slurp(err);
  for (const auto& path : {in, out, err}) std::remove(path.c_str());
  return outcome;
}

// The stand-in service on a pipe of its own, for one connection; its --dump
// lines are kept.
class Service {
public:
  explicit Service(std::vector<std::string> options) {
    static int counter = 0;
    name_ = "tevrin-corecall-" + std::to_string(getpid()) + "-" + std::to_string(++counter);
    int fds[2];
    EXPECT_EQ(pipe(fds), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    options.insert(options.begin(), {CORE_SERVICE_PATH, "--pipe", "\\\\.\\pipe\\" + name_, "--dump", "--once"});
    pid_ = Spawn(options, &actions);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    output_ = fdopen(fds[0], "r");
    EXPECT_EQ(readLine(), "serving \\\\.\\pipe\\" + name_);
  }
  ~Service() { stop(); }

  const std::string& name() const { return name_; }

  // Waits for the service to end (after its one connection, or at once with
  // `interrupt`) and answers the calls it noted.
  std::vector<std::string> stop(bool interrupt = false) {
    if (pid_ < 0) return calls_;
    if (interrupt) kill(pid_, SIGINT);
    for (std::string line; !(line = readLine()).empty();)
      if (line.rfind("call: ", 0) == 0) calls_.push_back(line.substr(6));
    fclose(output_);
    Wait(pid_);
    pid_ = -1;
    return calls_;
  }

private:
  std::string readLine() {
    std::string line;
    for (int c; (c = fgetc(output_)) != EOF && c != '\n';) line += static_cast<char>(c);
    return line;
  }

  std::string name_;
  pid_t pid_ = -1;
  FILE* output_ = nullptr;
  std::vector<std::string> calls_;
};

// ---- Every operation ---------------------------------------------------------



TEST(CallCasesTest, EveryOperationHasACase) {
  std::vector<std::string> missing;
  for (const auto& op : TevrinAV::reflect::ServiceOperations()) {
    bool found = false;
    for (const auto& c : kOperationSamples) found = found || c.operation == op.name;
    if (!found) missing.push_back(op.name);
  }
  EXPECT_EQ(missing, std::vector<std::string>{});
}

class CallTest : public ::testing::TestWithParam<OperationSample> {};

TEST_P(CallTest, ArgumentsArriveAndTheAnswerComesBackInFull) {
  const OperationSample& c = GetParam();
  std::vector<std::string> options;
  std::string answers = TempPath(".answers.json");
  if (!c.answer.empty()) {
    WriteFile(answers, "{\"" + c.answer + "\":" + c.result + "}");
    options = {"--answer-file", answers};
  }
  Service service(options);
  Outcome outcome = RunCoreCall({"--pipe", service.name(), "--compact", c.operation, c.arguments});
  EXPECT_EQ(service.stop(), std::vector<std::string>{c.call});
  std::remove(answers.c_str());
  EXPECT_EQ(outcome.err, "");
  EXPECT_EQ(outcome.out, (c.answer.empty() ? std::string("{}") : "{\"result\":" + c.result + "}") + "\n");
  EXPECT_EQ(outcome.status, 0);
}

INSTANTIATE_TEST_SUITE_P(Operations, CallTest, ::testing::ValuesIn(kOperationSamples), [](const auto& testInfo) {
  return testInfo.param.operation + "_" + std::to_string(testInfo.index);
});

// ---- OperationFailed, for every operation --------------------------------------

}  // namespace
namespace TevrinAV::reflect {
void PrintTo(const OperationInfo& op, std::ostream* out) { *out << op.name; }
}  // namespace TevrinAV::reflect
namespace {

class FailureTest : public ::testing::TestWithParam<TevrinAV::reflect::OperationInfo> {};

TEST_P(FailureTest, OperationFailedIsPrintedWhereDeclaredAndACallFailureElsewhere) {
  const auto& op = GetParam();
  Service service({"--answer", "fail", "--number", "-7", "--text", "nicht m\xC3\xB6glich \x1B[1m"});
  Outcome outcome = RunCoreCall({"--pipe", service.name(), "--compact", op.name});
  service.stop();
  if (op.mayFail) {
    EXPECT_EQ(outcome.out,
              "{\"error\":\"OperationFailed\",\"number\":-7,\"text\":\"nicht m\xC3\xB6glich \\u001b[1m\"}\n");
    EXPECT_EQ(outcome.err, "");
    EXPECT_EQ(outcome.status, 1);
  } else {
    // The generated processor answers an undeclared exception as an application error.
    EXPECT_EQ(outcome.out, "");
    EXPECT_EQ(outcome.err,
              "CoreCall: TException - service has thrown: OperationFailed(number1=-7, text2=nicht m\xC3\xB6glich "
              "\\x1B[1m)\n");
    EXPECT_EQ(outcome.status, 4);
  }
}

INSTANTIATE_TEST_SUITE_P(Operations, FailureTest, ::testing::ValuesIn(TevrinAV::reflect::ServiceOperations()),
                         [](const auto& testInfo) { return testInfo.param.name; });

// ---- Call failures ------------------------------------------------------------------

struct CallFailureCase {
  std::string name;
  std::vector<std::string> service;  // options; empty: no service
  std::vector<std::string> args;
  std::string err;
};

const CallFailureCase kCallFailureCases[] = {
    {"NoService", {}, {"ReloadCore"}, "CoreCall: TWin32PipeClient open() failed: errno = 2 (no service listens on this pipe; is the core service "
     "running?)\n"},
    {"ServiceClosesTheConnection",
     {"--answer", "close"},
     {"ReloadCore"},
     "CoreCall: TWin32PipeClient read() failed: errno = 109 (the service closed the pipe before answering)\n"},
    {"ExceptionReply",
     {"--answer", "exception", "--type", "6", "--message", "locked \x1B]0;x\x07"},
     {"ReloadCore"},
     "CoreCall: locked \\x1B]0;x\\x07\n"},
    {"NoResult", {"--answer", "empty"}, {"GetTaskInfo"}, "CoreCall: GetTaskInfo failed: unknown result\n"},
    {"Timeout",
     {"--answer", "silent"},
     {"--timeout", "0.3", "ReloadCore"},
     "CoreCall: TWin32PipeClient flush() failed: errno = 1460 (no answer within --timeout)\n"},
};

void PrintTo(const CallFailureCase& c, std::ostream* out) { *out << c.name; }

class CallFailureTest : public ::testing::TestWithParam<CallFailureCase> {};

TEST_P(CallFailureTest, IsOneLineOnStandardErrorAndStatusFour) {
  const CallFailureCase& c = GetParam();
  std::vector<std::string> args = c.args;
  std::unique_ptr<Service> service;
  if (!c.service.empty()) {
    service = std::make_unique<Service>(c.service);
    args.insert(args.begin(), {"--pipe", service->name()});
  } else {
    args.insert(args.begin(), {"--pipe", "tevrin-corecall-nobody-" + std::to_string(getpid())});
  }
  Outcome outcome = RunCoreCall(args);
  if (service) service->stop(true);
  EXPECT_EQ(outcome.out, "");
  EXPECT_EQ(outcome.err, c.err);
  EXPECT_EQ(outcome.status, 4);
}

INSTANTIATE_TEST_SUITE_P(Cases, CallFailureTest, ::testing::ValuesIn(kCallFailureCases),
                         [](const auto& testInfo) { return testInfo.param.name; });

// ---- Bad usage --------------------------------------------------------------------

struct UsageCase {
  std::string name;
  std::vector<std::string> args;
  std::string err;
};

std::string Repeated(const std::string& text, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += text;
  return out;
}

const UsageCase kUsageCases[] = {
    {"NoOperation", {}, "CoreCall: no operation given (CoreCall list shows them)\n"},
    {"UnknownOperation", {"GetOptoin"}, "CoreCall: unknown operation 'GetOptoin'; did you mean GetOption?\n"},
    {"UnknownOperationTwoNear",
     {"etOption"},
     "CoreCall: unknown operation 'etOption'; did you mean SetOption or GetOption?\n"},
    {"UnknownOperationFarOff",
     {"Frobnicate"},
     "CoreCall: unknown operation 'Frobnicate'; CoreCall list shows them all\n"},
    {"DescribeUnknown",
     {"describe", "reloadcore"},
     "CoreCall: nothing is named 'reloadcore'; did you mean ReloadCore?\n"},
    {"DescribeTwo", {"describe", "a", "b"}, "CoreCall: describe takes one NAME, or none for everything\n"},
    {"TemplateAlone", {"--template", "list"}, "CoreCall: --template goes with describe OPERATION\n"},
    {"TemplateOfARecord", {"describe", "--template", "SkipItem"}, "CoreCall: unknown operation 'SkipItem'; did you mean AddSkipItem?\n"},
    {"BadJson",
     {"SetOption", "{\"id\": 1"},
     "CoreCall: SetOption: the arguments are not JSON: parse error at line 1, column 9: syntax error while parsing "
     "object - unexpected end of input; expected '}'\n"},
    {"NotAnObject",
     {"SetOption", "[1]"},
     "CoreCall: SetOption: the arguments must be one JSON object (id, value), not an array\n"},
    {"NotAnObjectNoArguments",
     {"ReloadCore", "5"},
     "CoreCall: ReloadCore: the arguments must be one JSON object (with no member), not number 5\n"},
    {"UnknownArgument",
     {"SetOption", R"({"id":1,"valeu":"x"})"},
     "CoreCall: SetOption: unknown argument 'valeu'; expected id, value\n"},
    {"ArgumentOfNone",
     {"ReloadCore", R"({"force":true})"},
     "CoreCall: ReloadCore: unknown argument 'force'; it takes none\n"},
    {"TextForNumber",
     {"SetOption", R"({"id":"5"})"},
     "CoreCall: SetOption: argument 'id': expected i32, got string \"5\"\n"},
    {"I32OutOfRange",
     {"GetOption", R"({"id":2147483648})"},
     "CoreCall: GetOption: argument 'id': expected i32, got number 2147483648 (out of range)\n"},
    {"I64OutOfRange",
     {"StartTask", R"({"task":9223372036854775808})"},
     "CoreCall: StartTask: argument 'task': expected i64, got number 9223372036854775808 (out of range)\n"},
    {"FractionForNumber",
     {"StartTask", R"({"task":1.5})"},
     "CoreCall: StartTask: argument 'task': expected i64, got number 1.5\n"},
    {"NumberForBool",
     {"EnableFeature", R"({"id":1,"enable":1})"},
     "CoreCall: EnableFeature: argument 'enable': expected bool, got number 1\n"},
    {"NullForText",
     {"BlockDomain", R"({"domain":null})"},
     "CoreCall: BlockDomain: argument 'domain': expected string, got null\n"},
    {"ListElement",
     {"CreateCustomScanner", R"({"pathList":["a",2]})"},
     "CoreCall: CreateCustomScanner: argument 'pathList' at [1]: expected string, got number 2\n"},
    {"MapKey",
     {"CreateQuarantinePerformer", R"({"targets":{"x1":1}})"},
     "CoreCall: CreateQuarantinePerformer: argument 'targets' at [\"x1\"]: expected i64 as a decimal key, got string "
     "\"x1\"\n"},
    {"MapValue",
     {"CreateQuarantinePerformer", R"({"targets":{"1":true}})"},
     "CoreCall: CreateQuarantinePerformer: argument 'targets' at [\"1\"]: expected i32, got true\n"},
    {"StrictMissing",
     {"--strict", "SetOption", R"({"id":1})"},
     "CoreCall: SetOption: argument 'value' is missing; expected string\n"},
    {"StrictNoArguments",
     {"--strict", "CreateActionPerformer"},
     "CoreCall: CreateActionPerformer: argument 'targets' is missing; expected map<i64,i32>\n"},
    {"TwoArgumentWords",
     {"SetOption", "{}", "{}"},
     "CoreCall: SetOption: expected one ARGS, a JSON object, @FILE or -\n"},
    {"MissingFile",
     {"SetOption", "@/nonexistent/args.json"},
     "CoreCall: SetOption: cannot read the arguments file '/nonexistent/args.json': No such file or directory\n"},
    {"FolderForFile", {"SetOption", "@/"}, "CoreCall: SetOption: cannot read the arguments file '/': Is a directory\n"},
    {"EndlessFile",
     {"SetOption", "@/dev/zero"},
     "CoreCall: SetOption: the arguments file '/dev/zero' is larger than 104857600 bytes, what one message may "
     "hold\n"},
    {"UnknownOption", {"--bogus", "ReloadCore"}, "CoreCall: unknown option '--bogus'\n"},
    {"NearOption", {"--compat", "ReloadCore"}, "CoreCall: unknown option '--compat' (did you mean '--compact'?)\n"},
    {"OptionWithoutValue", {"ReloadCore", "--timeout"}, "CoreCall: option '--timeout' needs a value (SECONDS)\n"},
    {"DuplicateKey", {"SetOption", R"({"id":1,"value":"a","id":2})"}, "CoreCall: SetOption: the arguments at /id: the key \"id\" is given twice\n"},
    {"DuplicateKeyInside", {"CreateQuarantinePerformer", R"({"targets":{"1":2,"1":3}})"}, "CoreCall: CreateQuarantinePerformer: the arguments at /targets/1: the key \"1\" is given twice\n"},
    {"TooDeep", {"SetOption", std::string(100, '[') + std::string(100, ']')}, "CoreCall: SetOption: the arguments at " + Repeated("/0", 64) + ": nested deeper than 64 levels\n"},
    {"BadTimeout", {"--timeout=0", "ReloadCore"}, "CoreCall: --timeout takes a positive number of seconds, not '0'\n"},
    {"ListWithWords", {"list", "all"}, "CoreCall: list takes no further word\n"},
};

void PrintTo(const UsageCase& c, std::ostream* out) { *out << c.name; }

class UsageTest : public ::testing::TestWithParam<UsageCase> {};

TEST_P(UsageTest, IsOneLineAndAPointerToTheHelpAndStatusTwoWithoutConnecting) {
  const UsageCase& c = GetParam();
  std::vector<std::string> args = c.args;
  // A service that is never called: bad usage must end before connecting.
  args.insert(args.begin(), {"--pipe", "tevrin-corecall-nobody-" + std::to_string(getpid())});
  Outcome outcome = RunCoreCall(args);
  EXPECT_EQ(outcome.out, "");
  EXPECT_EQ(outcome.err, c.err + "Try 'CoreCall --help' for more information.\n");
  EXPECT_EQ(outcome.status, 2);
}

INSTANTIATE_TEST_SUITE_P(Cases, UsageTest, ::testing::ValuesIn(kUsageCases),
                         [](const auto& testInfo) { return testInfo.param.name; });

// ---- Ways of giving arguments, output forms ---------------------------------------

TEST(CoreCallTest, ArgumentsFromAFileAndFromStandardInput) {
  std::string file = TempPath(".args.json");
  WriteFile(file, R"({"id": 5, "value": "from a file"})");
  {
    Service service({});
    Outcome outcome = RunCoreCall({"--pipe", service.name(), "SetOption", "@" + file});
    EXPECT_EQ(service.stop(), std::vector<std::string>{"SetOption(5, \"from a file\")"});
    EXPECT_EQ(outcome.out, "{}\n");
  }
  std::remove(file.c_str());
  for (const char* word : {"-", "@-"}) {
    Service service({});
    Outcome outcome = RunCoreCall({"--pipe", service.name(), "SetOption", word}, R"({"value": "from input"})");
    EXPECT_EQ(service.stop(), std::vector<std::string>{"SetOption(0, \"from input\")"}) << word;
    EXPECT_EQ(outcome.status, 0) << word;
  }
}

TEST(CoreCallTest, EndlessStandardInputIsRefusedAtTheMessageLimit) {
  for (const char* word : {"-", "@-"}) {
    Outcome outcome = RunCoreCall({"--pipe", "tevrin-corecall-nobody", "SetOption", word}, "", "/dev/zero");
    EXPECT_EQ(outcome.status, 2) << word;
    EXPECT_EQ(outcome.err,
              "CoreCall: SetOption: the arguments on standard input are larger than 104857600 bytes, what one "
              "message may hold\nTry 'CoreCall --help' for more information.\n")
        << word;
  }
}

TEST(CoreCallTest, AnswersAreIndentedUnlessCompact) {
  std::string answers = TempPath(".answers.json");
  WriteFile(answers, R"({"threatNotification": {"id": 2, "threat": {"text2": "x"}}})");
  Service service({"--answer-file", answers});
  Outcome outcome = RunCoreCall({"--pipe", service.name(), "GetThreatNotification"});
  service.stop();
  std::remove(answers.c_str());
  EXPECT_EQ(outcome.out,
            "{\n"
            "  \"result\": {\n"
            "    \"id\": 2,\n"
            "    \"threat\": {\n"
            "      \"text2\": \"x\"\n"
            "    }\n"
            "  }\n"
            "}\n");
}

TEST(CoreCallTest, ListShowsEveryOperationOnALine) {
  Outcome outcome = RunCoreCall({"list"});
  EXPECT_EQ(outcome.status, 0);
  std::vector<std::string> lines;
  std::istringstream in(outcome.out);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  ASSERT_EQ(lines.size(), 45u);
  EXPECT_EQ(lines[0], " 1 QueryInformation(1: i32 id) -> string");
  EXPECT_EQ(lines[15], "16 CreateActionPerformer(1: map<i64,i32> targets, 2: i64 parentTask) -> i64");
  EXPECT_EQ(lines[34], "35 GetSkipList() -> list<SkipItem>");
  EXPECT_EQ(lines[35], "36 AddSkipItem(1: string filename_path, 2: bool isrecursive, 3: bool isfolder) -> i64");
  EXPECT_EQ(lines[44], "45 SetAutorunDeviceStatus(1: i32 deviceId, 2: i32 devRule) -> i64");
}

TEST(CoreCallTest, DescribeShowsNestedRecordsFieldByField) {
  Outcome outcome = RunCoreCall({"describe", "GetTaskInfo"});
  EXPECT_EQ(outcome.status, 0);
  EXPECT_EQ(outcome.out,
            "operation 10: GetTaskInfo\n"
            "arguments:\n"
            "  1: i64 task\n"
            "result: TaskInfo\n"
            "raises: OperationFailed\n"
            "record TaskInfo\n"
            "  1: ServiceCode code1\n"
            "  2: ServiceCode code2\n"
            "  3: string text3\n"
            "  4: i32 number4\n"
            "  5: i64 number5\n"
            "  6: i64 number6\n"
            "  7: i64 number7\n"
            "  8: TaskNumbers numbers8\n"
            "  9: ServiceCode code9\n"
            "record TaskNumbers\n"
            "  1: i64 number1\n"
            "  2: i64 number2\n"
            "  3: i64 number3\n"
            "  4: i64 number4\n"
            "  5: i64 number5\n"
            "record OperationFailed\n"
            "  1: i32 number1\n"
            "  2: string text2\n"
            "enumeration ServiceCode: i32\n");
}

TEST(CoreCallTest, DescribeAnOperationThatNeverFails) {
  Outcome outcome = RunCoreCall({"describe", "SetStatValue"});
  EXPECT_EQ(outcome.out,
            "operation 41: SetStatValue\n"
            "arguments:\n"
            "  1: i32 id\n"
            "  2: i32 value\n"
            "result: void\n"
            "raises: nothing\n");
}

TEST(CoreCallTest, DescribeARecordAnEnumerationAndEverything) {
  Outcome record = RunCoreCall({"describe", "SkipItem"});
  EXPECT_EQ(record.status, 0);
  EXPECT_EQ(record.out,
            "record SkipItem\n"
            "  1: i32 number1\n"
            "  2: string text2\n"
            "  3: string text3\n"
            "  4: bool flag4\n"
            "  5: bool flag5\n"
            "used by: GetSkipList\n");
  Outcome enumeration = RunCoreCall({"describe", "ActionCode"});
  EXPECT_EQ(enumeration.out,
            "enumeration ActionCode: i32\n"
            "  its names and values are the service's; CoreCall sends and shows the numbers, any i32 "
            "(-2147483648 to 2147483647), unchanged\n"
            "used by: GetDefaultAction\n");
  Outcome everything = RunCoreCall({"describe"});
  EXPECT_EQ(everything.status, 0);
  EXPECT_EQ(everything.out.rfind("operations:\n   1 QueryInformation(1: i32 id) -> string raises OperationFailed\n", 0), 0u)
      << everything.out.substr(0, 200);
  for (const char* name : {"record TaskInfo\n", "record DeviceListChange\n", "enumeration FeatureStatus: i32\n"})
    EXPECT_NE(everything.out.find(name), std::string::npos) << name;
}

TEST(CoreCallTest, TemplatesAreTheArgumentsAsZeroValues) {
  Outcome outcome = RunCoreCall({"describe", "--template", "--compact", "AddSkipItem"});
  EXPECT_EQ(outcome.status, 0);
  EXPECT_EQ(outcome.out, "{\"filename_path\":\"\",\"isrecursive\":false,\"isfolder\":false}\n");
  outcome = RunCoreCall({"describe", "--template", "--compact", "CreateActionPerformer"});
  EXPECT_EQ(outcome.out, "{\"targets\":{},\"parentTask\":0}\n");
}

TEST(CoreCallTest, HelpAndVersionGoToStandardOutput) {
  for (const char* word : {"--help", "-h"}) {
    Outcome outcome = RunCoreCall({word});
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.out.rfind("Usage: CoreCall [options] list\n", 0), 0u) << word;
    EXPECT_EQ(outcome.err, "");
  }
  Outcome version = RunCoreCall({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out.rfind("CoreCall (Tevrin Security Suite) ", 0), 0u) << version.out;
}

}  // namespace
