// One EVTX chunk, whatever its bytes, through the chunk parser: templates,
// substitutions, every value type, nested fragments, damaged records. The
// first byte decides whether the chunk's checksums are made right first, so
// that the fuzzer reaches the Binary XML as often as the checks. Whatever it
// holds, parsing ends, within the chunk and memory that follows it.
#include <cstddef>
#include <cstdint>
#include <string>

#include "EvtxReader.h"
#include "EvtxWriter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const bool seal = (data[0] & 1) != 0;
  std::string chunk(reinterpret_cast<const char*>(data + 1), size - 1);
  if (chunk.size() > evtx::kChunkSize) chunk.resize(evtx::kChunkSize);
  if (seal && chunk.size() >= 512) evtx::write::FileWriter::SealChunk(chunk, 0);
  static evtx::ChunkParser parser;
  static evtx::ParsedChunk parsed;
  parser.Parse(reinterpret_cast<const uint8_t*>(chunk.data()), chunk.size(), parsed);
  return 0;
}
