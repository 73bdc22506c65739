// Type names as the interface's IDL writes them, and the records and
// enumerations a type reaches, from the C++ types alone.
#include "reflect/TypeNames.h"

#include <gtest/gtest.h>

#include "service/ServiceRpcTypes.h"

namespace {

using namespace TevrinAV;
using reflect::FieldInfo;
using reflect::ReachedTypes;
using reflect::TypeNameOf;

TEST(TypeNamesTest, NamesEveryKindOfType) {
  const std::pair<std::string, std::string> cases[] = {
      {TypeNameOf<bool>(), "bool"},
      {TypeNameOf<int8_t>(), "byte"},
      {TypeNameOf<int16_t>(), "i16"},
      {TypeNameOf<int32_t>(), "i32"},
      {TypeNameOf<int64_t>(), "i64"},
      {TypeNameOf<double>(), "double"},
      {TypeNameOf<WideString>(), "string"},
      {TypeNameOf<ServiceCode>(), "ServiceCode"},
      {TypeNameOf<FeatureStatus>(), "FeatureStatus"},
      {TypeNameOf<TaskInfo>(), "TaskInfo"},
      {TypeNameOf<std::vector<int64_t>>(), "list<i64>"},
      {TypeNameOf<std::set<WideString>>(), "set<string>"},
      {TypeNameOf<TargetMap>(), "map<i64,i32>"},
      {TypeNameOf<std::vector<std::map<int32_t, std::vector<SkipItem>>>>(), "list<map<i32,list<SkipItem>>>"},
  };
  for (const auto& [got, want] : cases) EXPECT_EQ(got, want);
}

std::vector<std::string> RecordNames(const ReachedTypes& reached) {
  std::vector<std::string> names;
  for (const auto& r : reached.records) names.push_back(r.name);
  return names;
}

TEST(TypeNamesTest, ReachesNestedRecordsOnceEachRecordBeforeItsFields) {
  ReachedTypes reached;
  reached.add<ThreatNotification>();
  reached.add<std::vector<ThreatEntry>>();
  reached.add<std::map<int64_t, TaskInfo>>();
  EXPECT_EQ(RecordNames(reached),
            (std::vector<std::string>{"ThreatNotification", "ThreatEntry", "TaskInfo", "TaskNumbers"}));
  EXPECT_EQ(reached.enumerations, std::vector<std::string>{"ServiceCode"});
  EXPECT_EQ(reached.records[0].fields, (std::vector<FieldInfo>{{1, "id", "i64"}, {2, "threat", "ThreatEntry"}}));
}

TEST(TypeNamesTest, KeepsTheGapsOfFieldIds) {
  ReachedTypes reached;
  reached.add<DeviceListChange>();
  ASSERT_EQ(reached.records.size(), 1u);
  std::vector<int16_t> ids;
  for (const auto& f : reached.records[0].fields) ids.push_back(f.id);
  EXPECT_EQ(ids, (std::vector<int16_t>{1, 2, 3, 4, 5, 7, 8}));
}

TEST(TypeNamesTest, ScalarsAndListsOfScalarsReachNothing) {
  ReachedTypes reached;
  reached.add<int64_t>();
  reached.add<std::vector<WideString>>();
  reached.add<TargetMap>();
  EXPECT_TRUE(reached.records.empty());
  EXPECT_TRUE(reached.enumerations.empty());
}

}  // namespace
