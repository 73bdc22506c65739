// core-service: a stand-in for the suite's core service. It serves the core
// pipe and answers every ServiceRpc operation with values it is told, with
// the service's failure, or with the malformed and failing replies that
// clients must survive.
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <thread>
#include <iostream>
#include <iterator>
#include <string>

#include "AnswerFile.h"
#include "CommandLine.h"
#include "InteroperationScript.h"
#include "PipeListener.h"
#include "ScriptedHandler.h"
#include "Serving.h"
#include "service/CorePipe.h"

namespace {


constexpr char kAnswers[] =
    "Answers (--answer):\n"
    "  true, false  answer every operation: bool results are this value, numbers\n"
    "               --number, texts --text; records have every field, lists one\n"
    "               element\n"
    "  fail         every operation raises OperationFailed(--number, --text)\n"
    "  interop      answer the interoperation tests' calls with their fixed values;\n"
    "               any other call raises OperationFailed(-1, \"unexpected call: ...\")\n"
    "  interop-fail every operation raises the interoperation tests' fixed\n"
    "               OperationFailed\n"
    "  exception    an exception reply (--type, --message)\n"
    "  name         a reply naming another operation (--name)\n"
    "  type         a reply of another message type (--message-type)\n"
    "  empty        a result struct with no field\n"
    "  close        close the connection without replying\n"
    "  busy         accept no connection: every instance busy\n"
    "  raw-true     a well-formed reply with the bool result true, written by hand\n"
    "  huge-name    a reply header announcing a 2 GiB operation name\n"
    "  huge-text    a result announcing a 2 GiB text\n"
    "  silent       accept the connection but never read the request\n"
    "Hand-written replies (all but true, false, fail and busy) can be delivered\n"
    "with --drip and --cut.\n";

// How each --answer is served: by the generated processor, with a raw reply,
// or by holding the pipe.
enum class Serving { Processor, Raw, Busy, Silent };

struct Settings {
  std::string pipe = TevrinAV::kCorePipeName;
  std::string answer = "true";
  int64_t number = 1;
  std::string text = "text";
  coreservice::RawReply raw;
  int64_t messageBytes = -1;
  std::string messageFile;
  std::string answerFile;
  bool dump = false;
  bool once = false;
  Serving serving = Serving::Processor;
};

// Returns false when only the help was asked for.
struct AnswerMode {
  const char* name;
  Serving serving;
  coreservice::RawReply::Kind raw;  // for Serving::Raw
};
using Kind = coreservice::RawReply::Kind;
constexpr AnswerMode kAnswerModes[] = {
    {"true", Serving::Processor, Kind::True},         {"false", Serving::Processor, Kind::True},
    {"fail", Serving::Processor, Kind::True},         {"interop", Serving::Processor, Kind::True},
    {"interop-fail", Serving::Processor, Kind::True}, {"exception", Serving::Raw, Kind::Exception},
    {"name", Serving::Raw, Kind::OtherName},          {"type", Serving::Raw, Kind::OtherMessageType},
    {"empty", Serving::Raw, Kind::EmptyResult},       {"close", Serving::Raw, Kind::Close},
    {"raw-true", Serving::Raw, Kind::True},           {"huge-name", Serving::Raw, Kind::HugeName},
    {"huge-text", Serving::Raw, Kind::HugeText},      {"busy", Serving::Busy, Kind::True},
    {"silent", Serving::Silent, Kind::True},
};

const AnswerMode* FindAnswerMode(const std::string& name) {
  for (const AnswerMode& mode : kAnswerModes)
    if (name == mode.name) return &mode;
  return nullptr;
}

const cli::Parser& CommandLine() {
  static const cli::Parser parser(
      "core-service",
      {{"pipe", "NAME", "pipe to serve (default: the core service's pipe)"},
       {"answer", "MODE", "how to answer, see below (default: true)"},
       {"number", "N", "number of the answers or of OperationFailed (default: 1)"},
       {"text", "TEXT", "UTF-8 text of the answers or of OperationFailed (default: text)"},
       {"type", "N", "exception type (answer exception)"},
       {"message", "TEXT", "exception message (answer exception)"},
       {"name", "NAME", "operation name to reply with (answer name)"},
       {"message-type", "N", "message type to reply with (answer type)"},
       {"message-file", "FILE", "exception message: the bytes of this file"},
       {"answer-file", "FILE", "JSON object of answers by name (text, number64, taskInfo, ..., failure) over those of --answer"},
       {"message-bytes", "N", "repeat the exception message to this many bytes"},
       {"sequence-id", "N", "sequence id of raw replies"},
       {"drip", "MS", "send raw replies one byte every MS milliseconds"},
       {"cut", "N", "send only the first N bytes of raw replies, then close"},
       {"dump", "", "print each request in hex and the call it made"},
       {"once", "", "stop after one connection"}},
      "core-service [options]",
      "A stand-in for the suite's core service: serves the core pipe and answers every ServiceRpc operation as "
      "told, with the service's failure, or with the malformed and failing replies clients must survive.",
      std::string(kAnswers) +
          "\nExit status: 0 stopped (Ctrl-C); 2 bad usage; 4 the pipe cannot be served.\n");
  return parser;
}

// A whole number of an option, from `low` to `high`.
int64_t Signed(const cli::Arguments& arguments, const char* name, int64_t low, int64_t high, int64_t otherwise) {
  if (!arguments.has(name)) return otherwise;
  const std::string text = arguments.value(name);
  char* end = nullptr;
  errno = 0;
  const long long value = std::strtoll(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || errno != 0 || value < low || value > high)
    throw cli::UsageError(std::string("--") + name + " takes a whole number from " + std::to_string(low) + " to " +
                          std::to_string(high) + ", not '" + text + "'");
  return value;
}

// Returns false when only the help or the version was asked for.
bool ParseSettings(int argc, char* argv[], Settings& settings) {
  cli::Arguments arguments;
  if (CommandLine().Parse(argc, argv, arguments, std::cout) != cli::Parser::Outcome::Run) return false;
  if (!arguments.words().empty()) throw cli::UsageError("unexpected word '" + arguments.words().front() + "'");
  settings.pipe = arguments.value("pipe", settings.pipe);
  settings.answer = arguments.value("answer", settings.answer);
  settings.number = Signed(arguments, "number", INT64_MIN, INT64_MAX, settings.number);
  settings.text = arguments.value("text", settings.text);
  settings.raw.exceptionType = static_cast<int32_t>(Signed(arguments, "type", INT32_MIN, INT32_MAX, settings.raw.exceptionType));
  settings.raw.exceptionMessage = arguments.value("message", settings.raw.exceptionMessage);
  settings.raw.name = arguments.value("name", settings.raw.name);
  settings.raw.messageType = static_cast<int32_t>(Signed(arguments, "message-type", INT32_MIN, INT32_MAX, settings.raw.messageType));
  settings.messageFile = arguments.value("message-file");
  settings.answerFile = arguments.value("answer-file");
  settings.messageBytes = Signed(arguments, "message-bytes", 0, INT32_MAX, settings.messageBytes);
  settings.raw.sequenceId = static_cast<int32_t>(Signed(arguments, "sequence-id", INT32_MIN, INT32_MAX, settings.raw.sequenceId));
  settings.raw.dripMilliseconds = static_cast<int>(Signed(arguments, "drip", 0, 60000, settings.raw.dripMilliseconds));
  settings.raw.cutAt = static_cast<int64_t>(Signed(arguments, "cut", 0, INT64_MAX, settings.raw.cutAt));
  settings.dump = arguments.has("dump");
  settings.once = arguments.has("once");
  const AnswerMode* mode = FindAnswerMode(settings.answer);
  if (mode == nullptr) throw cli::UsageError("unknown answer '" + settings.answer + "'");
  settings.serving = mode->serving;
  settings.raw.kind = mode->raw;
  if (!settings.messageFile.empty()) {
    std::ifstream file(settings.messageFile, std::ios::binary);
    if (!file) throw cli::UsageError("cannot read '" + settings.messageFile + "'");
    settings.raw.exceptionMessage.assign(std::istreambuf_iterator<char>(file), {});
  }
  if (settings.messageBytes >= 0) {
    std::string& message = settings.raw.exceptionMessage;
    if (message.empty()) message = " ";
    const std::string unit = message;
    const auto size = static_cast<std::size_t>(settings.messageBytes);
    while (message.size() < size) message += unit;
    message.resize(size);
  }
  return true;
}

// Connections served at once; a client beyond them is closed at once.
constexpr int kMaxConnections = 256;

// Serves one connection as the settings say, with a handler of its own (the
// interoperation exchange counts a call's occurrences per connection).
void ServeConnection(tevrin::platform::FileHandle connection, const Settings& settings,
                     const coreservice::Answers& answers, coreservice::PipeListener& listener, std::ostream* log) {
  try {
    switch (settings.serving) {
      case Serving::Silent:
        // Holds the connection unread until stopped.
        listener.WaitForStop();
        tevrin::platform::ClosePipe(connection);
        return;
      case Serving::Raw:
        coreservice::ServeRawReply(connection, settings.raw, log);
        return;
      case Serving::Processor:
      case Serving::Busy: {
        coreservice::ScriptedHandler handler;
        handler.answers = answers;
        if (settings.answer == "interop") coreservice::FollowInteroperationScript(handler);
        coreservice::ServeCalls(connection, handler, log);
        return;
      }
    }
  } catch (const std::exception& e) {
    // Whatever one client did, the others are still served.
    std::cerr << "core-service: connection ended: " << e.what() << std::endl;
  }
}

}  // namespace

