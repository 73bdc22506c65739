#include "Output.h"

#include <cerrno>

namespace evreplay {

bool Output::Flush() {
  if (!text_.empty() && error_ == 0) {
    errno = 0;
    if (std::fwrite(text_.data(), 1, text_.size(), file_) != text_.size()) error_ = errno != 0 ? errno : EIO;
  }
  text_.clear();
  if (error_ == 0 && std::fflush(file_) != 0) error_ = errno != 0 ? errno : EIO;
  return error_ == 0;
}

bool Output::closedByReader() const { return error_ == EPIPE; }

}  // namespace evreplay
