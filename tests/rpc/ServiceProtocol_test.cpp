// Replies that announce more than they send, and type bytes that name no wire
// type: one clean exception each, and memory that follows the bytes.
#include "service/ServiceProtocol.h"

#include <gtest/gtest.h>
#include <thrift/TApplicationException.h>
#include <thrift/protocol/TProtocolException.h>
#include <thrift/transport/TBufferTransports.h>

#include <functional>
#include <string>

#include "AllocationProbe.h"
#include "FakeServiceTransport.h"
#include "service/ServiceRpc.h"

namespace {

using namespace testing_support;
using apache::thrift::TApplicationException;
using apache::thrift::protocol::TProtocolException;
using apache::thrift::transport::TBufferedTransport;
using TevrinAV::ServiceRpcClient;

constexpr int32_t kTwoGiB = 0x7FFFFFFF;
constexpr std::size_t kSmall = 1 << 20;

void CallGetOption(ServiceRpcClient& client) {
  TevrinAV::WideString text;
  client.GetOption(text, 1);
}
void CallGetIncompatibleApplications(ServiceRpcClient& client) {
  std::vector<TevrinAV::WideString> names;
  client.GetIncompatibleApplications(names);
}

struct HostileReply {
  const char* name;
  Bytes reply;
  std::function<void(ServiceRpcClient&)> call;
};

// Each announces two gigabytes (or just under what a message may hold) and
// then sends a few bytes before its end.
const HostileReply kOverAnnounced[] = {
    {"unversioned message name", Cat({I32(kTwoGiB), Bytes(64, 'R')}), CallGetOption},
    {"versioned message name", Cat({{0x80, 0x01, 0x00, 0x02}, I32(kTwoGiB), Bytes(64, 'R')}), CallGetOption},
    {"text result", Cat({ReplyHeader("GetOption"), Field(11, 0), I32(kTwoGiB), Bytes(64, 'x')}), CallGetOption},
    {"skipped text", Cat({ReplyHeader("GetOption"), Field(11, 9), I32(kTwoGiB), Bytes(64, 'x')}), CallGetOption},
    {"exception message", Cat({ReplyHeader("GetOption", 3), Field(11, 1), I32(kTwoGiB), Bytes(64, 'x')}),
     CallGetOption},
    {"failure text", Cat({ReplyHeader("GetOption"), Field(12, 1), Field(11, 2), I32(kTwoGiB), Bytes(64, 'x')}),
     CallGetOption},
    {"list of texts", Cat({ReplyHeader("GetIncompatibleApplications"), Field(15, 0), {11}, I32(kTwoGiB), Str("a")}),
     CallGetIncompatibleApplications},
    {"text within the message limit",
     Cat({ReplyHeader("GetOption"), Field(11, 0), I32(100 * 1024 * 1024), Bytes(64, 'x')}), CallGetOption},
};

class ServiceProtocolTest : public ::testing::TestWithParam<bool> {
protected:
  // The client over the fake pipe, directly or through the buffered transport.
  ServiceRpcClient client() {
    std::shared_ptr<apache::thrift::transport::TTransport> transport = fake_;
    if (GetParam()) transport = std::make_shared<TBufferedTransport>(fake_, config_);
    return ServiceRpcClient(TevrinAV::wire::MakeServiceProtocol(transport));
  }
  // Messages of at most `bytes` from now on, for the next fake pipe.
  void limitMessagesTo(int bytes) {
    config_ = std::make_shared<apache::thrift::TConfiguration>(bytes);
    fake_ = std::make_shared<FakeServiceTransport>(config_);
  }

  std::shared_ptr<apache::thrift::TConfiguration> config_;

