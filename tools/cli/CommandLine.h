// The command line of the project's tools (CoreCall, evreplay, evhost, the
// stand-in core service): one table of options per program, from which the
// parsing, the help text and the messages follow, so that every tool takes
// `--opt value` and `--opt=value`, `-h`/`--help`, `--version` and `--`, and
// says a usage error the same way:
//
//   evreplay: unknown option '--modul' (did you mean '--module'?)
//   Try 'evreplay --help' for more information.
//
// The exit statuses are shared too (README "Exit statuses"): grep's and
// diff's convention (0 yes, 1 no, 2 trouble with what the user typed),
// with two more so that scripts can tell what went wrong.
#ifndef TEVRIN_CLI_COMMANDLINE_H
#define TEVRIN_CLI_COMMANDLINE_H

#include <cstddef>
#include <cstdint>
#include <exception>
#include <iosfwd>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace cli {

enum Status : int {
  kOk = 0,           // done
  kNegative = 1,     // done, and the answer is no: OperationFailed, a report, a mismatch
  kUsage = 2,        // the command line or a file of instructions is wrong; nothing was done
  kIncomplete = 3,   // an input could not be read to its end (the others were)
  kUnavailable = 4,  // the service or the module could not be used
};
constexpr int kSignalBase = 128;  // ended by signal N: 128 + N

// The project's version, the same for every program.
const char* Version();

struct Option {
  std::string_view name;        // without the dashes: "module"
  std::string_view valueName;   // "PATH"; empty for a switch
  std::string_view help;        // wrapped to the terminal's 80 columns
  char letter = 0;              // a one-letter form ('o' for -o), or 0
};

// What a command line said.
class Arguments {
 public:
  // Whether the option was given at all.
  bool has(std::string_view name) const { return values_.count(std::string(name)) != 0; }
  // The last value of an option, or `otherwise`.
  std::string value(std::string_view name, std::string otherwise = {}) const;
  // Every value of a repeatable option, in order.
  const std::vector<std::string>& values(std::string_view name) const;
  // The words that are not options, in order.
  const std::vector<std::string>& words() const { return words_; }

 private:
  friend class Parser;
  std::map<std::string, std::vector<std::string>, std::less<>> values_;
  std::vector<std::string> words_;
};

// Thrown for a command line the program cannot use; what() is the problem
// in one line, without the program's name.
class UsageError : public std::exception {
 public:
  explicit UsageError(std::string problem) : problem_(std::move(problem)) {}
  const char* what() const noexcept override { return problem_.c_str(); }

 private:
  std::string problem_;
};

class Parser {
 public:
  // `synopsis` is one or more lines after "Usage: ", `about` the text after
  // them, `epilog` what follows the options.
  Parser(std::string program, std::vector<Option> options, std::string synopsis, std::string about,
         std::string epilog = {});

  enum class Outcome { Run, Help, Version };
  // Reads argv[1..]; Help and Version are printed to `out`. Throws UsageError.
  Outcome Parse(int argc, const char* const* argv, Arguments& arguments, std::ostream& out) const;

  // The whole help text.
  std::string Help() const;
  // Writes "PROGRAM: problem" and the line that points to --help.
  void PrintUsageError(std::ostream& err, std::string_view problem) const;
  const std::string& program() const { return program_; }

 private:
  const Option* Find(std::string_view name) const;
  const Option* FindLetter(char letter) const;
  std::string Suggestion(std::string_view name) const;

  std::string program_;
  std::vector<Option> options_;
  std::string synopsis_, about_, epilog_;
};

// The names closest to `name` by edit distance, ignoring case, when any is
// close enough to be a likely slip (at most a third of it, and at least 2).
std::vector<std::string> NearestNames(const std::vector<std::string>& names, std::string_view name);

// Number parsing for option values, each with the message a user reads.
// A whole number from `low` to `high` (decimal).
uint64_t WholeNumber(std::string_view option, std::string_view text, uint64_t low, uint64_t high);
// A number of seconds above zero, with a fraction if need be.
double Seconds(std::string_view option, std::string_view text);

}  // namespace cli

#endif
