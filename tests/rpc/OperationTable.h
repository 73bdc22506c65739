// Every operation of ServiceRpc in interface order, expanded from the
// operation table: its name, whether it returns a result and whether it can
// raise OperationFailed, and a call of it through ServiceRpcIf's own member,
// with the arguments of the operation's first shared sample.
#pragma once

#include <functional>
#include <stdexcept>
#include <string>
#include <tuple>

#include "OperationSamples.h"
#include "reflect/JsonValue.h"
#include "service/ServiceRpc.h"

namespace testing_support {

struct OperationCall {
  const char* name;
  bool hasResult;
  bool mayFail;
  std::function<void(TevrinAV::ServiceRpcClient&)> call;
};

// Calls `member` of `client` with the arguments of the first sample of Op.
template <class Op, class Member, class... A>
void CallWithSample(TevrinAV::ServiceRpcClient& client, Member member, TevrinAV::wire::ArgList<A...>*) {
  const OperationSample* sample = FirstSampleOf(Op::name);
  if (sample == nullptr) throw std::logic_error(std::string("no sample of ") + Op::name);
  const auto arguments = TevrinAV::reflect::Json::parse(sample->arguments);
  std::tuple<typename A::type...> values;
  // An argument the sample leaves out keeps its type's zero value.
  auto read = [&](const char* name, auto& value) {
    if (auto found = arguments.find(name); found != arguments.end()) TevrinAV::reflect::FromJson(*found, value);
  };
  std::apply([&](auto&... value) { (read(A::name, value), ...); }, values);
  TevrinAV::ServiceRpcIf& api = client;
  std::apply(
      [&](const auto&... value) {
        if constexpr (TevrinAV::wire::kReturnsOf<Op> == TevrinAV::wire::Returns::Object) {
          typename Op::Result result;
          (api.*member)(result, value...);
        } else {
          (api.*member)(value...);
        }
      },
      values);
}

#define TEVRIN_OPERATION_CALL(Op, ...)                                                                     \
  {#Op, TevrinAV::wire::kHasResult<TevrinAV::ops::Op>, TevrinAV::ops::Op::mayFail,                          \
   [](TevrinAV::ServiceRpcClient& client) {                                                                 \
     CallWithSample<TevrinAV::ops::Op>(client, &TevrinAV::ServiceRpcIf::Op,                                 \
                                       static_cast<TevrinAV::ops::Op::Args*>(nullptr));                     \
   }},
inline const OperationCall kAllOperations[] = {TEVRIN_SERVICE_OPERATIONS(TEVRIN_OPERATION_CALL, TEVRIN_ARG)};
#undef TEVRIN_OPERATION_CALL

}  // namespace testing_support
