#include <gtest/gtest.h>
#include <thrift/TApplicationException.h>
#include <thrift/protocol/TProtocolException.h>

#include <optional>
#include <type_traits>

#include "FakeServiceTransport.h"
#include "service/ServiceRpc.h"

namespace {

using namespace testing_support;
using apache::thrift::TApplicationException;
using apache::thrift::protocol::TBinaryProtocol;
using apache::thrift::protocol::TProtocolException;
using apache::thrift::transport::TTransportException;

// The members expanded from the operation table have the signatures that
// Thrift's generated interfaces have: results that are objects through the
// first parameter, values returned, scalars by value, the rest by reference.
namespace signatures {
using namespace TevrinAV;
using Client = ServiceRpcClient;
static_assert(std::is_same_v<decltype(&ServiceRpcIf::GetSkipList), void (ServiceRpcIf::*)(std::vector<SkipItem>&)>);
static_assert(std::is_same_v<decltype(static_cast<void (Client::*)(WideString&, int32_t)>(&Client::QueryInformation)),
                             void (Client::*)(WideString&, int32_t)>);
static_assert(std::is_same_v<decltype(&ServiceRpcIf::AddSkipItem),
                             int64_t (ServiceRpcIf::*)(const WideString&, bool, bool)>);
static_assert(std::is_same_v<decltype(&ServiceRpcIf::CreateActionPerformer),
                             int64_t (ServiceRpcIf::*)(const TargetMap&, int64_t)>);
static_assert(std::is_same_v<decltype(&ServiceRpcIf::GetDefaultAction), ActionCode (ServiceRpcIf::*)(int32_t)>);
static_assert(std::is_same_v<decltype(&ServiceRpcIf::ResetOption), void (ServiceRpcIf::*)(int32_t)>);
static_assert(std::is_invocable_r_v<void, decltype(&Client::send_GetSkipList), Client&>);
static_assert(std::is_invocable_r_v<void, decltype(&Client::recv_GetSkipList), Client&, std::vector<SkipItem>&>);
static_assert(std::is_invocable_r_v<bool, decltype(&Client::recv_ReloadCore), Client&>);
static_assert(std::is_invocable_r_v<void, decltype(&Client::send_SetOption), Client&, int32_t, const WideString&>);
}  // namespace signatures

class ServiceRpcClientTest : public ::testing::Test {
protected:
  // What ReloadCore raises on `reply`; a failure of the test when it returns.
  template <class Exception>
  Exception RaisedOn(const Bytes& reply) {
    transport_->queueReply(reply);
    try {
      client_.ReloadCore();
    } catch (const Exception& e) {
      return e;
    }
    ADD_FAILURE() << "no exception";
    return Exception();
  }

