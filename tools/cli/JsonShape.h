// What a JSON parser lets through and a tool must not: a key given twice in
// one object (the parser keeps the last one without a word) and nesting so
// deep that freeing the parsed value overflows the stack. Checked in a pass
// of its own over the text, before it is parsed; syntax is left to the
// parser.
#ifndef TEVRIN_CLI_JSONSHAPE_H
#define TEVRIN_CLI_JSONSHAPE_H

#include <cstddef>
#include <stdexcept>
#include <string>

namespace cli {

class JsonShapeError : public std::runtime_error {
 public:
  JsonShapeError(std::string pointer, std::string problem)
      : std::runtime_error(problem), pointer_(std::move(pointer)), problem_(std::move(problem)) {}
  // Where, as a JSON pointer ("/events/3").
  const std::string& pointer() const { return pointer_; }
  // What, in words: the key "id" is given twice; nested deeper than 32 levels.
  const std::string& problem() const { return problem_; }

 private:
  std::string pointer_, problem_;
};

// Throws JsonShapeError for the first key given twice or level beyond `maxDepth`.
void CheckJsonShape(const std::string& text, std::size_t maxDepth);

}  // namespace cli

#endif
