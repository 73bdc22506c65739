// The generic frame, driven by operations and records declared only here.
#include "service/CallFrame.h"

#include <gtest/gtest.h>
#include <thrift/TApplicationException.h>

#include <map>
#include <vector>

#include "FakeServiceTransport.h"

namespace {

using namespace testing_support;
using apache::thrift::TApplicationException;
using apache::thrift::protocol::TBinaryProtocol;
using TevrinAV::WideString;
using TevrinAV::wire::Arg;
using TevrinAV::wire::ArgList;

enum class Colour : int32_t { Red = 1 };

#define TEVRIN_RECORD_Inner(FIELD) FIELD(1, count, int64_t)
struct Inner {
  TEVRIN_RECORD_MEMBERS(Inner)
};
#define TEVRIN_RECORD_Sample(FIELD)                                                                               \
  FIELD(1, number, int32_t) FIELD(2, text, WideString) FIELD(3, colour, Colour) FIELD(4, changes, std::map<int64_t, bool>) \
  FIELD(5, names, std::vector<WideString>) FIELD(6, inner, Inner)
struct Sample {
  TEVRIN_RECORD_MEMBERS(Sample)
};

}  // namespace

namespace TevrinAV::wire {
TEVRIN_RECORD_TRAITS(Inner)
TEVRIN_RECORD_TRAITS(Sample)
}  // namespace TevrinAV::wire

namespace {

TEVRIN_DESCRIBE_OPERATION(ServiceRpc, Store, void, true, Arg<1, WideString>, Arg<2, bool>, Arg<3, int64_t>)
TEVRIN_DESCRIBE_OPERATION(ServiceRpc, Fetch, Sample, true, Arg<1, int32_t>)
TEVRIN_DESCRIBE_OPERATION(ServiceRpc, Count, int64_t, false, )
TEVRIN_DESCRIBE_OPERATION(ServiceRpc, Touch, void, false, )
TEVRIN_DESCRIBE_OPERATION(ServiceRpc, List, std::vector<Inner>, false, )

class CallFrameTest : public ::testing::Test {
protected:
  Bytes requestBody(const std::string& name) {
    Bytes header = Cat({{0x80, 0x01, 0x00, 0x01}, Str(name), I32(0)});
    const Bytes& sent = transport_->sent();
    EXPECT_TRUE(std::equal(header.begin(), header.end(), sent.begin()));
    return Bytes(sent.begin() + static_cast<std::ptrdiff_t>(header.size()), sent.end());
  }