int main(int argc, char* argv[]) {
  Settings settings;
  try {
    if (!ParseSettings(argc, argv, settings)) return cli::kOk;
  } catch (const cli::UsageError& e) {
    CommandLine().PrintUsageError(std::cerr, e.what());
    return cli::kUsage;
  }

  coreservice::Answers answers = coreservice::UniformAnswers(settings.answer != "false", settings.number, settings.text);
  if (settings.answer == "interop-fail") answers.failure = coreservice::InteroperationFailure();
  if (settings.answer == "fail") {
    coreservice::idl::OperationFailed failure;
    failure.__set_number1(static_cast<int32_t>(settings.number));
    failure.__set_text2(settings.text);
    answers.failure = failure;
  }
  if (!settings.answerFile.empty()) {
    try {
      coreservice::ApplyAnswerFile(settings.answerFile, answers);
    } catch (const std::exception& e) {
      std::cerr << "core-service: --answer-file " << e.what() << std::endl;
      return cli::kUsage;
    }
  }
  std::ostream* log = settings.dump ? &std::cout : nullptr;

  try {
    coreservice::PipeListener::StopOnInterrupt();
    coreservice::PipeListener listener(settings.pipe);
    if (settings.serving == Serving::Busy) listener.HoldBusy();
    // Callers wait for this line before they connect.
    std::cout << "serving " << settings.pipe << std::endl;
    if (settings.serving == Serving::Busy) {
      listener.WaitForStop();
      return 0;
    }
    std::atomic<int> live{0};
    for (;;) {
      auto connection = listener.Accept();
      if (connection == tevrin::platform::kInvalidFileHandle) break;
      if (settings.once) {
        ServeConnection(connection, settings, answers, listener, log);
        break;
      }
      // Each connection on its own: a client that sends nothing blocks nobody.
      if (live.load() >= kMaxConnections) {
        std::cerr << "core-service: " << kMaxConnections << " connections at once; one more is closed" << std::endl;
        tevrin::platform::ClosePipe(connection);
        continue;
      }
      ++live;
      try {
        std::thread([=, &settings, &answers, &listener, &live] {
          ServeConnection(connection, settings, answers, listener, log);
          --live;
        }).detach();
      } catch (const std::system_error& e) {
        --live;
        std::cerr << "core-service: cannot serve a connection: " << e.what() << std::endl;
        tevrin::platform::ClosePipe(connection);
      }
    }
    if (live.load() > 0) {
      // Connections still being served end with the process, before what
      // they use is torn down.
      std::cout.flush();
      std::_Exit(0);
    }
  } catch (const std::exception& e) {
    std::cerr << "core-service: " << e.what() << std::endl;
    return cli::kUnavailable;
  }
  return cli::kOk;
}
