// Inputs told by their content: plain, compressed and archived logs, folders,
// wrong and broken inputs, names made safe, and a stop inside any read.
#include "LogReader.h"

#include <archive.h>
#include <archive_entry.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "Collected.h"

namespace evreplay {
namespace {

using Members = std::vector<std::pair<std::string, std::string>>;

class LogReaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/evreplay-logs-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    folder_ = pattern;
    sink_.folder = folder_;
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }

  std::string Write(const std::string& name, const std::string& data) {
    const std::string path = folder_ + "/" + name;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << data;
    return path;
  }
  static std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }

  // Packs `members` (name, data) with libarchive: "gz", "bz2", "xz", "zst"
  // (one stream of the first member's data), "zip", "7z", "tar", "tar.gz".
  std::string Pack(const std::string& name, const std::string& format, const Members& members) {
    const std::string path = folder_ + "/" + name;
    archive* writing = archive_write_new();
    const bool stream = format == "gz" || format == "bz2" || format == "xz" || format == "zst";
    if (stream) archive_write_set_format_raw(writing);
    else if (format == "zip") archive_write_set_format_zip(writing);
    else if (format == "7z") archive_write_set_format_7zip(writing);
    else archive_write_set_format_pax_restricted(writing);
    if (format == "gz" || format == "tar.gz") archive_write_add_filter_gzip(writing);
    if (format == "bz2") archive_write_add_filter_bzip2(writing);
    if (format == "xz") archive_write_add_filter_xz(writing);
    if (format == "zst") archive_write_add_filter_zstd(writing);
    EXPECT_EQ(archive_write_open_filename(writing, path.c_str()), ARCHIVE_OK) << archive_error_string(writing);
    for (const auto& [member, data] : members) {
      archive_entry* entry = archive_entry_new();
      archive_entry_set_pathname(entry, member.c_str());
      archive_entry_set_filetype(entry, member.back() == '/' ? AE_IFDIR : AE_IFREG);
      archive_entry_set_perm(entry, 0644);
      archive_entry_set_size(entry, static_cast<la_int64_t>(data.size()));
      EXPECT_EQ(archive_write_header(writing, entry), ARCHIVE_OK) << archive_error_string(writing);
      if (!data.empty()) archive_write_data(writing, data.data(), data.size());
      archive_entry_free(entry);
      if (stream) break;
    }
    archive_write_close(writing);
    archive_write_free(writing);
    return path;
  }

  // Reads `path`; answers whether it went without a problem.
  bool Read(const std::string& path) {
    LogReader reader(sink_, [this](const std::string& problem) { problems_.push_back(problem); });
    reader.StopOn(&stop_);
    return reader.Read(path);
  }

  std::string folder_;
  Collected sink_;
  std::vector<std::string> problems_;
  volatile std::sig_atomic_t stop_ = 0;
};

const std::string kFirst = "{\"n\":1}\n{\"n\":2}\n";
const std::string kSecond = "{\"n\":3}";

TEST_F(LogReaderTest, CompressedLogsAreTheirDecompressedLines) {
  for (const char* format : {"gz", "bz2", "xz", "zst"}) {
    SCOPED_TRACE(format);
    sink_.events.clear();
    const std::string name = std::string("log.") + format;
    EXPECT_TRUE(Read(Pack(name, format, {{"x", kFirst}})));
    EXPECT_EQ(sink_.events, (std::vector<std::string>{"source " + name, "1 {\"n\":1}", "2 {\"n\":2}"}));
  }
  EXPECT_EQ(problems_, std::vector<std::string>{});
}

TEST_F(LogReaderTest, ArchivesGiveTheLinesOfEachMember) {
  for (const char* format : {"zip", "7z", "tar", "tar.gz"}) {
    SCOPED_TRACE(format);
    sink_.events.clear();
    const std::string name = std::string("log.") + format;
    EXPECT_TRUE(Read(Pack(name, format, {{"a.json", kFirst}, {"d/", ""}, {"d/b.json", kSecond}})));
    EXPECT_EQ(sink_.events, (std::vector<std::string>{"source " + name + ":a.json", "1 {\"n\":1}", "2 {\"n\":2}",
                                                      "source " + name + ":d/b.json", "1 {\"n\":3}"}));
  }
  EXPECT_EQ(problems_, std::vector<std::string>{});
}

TEST_F(LogReaderTest, ArchivesAndStreamsInsideEachOther) {
  const std::string gz = Slurp(Pack("inner.gz", "gz", {{"x", kFirst}}));
  const std::string zip = Slurp(Pack("inner.zip", "zip", {{"a.json", kSecond}}));
  EXPECT_TRUE(Read(Pack("outer.tar", "tar", {{"day1.gz", gz}, {"day2.zip", zip}})));
  EXPECT_TRUE(Read(Pack("outer.zip.gz", "gz", {{"x", zip}})));
  EXPECT_EQ(sink_.events,
            (std::vector<std::string>{"source outer.tar:day1.gz", "1 {\"n\":1}", "2 {\"n\":2}",
                                      "source outer.tar:day2.zip:a.json", "1 {\"n\":3}",
                                      "source outer.zip.gz:a.json", "1 {\"n\":3}"}));
}

