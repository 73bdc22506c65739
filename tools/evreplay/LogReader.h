// Finds the logs in evreplay's inputs and hands their events on: a file,
// standard input ("-") or a folder (every file below it, in name order);
// each told by its content: JSON lines, EVTX (chunks parsed on several
// threads, events handed over in log order), either of them compressed or
// inside an archive (zip, tar, 7z), archives and compressed streams inside
// each other up to a few levels. Anything else is a problem of that input,
// named and told, and the other inputs are still read.
#ifndef EVREPLAY_LOG_READER_H
#define EVREPLAY_LOG_READER_H

#include <atomic>
#include <csignal>
#include <functional>
#include <string>

#include "Content.h"
#include "EvtxReader.h"
#include "LineReader.h"
#include "Sources.h"

namespace evreplay {

// What the reader hands over: lines of JSON-lines inputs, parsed chunks of
// EVTX inputs (in log order), and what of an EVTX input was skipped.
class LogSink : public LineSink {
 public:
  // The events of one chunk; false to stop reading.
  virtual bool OnEvtxChunk(const evtx::ParsedChunk& chunk) = 0;
  // `count` chunks, records or headers of the current input skipped, and why.
  virtual void OnEvtxDamage(evtx::Damage damage, uint64_t count) = 0;
};

class LogReader {
 public:
  // `problem` gets one line for each input that cannot be read to its end,
  // naming it (escaped for printing); the reading goes on with the next.
  LogReader(LogSink& sink, std::function<void(const std::string&)> problem);
  // A signal sets `*flag`: every read gives up, and Read answers at once.
  void StopOn(const volatile std::sig_atomic_t* flag) { stop_ = flag; }
  // EVTX chunks are parsed on this many threads (1: on the calling one).
  void SetThreads(int threads) { threads_ = threads; }
  // Lines up to this many bytes are whole (longer ones are skipped).
  void SetMaxLine(std::size_t bytes) { lines_ = LineReader(bytes); }

  // Each compressed stream or archive member may hand over at most this many
  // bytes (0, the default: no limit), for fuzzing, where time is short.
  void SetUnpackedLimit(uint64_t bytes) { unpackedLimit_ = bytes; }

  // Reads `path` to its end; false when some input of it had a problem, or
  // the reading stopped (stopped()).
  bool Read(const std::string& path);
  // The same for bytes already open, named `name` (escaped for printing).
  bool ReadSource(ByteSource& source, const std::string& name) { return ReadStream(source, name, 0, nullptr); }
  bool stopped() const { return stopped_; }
  // The bytes read from files so far (compressed ones as they are stored).
  uint64_t bytesRead() const { return bytesRead_.load(std::memory_order_relaxed); }
  // The bytes of `path` that Read will read: a file's size, the files below
  // a folder; false for standard input and devices, whose size is unknown.
  static bool InputSize(const std::string& path, uint64_t& bytes);
  // Whether the sink asked to stop.
  bool stoppedBySink() const { return stoppedBySink_; }

 private:
  bool ReadFile(const std::string& path, const std::string& name);
  bool ReadFolder(const std::string& path, const std::string& name);
  // A stream of bytes `name`, at nesting `depth`; `file` when it is the file
  // itself, so that archives that seek can be read.
  bool ReadStream(ByteSource& source, const std::string& name, int depth, FileSource* file);
  bool ReadArchive(ArchiveReader& reader, const std::string& name, int depth);
  bool ReadEvtx(ByteSource& source, const std::string& name);
  bool Deliver(const evtx::ParsedChunk& chunk);
  bool Problem(const std::string& name, const std::string& what);
  bool Failed(const ByteSource& source, const std::string& name, const std::string& what);

  LogSink& sink_;
  std::function<void(const std::string&)> problem_;
  LineReader lines_;
  const volatile std::sig_atomic_t* stop_ = nullptr;
  bool stopped_ = false;
  bool stoppedBySink_ = false;
  uint64_t unpackedLimit_ = 0;
  int threads_ = 1;
  std::atomic<uint64_t> bytesRead_{0};
};

}  // namespace evreplay

#endif
