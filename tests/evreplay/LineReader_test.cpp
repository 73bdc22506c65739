#include "LineReader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "Collected.h"

namespace evreplay {
namespace {

// A string as a source, handed over `chunk` bytes at a time.
class StringSource : public ByteSource {
 public:
  explicit StringSource(std::string data, std::size_t chunk = 1 << 20) : ByteSource(nullptr), data_(std::move(data)), chunk_(chunk) {}
  long Read(char* into, std::size_t size) override {
    const std::size_t n = std::min({size, chunk_, data_.size() - at_});
    std::memcpy(into, data_.data() + at_, n);
    at_ += n;
    return static_cast<long>(n);
  }

 private:
  std::string data_;
  std::size_t chunk_;
  std::size_t at_ = 0;
};

TEST(LineReaderTest, LinesOfAPlainFile) {
  struct Case {
    const char* data;
    std::vector<std::string> events;
  };
  const Case cases[] = {
      {"a\nbb\n", {"source log", "1 a", "2 bb"}},
      {"a\r\nbb", {"source log", "1 a", "2 bb"}},
      {"\n\nc\n", {"source log", "1 ", "2 ", "3 c"}},
      {"", {"source log"}},
      {"only", {"source log", "1 only"}},
  };
  for (const Case& c : cases) {
    for (std::size_t chunk : {std::size_t{1}, std::size_t{1} << 20}) {
      SCOPED_TRACE(std::string(c.data) + ", chunks of " + std::to_string(chunk));
      Collected sink;
      sink.padding = 64;
      sink.OnSource("log");
      LineReader reader;
      StringSource source(c.data, chunk);
      ASSERT_TRUE(reader.ReadLines(source, sink)) << reader.error();
      EXPECT_EQ(sink.events, c.events);
    }
  }
}

TEST(LineReaderTest, AByteOrderMarkBeforeTheFirstLineIsDropped) {
  Collected sink;
  LineReader reader;
  StringSource source("\xef\xbb\xbf{\"a\":1}\n\xef\xbb\xbf{}\n");
  ASSERT_TRUE(reader.ReadLines(source, sink));
  EXPECT_EQ(sink.events, (std::vector<std::string>{"1 {\"a\":1}", "2 \xef\xbb\xbf{}"}));
}

TEST(LineReaderTest, LinesLongerThanTheLimitAreSkippedWhole) {
  // Lines up to 8 bytes; the buffer starts at that size, so every refill path runs.
  Collected sink;
  LineReader reader(8, 4);
  StringSource source("12345678\n123456789\nab\n" + std::string(50, 'x') + "\nlast" + std::string(20, 'y'));
  ASSERT_TRUE(reader.ReadLines(source, sink));
  EXPECT_EQ(sink.events, (std::vector<std::string>{"1 12345678", "2 too long", "3 ab", "4 too long", "5 too long"}));
}

TEST(LineReaderTest, TheSinkCanStopTheReading) {
  Collected sink;
  sink.stopAfter = 1;
  LineReader reader;
  StringSource source("a\nb\nc\n");
  ASSERT_TRUE(reader.ReadLines(source, sink));
  EXPECT_TRUE(reader.stoppedBySink());
  EXPECT_EQ(sink.events, (std::vector<std::string>{"1 a"}));
}

}  // namespace
}  // namespace evreplay
