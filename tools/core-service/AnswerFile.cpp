#include "AnswerFile.h"

#include <thrift/protocol/TBinaryProtocol.h>
#include <thrift/transport/TBufferTransports.h>

#include <fstream>
#include <iterator>
#include <stdexcept>
#include <type_traits>

#include "reflect/JsonValue.h"
#include "service/ServiceRpcTypes.h"

namespace coreservice {

namespace {

namespace reflect = TevrinAV::reflect;
using reflect::Json;

template <class T>
struct IsList : std::false_type {};
template <class T>
struct IsList<std::vector<T>> : std::true_type {};

// Our value as the generated code's: records through their wire form, so
// that exactly the fields set in the file are set.
template <class Ours, class Theirs>
void Assign(const Ours& ours, Theirs& theirs) {
  if constexpr (std::is_same_v<Ours, Theirs>) {
    theirs = ours;
  } else if constexpr (std::is_same_v<Ours, TevrinAV::WideString>) {
    TevrinAV::WideToUtf8(theirs, ours);
  } else if constexpr (IsList<Ours>::value) {
    theirs.resize(ours.size());
    for (std::size_t i = 0; i < ours.size(); ++i) Assign(ours[i], theirs[i]);
  } else {
    auto buffer = std::make_shared<apache::thrift::transport::TMemoryBuffer>();
    apache::thrift::protocol::TBinaryProtocol protocol(buffer);
    ours.write(&protocol);
    theirs = Theirs();
    theirs.read(&protocol);
  }
}

}  // namespace

void ApplyAnswerFile(const std::string& path, Answers& answers) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read '" + path + "'");
  Json file;
  try {
    file = Json::parse(std::string(std::istreambuf_iterator<char>(in), {}));
  } catch (const Json::parse_error& e) {
    throw std::runtime_error(path + ": " + e.what());
  }
  if (!file.is_object()) throw std::runtime_error(path + ": expected an object of answers");

  std::size_t taken = 0;
  std::string names;
  // The member `name`, read as our type Ours, into `target`.
  auto take = [&](const char* name, auto ours, auto& target) {
    names += (names.empty() ? "" : ", ") + std::string(name);
    auto found = file.find(name);
    if (found == file.end()) return;
    try {
      reflect::FromJson(*found, ours);
    } catch (const reflect::JsonTypeError& e) {
      throw std::runtime_error(path + ": " + name + e.where() + ": " + e.problem());
    }
    Assign(ours, target);
    ++taken;
  };
  idl::OperationFailed failure;
  take("text", TevrinAV::WideString(), answers.text);
  take("flag", bool(), answers.flag);
  take("number32", int32_t(), answers.number32);
  take("number64", int64_t(), answers.number64);
  take("taskInfo", TevrinAV::TaskInfo(), answers.taskInfo);
  take("runningTasks", std::vector<int64_t>(), answers.runningTasks);
  take("collectionDelta", TevrinAV::CollectionDelta(), answers.collectionDelta);
  take("quarantineEntry", TevrinAV::QuarantineEntry(), answers.quarantineEntry);
  take("domainEntry", TevrinAV::DomainEntry(), answers.domainEntry);
  take("threatEntry", TevrinAV::ThreatEntry(), answers.threatEntry);
  take("threatNotification", TevrinAV::ThreatNotification(), answers.threatNotification);
  take("mailNotification", TevrinAV::MailNotification(), answers.mailNotification);
  take("incompatibleApplications", std::vector<TevrinAV::WideString>(), answers.incompatibleApplications);
  take("historyStatistics", TevrinAV::HistoryStatistics(), answers.historyStatistics);
  take("skipList", std::vector<TevrinAV::SkipItem>(), answers.skipList);
  take("deviceListChange", TevrinAV::DeviceListChange(), answers.deviceListChange);
  take("failure", TevrinAV::OperationFailed(), failure);
  if (file.contains("failure")) answers.failure = failure;
  if (taken != file.size()) throw std::runtime_error(path + ": answers are named " + names);
}

}  // namespace coreservice
