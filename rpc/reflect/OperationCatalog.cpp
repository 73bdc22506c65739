#include "OperationCatalog.h"


#include <algorithm>
#include <cctype>
#include <set>

#include "service/ServiceRpcTypes.h"

namespace TevrinAV::reflect {

const std::vector<OperationInfo>& ServiceOperations() {
  static const std::vector<OperationInfo> catalog = Catalog(AllOperations{});
  return catalog;
}

ReachedTypes AllReached(const std::vector<OperationInfo>& catalog) {
  ReachedTypes all;
  std::set<std::string> records, enumerations;
  for (const OperationInfo& op : catalog) {
    for (const RecordInfo& record : op.reached.records)
      if (records.insert(record.name).second) all.records.push_back(record);
    for (const std::string& name : op.reached.enumerations)
      if (enumerations.insert(name).second) all.enumerations.push_back(name);
  }
  return all;
}

const OperationInfo* FindOperation(const std::vector<OperationInfo>& catalog, std::string_view name) {
  for (const OperationInfo& op : catalog)
    if (op.name == name) return &op;
  return nullptr;
}

}  // namespace TevrinAV::reflect
