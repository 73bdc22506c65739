#include "LineReader.h"

#include <archive.h>
#include <archive_entry.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace evreplay {
namespace {

// Everything a reader hands over, as text.
class Collected : public LineSink {
 public:
  std::vector<std::string> events;
  std::size_t stopAfter = SIZE_MAX;
  std::size_t padding = 0;
  std::string folder;  // left out of source names

  void OnSource(const std::string& name) override { events.push_back("source " + name.substr(folder.size() + 1)); }
  bool OnLine(const char* data, std::size_t size, std::size_t capacity, uint64_t lineNumber) override {
    events.push_back(std::to_string(lineNumber) + " " + std::string(data, size));
    EXPECT_GE(capacity, size + padding);
    return events.size() < stopAfter;
  }
  void OnLongLine(uint64_t lineNumber) override { events.push_back(std::to_string(lineNumber) + " too long"); }
};

class LineReaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/evreplay-lines-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    folder_ = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }

  std::string Write(const std::string& name, const std::string& data) {
    const std::string path = folder_ + "/" + name;
    std::ofstream(path, std::ios::binary) << data;
    return path;
  }

  // Packs `members` (name, data) with libarchive in `format`: "gz", "zip", "tar.gz", "tar".
  std::string Pack(const std::string& name, const std::string& format,
                   const std::vector<std::pair<std::string, std::string>>& members) {
    const std::string path = folder_ + "/" + name;
    archive* writing = archive_write_new();
    if (format == "gz") {
      archive_write_set_format_raw(writing);
      archive_write_add_filter_gzip(writing);
    } else if (format == "zip") {
      archive_write_set_format_zip(writing);
    } else {
      archive_write_set_format_pax_restricted(writing);
      if (format == "tar.gz") archive_write_add_filter_gzip(writing);
    }
    EXPECT_EQ(archive_write_open_filename(writing, path.c_str()), ARCHIVE_OK);
    for (const auto& [member, data] : members) {
      archive_entry* entry = archive_entry_new();
      archive_entry_set_pathname(entry, member.c_str());
      archive_entry_set_filetype(entry, member.back() == '/' ? AE_IFDIR : AE_IFREG);
      archive_entry_set_perm(entry, 0644);
      archive_entry_set_size(entry, static_cast<la_int64_t>(data.size()));
      EXPECT_EQ(archive_write_header(writing, entry), ARCHIVE_OK);
      if (!data.empty()) archive_write_data(writing, data.data(), data.size());
      archive_entry_free(entry);
    }
    archive_write_close(writing);
    archive_write_free(writing);
    return path;
  }

  std::string folder_;
};

TEST_F(LineReaderTest, LinesOfAPlainFile) {
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
    SCOPED_TRACE(c.data);
    Collected sink;
    sink.padding = 64;
    sink.folder = folder_;
    LineReader reader;
    ASSERT_TRUE(reader.Read(Write("log", c.data), sink)) << reader.error();
    EXPECT_EQ(sink.events, c.events);
  }
}

TEST_F(LineReaderTest, LinesLongerThanTheLimitAreSkippedWhole) {
  // Lines up to 8 bytes; the buffer starts at that size, so every refill path runs.
  Collected sink;
  sink.folder = folder_;
  LineReader reader(8, 4);
  const std::string data = "12345678\n123456789\nab\n" + std::string(50, 'x') + "\nlast" + std::string(20, 'y');
  ASSERT_TRUE(reader.Read(Write("log", data), sink));
  EXPECT_EQ(sink.events, (std::vector<std::string>{"source log", "1 12345678", "2 too long", "3 ab", "4 too long",
                                                   "5 too long"}));
}

TEST_F(LineReaderTest, TheSinkCanStopTheReading) {
  Collected sink;
  sink.folder = folder_;
  sink.stopAfter = 2;
  LineReader reader;
  ASSERT_TRUE(reader.Read(Write("log", "a\nb\nc\n"), sink));
  EXPECT_EQ(sink.events, (std::vector<std::string>{"source log", "1 a"}));
}

TEST_F(LineReaderTest, ArchivesGiveTheLinesOfEachMember) {
  const std::string first = "{\"n\":1}\n{\"n\":2}\n";
  const std::string second = "{\"n\":3}";
  struct Case {
    const char* name;
    const char* format;
    std::vector<std::string> events;
  };
  const Case cases[] = {
      {"log.gz", "gz", {"source log.gz", "1 {\"n\":1}", "2 {\"n\":2}"}},
      {"log.zip", "zip", {"source log.zip:a.json", "1 {\"n\":1}", "2 {\"n\":2}", "source log.zip:d/b.json", "1 {\"n\":3}"}},
      {"log.tar.gz", "tar.gz",
       {"source log.tar.gz:a.json", "1 {\"n\":1}", "2 {\"n\":2}", "source log.tar.gz:d/b.json", "1 {\"n\":3}"}},
      {"log.tar", "tar", {"source log.tar:a.json", "1 {\"n\":1}", "2 {\"n\":2}", "source log.tar:d/b.json", "1 {\"n\":3}"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::pair<std::string, std::string>> members = {{"a.json", first}};
    if (std::string(c.format) != "gz") members = {{"a.json", first}, {"d/", ""}, {"d/b.json", second}};
    const std::string path = Pack(c.name, c.format, members);
    Collected sink;
    sink.padding = 64;
    sink.folder = folder_;
    LineReader reader;
    ASSERT_TRUE(reader.Read(path, sink)) << reader.error();
    EXPECT_EQ(sink.events, c.events);
  }
}

TEST_F(LineReaderTest, FailuresSayWhichFileAndWhy) {
  LineReader reader;
  Collected sink;
  sink.folder = folder_;
  EXPECT_FALSE(reader.Read(folder_ + "/missing.jsonl", sink));
  EXPECT_EQ(reader.error(), "cannot open " + folder_ + "/missing.jsonl: No such file or directory");
  EXPECT_FALSE(reader.Read(folder_, sink));
  EXPECT_EQ(reader.error(), folder_ + ": Is a directory");

  // A gzip stream cut short: the lines before the cut arrive, then the error.
  std::string packed;
  {
    std::ifstream in(Pack("whole.gz", "gz", {{"x", std::string(100000, 'a') + "\n"}}), std::ios::binary);
    packed.assign(std::istreambuf_iterator<char>(in), {});
  }
  const std::string cut = Write("cut.gz", packed.substr(0, packed.size() / 2));
  EXPECT_FALSE(reader.Read(cut, sink));
  EXPECT_EQ(reader.error().rfind(cut + ": ", 0), 0u) << reader.error();
}

}  // namespace
}  // namespace evreplay
