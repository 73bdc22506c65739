#include "JsonShape.h"

#include <nlohmann/json.hpp>
#include <set>
#include <vector>

namespace cli {

namespace {

using Json = nlohmann::json;

class ShapeChecker final : public nlohmann::json_sax<Json> {
 public:
  explicit ShapeChecker(std::size_t maxDepth) : maxDepth_(maxDepth) {}

  bool null() override { return Value(); }
  bool boolean(bool) override { return Value(); }
  bool number_integer(number_integer_t) override { return Value(); }
  bool number_unsigned(number_unsigned_t) override { return Value(); }
  bool number_float(number_float_t, const string_t&) override { return Value(); }
  bool string(string_t&) override { return Value(); }
  bool binary(binary_t&) override { return Value(); }
  bool start_object(std::size_t) override { return Open(false); }
  bool start_array(std::size_t) override { return Open(true); }
  bool end_object() override { return Close(); }
  bool end_array() override { return Close(); }
  bool key(string_t& name) override {
    Level& level = levels_.back();
    level.key = name;
    if (!level.keys.insert(name).second) throw JsonShapeError(Pointer(), "the key \"" + name + "\" is given twice");
    return true;
  }
  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override { return false; }

 private:
  struct Level {
    bool array = false;
    std::size_t index = 0;
    std::string key;
    std::set<std::string> keys;
  };
  bool Value() {
    if (!levels_.empty() && levels_.back().array) ++levels_.back().index;
    return true;
  }
  bool Open(bool array) {
    Value();
    if (levels_.size() >= maxDepth_)
      throw JsonShapeError(Pointer(), "nested deeper than " + std::to_string(maxDepth_) + " levels");
    levels_.push_back(Level{array, 0, "", {}});
    return true;
  }
  bool Close() {
    levels_.pop_back();
    return true;
  }
  // JSON pointer escapes: ~ as ~0, / as ~1.
  std::string Pointer() const {
    std::string out;
    for (const Level& level : levels_) {
      out += '/';
      if (level.array) {
        out += std::to_string(level.index - 1);
        continue;
      }
      for (char c : level.key) out += c == '~' ? std::string("~0") : c == '/' ? std::string("~1") : std::string(1, c);
    }
    return out.empty() ? std::string("/") : out;
  }

  std::size_t maxDepth_;
  std::vector<Level> levels_;
};

}  // namespace

void CheckJsonShape(const std::string& text, std::size_t maxDepth) {
  ShapeChecker checker(maxDepth);
  Json::sax_parse(text, &checker);
}

}  // namespace cli
