#include "OperationCatalog.h"


#include <algorithm>
#include <cctype>
#include <set>

#include "service/ServiceRpcTypes.h"

namespace TevrinAV::reflect {

namespace {

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

std::size_t EditDistance(const std::string& a, const std::string& b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      std::size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

}  // namespace

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

std::vector<std::string> NearestNames(const std::vector<std::string>& names, std::string_view name) {
  // A slip is a few characters: at most a third of the name, and at least 2.
  const std::string wanted = Lower(name);
  std::size_t best = std::max<std::size_t>(2, wanted.size() / 3) + 1;
  std::vector<std::string> nearest;
  for (const std::string& candidate : names) {
    std::size_t distance = EditDistance(wanted, Lower(candidate));
    if (distance < best) {
      best = distance;
      nearest.clear();
    }
    if (distance == best) nearest.push_back(candidate);
  }
  return nearest;
}

std::vector<std::string> NearestNames(const std::vector<OperationInfo>& catalog, std::string_view name) {
  std::vector<std::string> names;
  for (const OperationInfo& op : catalog) names.push_back(op.name);
  return NearestNames(names, name);
}

}  // namespace TevrinAV::reflect
