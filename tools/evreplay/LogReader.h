// Finds the logs in evreplay's inputs and hands their events on: a file,
// standard input ("-") or a folder (every file below it, in name order);
// each told by its content: JSON lines, EVTX, either of them compressed or
// inside an archive (zip, tar, 7z), archives and compressed streams inside
// each other up to a few levels. Anything else is a problem of that input,
// named and told, and the other inputs are still read.
#ifndef EVREPLAY_LOG_READER_H
#define EVREPLAY_LOG_READER_H

#include <csignal>
#include <functional>
#include <string>

#include "Content.h"
#include "LineReader.h"
#include "Sources.h"

namespace evreplay {

class LogReader {
 public:
  // `problem` gets one line for each input that cannot be read to its end,
  // naming it (escaped for printing); the reading goes on with the next.
  LogReader(LineSink& lines, std::function<void(const std::string&)> problem);
  // A signal sets `*flag`: every read gives up, and Read answers at once.
  void StopOn(const volatile std::sig_atomic_t* flag) { stop_ = flag; }
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
  // Whether the sink asked to stop.
  bool stoppedBySink() const { return stoppedBySink_; }

 private:
  bool ReadFile(const std::string& path, const std::string& name);
  bool ReadFolder(const std::string& path, const std::string& name);
  // A stream of bytes `name`, at nesting `depth`; `file` when it is the file
  // itself, so that archives that seek can be read.
  bool ReadStream(ByteSource& source, const std::string& name, int depth, FileSource* file);
  bool ReadArchive(ArchiveReader& reader, const std::string& name, int depth);
  bool Problem(const std::string& name, const std::string& what);
  bool Failed(const ByteSource& source, const std::string& name, const std::string& what);

  LineSink& sink_;
  std::function<void(const std::string&)> problem_;
  LineReader lines_;
  const volatile std::sig_atomic_t* stop_ = nullptr;
  bool stopped_ = false;
  bool stoppedBySink_ = false;
  uint64_t unpackedLimit_ = 0;
};

}  // namespace evreplay

#endif
