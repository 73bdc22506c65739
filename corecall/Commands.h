// What CoreCall does, once its command line is read.
#pragma once

#include <chrono>
#include <iosfwd>
#include <optional>
#include <stdexcept>
#include <string>

#include "reflect/OperationCatalog.h"

namespace corecall {

// Exit statuses.
inline constexpr int kAnswered = 0;
inline constexpr int kOperationFailed = 1;
inline constexpr int kCallFailed = 2;
inline constexpr int kBadUsage = 64;

// Bad usage, told in one line.
class UsageError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

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
// The operation's arguments, result, failure and every record it reaches.
void PrintDescription(const TevrinAV::reflect::OperationInfo& op, std::ostream& out);

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
