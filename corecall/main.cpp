// CoreCall: calls any operation of the core service's ServiceRpc interface
// with arguments given as JSON, and prints the answer as JSON.
#include <iostream>

#include "Commands.h"
#include "CommandLine.h"
#include "service/CorePipe.h"
#include "service/SafeText.h"
#include "service/WideText.h"

namespace {

#ifdef _WIN32
constexpr char kAccountName[] = "SID";
constexpr char kAccountWords[] = "a SID such as S-1-5-18";
#else
constexpr char kAccountName[] = "UID";
constexpr char kAccountWords[] = "a numeric user id such as 0";
#endif

const cli::Parser& CommandLine() {
  static const cli::Parser parser(
      "CoreCall",
      {{"pipe", "NAME", "the service's pipe, \\\\.\\pipe\\NAME or NAME (default: the core service's)"},
       {"timeout", "SECONDS", "give up when the service has not answered by then (default: wait)"},
       {"compact", "", "JSON on one line"},
       {"strict", "", "a missing argument is an error (else its type's zero value)"},
       {"server-account", kAccountName, "send nothing unless this account serves the pipe"},
       {"template", "", "with describe OPERATION: print its arguments as a JSON object of zero values, to edit"}},
      "CoreCall [options] list\n"
      "CoreCall [options] describe [NAME]\n"
      "CoreCall [options] describe --template OPERATION\n"
      "CoreCall [options] OPERATION [ARGS]",
      "Calls an operation of the core service's ServiceRpc interface. ARGS is one JSON object of the arguments by "
      "name, @FILE to read it from a file, or - (or @-) to read it from standard input, at most 100 MB; a missing "
      "argument is its type's zero value. describe NAME shows an operation, a record or an enumeration; describe "
      "alone shows them all.\n\n"
      "The answer goes to standard output as JSON: {\"result\": ...}, or {} for an operation without a result; "
      "OperationFailed as {\"error\": \"OperationFailed\", \"number\": N, \"text\": \"...\"}.",
      "Exit status: 0 answered; 1 OperationFailed; 2 bad usage (nothing was sent); 4 the call failed (no "
      "service, connection, protocol, timeout).\n");
  return parser;
}

struct Settings {
  corecall::CallSettings call;
  bool strict = false;
  bool templateOnly = false;
  std::vector<std::string> words;
};

// Reads the command line; false when only the help or the version was asked for.
bool ParseCommandLine(int argc, char* argv[], Settings& s) {
  cli::Arguments arguments;
  if (CommandLine().Parse(argc, argv, arguments, std::cout) != cli::Parser::Outcome::Run) return false;
  s.words = arguments.words();
  s.call.compact = arguments.has("compact");
  s.strict = arguments.has("strict");
  s.templateOnly = arguments.has("template");
  if (arguments.has("timeout"))
    s.call.timeout = std::chrono::duration<double>(cli::Seconds("timeout", arguments.value("timeout")));
  if (arguments.has("server-account")) {
    const std::string account = arguments.value("server-account");
    if (!corecall::IsAccountName(account))
      throw cli::UsageError("--server-account takes " + std::string(kAccountWords) + ", not '" +
                            TevrinAV::SafeText(account) + "'");
    s.call.serverAccount = account;
  }
  s.call.pipe = arguments.value("pipe", TevrinAV::kCorePipeName);
  if (s.call.pipe.rfind("\\\\", 0) != 0) s.call.pipe = "\\\\.\\pipe\\" + s.call.pipe;
  return true;
}

int Run(int argc, char* argv[]) {
  Settings s;
  if (!ParseCommandLine(argc, argv, s)) return corecall::kAnswered;
  const auto& words = s.words;
  if (words.empty()) throw cli::UsageError("no operation given (CoreCall list shows them)");
  if (s.templateOnly && (words[0] != "describe" || words.size() != 2))
    throw cli::UsageError("--template goes with describe OPERATION");
  if (words[0] == "list") {
    if (words.size() > 1) throw cli::UsageError("list takes no further word");
    corecall::PrintList(std::cout);
    return corecall::kAnswered;
  }
  if (words[0] == "describe") {
    if (words.size() > 2) throw cli::UsageError("describe takes one NAME, or none for everything");
    if (s.templateOnly) {
      corecall::PrintTemplate(corecall::OperationNamed(words[1]), s.call.compact, std::cout);
    } else if (words.size() == 1) {
      corecall::PrintEverything(std::cout);
    } else {
      corecall::PrintDescription(words[1], std::cout);
    }
    return corecall::kAnswered;
  }
  const auto& op = corecall::OperationNamed(words[0]);
  if (words.size() > 2) throw cli::UsageError(op.name + ": expected one ARGS, a JSON object, @FILE or -");
  auto call =
      corecall::ReadArguments(op, words.size() == 2 ? std::optional(words[1]) : std::nullopt, s.strict, std::cin);
  return corecall::Call(call, s.call, std::cout, std::cerr);
}

int Main(int argc, char* argv[]) {
  try {
    return Run(argc, argv);
  } catch (const cli::UsageError& e) {
    CommandLine().PrintUsageError(std::cerr, e.what());
    return corecall::kBadUsage;
  } catch (const std::exception& e) {
    std::cerr << "CoreCall: " << TevrinAV::SafeText(e.what()) << std::endl;
    return corecall::kCallFailed;
  }
}

}  // namespace

#ifdef _WIN32
// Windows gives main() its arguments in the ANSI code page, which loses what
// it cannot represent; the wide ones keep every character of a JSON text.
int wmain(int argc, wchar_t* argv[]) {
  std::vector<std::string> words(static_cast<std::size_t>(argc));
  std::vector<char*> pointers;
  for (std::size_t i = 0; i < words.size(); ++i) {
    TevrinAV::WideToUtf8(words[i], TevrinAV::WideString(reinterpret_cast<const char16_t*>(argv[i])));
    pointers.push_back(words[i].data());
  }
  pointers.push_back(nullptr);
  return Main(argc, pointers.data());
}
#else
int main(int argc, char* argv[]) { return Main(argc, argv); }
#endif
