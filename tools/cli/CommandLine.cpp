#include "CommandLine.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <ostream>

namespace cli {

namespace {

constexpr std::size_t kWidth = 80;
constexpr std::size_t kMaxLeft = 28;  // a longer option puts its help on the next line

const Option kHelp{"help", "", "show this text and exit", 'h'};
const Option kVersion{"version", "", "show the version and exit"};

// Levenshtein distance, for suggesting the name meant.
std::size_t Distance(std::string_view a, std::string_view b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
  return lower;
}

// Appends `text` wrapped at kWidth, its lines after the first indented by `indent`.
void AppendWrapped(std::string& out, std::string_view text, std::size_t column, std::size_t indent) {
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find(' ', at);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view word = text.substr(at, end - at);
    if (column > indent && column + 1 + word.size() > kWidth) {
      out += '\n';
      out.append(indent, ' ');
      column = indent;
    } else if (column > indent) {
      out += ' ';
      ++column;
    }
    out += word;
    column += word.size();
    at = end + 1;
  }
  out += '\n';
}

std::string Shown(std::string_view text) {
  std::string out;
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) {
      static constexpr char kHex[] = "0123456789ABCDEF";
      out += "\\x";
      out += kHex[byte >> 4];
      out += kHex[byte & 15];
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace

const char* Version() { return TEVRIN_VERSION; }

std::string Arguments::value(std::string_view name, std::string otherwise) const {
  auto found = values_.find(name);
  return found == values_.end() || found->second.empty() ? otherwise : found->second.back();
}

const std::vector<std::string>& Arguments::values(std::string_view name) const {
  static const std::vector<std::string> kNone;
  auto found = values_.find(name);
  return found == values_.end() ? kNone : found->second;
}

Parser::Parser(std::string program, std::vector<Option> options, std::string synopsis, std::string about,
               std::string epilog)
    : program_(std::move(program)),
      options_(std::move(options)),
      synopsis_(std::move(synopsis)),
      about_(std::move(about)),
      epilog_(std::move(epilog)) {
  options_.push_back(kHelp);
  options_.push_back(kVersion);
}

const Option* Parser::Find(std::string_view name) const {
  for (const Option& option : options_)
    if (option.name == name) return &option;
  return nullptr;
}

const Option* Parser::FindLetter(char letter) const {
  for (const Option& option : options_)
    if (option.letter != 0 && option.letter == letter) return &option;
  return nullptr;
}

std::string Parser::Suggestion(std::string_view name) const {
  std::vector<std::string> names;
  for (const Option& option : options_) names.emplace_back(option.name);
  const std::vector<std::string> nearest = NearestNames(names, name);
  return nearest.empty() ? std::string() : " (did you mean '--" + nearest.front() + "'?)";
}

std::vector<std::string> NearestNames(const std::vector<std::string>& names, std::string_view name) {
  const std::string wanted = Lower(name);
  std::size_t best = std::max<std::size_t>(2, wanted.size() / 3) + 1;
  std::vector<std::string> nearest;
  for (const std::string& candidate : names) {
    const std::size_t distance = Distance(wanted, Lower(candidate));
    if (distance < best) {
      best = distance;
      nearest.clear();
    }
    if (distance == best) nearest.push_back(candidate);
  }
  return nearest;
}

Parser::Outcome Parser::Parse(int argc, const char* const* argv, Arguments& arguments, std::ostream& out) const {
  bool wordsOnly = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (wordsOnly || argument == "-" || argument.empty() || argument[0] != '-') {
      arguments.words_.emplace_back(argument);
      continue;
    }
    if (argument == "--") {
      wordsOnly = true;
      continue;
    }
    const Option* option = nullptr;
    std::optional<std::string_view> attached;  // --name=value, -ovalue
    std::string spelled;
    if (argument.substr(0, 2) == "--") {
      std::string_view name = argument.substr(2);
      const std::size_t equals = name.find('=');
      if (equals != std::string_view::npos) {
        attached = name.substr(equals + 1);
        name = name.substr(0, equals);
      }
      spelled = "--" + std::string(name);
      option = Find(name);
      if (option == nullptr) throw UsageError("unknown option '" + Shown(spelled) + "'" + Suggestion(name));
    } else {
      spelled = std::string(argument.substr(0, 2));
      option = FindLetter(argument[1]);
      if (option == nullptr) throw UsageError("unknown option '" + Shown(spelled) + "'");
      if (argument.size() > 2) attached = argument.substr(argument[2] == '=' ? 3 : 2);
    }
    if (option->name == kHelp.name) {
      out << Help();
      return Outcome::Help;
    }
    if (option->name == kVersion.name) {
      out << program_ << " (Tevrin Security Suite) " << Version() << '\n';
      return Outcome::Version;
    }
    std::vector<std::string>& values = arguments.values_[std::string(option->name)];
    if (option->valueName.empty()) {
      if (attached) throw UsageError("option '" + Shown(spelled) + "' takes no value");
      values.emplace_back();
      continue;
    }
    if (attached) {
      values.emplace_back(*attached);
      continue;
    }
    if (i + 1 >= argc) throw UsageError("option '" + Shown(spelled) + "' needs a value (" + std::string(option->valueName) + ")");
    values.emplace_back(argv[++i]);
  }
  return Outcome::Run;
}

std::string Parser::Help() const {
  std::string out = "Usage: ";
  for (std::size_t at = 0; at < synopsis_.size();) {
    std::size_t end = synopsis_.find('\n', at);
    if (end == std::string::npos) end = synopsis_.size();
    if (at > 0) out += "       ";
    out.append(synopsis_, at, end - at);
    out += '\n';
    at = end + 1;
  }
  if (!about_.empty()) {
    out += '\n';
    for (std::size_t at = 0; at < about_.size();) {  // paragraphs kept, each wrapped
      std::size_t end = about_.find('\n', at);
      if (end == std::string::npos) end = about_.size();
      if (end == at) out += '\n';
      else AppendWrapped(out, std::string_view(about_).substr(at, end - at), 0, 0);
      at = end + 1;
    }
  }
  out += "\nOptions:\n";
  std::vector<std::string> lefts;
  std::size_t width = 0;
  for (const Option& option : options_) {
    std::string left = option.letter != 0 ? std::string("  -") + option.letter + ", --" : std::string("      --");
    left += option.name;
    if (!option.valueName.empty()) {
      left += ' ';
      left += option.valueName;
    }
    if (left.size() + 2 <= kMaxLeft) width = std::max(width, left.size() + 2);
    lefts.push_back(std::move(left));
  }
  for (std::size_t i = 0; i < options_.size(); ++i) {
    out += lefts[i];
    if (lefts[i].size() + 2 > width) {
      out += '\n';
      out.append(width, ' ');
    } else {
      out.append(width - lefts[i].size(), ' ');
    }
    AppendWrapped(out, options_[i].help, width, width);
  }
  if (!epilog_.empty()) {
    out += '\n';
    out += epilog_;
    if (epilog_.back() != '\n') out += '\n';
  }
  return out;
}

void Parser::PrintUsageError(std::ostream& err, std::string_view problem) const {
  err << program_ << ": " << problem << "\nTry '" << program_ << " --help' for more information.\n" << std::flush;
}

uint64_t WholeNumber(std::string_view option, std::string_view text, uint64_t low, uint64_t high) {
  uint64_t value = 0;
  bool fits = !text.empty() && text.size() <= 20;
  for (char c : text) {
    if (c < '0' || c > '9') {
      fits = false;
      break;
    }
    const auto digit = static_cast<uint64_t>(c - '0');
    if (value > (UINT64_MAX - digit) / 10) {
      fits = false;
      break;
    }
    value = value * 10 + digit;
  }
  if (!fits || value < low || value > high)
    throw UsageError("--" + std::string(option) + " takes a whole number from " + std::to_string(low) + " to " +
                     std::to_string(high) + ", not '" + Shown(text) + "'");
  return value;
}

double Seconds(std::string_view option, std::string_view text) {
  const std::string copy(text);
  char* end = nullptr;
  errno = 0;
  const double value = std::strtod(copy.c_str(), &end);
  if (copy.empty() || end != copy.c_str() + copy.size() || errno != 0 || !std::isfinite(value) || !(value > 0))
    throw UsageError("--" + std::string(option) + " takes a positive number of seconds, not '" + Shown(text) + "'");
  return value;
}

}  // namespace cli
