// EVTX chunks parsed on several threads and handed over in log order on the
// calling thread, so that the output is that of one thread.
#ifndef EVREPLAY_EVTX_INPUT_H
#define EVREPLAY_EVTX_INPUT_H

#include <functional>
#include <memory>

#include "EvtxReader.h"

namespace evreplay {

class ParallelChunks {
 public:
  // `threads` parsers, besides the calling thread that reads and delivers.
  explicit ParallelChunks(int threads);
  ~ParallelChunks();
  ParallelChunks(const ParallelChunks&) = delete;
  ParallelChunks& operator=(const ParallelChunks&) = delete;

  enum class End { Whole, Stopped, Failed };
  // Reads every chunk of `stream`, hands each, parsed, to `deliver` in
  // order: Whole at the end, Stopped when `deliver` answered false, Failed
  // when the stream failed (the chunks before that were delivered).
  End Run(evtx::StreamReader& stream, const std::function<bool(const evtx::ParsedChunk&)>& deliver);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace evreplay

#endif
