// Our reader on the files of the test writer (the same files python-evtx
// checks): every record's values, and every damaged file with what it
// recovers and what it counts.
#include "EvtxReader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>

#include "TestLogs.h"

namespace evtx {
namespace {

using testing::ExpectedEvent;

struct ReadResult {
  std::vector<ExpectedEvent> events;
  std::map<std::string, uint64_t> damage;
};

ReadResult ReadAll(const std::string& bytes) {
  std::size_t at = 0;
  StreamReader stream([&](char* into, std::size_t size) {
    const std::size_t n = std::min(size, bytes.size() - at);
    std::memcpy(into, bytes.data() + at, n);
    at += n;
    return static_cast<long>(n);
  });
  ReadResult result;
  FileHeader header;
  EXPECT_TRUE(stream.ReadHeader(header));
  EXPECT_TRUE(header.signature);
  if (!header.checksum) ++result.damage[DamageText(Damage::FileHeaderChecksum)];
  ChunkParser parser;
  ParsedChunk chunk;
  std::vector<uint8_t> bytesOfChunk;
  while (stream.NextChunk(bytesOfChunk) > 0) {
    parser.Parse(bytesOfChunk.data(), bytesOfChunk.size(), chunk);
    for (std::size_t d = 0; d < chunk.damage.size(); ++d)
      if (chunk.damage[d] != 0) result.damage[DamageText(static_cast<Damage>(d))] += chunk.damage[d];
    for (const ParsedEvent& e : chunk.events) {
      ExpectedEvent got;
      got.record = e.recordNumber;
      got.eventId = std::string(chunk.view(e.eventId));
      got.provider = std::string(chunk.view(e.provider));
      got.channel = std::string(chunk.view(e.channel));
      got.computer = std::string(chunk.view(e.computer));
      got.eventRecordId = std::string(chunk.view(e.eventRecordId));
      got.timeCreated = std::string(chunk.view(e.timeCreated));
      got.userId = std::string(chunk.view(e.userId));
      for (uint32_t i = 0; i < e.fieldCount; ++i) {
        const ParsedField& f = chunk.fields[e.firstField + i];
        got.data.emplace_back(chunk.view(f.name), chunk.view(f.value));
      }
      result.events.push_back(std::move(got));
    }
  }
  return result;
}

class EvtxReaderTest : public ::testing::TestWithParam<testing::TestLog> {};

TEST_P(EvtxReaderTest, GivesWhatTheWriterMeant) {
  const testing::TestLog& log = GetParam();
  const ReadResult result = ReadAll(log.bytes);
  EXPECT_EQ(result.damage, log.damage);
  ASSERT_EQ(result.events.size(), log.events.size());
  for (std::size_t i = 0; i < log.events.size(); ++i) {
    const ExpectedEvent& got = result.events[i];
    const ExpectedEvent& want = log.events[i];
    SCOPED_TRACE("record " + std::to_string(want.record));
    EXPECT_EQ(got.record, want.record);
    EXPECT_EQ(got.eventId, want.eventId);
    EXPECT_EQ(got.provider, want.provider);
    EXPECT_EQ(got.channel, want.channel);
    EXPECT_EQ(got.computer, want.computer);
    EXPECT_EQ(got.eventRecordId, want.eventRecordId);
    EXPECT_EQ(got.timeCreated, want.timeCreated);
    EXPECT_EQ(got.userId, want.userId);
    EXPECT_EQ(got.data, want.data);
  }
}

INSTANTIATE_TEST_SUITE_P(Logs, EvtxReaderTest, ::testing::ValuesIn(testing::MakeTestLogs()), [](const auto& test) {
  std::string name = test.param.name.substr(0, test.param.name.find('.'));
  for (char& c : name)
    if (c == '-') c = '_';
  return name;
});

// Whatever a chunk holds, parsing ends, within the chunk.
TEST(EvtxReaderTest, EveryByteOfAChunkChangedStillParses) {
  const testing::TestLog log = testing::MakeTestLogs().front();
  std::string chunk = log.bytes.substr(kFileHeaderSize, kChunkSize);
  ChunkParser parser;
  ParsedChunk parsed;
  for (std::size_t at = 512; at < 3000; ++at) {
    std::string changed = chunk;
    changed[at] = static_cast<char>(changed[at] ^ 0xFF);
    // Past the checksums, as a writer that wrote garbage would.
    parser.Parse(reinterpret_cast<const uint8_t*>(changed.data()), changed.size(), parsed);
  }
  SUCCEED();
}

}  // namespace
}  // namespace evtx
