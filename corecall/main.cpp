// CoreCall: calls any operation of the core service's ServiceRpc interface
// with arguments given as JSON, and prints the answer as JSON.
#include <boost/program_options.hpp>
#include <cmath>
#include <iostream>

#include "Commands.h"
#include "service/CorePipe.h"
#include "service/SafeText.h"
#include "service/WideText.h"

namespace po = boost::program_options;

namespace {

constexpr char kUsage[] =
    "Usage: CoreCall [options] list\n"
    "       CoreCall [options] describe OPERATION\n"
    "       CoreCall [options] OPERATION [ARGS]\n"
    "\n"
    "Calls an operation of the core service's ServiceRpc interface. ARGS is one\n"
    "JSON object of the arguments by name, @FILE to read it from a file, or - (or\n"
    "@-) to read it from standard input, at most 100 MB; a missing argument is its\n"
    "type's zero value.\n"
    "The answer goes to standard output as JSON: {\"result\": ...}, or {} for an\n"
    "operation without a result; OperationFailed as {\"error\": \"OperationFailed\",\n"
    "\"number\": N, \"text\": \"...\"}.\n"
    "\n"
    "Exit status: 0 answered, 1 OperationFailed, 2 the call failed (connection,\n"
    "protocol, timeout), 64 bad usage.\n";

#ifdef _WIN32
constexpr char kAccountName[] = "SID";
constexpr char kAccountWords[] = "a SID such as S-1-5-18";
#else
constexpr char kAccountName[] = "UID";
constexpr char kAccountWords[] = "a numeric user id such as 0";
#endif

struct Settings {
  corecall::CallSettings call;
  double timeoutSeconds = 0;
  std::string serverAccount;
  bool strict = false;
  std::vector<std::string> words;
};

po::options_description Options(Settings& s) {
  po::options_description options("Options");
  options.add_options()("pipe", po::value(&s.call.pipe)->value_name("NAME"),
                        "the service's pipe, \\\\.\\pipe\\NAME or NAME (default: the core service's)")(
      "timeout", po::value(&s.timeoutSeconds)->value_name("SECONDS"),
      "give up when the service has not answered by then (default: wait)")("compact", po::bool_switch(&s.call.compact),
                                                                           "JSON on one line")(
      "strict", po::bool_switch(&s.strict), "a missing argument is an error")(
      "server-account", po::value(&s.serverAccount)->value_name(kAccountName),
      "send nothing unless this account serves the pipe")("help", "show this text");
  return options;
}

// Reads the command line; false when only the help was asked for.
bool ParseCommandLine(int argc, char* argv[], Settings& s) {
  po::options_description options = Options(s);
  po::options_description all;
  all.add(options).add_options()("word", po::value(&s.words));
  po::positional_options_description positional;
  positional.add("word", -1);
  po::variables_map vm;
  try {
    po::store(po::command_line_parser(argc, argv).options(all).positional(positional).run(), vm);
    po::notify(vm);
  } catch (const po::error& e) {
    throw corecall::UsageError(TevrinAV::SafeText(e.what()) + " (see --help)");
  }
  if (vm.count("help")) {
    std::cout << kUsage << '\n' << options << std::flush;
    return false;
  }
  if (vm.count("timeout")) {
    if (!(s.timeoutSeconds > 0) || !std::isfinite(s.timeoutSeconds))
      throw corecall::UsageError("--timeout: expected a positive number of seconds");
    s.call.timeout = std::chrono::duration<double>(s.timeoutSeconds);
  }
  if (vm.count("server-account")) {
    if (!corecall::IsAccountName(s.serverAccount))
      throw corecall::UsageError("--server-account: expected " + std::string(kAccountWords) + ", not '" +
                                 TevrinAV::SafeText(s.serverAccount) + "'");
    s.call.serverAccount = s.serverAccount;
  }
  if (s.call.pipe.empty()) s.call.pipe = TevrinAV::kCorePipeName;
  if (s.call.pipe.rfind("\\\\", 0) != 0) s.call.pipe = "\\\\.\\pipe\\" + s.call.pipe;
  return true;
}

int Run(int argc, char* argv[]) {
  Settings s;
  if (!ParseCommandLine(argc, argv, s)) return corecall::kAnswered;
  const auto& words = s.words;
  if (words.empty()) throw corecall::UsageError("no operation given (see --help, or CoreCall list)");
  if (words[0] == "list") {
    if (words.size() > 1) throw corecall::UsageError("list takes no further word");
    corecall::PrintList(std::cout);
    return corecall::kAnswered;
  }
  if (words[0] == "describe") {
    if (words.size() != 2) throw corecall::UsageError("describe takes one OPERATION");
    corecall::PrintDescription(corecall::OperationNamed(words[1]), std::cout);
    return corecall::kAnswered;
  }
  const auto& op = corecall::OperationNamed(words[0]);
  if (words.size() > 2) throw corecall::UsageError(op.name + ": expected one ARGS, a JSON object, @FILE or -");
  auto call =
      corecall::ReadArguments(op, words.size() == 2 ? std::optional(words[1]) : std::nullopt, s.strict, std::cin);
  return corecall::Call(call, s.call, std::cout, std::cerr);
}

int Main(int argc, char* argv[]) {
  try {
    return Run(argc, argv);
  } catch (const corecall::UsageError& e) {
    std::cerr << "CoreCall: " << e.what() << std::endl;
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
