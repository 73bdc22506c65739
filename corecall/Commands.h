// What CoreCall does, once its command line is read.
#pragma once

#include <chrono>
#include <iosfwd>
#include <optional>
#include <stdexcept>
#include <string>

#include "CommandLine.h"
#include "reflect/OperationCatalog.h"

namespace corecall {

// Exit statuses, as every tool of the project has them.
inline constexpr int kAnswered = cli::kOk;
inline constexpr int kOperationFailed = cli::kNegative;
inline constexpr int kBadUsage = cli::kUsage;
inline constexpr int kCallFailed = cli::kUnavailable;

// Bad usage, told in one line.
using UsageError = cli::UsageError;

struct CallSettings {
  std::string pipe;
  std::optional<std::chrono::duration<double>> timeout;
  bool compact = false;
  // The account that must serve the pipe (a SID on Windows, a user id on
  // Linux); nothing is sent to any other.
  std::optional<std::string> serverAccount;
};

// Whether `account`, as Windows or Linux names the server's, is the one the
// command line asked for: SIDs ignore the case of their letters, user ids
// compare as numbers.
bool SameAccount(const std::string& account, const std::string& wanted);
// True when `text` can name an account on this platform (S-1-... or a user id).
bool IsAccountName(const std::string& text);

// One line per operation: number, name, arguments, result.
void PrintList(std::ostream& out);
// An operation (its arguments, result, failure and every record it
// reaches), a record (its fields) or an enumeration, named `name`; throws
// UsageError, suggesting near names.
void PrintDescription(const std::string& name, std::ostream& out);
// Every operation, record and enumeration.
void PrintEverything(std::ostream& out);
// The operation's arguments as a JSON object of zero values, to edit.
void PrintTemplate(const TevrinAV::reflect::OperationInfo& op, bool compact, std::ostream& out);
// A call failure's text with what its Windows code means, when it ends in
// "errno = N" of a code a user meets.
std::string FailureText(const std::string& text);

// The operation named `name`; throws UsageError, suggesting near names.
const TevrinAV::reflect::OperationInfo& OperationNamed(const std::string& name);
// The arguments as written on the command line (JSON, @FILE or - for
// `input`), read for `op`; throws UsageError.
TevrinAV::reflect::PreparedCall ReadArguments(const TevrinAV::reflect::OperationInfo& op,
                                              const std::optional<std::string>& word, bool strict, std::istream& input);
// Makes the call and prints its answer, or its failure; answers the exit status.
int Call(const TevrinAV::reflect::PreparedCall& call, const CallSettings& settings, std::ostream& out,
         std::ostream& err);

}  // namespace corecall