  std::shared_ptr<FakeServiceTransport> fake_ = std::make_shared<FakeServiceTransport>();
};

TEST_P(ServiceProtocolTest, AnnouncementsBeyondTheBytesCostNoMemory) {
  for (const HostileReply& c : kOverAnnounced) {
    SCOPED_TRACE(c.name);
    fake_ = std::make_shared<FakeServiceTransport>();
    fake_->queueReply(c.reply);
    ServiceRpcClient rpc = client();
    AllocationProbe probe;
    EXPECT_THROW(c.call(rpc), apache::thrift::TException);
    EXPECT_LT(probe.largest(), kSmall);
  }
}

TEST_P(ServiceProtocolTest, StringLargerThanAMessageIsRefusedAtOnce) {
  fake_->queueReply(Cat({ReplyHeader("GetOption"), Field(11, 0), I32(kTwoGiB)}));
  ServiceRpcClient rpc = client();
  try {
    CallGetOption(rpc);
    FAIL() << "no exception";
  } catch (const TProtocolException& e) {
    EXPECT_EQ(e.getType(), TProtocolException::SIZE_LIMIT);
    EXPECT_STREQ(e.what(), "Reply announces a string of 2147483647 bytes; a message holds at most 104857600");
  }
}

TEST_P(ServiceProtocolTest, TextThatReallyArrivesIsReadWhole) {
#ifdef _WIN32
  // Wine under an emulator leaves a 32-bit program some 60 MB of address
  // space; the reading is the same at any size beyond the first chunks.
  const std::size_t size = 4 * 1024 * 1024;
#else
  const std::size_t size = 16 * 1024 * 1024;
#endif
  fake_->queueReply(Cat({ReplyHeader("GetOption"), Field(11, 0), Str(std::string(size, 'a')), {0}}));
  ServiceRpcClient rpc = client();
  TevrinAV::WideString text;
  AllocationProbe probe;
  rpc.GetOption(text, 1);
  EXPECT_EQ(text.size(), size);
  EXPECT_LE(probe.largest(), 2 * size + kSmall) << "at most the UTF-16 form of what arrived";
}

// Expects `call` to fail with SIZE_LIMIT and a message that starts with
// `start`; answers the whole message.
std::string ExpectSizeLimit(const std::function<void()>& call, const std::string& start) {
  try {
    call();
    ADD_FAILURE() << "no exception, expected: " << start;
  } catch (const TProtocolException& e) {
    EXPECT_EQ(e.getType(), TProtocolException::SIZE_LIMIT);
    EXPECT_EQ(std::string(e.what()).substr(0, start.size()), start);
    return e.what();
  }
  return "";
}

// Containers of elements that cost one byte on the wire each and far more in
// memory: each is charged, so two megabytes never become hundreds.
TEST_P(ServiceProtocolTest, EmptyElementsTakeMemoryInProportionToTheirBytes) {
  constexpr int32_t kCount = 2'000'000;
  const struct {
    const char* name;
    Bytes reply;
    std::function<void(ServiceRpcClient&)> call;
  } cases[] = {
      {"empty records", Cat({ReplyHeader("GetSkipList"), Field(15, 0), {12}, I32(kCount), Bytes(kCount, 0), {0}}),
       [](ServiceRpcClient& rpc) {
         std::vector<TevrinAV::SkipItem> items;
         rpc.GetSkipList(items);
       }},
      {"empty texts",
       Cat({ReplyHeader("GetIncompatibleApplications"), Field(15, 0), {11}, I32(kCount / 4), Bytes(kCount, 0), {0}}),
       CallGetIncompatibleApplications},
      {"map of bools", Cat({ReplyHeader("GetCollectionDelta"), Field(12, 0), Field(13, 2), {10, 2},
                            I32(kCount / 9), Bytes(kCount / 9 * 9, 0), {0, 0}}),
       [](ServiceRpcClient& rpc) {
         TevrinAV::CollectionDelta delta;
         rpc.GetCollectionDelta(delta, 1, 2);
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fake_ = std::make_shared<FakeServiceTransport>();
    fake_->queueReply(c.reply);
    ServiceRpcClient rpc = client();
    AllocationProbe probe;
    try {
      c.call(rpc);
    } catch (const TProtocolException& e) {
      EXPECT_EQ(e.getType(), TProtocolException::SIZE_LIMIT);
      EXPECT_EQ(std::string(e.what()).rfind("Reply of ", 0), 0u) << e.what();
    }
    EXPECT_LE(probe.peak(), 16 * c.reply.size() + 24 * kSmall);
  }
}

TEST_P(ServiceProtocolTest, MemoryChargeNamesWhatTheReplyTook) {
  constexpr int32_t kCount = 1'000'000;
  fake_->queueReply(Cat({ReplyHeader("GetSkipList"), Field(15, 0), {12}, I32(kCount), Bytes(kCount, 0)}));
  ServiceRpcClient rpc = client();
  std::vector<TevrinAV::SkipItem> items;
  const std::string message = ExpectSizeLimit([&] { rpc.GetSkipList(items); }, "Reply of ");
  EXPECT_NE(message.find(" bytes of memory; a reply may take 32 times its bytes and 4194304 more"), std::string::npos)
      << message;
}

// A reply is one message: what it announces and what it holds count
// together against the limit.
TEST_P(ServiceProtocolTest, ReplyLargerThanAMessageEndsAtOnce) {
  constexpr int kLimit = 1 << 20;
  limitMessagesTo(kLimit);
  Bytes texts = Cat({ReplyHeader("GetIncompatibleApplications"), Field(15, 0), {11}, I32(300)});
  const Bytes text = Str(std::string(16 * 1024, 'a'));
  for (int i = 0; i < 300; ++i) texts.insert(texts.end(), text.begin(), text.end());
  fake_->queueReply(texts);
  ServiceRpcClient rpc = client();
  ExpectSizeLimit([&] { CallGetIncompatibleApplications(rpc); }, "Reply announces a string of 16384 bytes after ");
  EXPECT_GT(fake_->unread(), texts.size() - kLimit - 64 * 1024) << "nothing read past the limit but a buffer";

  // Fields that announce nothing: the count of bytes itself.
  limitMessagesTo(kLimit);
  Bytes fields = ReplyHeader("ReloadCore");
  for (int i = 0; i < kLimit / 7 + 1; ++i) {
    const Bytes field = Cat({Field(8, 9), I32(i)});
    fields.insert(fields.end(), field.begin(), field.end());
  }
  fake_->queueReply(fields);
  ServiceRpcClient rpc2 = client();
  ExpectSizeLimit([&] { rpc2.ReloadCore(); }, "Reply runs past 1048576 bytes; a message holds at most 1048576");
}

// A type byte is checked before it becomes an enumeration value.
TEST_P(ServiceProtocolTest, TypeBytesThatNameNoWireTypeAreMalformed) {
  const Bytes bodies[] = {
      Cat({{0xC8}, I16(0), {0}}),                    // field type
      Cat({Field(15, 0), {0xC8}, I32(0), {0}}),      // list element type
      Cat({Field(14, 0), {0x00}, I32(0), {0}}),      // set of stops
      Cat({Field(13, 7), {0x80, 0x02}, I32(0), {0}}),  // map key type, skipped field
  };
  for (const Bytes& body : bodies) {
    SCOPED_TRACE(::testing::PrintToString(body));
    fake_ = std::make_shared<FakeServiceTransport>();
    fake_->queueReply(Cat({ReplyHeader("GetIncompatibleApplications"), body}));
    ServiceRpcClient rpc = client();
    try {
      CallGetIncompatibleApplications(rpc);
      FAIL() << "no exception";
    } catch (const TProtocolException& e) {
      EXPECT_EQ(e.getType(), TProtocolException::INVALID_DATA);
      EXPECT_STREQ(e.what(), "invalid TType");
    }
  }
}

TEST_P(ServiceProtocolTest, UnknownMessageTypeIsAnInvalidMessageType) {
  for (uint8_t type : {uint8_t{0x00}, uint8_t{0x05}, uint8_t{0x99}, uint8_t{0xFF}}) {
    SCOPED_TRACE(int{type});
    fake_ = std::make_shared<FakeServiceTransport>();
    fake_->queueReply(Cat({ReplyHeader("ReloadCore", type), Field(2, 0), {1}, {0}}));
    ServiceRpcClient rpc = client();
    try {
      rpc.ReloadCore();
      FAIL() << "no exception";
    } catch (const TApplicationException& e) {
      EXPECT_EQ(e.getType(), TApplicationException::INVALID_MESSAGE_TYPE);
    }
    EXPECT_EQ(fake_->unread(), 0u) << "the body is skipped";
  }
}

INSTANTIATE_TEST_SUITE_P(Transports, ServiceProtocolTest, ::testing::Bool(),
                         [](const auto& test) { return test.param ? "Buffered" : "Memory"; });

}  // namespace
