#include "EvtxInput.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace evreplay {

struct ParallelChunks::State {
  struct Slot {
    std::vector<uint8_t> bytes;
    evtx::ParsedChunk parsed;
    bool ready = false;
  };
  evtx::ChunkParser ownParser;  // the calling thread's, for the jobs it takes itself
  std::vector<Slot> slots;
  std::deque<std::size_t> jobs;
  std::mutex mutex;
  std::condition_variable work, done;
  bool quit = false;
  std::vector<std::thread> workers;

  void Work() {
    evtx::ChunkParser parser;
    for (;;) {
      std::size_t job = 0;
      {
        std::unique_lock<std::mutex> lock(mutex);
        work.wait(lock, [&] { return quit || !jobs.empty(); });
        if (quit) return;
        job = jobs.front();
        jobs.pop_front();
      }
      Slot& slot = slots[job];
      parser.Parse(slot.bytes.data(), slot.bytes.size(), slot.parsed);
      {
        std::lock_guard<std::mutex> lock(mutex);
        slot.ready = true;
      }
      done.notify_all();
    }
  }
};

ParallelChunks::ParallelChunks(int threads) : state_(std::make_unique<State>()) {
  // The calling thread is one of the parsers: it parses what no other has
  // taken while it waits for the next chunk to hand over.
  const auto count = static_cast<std::size_t>(threads < 2 ? 1 : threads - 1);
  // Room for reading to run ahead while they parse.
  state_->slots.resize(4 * count + 4);
  for (std::size_t i = 0; i < count; ++i) state_->workers.emplace_back([this] { state_->Work(); });
}

ParallelChunks::~ParallelChunks() {
  {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->quit = true;
  }
  state_->work.notify_all();
  for (std::thread& worker : state_->workers) worker.join();
}

ParallelChunks::End ParallelChunks::Run(evtx::StreamReader& stream,
                                        const std::function<bool(const evtx::ParsedChunk&)>& deliver) {
  State& s = *state_;
  const std::size_t ring = s.slots.size();
  std::size_t read = 0, delivered = 0;
  bool atEnd = false, failed = false;
  End end = End::Whole;
  for (;;) {
    while (!atEnd && read - delivered < ring) {
      State::Slot& slot = s.slots[read % ring];
      const long n = stream.NextChunk(slot.bytes);
      if (n <= 0) {
        atEnd = true;
        failed = n < 0;
        break;
      }
      {
        std::lock_guard<std::mutex> lock(s.mutex);
        slot.ready = false;
        s.jobs.push_back(read % ring);
      }
      s.work.notify_one();
      ++read;
    }
    if (delivered == read) break;
    State::Slot& slot = s.slots[delivered % ring];
    for (;;) {
      std::unique_lock<std::mutex> lock(s.mutex);
      if (slot.ready) break;
      if (s.jobs.empty()) {
        s.done.wait(lock, [&] { return slot.ready; });
        break;
      }
      // Rather than wait, parse the oldest chunk no one has taken.
      const std::size_t job = s.jobs.front();
      s.jobs.pop_front();
      lock.unlock();
      State::Slot& taken = s.slots[job];
      s.ownParser.Parse(taken.bytes.data(), taken.bytes.size(), taken.parsed);
      lock.lock();
      taken.ready = true;
    }
    ++delivered;
    if (end == End::Whole && !deliver(slot.parsed)) {
      end = End::Stopped;
      atEnd = true;  // the chunks under way are parsed, not delivered
    }
  }
  if (end == End::Whole && failed) end = End::Failed;
  return end;
}

}  // namespace evreplay
