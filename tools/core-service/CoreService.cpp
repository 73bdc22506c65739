// core-service: a stand-in for the suite's core service. It serves the core
// pipe and answers every ServiceRpc operation with values it is told, with
// the service's failure, or with the malformed and failing replies that
// clients must survive.
#include <boost/program_options.hpp>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

#include "AnswerFile.h"
#include "InteroperationScript.h"
#include "PipeListener.h"
#include "ScriptedHandler.h"
#include "Serving.h"

namespace po = boost::program_options;

namespace {

constexpr char kCorePipeName[] = "\\\\.\\pipe\\TevrinAV-Core-780863D5-5ABD-4b1a-AAF3-427AF74D4ECE";

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

struct Settings {
  std::string pipe = kCorePipeName;
  std::string answer = "true";
  int64_t number = 1;
  std::string text = "text";
  coreservice::RawReply raw;
  int64_t messageBytes = -1;
  std::string messageFile;
  std::string answerFile;
  bool dump = false;
  bool once = false;
};

// Returns false when only the help was asked for.
bool ParseSettings(int argc, char* argv[], Settings& settings) {
  po::options_description options("Usage: core-service [options]\n\nOptions");
  options.add_options()("help", "show this text")("pipe", po::value(&settings.pipe),
                                                  "pipe to serve (default: the core service's pipe)")(
      "answer", po::value(&settings.answer), "how to answer, see below (default: true)")(
      "number", po::value(&settings.number), "number of the answers or of OperationFailed (default: 1)")(
      "text", po::value(&settings.text), "UTF-8 text of the answers or of OperationFailed (default: text)")(
      "type", po::value(&settings.raw.exceptionType), "exception type (answer exception)")(
      "message", po::value(&settings.raw.exceptionMessage), "exception message (answer exception)")(
      "name", po::value(&settings.raw.name), "operation name to reply with (answer name)")(
      "message-type", po::value(&settings.raw.messageType), "message type to reply with (answer type)")(
      "message-file", po::value(&settings.messageFile), "exception message: the bytes of this file")(
      "answer-file", po::value(&settings.answerFile),
      "JSON object of answers by name (text, number64, taskInfo, ..., failure) over those of --answer")(
      "message-bytes", po::value(&settings.messageBytes), "repeat the exception message to this many bytes")(
      "sequence-id", po::value(&settings.raw.sequenceId), "sequence id of raw replies")(
      "drip", po::value(&settings.raw.dripMilliseconds), "send raw replies one byte every N milliseconds")(
      "cut", po::value(&settings.raw.cutAt), "send only the first N bytes of raw replies, then close")(
      "dump", po::bool_switch(&settings.dump), "print each request in hex and the call it made")(
      "once", po::bool_switch(&settings.once), "stop after one connection");
  po::variables_map vm;
  po::store(po::parse_command_line(argc, argv, options), vm);
  po::notify(vm);
  if (vm.count("help")) {
    std::cout << options << "\n" << kAnswers;
    return false;
  }
  using Kind = coreservice::RawReply::Kind;
  const std::string& a = settings.answer;
  if (a == "exception")
    settings.raw.kind = Kind::Exception;
  else if (a == "name")
    settings.raw.kind = Kind::OtherName;
  else if (a == "type")
    settings.raw.kind = Kind::OtherMessageType;
  else if (a == "empty")
    settings.raw.kind = Kind::EmptyResult;
  else if (a == "close")
    settings.raw.kind = Kind::Close;
  else if (a == "raw-true")
    settings.raw.kind = Kind::True;
  else if (a == "huge-name")
    settings.raw.kind = Kind::HugeName;
  else if (a == "huge-text")
    settings.raw.kind = Kind::HugeText;
  else if (a != "true" && a != "false" && a != "fail" && a != "busy" && a != "silent" && a != "interop" &&
           a != "interop-fail")
    throw po::error("unknown answer '" + a + "'");
  if (!settings.messageFile.empty()) {
    std::ifstream file(settings.messageFile, std::ios::binary);
    if (!file) throw po::error("cannot read '" + settings.messageFile + "'");
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

bool ServedByProcessor(const std::string& answer) {
  return answer == "true" || answer == "false" || answer == "fail" || answer == "interop" || answer == "interop-fail";
}

}  // namespace

int main(int argc, char* argv[]) {
  Settings settings;
  try {
    if (!ParseSettings(argc, argv, settings)) return 0;
  } catch (const po::error& e) {
    std::cerr << "core-service: " << e.what() << " (see --help)" << std::endl;
    return 2;
  }

  coreservice::ScriptedHandler handler;
  handler.answers = coreservice::UniformAnswers(settings.answer != "false", settings.number, settings.text);
  if (settings.answer == "interop") coreservice::FollowInteroperationScript(handler);
  if (settings.answer == "interop-fail") handler.answers.failure = coreservice::InteroperationFailure();
  if (settings.answer == "fail") {
    coreservice::idl::OperationFailed failure;
    failure.__set_number1(static_cast<int32_t>(settings.number));
    failure.__set_text2(settings.text);
    handler.answers.failure = failure;
  }
  if (!settings.answerFile.empty()) {
    try {
      coreservice::ApplyAnswerFile(settings.answerFile, handler.answers);
    } catch (const std::exception& e) {
      std::cerr << "core-service: --answer-file " << e.what() << std::endl;
      return 2;
    }
  }
  std::ostream* log = settings.dump ? &std::cout : nullptr;

  try {
    coreservice::PipeListener::StopOnInterrupt();
    coreservice::PipeListener listener(settings.pipe);
    if (settings.answer == "busy") listener.HoldBusy();
    // Callers wait for this line before they connect.
    std::cout << "serving " << settings.pipe << std::endl;
    if (settings.answer == "busy") {
      listener.WaitForStop();
      return 0;
    }
    for (;;) {
      auto connection = listener.Accept();
      if (connection == tevrin::platform::kInvalidFileHandle) break;
      if (settings.answer == "silent") {
        // Holds the connection unread until stopped.
        listener.WaitForStop();
        tevrin::platform::ClosePipe(connection);
        break;
      }
      // The interoperation exchange counts a call's occurrences per connection.
      handler.calls.clear();
      if (ServedByProcessor(settings.answer))
        coreservice::ServeCalls(connection, handler, log);
      else
        coreservice::ServeRawReply(connection, settings.raw, log);
      if (settings.once) break;
    }
  } catch (const std::exception& e) {
    std::cerr << "core-service: " << e.what() << std::endl;
    return 1;
  }
  return 0;
}