// A gzip stream whose content starts with NUL bytes is that content, not an
// empty tar archive.
TEST_F(LogReaderTest, ACompressedLogIsWhatItHolds) {
  const std::string content = std::string(1024, '\0') + "\n" + kFirst;
  EXPECT_TRUE(Read(Write("plain.jsonl", content)));
  EXPECT_TRUE(Read(Pack("nul.gz", "gz", {{"x", content}})));
  EXPECT_EQ(sink_.events, (std::vector<std::string>{"source plain.jsonl", "1 " + std::string(1024, '\0'), "2 {\"n\":1}",
                                                    "3 {\"n\":2}", "source nul.gz",
                                                    "1 " + std::string(1024, '\0'), "2 {\"n\":1}", "3 {\"n\":2}"}));
}

TEST_F(LogReaderTest, AFolderIsEveryFileBelowItInNameOrder) {
  Write("logs/b.jsonl", kSecond);
  Write("logs/a/z.jsonl", kSecond);
  Write("logs/A.jsonl", kSecond);
  Write("logs/.git/objects/x.jsonl", kSecond);  // hidden: not read
  Write("logs/.b.jsonl.swp", kSecond);
  EXPECT_TRUE(Read(folder_ + "/logs"));
  EXPECT_EQ(sink_.events, (std::vector<std::string>{"source logs/A.jsonl", "1 {\"n\":3}", "source logs/a/z.jsonl",
                                                    "1 {\"n\":3}", "source logs/b.jsonl", "1 {\"n\":3}"}));
}

TEST_F(LogReaderTest, WrongInputsAreNamedAndTheOthersStillRead) {
  Write("mix/1.png", "\x89PNG\r\n\x1a\n" + std::string(100, '\0'));
  Write("mix/2.jsonl", kSecond);
  Write("mix/3.evt", std::string("\x30\0\0\0LfLe", 8) + std::string(100, '\0'));
  Write("mix/4.bin", "\x01\x02\x03 random \xff\xfe bytes");
  Write("mix/5.exe", "MZ\x90");
  Write("mix/6.jsonl", "");
  EXPECT_FALSE(Read(folder_ + "/mix"));
  EXPECT_EQ(sink_.events, (std::vector<std::string>{"source mix/2.jsonl", "1 {\"n\":3}", "source mix/6.jsonl"}));
  const std::string at = folder_ + "/mix/";
  EXPECT_EQ(problems_,
            (std::vector<std::string>{
                at + "1.png: a PNG image, not an event log",
                at + "3.evt: a Windows XP event log (.evt), which evreplay does not read (wevtutil epl LOG.evt "
                     "LOG.evtx /lf:true converts it)",
                at + "4.bin: not an event log (EVTX or JSON lines)",
                at + "5.exe: a Windows program, not an event log"}));
}

TEST_F(LogReaderTest, FailuresSayWhichInputAndWhy) {
  EXPECT_FALSE(Read(folder_ + "/missing.jsonl"));
  EXPECT_FALSE(Read(Pack("empty.zip", "zip", {{"d/", ""}})));
  // A gzip stream cut short: the lines before the cut arrive, then the problem.
  const std::string whole = Slurp(Pack("whole.gz", "gz", {{"x", std::string(100000, 'a') + "\n"}}));
  const std::string cut = Write("cut.gz", whole.substr(0, whole.size() / 2));
  EXPECT_FALSE(Read(cut));
  const std::string packed7z = Slurp(Pack("a.7z", "7z", {{"a.json", kFirst}}));
  EXPECT_FALSE(Read(Pack("a.7z.gz", "gz", {{"x", packed7z}})));
  ASSERT_EQ(problems_.size(), 4u);
  EXPECT_EQ(problems_[0], folder_ + "/missing.jsonl: cannot open: No such file or directory");
  EXPECT_EQ(problems_[1], folder_ + "/empty.zip: an archive without files");
  EXPECT_EQ(problems_[2].rfind(cut + ": ", 0), 0u) << problems_[2];
  EXPECT_EQ(problems_[3], folder_ +
                              "/a.7z.gz: a 7z archive, which can be read from a file only, not from a stream or "
                              "another archive");
}

TEST_F(LogReaderTest, NamesFromArchivesReachNoTerminalRaw) {
  EXPECT_TRUE(Read(Pack("names.zip", "zip", {{"a\x1b]0;owned\x07\nb.json", kSecond}})));
  EXPECT_EQ(sink_.events[0], "source names.zip:a\\x1B]0;owned\\x07\\x0Ab.json");
  EXPECT_FALSE(Read(Pack("png.zip", "zip", {{"\x1b[2J.png", "\x89PNG\r\n\x1a\n"}})));
  EXPECT_EQ(problems_, std::vector<std::string>{folder_ + "/png.zip:\\x1B[2J.png: a PNG image, not an event log"});
}

// A stop requested while a line of no end is read ends the read at once.
TEST_F(LogReaderTest, AStopEndsAnyRead) {
  std::thread stopper([this] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    stop_ = 15;
  });
  const std::string endless = "/dev/zero";
  LogReader reader(sink_, [this](const std::string& problem) { problems_.push_back(problem); });
  reader.StopOn(&stop_);
  // /dev/zero is NUL bytes: an empty log that never ends.
  EXPECT_FALSE(reader.Read(endless));
  EXPECT_TRUE(reader.stopped());
  stopper.join();
  EXPECT_EQ(problems_, std::vector<std::string>{});
}

}  // namespace
}  // namespace evreplay
