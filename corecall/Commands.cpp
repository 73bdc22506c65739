#include "Commands.h"

#include <thrift/transport/TBufferTransports.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <iterator>
#include <memory>

#include "JsonShape.h"
#include "service/SafeText.h"
#include "transport/TWin32PipeClient.h"

namespace corecall {

namespace reflect = TevrinAV::reflect;
using apache::thrift::transport::TBufferedTransport;
using apache::thrift::transport::TWin32PipeClient;
using reflect::Json;

namespace {

std::string Fields(const std::vector<reflect::FieldInfo>& fields) {
  std::string text;
  for (const auto& f : fields) text += (text.empty() ? "" : ", ") + std::to_string(f.id) + ": " + f.type + " " + f.name;
  return text;
}

// What the arguments of one call may take: what one message may hold.
constexpr std::size_t kMaxArgumentBytes = 100 * 1024 * 1024;
// Far deeper than any argument's type (a list of records of lists); deeper
// nesting would only cost stack.
constexpr std::size_t kMaxArgumentDepth = 64;

// Reads `in` to its end, or fails with `where` once it holds more than a
// message may.
std::string ReadLimited(std::istream& in, const std::string& where) {
  std::string text;
  char block[64 * 1024];
  while (in.read(block, sizeof block) || in.gcount() > 0) {
    if (text.size() + static_cast<std::size_t>(in.gcount()) > kMaxArgumentBytes)
      throw UsageError(where + "are larger than " + std::to_string(kMaxArgumentBytes) +
                       " bytes, what one message may hold");
    text.append(block, static_cast<std::size_t>(in.gcount()));
  }
  return text;
}

// The arguments file, read as standard input is; any file that cannot be
// read (missing, a folder, no permission) is the same usage error.
std::string ReadArgumentsFile(const std::string& path, const std::string& where) {
  const std::string named = where + "cannot read the arguments file '" + TevrinAV::SafeText(path) + "'";
  errno = 0;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) throw UsageError(named + ": " + std::strerror(errno));
  std::string text;
  char block[64 * 1024];
  std::size_t n = 0;
  while ((n = std::fread(block, 1, sizeof block, file)) > 0) {
    if (text.size() + n > kMaxArgumentBytes) {
      std::fclose(file);
      throw UsageError(where + "the arguments file '" + TevrinAV::SafeText(path) + "' is larger than " +
                       std::to_string(kMaxArgumentBytes) + " bytes, what one message may hold");
    }
    text.append(block, n);
  }
  const int error = std::ferror(file) ? errno : 0;
  std::fclose(file);
  if (error != 0) throw UsageError(named + ": " + std::strerror(error));
  return text;
}

#ifdef _WIN32
std::string Upper(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return text;
}
#else
bool IsDecimal(const std::string& text) {
  return !text.empty() && text.size() <= 10 && text.find_first_not_of("0123456789") == std::string::npos;
}
#endif

}  // namespace

bool IsAccountName(const std::string& text) {
#ifdef _WIN32
  const std::string upper = Upper(text);
  return upper.size() > 4 && upper.rfind("S-1-", 0) == 0 && upper.find_first_not_of("S0123456789-") == std::string::npos;
#else
  return IsDecimal(text) && std::stoull(text) <= 0xFFFFFFFFull;
#endif
}

bool SameAccount(const std::string& account, const std::string& wanted) {
#ifdef _WIN32
  return Upper(account) == Upper(wanted);
#else
  return IsDecimal(account) && IsDecimal(wanted) && std::stoull(account) == std::stoull(wanted);
#endif
}

void PrintList(std::ostream& out) {
  for (const auto& op : reflect::ServiceOperations())
    out << std::setw(2) << op.number << ' ' << op.name << '(' << Fields(op.arguments) << ") -> " << op.result << '\n';
}

