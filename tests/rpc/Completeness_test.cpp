// Every operation of the interface against its row: the name it sends, and
// when an empty result or a failure in field 1 raises.
#include <gtest/gtest.h>
#include <thrift/TApplicationException.h>

#include "FakeServiceTransport.h"
#include "OperationTable.h"

namespace {

using namespace testing_support;
using apache::thrift::TApplicationException;

class CompletenessTest : public ::testing::TestWithParam<OperationCall> {
protected:
  std::shared_ptr<FakeServiceTransport> transport_ = std::make_shared<FakeServiceTransport>();
  TevrinAV::ServiceRpcClient client_{TevrinAV::wire::MakeServiceProtocol(transport_)};
};

TEST(CompletenessTableTest, HoldsFortyFiveOperations) { EXPECT_EQ(std::size(kAllOperations), 45u); }

// The declarations' own list, which generic tools walk, has every operation
// in the interface's order.
template <class... Ops>
std::vector<std::string> NamesOf(TevrinAV::wire::OperationList<Ops...>) {
  return {Ops::name...};
}
TEST(CompletenessTableTest, DeclaredListIsTheInterfaceInOrder) {
  std::vector<std::string> table;
  for (const OperationCall& op : kAllOperations) table.push_back(op.name);
  EXPECT_EQ(NamesOf(TevrinAV::AllOperations{}), table);
}

TEST_P(CompletenessTest, SendsItsNameInACallMessage) {
  const OperationCall& op = GetParam();
  transport_->queueReply(Cat({ReplyHeader(op.name), Field(12, 1), {0}, {0}}));
  try {
    op.call(client_);
  } catch (const apache::thrift::TException&) {
  }
  EXPECT_EQ(Bytes(transport_->sent().begin(), transport_->sent().begin() + 8 + std::strlen(op.name)),
            Cat({{0x80, 0x01, 0x00, 0x01}, Str(op.name)}));
}

TEST_P(CompletenessTest, EmptyResultRaisesMissingResultExactlyWhenItHasAResult) {
  const OperationCall& op = GetParam();
  transport_->queueReply(Cat({ReplyHeader(op.name), {0}}));
  if (!op.hasResult) {
    EXPECT_NO_THROW(op.call(client_));
    return;
  }
  try {
    op.call(client_);
    FAIL() << "no exception";
  } catch (const TApplicationException& e) {
    EXPECT_EQ(e.getType(), TApplicationException::MISSING_RESULT);
    EXPECT_EQ(std::string(e.what()), std::string(op.name) + " failed: unknown result");
  }
}

TEST_P(CompletenessTest, FailureInFieldOneRaisesExactlyWhenDeclared) {
  const OperationCall& op = GetParam();
  transport_->queueReply(Cat({ReplyHeader(op.name), Field(12, 1), Field(8, 1), I32(77), {0}, {0}}));
  if (op.mayFail) {
    try {
      op.call(client_);
      FAIL() << "no exception";
    } catch (const TevrinAV::OperationFailed& e) {
      EXPECT_EQ(e.number1, 77);
    }
  } else if (op.hasResult) {
    EXPECT_THROW(op.call(client_), TApplicationException) << "field 1 is skipped, so the result is missing";
  } else {
    EXPECT_NO_THROW(op.call(client_));
  }
  EXPECT_EQ(transport_->unread(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Operations, CompletenessTest, ::testing::ValuesIn(kAllOperations),
                         [](const auto& testInfo) { return std::string(testInfo.param.name); });

}  // namespace