  std::shared_ptr<FakeServiceTransport> transport_ = std::make_shared<FakeServiceTransport>();
  std::shared_ptr<TBinaryProtocol> protocolPointer_ = TevrinAV::wire::MakeServiceProtocol(transport_);
  TBinaryProtocol& protocol_ = *protocolPointer_;
};

TEST_F(CallFrameTest, ArgumentsAreWrittenInIdOrderWithEveryField) {
  TevrinAV::wire::SendCall<Store>(protocol_, WideString(u"a\u00E9"), true, int64_t{-2});
  EXPECT_EQ(requestBody("Store"), Cat({Field(11, 1), Str("a\xC3\xA9"), Field(2, 2), {1}, Field(10, 3), I64(-2), {0}}));
  EXPECT_EQ(transport_->flushes(), 1);
}

TEST_F(CallFrameTest, TextIsSentOnlyUpToItsFirstNul) {
  TevrinAV::wire::SendCall<Store>(protocol_, WideString(u"ab\0cd", 5), false, int64_t{0});
  EXPECT_EQ(requestBody("Store"), Cat({Field(11, 1), Str("ab"), Field(2, 2), {0}, Field(10, 3), I64(0), {0}}));
}

TEST_F(CallFrameTest, EmptyTextIsAZeroLengthString) {
  TevrinAV::wire::SendCall<Store>(protocol_, WideString(), false, int64_t{0});
  EXPECT_EQ(requestBody("Store"), Cat({Field(11, 1), I32(0), Field(2, 2), {0}, Field(10, 3), I64(0), {0}}));
}

TEST_F(CallFrameTest, OperationWithoutArgumentsSendsTheStopByteAlone) {
  TevrinAV::wire::SendCall<Count>(protocol_);
  EXPECT_EQ(requestBody("Count"), Bytes{0});
}

TEST_F(CallFrameTest, OperationWithoutResultAcceptsAnEmptyResult) {
  transport_->queueReply(Cat({ReplyHeader("Store"), {0}}));
  EXPECT_NO_THROW(TevrinAV::wire::ReceiveReply<Store>(protocol_));
}

TEST_F(CallFrameTest, OperationWithoutResultSkipsAFieldZero) {
  transport_->queueReply(Cat({ReplyHeader("Store"), Field(11, 0), Str("x"), {0}}));
  EXPECT_NO_THROW(TevrinAV::wire::ReceiveReply<Store>(protocol_));
  EXPECT_EQ(transport_->unread(), 0u);
}

TEST_F(CallFrameTest, OperationWithoutResultRaisesItsFailure) {
  transport_->queueReply(Cat({ReplyHeader("Store"), Field(12, 1), Field(8, 1), I32(5), {0}, {0}}));
  try {
    TevrinAV::wire::ReceiveReply<Store>(protocol_);
    FAIL() << "no exception";
  } catch (const TevrinAV::OperationFailed& e) {
    EXPECT_EQ(e.number1, 5);
  }
}

TEST_F(CallFrameTest, OperationThatCannotFailSkipsFieldOne) {
  transport_->queueReply(Cat({ReplyHeader("Touch"), Field(12, 1), Field(8, 1), I32(5), {0}, {0}}));
  EXPECT_NO_THROW(TevrinAV::wire::ReceiveReply<Touch>(protocol_));
  transport_->queueReply(Cat({ReplyHeader("Count"), Field(12, 1), {0}, {0}}));
  int64_t count = 0;
  try {
    TevrinAV::wire::ReceiveReply<Count>(protocol_, &count);
    FAIL() << "no exception";
  } catch (const TApplicationException& e) {
    EXPECT_STREQ(e.what(), "Count failed: unknown result");
  }
}

TEST_F(CallFrameTest, NumberResultIsReturned) {
  transport_->queueReply(Cat({ReplyHeader("Count"), Field(10, 0), I64(INT64_MIN), {0}}));
  int64_t count = 0;
  TevrinAV::wire::ReceiveReply<Count>(protocol_, &count);
  EXPECT_EQ(count, INT64_MIN);
}

TEST_F(CallFrameTest, RecordIsReadIntoTheCallersObjectWithoutClearingIt) {
  Sample sample;
  sample.number = 41;
  sample.isset.number = true;
  sample.text = u"kept";
  sample.changes = {{100, true}};
  transport_->queueReply(Cat({ReplyHeader("Fetch"),
                              Field(12, 0),  // the record
                              Field(8, 3),
                              I32(42),  // colour, a number without a name
                              Field(13, 4),
                              {10, 2},
                              I32(4),  // changes
                              I64(9),
                              {1},
                              I64(-1),
                              {0},
                              I64(7),
                              {1},
                              I64(7),
                              {0},
                              Field(15, 5),
                              {11},
                              I32(2),
                              Str("x"),
                              Str("\xE2\x82\xAC"),  // names
                              Field(12, 6),
                              Field(10, 1),
                              I64(3),
                              {0},  // inner
                              Field(11, 1),
                              Str("wrong type for number"),  // skipped
                              {0},
                              {0}}));
  TevrinAV::wire::ReceiveReply<Fetch>(protocol_, &sample);

  EXPECT_EQ(sample.number, 41);
  EXPECT_TRUE(sample.isset.number);
  EXPECT_EQ(sample.text, u"kept");
  EXPECT_FALSE(sample.isset.text);
  EXPECT_EQ(static_cast<int32_t>(sample.colour), 42);
  EXPECT_EQ(sample.changes, (std::map<int64_t, bool>{{-1, false}, {7, false}, {9, true}}));
  EXPECT_EQ(sample.names, (std::vector<WideString>{u"x", u"\u20AC"}));
  EXPECT_EQ(sample.inner.count, 3);
  EXPECT_TRUE(sample.inner.isset.count);
  EXPECT_TRUE(sample.isset.colour && sample.isset.changes && sample.isset.names && sample.isset.inner);
}

TEST_F(CallFrameTest, EmptyContainersReplaceWhatTheCallerHeld) {
  Sample sample;
  sample.changes = {{1, true}};
  sample.names = {u"old"};
  transport_->queueReply(
      Cat({ReplyHeader("Fetch"), Field(12, 0), Field(13, 4), {10, 2}, I32(0), Field(15, 5), {11}, I32(0), {0}, {0}}));
  TevrinAV::wire::ReceiveReply<Fetch>(protocol_, &sample);
  EXPECT_TRUE(sample.changes.empty());
  EXPECT_TRUE(sample.names.empty());
  EXPECT_TRUE(sample.isset.changes);
}

TEST_F(CallFrameTest, FailureLeavesTheCallersRecordUntouched) {
  Sample sample;
  sample.number = 5;
  transport_->queueReply(Cat({ReplyHeader("Fetch"), Field(12, 1), {0}, {0}}));
  EXPECT_THROW(TevrinAV::wire::ReceiveReply<Fetch>(protocol_, &sample), TevrinAV::OperationFailed);
  EXPECT_EQ(sample.number, 5);
  EXPECT_FALSE(sample.isset.number);
}

// Counts that no message could hold are refused before anything is reserved.
TEST_F(CallFrameTest, HugeContainerCountsAreRefused) {
  const Bytes headers[] = {
      Cat({Field(15, 5), {11}, I32(0x7FFFFFFF)}),      // list of texts
      Cat({Field(13, 4), {10, 2}, I32(0x7FFFFFFF)}),   // map
      Cat({Field(15, 9), {10}, I32(0x10000000)}),      // unknown list field, skipped
      Cat({Field(13, 9), {10, 10}, I32(0x08000001)}),  // unknown map field, skipped
  };
  for (const Bytes& header : headers) {
    SCOPED_TRACE(::testing::PrintToString(header));
    auto transport = std::make_shared<FakeServiceTransport>();
    auto protocol = TevrinAV::wire::MakeServiceProtocol(transport);
    transport->queueReply(Cat({ReplyHeader("Fetch"), Field(12, 0), header, Str("only one"), {0}, {0}}));
    Sample sample;
    EXPECT_THROW(TevrinAV::wire::ReceiveReply<Fetch>(*protocol, &sample), apache::thrift::TException);
  }
}

// Empty structs are one byte each on the wire, but the library's size check
// counts them as none: the elements are read as they come, not reserved.
TEST_F(CallFrameTest, HugeCountOfRecordsEndsWithTheData) {
  std::vector<Inner> items;
  transport_->queueReply(Cat({ReplyHeader("List"), Field(15, 0), {12}, I32(100000000), {0}, {0}}));
  try {
    TevrinAV::wire::ReceiveReply<List>(protocol_, &items);
    FAIL() << "no exception";
  } catch (const apache::thrift::transport::TTransportException& e) {
    EXPECT_STREQ(e.what(), "No more data to read.");
  }
}

TEST_F(CallFrameTest, RecordsWriteOnlyTheFieldsThatAreSet) {
  Sample sample;
  sample.text = u"t";
  sample.isset.text = true;
  sample.number = 9;  // not set: not written
  TevrinAV::wire::WriteRecord(protocol_, sample);
  EXPECT_EQ(transport_->sent(), Cat({Field(11, 2), Str("t"), {0}}));
}

}  // namespace