namespace {

void PrintOperation(const reflect::OperationInfo& op, std::ostream& out) {
  out << "operation " << op.number << ": " << op.name << '\n';
  out << "arguments:" << (op.arguments.empty() ? " none" : "") << '\n';
  for (const auto& a : op.arguments) out << "  " << a.id << ": " << a.type << ' ' << a.name << '\n';
  out << "result: " << op.result << '\n';
  out << "raises: " << (op.mayFail ? "OperationFailed" : "nothing") << '\n';
  for (const auto& record : op.reached.records) {
    out << "record " << record.name << '\n';
    for (const auto& f : record.fields) out << "  " << f.id << ": " << f.type << ' ' << f.name << '\n';
  }
  for (const auto& name : op.reached.enumerations) out << "enumeration " << name << ": i32\n";
}

void PrintRecord(const reflect::RecordInfo& record, std::ostream& out) {
  out << "record " << record.name << '\n';
  for (const auto& f : record.fields) out << "  " << f.id << ": " << f.type << ' ' << f.name << '\n';
}

void PrintEnumeration(const std::string& name, std::ostream& out) {
  out << "enumeration " << name << ": i32\n"
      << "  its names and values are the service's; CoreCall sends and shows the numbers, any i32 "
         "(-2147483648 to 2147483647), unchanged\n";
}

// The operations that reach a record or an enumeration named `name`.
void PrintUsers(const std::string& name, std::ostream& out) {
  std::string users;
  for (const auto& op : reflect::ServiceOperations()) {
    bool reaches = false;
    for (const auto& record : op.reached.records) reaches = reaches || record.name == name;
    for (const auto& enumeration : op.reached.enumerations) reaches = reaches || enumeration == name;
    if (reaches) users += (users.empty() ? "" : ", ") + op.name;
  }
  out << "used by: " << users << '\n';
}

}  // namespace

void PrintDescription(const std::string& name, std::ostream& out) {
  const auto& catalog = reflect::ServiceOperations();
  if (const auto* op = reflect::FindOperation(catalog, name)) return PrintOperation(*op, out);
  const reflect::ReachedTypes all = reflect::AllReached(catalog);
  for (const auto& record : all.records) {
    if (record.name != name) continue;
    PrintRecord(record, out);
    return PrintUsers(name, out);
  }
  for (const auto& enumeration : all.enumerations) {
    if (enumeration != name) continue;
    PrintEnumeration(enumeration, out);
    return PrintUsers(name, out);
  }
  // Near names among everything describe knows.
  std::vector<std::string> names;
  for (const auto& op : catalog) names.push_back(op.name);
  for (const auto& record : all.records) names.push_back(record.name);
  for (const auto& enumeration : all.enumerations) names.push_back(enumeration);
  std::string hint;
  for (const auto& nearName : cli::NearestNames(names, name)) hint += (hint.empty() ? "" : " or ") + nearName;
  throw UsageError("nothing is named '" + TevrinAV::SafeText(name) + "'; " +
                   (hint.empty() ? "CoreCall describe shows everything" : "did you mean " + hint + "?"));
}

void PrintEverything(std::ostream& out) {
  const auto& catalog = reflect::ServiceOperations();
  out << "operations:\n";
  for (const auto& op : catalog)
    out << "  " << std::setw(2) << op.number << ' ' << op.name << '(' << Fields(op.arguments) << ") -> " << op.result
        << (op.mayFail ? " raises OperationFailed" : "") << '\n';
  const reflect::ReachedTypes all = reflect::AllReached(catalog);
  for (const auto& record : all.records) PrintRecord(record, out);
  for (const auto& enumeration : all.enumerations) PrintEnumeration(enumeration, out);
}

void PrintTemplate(const reflect::OperationInfo& op, bool compact, std::ostream& out) {
  out << reflect::DumpJson(op.argumentTemplate(), compact) << '\n';
}

std::string FailureText(const std::string& text) {
  struct Meaning {
    const char* code;
    const char* words;
  };
  static constexpr Meaning kMeanings[] = {
      {"2", "no service listens on this pipe; is the core service running?"},
      {"5", "access denied: the pipe does not let this user in"},
      {"109", "the service closed the pipe before answering"},
      {"231", "every instance of the pipe is busy; try again"},
      {"1460", "no answer within --timeout"},
  };
  const std::size_t at = text.rfind("errno = ");
  if (at == std::string::npos) return text;
  const std::string code = text.substr(at + 8);
  for (const Meaning& meaning : kMeanings)
    if (code == meaning.code) return text + " (" + meaning.words + ")";
  return text;
}

