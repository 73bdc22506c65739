// The catalog of operations, derived from declarations alone: here from two
// operations declared only in this file, as a new operation would be, and
// from the interface's own 45.
#include "reflect/OperationCatalog.h"

#include <gtest/gtest.h>

#include "FakeServiceTransport.h"
#include "service/ServiceRpcTypes.h"

namespace {

using namespace testing_support;
using TevrinAV::WideString;
using TevrinAV::reflect::ArgumentError;
using TevrinAV::reflect::FieldInfo;
using TevrinAV::reflect::Json;
using TevrinAV::wire::ArgList;

#define TEVRIN_RECORD_Point(FIELD) FIELD(1, x, int32_t) FIELD(2, label, WideString)
struct Point {
  TEVRIN_RECORD_MEMBERS(Point)
};

}  // namespace

namespace TevrinAV::wire {
TEVRIN_RECORD_TRAITS(Point)
}  // namespace TevrinAV::wire

namespace {

TEVRIN_DESCRIBE_OPERATION(Made, Ping, void, false, )
TEVRIN_DESCRIBE_OPERATION(Made, Move, Point, true, TEVRIN_ARG(1, point, Point), TEVRIN_ARG(3, steps, std::vector<int64_t>))

const auto kMadeUp = TevrinAV::reflect::Catalog(TevrinAV::wire::OperationList<Ping, Move>{});

TEST(OperationCatalogTest, DescribesDeclaredOperations) {
  ASSERT_EQ(kMadeUp.size(), 2u);
  const auto& ping = kMadeUp[0];
  EXPECT_EQ(ping.number, 1u);
  EXPECT_EQ(ping.name, "Ping");
  EXPECT_TRUE(ping.arguments.empty());
  EXPECT_EQ(ping.result, "void");
  EXPECT_FALSE(ping.mayFail);
  EXPECT_TRUE(ping.reached.records.empty());

  const auto& move = kMadeUp[1];
  EXPECT_EQ(move.number, 2u);
  EXPECT_EQ(move.arguments, (std::vector<FieldInfo>{{1, "point", "Point"}, {3, "steps", "list<i64>"}}));
  EXPECT_EQ(move.result, "Point");
  EXPECT_TRUE(move.mayFail);
  ASSERT_EQ(move.reached.records.size(), 2u);
  EXPECT_EQ(move.reached.records[0].name, "Point");
  EXPECT_EQ(move.reached.records[0].fields, (std::vector<FieldInfo>{{1, "x", "i32"}, {2, "label", "string"}}));
  EXPECT_EQ(move.reached.records[1].name, "OperationFailed");
}

// The bytes the frame sends for Move with these values.
Bytes SentByFrame(const Point& point, const std::vector<int64_t>& steps) {
  auto transport = std::make_shared<FakeServiceTransport>();
  auto protocol = TevrinAV::wire::MakeServiceProtocol(transport);
  TevrinAV::wire::SendCall<Move>(*protocol, point, steps);
  return transport->sent();
}

struct Exchange {
  std::optional<Json> result;
  Bytes sent;
};
Exchange CallWith(const TevrinAV::reflect::OperationInfo& op, const std::string& arguments, const Bytes& reply,
                  bool strict = false) {
  auto call = op.prepare(Json::parse(arguments), strict);
  auto transport = std::make_shared<FakeServiceTransport>();
  transport->queueReply(reply);
  auto protocol = TevrinAV::wire::MakeServiceProtocol(transport);
  Exchange exchange;
  exchange.result = call(*protocol);
  exchange.sent = transport->sent();
  return exchange;
}

TEST(OperationCatalogTest, CallsWithArgumentsByNameAndAnswersTheResultAsJson) {
  Point point;
  point.x = -4;
  point.isset.x = true;
  Bytes reply = Cat({ReplyHeader("Move"), Field(12, 0), Field(8, 1), I32(9), {0}, {0}});
  Exchange exchange = CallWith(kMadeUp[1], R"({"steps": [7, -1], "point": {"x": -4}})", reply);
  EXPECT_EQ(exchange.sent, SentByFrame(point, {7, -1}));
  ASSERT_TRUE(exchange.result);
  EXPECT_EQ(exchange.result->dump(), R"({"x":9})");
}

TEST(OperationCatalogTest, MissingArgumentsAreZeroValues) {
  Bytes reply = Cat({ReplyHeader("Move"), Field(12, 0), {0}, {0}});
  EXPECT_EQ(CallWith(kMadeUp[1], "{}", reply).sent, SentByFrame(Point{}, {}));
}

TEST(OperationCatalogTest, AnOperationWithoutResultAnswersNothing) {
  Exchange exchange = CallWith(kMadeUp[0], "{}", Cat({ReplyHeader("Ping"), {0}}));
  EXPECT_FALSE(exchange.result);
}

TEST(OperationCatalogTest, TheServicesFailurePassesThrough) {
  Bytes reply = Cat({ReplyHeader("Move"), Field(12, 1), Field(8, 1), I32(5), {0}, {0}});
  try {
    CallWith(kMadeUp[1], "{}", reply);
    FAIL() << "no exception";
  } catch (const TevrinAV::OperationFailed& e) {
    EXPECT_EQ(e.number1, 5);
  }
}

TEST(OperationCatalogTest, RefusesArgumentsThatDoNotFit) {
  const std::pair<std::string, std::string> cases[] = {
      {"[]", "the arguments must be one JSON object (point, steps), not an array"},
      {R"({"Point": {}})", "unknown argument 'Point'; expected point, steps"},
      {R"({"steps": [1, "2"]})", "argument 'steps' at [1]: expected i64, got string \"2\""},
      {R"({"point": {"x": 1, "y": 2}})", "argument 'point': unknown field 'y' of Point; its fields: x, label"},
      {R"({"point": {"label": false}})", "argument 'point' at .label: expected string, got false"},
  };
  for (const auto& [arguments, message] : cases) {
    SCOPED_TRACE(arguments);
    try {
      kMadeUp[1].prepare(Json::parse(arguments), false);
      ADD_FAILURE() << "accepted";
    } catch (const ArgumentError& e) {
      EXPECT_EQ(std::string(e.what()), message);
    }
  }
}

TEST(OperationCatalogTest, StrictWantsEveryArgument) {
  EXPECT_THROW(kMadeUp[1].prepare(Json::parse(R"({"point": {}})"), true), ArgumentError);
  EXPECT_NO_THROW(kMadeUp[1].prepare(Json::parse(R"({"point": {}, "steps": []})"), true));
  try {
    kMadeUp[0].prepare(Json::parse(R"({"x": 1})"), true);
    FAIL() << "accepted";
  } catch (const ArgumentError& e) {
    EXPECT_EQ(std::string(e.what()), "unknown argument 'x'; it takes none");
  }
}

template <class... Ops>
std::vector<std::string> NamesOf(TevrinAV::wire::OperationList<Ops...>) {
  return {Ops::name...};
}

TEST(OperationCatalogTest, TheServicesCatalogIsTheDeclaredListInOrder) {
  std::vector<std::string> names;
  for (const auto& op : TevrinAV::reflect::ServiceOperations()) {
    names.push_back(op.name);
    EXPECT_EQ(op.number, names.size());
  }
  EXPECT_EQ(names, NamesOf(TevrinAV::AllOperations{}));
}

TEST(OperationCatalogTest, FindsNamesExactly) {
  const auto& catalog = TevrinAV::reflect::ServiceOperations();
  EXPECT_EQ(TevrinAV::reflect::FindOperation(catalog, "ReloadCore")->number, 33u);
  EXPECT_EQ(TevrinAV::reflect::FindOperation(catalog, "reloadcore"), nullptr);
}

}  // namespace