  std::shared_ptr<FakeServiceTransport> transport_ = std::make_shared<FakeServiceTransport>();
  TevrinAV::ServiceRpcClient client_{TevrinAV::wire::MakeServiceProtocol(transport_)};
};

TEST_F(ServiceRpcClientTest, ReloadCoreRequestIsTheTwentyThreeBytes) {
  transport_->queueReply(Cat({ReplyHeader("ReloadCore"), Field(2, 0), {1}, {0}}));
  client_.ReloadCore();
  Bytes expected = {0x80, 0x01, 0x00, 0x01, 0x00, 0x00, 0x00, 0x0A, 'R',  'e',  'l', 'o',
                    'a',  'd',  'C',  'o',  'r',  'e',  0x00, 0x00, 0x00, 0x00, 0x00};
  EXPECT_EQ(transport_->sent(), expected);
  EXPECT_EQ(transport_->flushes(), 1);
}

// What a ReloadCore reply must turn into.
struct ReplyCase {
  const char* name;
  Bytes reply;
  std::optional<bool> returns;    // the call returns this
  const char* error;              // or raises an exception with this text
  int applicationErrorType = -1;  // of TApplicationException, where it is one
};
void PrintTo(const ReplyCase& c, std::ostream* out) { *out << c.name; }

const ReplyCase kReloadCoreReplies[] = {
    {"true", Cat({ReplyHeader("ReloadCore"), Field(2, 0), {1}, {0}}), true, nullptr},
    {"false", Cat({ReplyHeader("ReloadCore"), Field(2, 0), {0}, {0}}), false, nullptr},
    {"sequence id 7 accepted", Cat({ReplyHeader("ReloadCore", 2, 7), Field(2, 0), {1}, {0}}), true, nullptr},
    {"old-style header accepted", Cat({Str("ReloadCore"), {2}, I32(0), Field(2, 0), {1}, {0}}), true, nullptr},
    {"result wins over failure",
     Cat({ReplyHeader("ReloadCore"), Field(12, 1), Field(8, 1), I32(3), {0}, Field(2, 0), {1}, {0}}), true, nullptr},
    {"unknown fields of every kind skipped",
     Cat({ReplyHeader("ReloadCore"),
          Field(12, 9),
          Field(15, 1),
          {8},
          I32(2),
          I32(1),
          I32(2),
          {0},
          Field(13, 4),
          {11, 2},
          I32(1),
          Str("k"),
          {1},
          Field(11, 3),
          Str("x"),
          Field(2, 0),
          {1},
          {0}}),
     true, nullptr},
    {"field 0 of the wrong type", Cat({ReplyHeader("ReloadCore"), Field(8, 0), I32(1), {0}}), std::nullopt,
     "ReloadCore failed: unknown result", TApplicationException::MISSING_RESULT},
    {"only an unknown field 5", Cat({ReplyHeader("ReloadCore"), Field(2, 5), {1}, {0}}), std::nullopt,
     "ReloadCore failed: unknown result", TApplicationException::MISSING_RESULT},
    {"empty result", Cat({ReplyHeader("ReloadCore"), {0}}), std::nullopt, "ReloadCore failed: unknown result",
     TApplicationException::MISSING_RESULT},
    {"message type call", Cat({ReplyHeader("ReloadCore", 1), Field(2, 0), {1}, {0}}), std::nullopt,
     "TApplicationException: Invalid message type", TApplicationException::INVALID_MESSAGE_TYPE},
    {"message type oneway", Cat({ReplyHeader("ReloadCore", 4), {0}}), std::nullopt,
     "TApplicationException: Invalid message type", TApplicationException::INVALID_MESSAGE_TYPE},
    {"name in lower case", Cat({ReplyHeader("reloadcore"), Field(2, 0), {1}, {0}}), std::nullopt,
     "TApplicationException: Wrong method name", TApplicationException::WRONG_METHOD_NAME},
    {"exception reply without message", Cat({ReplyHeader("ReloadCore", 3), Field(8, 2), I32(1), {0}}), std::nullopt,
     "TApplicationException: Unknown method", TApplicationException::UNKNOWN_METHOD},
    {"exception reply with message",
     Cat({ReplyHeader("ReloadCore", 3), Field(11, 1), Str("core busy"), Field(8, 2), I32(6), {0}}), std::nullopt,
     "core busy", TApplicationException::INTERNAL_ERROR},
    {"exception reply of an unnamed type", Cat({ReplyHeader("ReloadCore", 3), Field(8, 2), I32(12), {0}}), std::nullopt,
     "TApplicationException: (Invalid exception type)", 12},
    {"exception reply of a type beyond the library's", Cat({ReplyHeader("ReloadCore", 3), Field(8, 2), I32(99), {0}}),
     std::nullopt, "TApplicationException: (Invalid exception type)", 15},
    {"exception reply of a negative type", Cat({ReplyHeader("ReloadCore", 3), Field(8, 2), I32(-1), {0}}), std::nullopt,
     "TApplicationException: (Invalid exception type)", 15},
    {"exception reply with unknown fields",
     Cat({ReplyHeader("ReloadCore", 3),
          Field(15, 3),
          {8},
          I32(1),
          I32(4),
          Field(11, 1),
          Str("m"),
          Field(11, 2),
          Str("x"),
          {0}}),
     std::nullopt, "m", 0},
};

class ReloadCoreReplyTest : public ServiceRpcClientTest, public ::testing::WithParamInterface<ReplyCase> {};

TEST_P(ReloadCoreReplyTest, AnswersOrRaisesAndConsumesTheReply) {
  const ReplyCase& c = GetParam();
  transport_->queueReply(c.reply);
  if (c.returns) {
    EXPECT_EQ(client_.ReloadCore(), *c.returns);
  } else {
    try {
      client_.ReloadCore();
      FAIL() << "no exception";
    } catch (const TApplicationException& e) {
      EXPECT_STREQ(e.what(), c.error);
      EXPECT_EQ(static_cast<int>(e.getType()), c.applicationErrorType);
    }
  }
  EXPECT_EQ(transport_->unread(), 0u) << "the next call would read a stale reply";
}

INSTANTIATE_TEST_SUITE_P(Replies, ReloadCoreReplyTest, ::testing::ValuesIn(kReloadCoreReplies), CaseName());

TEST_F(ServiceRpcClientTest, OperationFailedCarriesNumberAndTextAndTheDefaultMessage) {
  const Bytes reply = Cat({ReplyHeader("ReloadCore"),
                              Field(12, 1),
                              Field(8, 1),
                              I32(-7),
                              Field(11, 2),
                              Str("k\xC3\xA4se \xE2\x82\xAC"),
                              Field(2, 3),
                              {1},
                              {0},
                              {0}});
  const auto e = RaisedOn<TevrinAV::OperationFailed>(reply);
  EXPECT_STREQ(e.what(), "Default TException.");
  EXPECT_EQ(e.number1, -7);
  EXPECT_EQ(e.text2, u"k\u00E4se \u20AC");
  EXPECT_TRUE(e.isset.number1);
  EXPECT_TRUE(e.isset.text2);
}

TEST_F(ServiceRpcClientTest, OperationFailedFieldsOfTheWrongTypeAreSkipped) {
  const auto e = RaisedOn<TevrinAV::OperationFailed>(
      Cat({ReplyHeader("ReloadCore"), Field(12, 1), Field(11, 1), Str("9"), Field(8, 2), I32(4), {0}, {0}}));
  EXPECT_FALSE(e.isset.number1);
  EXPECT_FALSE(e.isset.text2);
  EXPECT_EQ(e.number1, 0);
  EXPECT_TRUE(e.text2.empty());
}

TEST_F(ServiceRpcClientTest, ClientIsReusableAfterAFailureReply) {
  transport_->queueReply(Cat({ReplyHeader("ReloadCore"), Field(12, 1), {0}, {0}}));
  transport_->queueReply(Cat({ReplyHeader("ReloadCore"), Field(2, 0), {1}, {0}}));
  EXPECT_THROW(client_.ReloadCore(), TevrinAV::OperationFailed);
  EXPECT_TRUE(client_.ReloadCore());
}

TEST_F(ServiceRpcClientTest, TruncatedReplyIsATransportError) {
  const auto e = RaisedOn<TTransportException>(Cat({ReplyHeader("ReloadCore"), Field(2, 0)}));
  EXPECT_STREQ(e.what(), "No more data to read.");
}

TEST_F(ServiceRpcClientTest, StrictHeaderOfAnotherVersionIsAProtocolError) {
  const auto e = RaisedOn<TProtocolException>(Cat({{0x80, 0x02, 0x00, 0x02}, Str("ReloadCore"), I32(0), {0}}));
  EXPECT_STREQ(e.what(), "Bad version identifier");
}

TEST_F(ServiceRpcClientTest, NegativeStringSizeIsAProtocolError) {
  transport_->queueReply(Cat({ReplyHeader("ReloadCore"), Field(11, 4), I32(-1)}));
  EXPECT_THROW(client_.ReloadCore(), TProtocolException);
}

TEST_F(ServiceRpcClientTest, EveryErrorIsATException) {
  // The console separates the service's refusal from everything else by this.
  transport_->queueReply(Cat({ReplyHeader("ReloadCore"), Field(12, 1), {0}, {0}}));
  EXPECT_THROW(client_.ReloadCore(), apache::thrift::TException);
}

}  // namespace
