#include "Content.h"

#include <gtest/gtest.h>

#include <string>

namespace evreplay {
namespace {

using namespace std::string_literals;

TEST(ContentTest, TheFirstBytesTellTheKind) {
  struct Case {
    std::string head;
    ContentKind kind;
  };
  const Case cases[] = {
      {"", ContentKind::Empty},
      {" \r\n\t\0\0"s, ContentKind::Empty},
      {"{\"EventID\":1}\n", ContentKind::JsonLines},
      {"\xef\xbb\xbf{\"EventID\":1}", ContentKind::JsonLines},
      {std::string(1024, '\0') + "\n{}", ContentKind::JsonLines},
      {"  {\x01 binary later", ContentKind::JsonLines},
      {"ID\":1}\n{\"EventID\":2}\n", ContentKind::JsonLines},  // a log cut in its first line
      {"ElfFile\0\0\0"s, ContentKind::Evtx},
      {"\x1f\x8b\x08", ContentKind::Compressed},
      {"BZh91AY", ContentKind::Compressed},
      {"\xfd" "7zXZ\0"s, ContentKind::Compressed},
      {"\x28\xb5\x2f\xfd", ContentKind::Compressed},
      {"PK\x03\x04", ContentKind::Archive},
      {"PK\x05\x06", ContentKind::Archive},
      {std::string(257, 'x') + "ustar\0"s, ContentKind::Archive},
      {"7z\xbc\xaf\x27\x1c", ContentKind::SevenZip},
      {"random\x01\x02\n{\"a\":1}", ContentKind::Other},
      {"[{\"EventID\":1}]", ContentKind::Other},
      {"<Events>", ContentKind::Other},
      {"time,host\n", ContentKind::Other},
      {"\xff\xfe{\0"s, ContentKind::Other},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.head));
    EXPECT_EQ(Classify(c.head).kind, c.kind);
  }
}

TEST(ContentTest, OtherContentSaysWhatItLooksLike) {
  EXPECT_EQ(Classify("[{}]").what, "a JSON array, where evreplay reads one JSON object a line (jq -c '.[]' turns it into lines)");
  EXPECT_EQ(Classify("\xff\xfe{").what, "text in UTF-16, where evreplay reads UTF-8 (iconv -f UTF-16 -t UTF-8 converts it)");
  EXPECT_EQ(Classify("GIF89a").what, "a GIF image, not an event log");
  EXPECT_EQ(Classify("a,b\n1,2\n").what, "text that is not JSON lines, nor any event log evreplay reads");
}

}  // namespace
}  // namespace evreplay