const reflect::OperationInfo& OperationNamed(const std::string& name) {
  const auto& catalog = reflect::ServiceOperations();
  if (const auto* op = reflect::FindOperation(catalog, name)) return *op;
  std::string hint;
  std::vector<std::string> names;
  for (const auto& op : catalog) names.push_back(op.name);
  for (const auto& nearName : cli::NearestNames(names, name)) hint += (hint.empty() ? "" : " or ") + nearName;
  throw UsageError("unknown operation '" + TevrinAV::SafeText(name) + "'; " +
                   (hint.empty() ? "CoreCall list shows them all" : "did you mean " + hint + "?"));
}

reflect::PreparedCall ReadArguments(const reflect::OperationInfo& op, const std::optional<std::string>& word,
                                    bool strict, std::istream& input) {
  const std::string where = op.name + ": ";
  std::string text = "{}";
  if (word && (*word == "-" || *word == "@-")) {
    text = ReadLimited(input, where + "the arguments on standard input ");
  } else if (word && !word->empty() && word->front() == '@') {
    text = ReadArgumentsFile(word->substr(1), where);
  } else if (word) {
    text = *word;
  }
  Json arguments;
  try {
    cli::CheckJsonShape(text, kMaxArgumentDepth);
  } catch (const cli::JsonShapeError& e) {
    throw UsageError(where + "the arguments at " + TevrinAV::SafeText(e.pointer()) + ": " +
                     TevrinAV::SafeText(e.problem()));
  }
  try {
    arguments = Json::parse(text);
  } catch (const Json::parse_error& e) {
    std::string message = e.what();
    throw UsageError(where +
                     "the arguments are not JSON: " + TevrinAV::SafeText(message.substr(message.find(']') + 2)));
  }
  try {
    return op.prepare(arguments, strict);
  } catch (const reflect::ArgumentError& e) {
    throw UsageError(where + TevrinAV::SafeText(e.what()));
  }
}

int Call(const reflect::PreparedCall& call, const CallSettings& settings, std::ostream& out, std::ostream& err) {
  try {
    auto deadline = tevrin::platform::kNoDeadline;
    if (settings.timeout)
      deadline = std::chrono::steady_clock::now() +
                 std::chrono::duration_cast<std::chrono::steady_clock::duration>(*settings.timeout);
    std::optional<Json> result;
    {
      // Torn down in reverse order; releasing the pipe flushes and closes it.
      auto pipe = std::make_shared<TWin32PipeClient>(settings.pipe, deadline);
      if (settings.serverAccount) {
        const std::string account = pipe->serverAccount();
        if (!SameAccount(account, *settings.serverAccount))
          throw std::runtime_error("the pipe is served by " + account + ", not " + *settings.serverAccount);
      }
      auto buffered = std::make_shared<TBufferedTransport>(pipe);
      auto protocol = TevrinAV::wire::MakeServiceProtocol(buffered);
      result = call(*protocol);
      protocol.reset();
      buffered.reset();
      pipe.reset();
    }
    Json answer = Json::object();
    if (result) answer["result"] = std::move(*result);
    out << reflect::DumpJson(answer, settings.compact) << std::endl;
    return kAnswered;
  } catch (const TevrinAV::OperationFailed& failure) {
    // The text is written as result texts are: DumpJson escapes what a
    // terminal must not get raw.
    Json answer = {{"error", "OperationFailed"}, {"number", failure.number1}, {"text", reflect::ToJson(failure.text2)}};
    out << reflect::DumpJson(answer, settings.compact) << std::endl;
    return kOperationFailed;
  } catch (const std::exception& e) {
    // Transport, protocol and application exceptions; their texts may be the service's.
    err << "CoreCall: " << FailureText(TevrinAV::SafeText(e.what())) << std::endl;
    return kCallFailed;
  }
}

}  // namespace corecall
