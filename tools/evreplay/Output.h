// Standard output (or -o FILE) written in large blocks, with what went wrong
// when it failed: a reader that went away (EPIPE, `evreplay ... | head`)
// ends evreplay quietly, any other failure is told.
#ifndef EVREPLAY_OUTPUT_H
#define EVREPLAY_OUTPUT_H

#include <cstddef>
#include <cstdio>
#include <string>

namespace evreplay {

class Output {
 public:
  explicit Output(std::FILE* file) : file_(file) { text_.reserve(kBlock * 2); }

  // Where the lines are appended.
  std::string& text() { return text_; }
  // Writes the text once it holds a block; false once writing failed.
  bool Written() { return text_.size() < kBlock ? !failed() : Flush(); }
  // Writes everything; false once writing failed.
  bool Flush();
  bool failed() const { return error_ != 0; }
  // The errno of the failure.
  int error() const { return error_; }
  // The reader of a pipe went away.
  bool closedByReader() const;

 private:
  static constexpr std::size_t kBlock = std::size_t{1} << 18;
  std::FILE* file_;
  std::string text_;
  int error_ = 0;
};

}  // namespace evreplay

#endif
