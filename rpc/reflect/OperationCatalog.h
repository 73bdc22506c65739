// The operations of an interface as data, derived from their declarations
// alone: number, name, arguments (id, name, type), result, failure, the
// records and enumerations they reach, and a way to call each one with its
// arguments given as a JSON object by name. Adding an operation to the
// declarations adds it here; nothing is written per operation.
#pragma once

#include <thrift/protocol/TProtocol.h>

#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "JsonValue.h"
#include "TypeNames.h"
#include "service/CallFrame.h"
#include "service/OperationFailed.h"

namespace TevrinAV::reflect {

// Arguments that do not fit the operation: not an object, an unknown name,
// a value of another type, or (when strict) a missing one.
class ArgumentError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// A call whose arguments are read: sends it on the protocol, reads the reply
// and answers the result as JSON (none for an operation without a result).
// OperationFailed and the library's exceptions pass through.
using PreparedCall = std::function<std::optional<Json>(apache::thrift::protocol::TProtocol&)>;

struct OperationInfo {
  std::size_t number;  // 1 for the first, in the interface's order
  std::string name;
  std::vector<FieldInfo> arguments;
  std::string result;  // "void" for none
  bool mayFail;
  ReachedTypes reached;  // from the arguments, the result and the failure
  // Reads the arguments; a missing one is its type's zero value unless
  // `strict`. Throws ArgumentError.
  PreparedCall (*prepare)(const Json& arguments, bool strict);
  // The arguments as an object of zero values, every record field given.
  Json (*argumentTemplate)();
};

template <class... A>
Json ArgumentTemplate(wire::ArgList<A...>*) {
  Json object = Json::object();
  ((object[A::name] = TemplateJson<typename A::type>()), ...);
  return object;
}

template <class Op>
Json OperationTemplate() {
  return ArgumentTemplate(static_cast<typename Op::Args*>(nullptr));
}

template <class Op, class... A>
PreparedCall PrepareCall(const Json& arguments, bool strict, wire::ArgList<A...>*);

template <class Op>
PreparedCall PrepareOperation(const Json& arguments, bool strict) {
  return PrepareCall<Op>(arguments, strict, static_cast<typename Op::Args*>(nullptr));
}

template <class... A>
void DescribeArguments(OperationInfo& info, wire::ArgList<A...>*) {
  (info.arguments.push_back({A::id, A::name, TypeNameOf<typename A::type>()}), ...);
  (info.reached.add<typename A::type>(), ...);
}

template <class Op>
OperationInfo DescribeOperation(std::size_t number) {
  OperationInfo info{number, Op::name, {}, "void", Op::mayFail, {}, &PrepareOperation<Op>, &OperationTemplate<Op>};
  DescribeArguments(info, static_cast<typename Op::Args*>(nullptr));
  if constexpr (wire::kHasResult<Op>) {
    info.result = TypeNameOf<typename Op::Result>();
    info.reached.add<typename Op::Result>();
  }
  if constexpr (Op::mayFail) info.reached.add<OperationFailed>();
  return info;
}

template <class... Ops>
std::vector<OperationInfo> Catalog(wire::OperationList<Ops...>) {
  std::size_t number = 0;
  return {DescribeOperation<Ops>(++number)...};
}

// The operations of ServiceRpc.
const std::vector<OperationInfo>& ServiceOperations();

// The records and enumerations that the operations of `catalog` reach, each
// once, in the order first met.
ReachedTypes AllReached(const std::vector<OperationInfo>& catalog);

const OperationInfo* FindOperation(const std::vector<OperationInfo>& catalog, std::string_view name);

// ---- Calling ---------------------------------------------------------------

template <class A>
void ReadArgument(const Json& arguments, typename A::type& value, bool strict) {
  auto found = arguments.find(A::name);
  if (found == arguments.end()) {
    if (strict)
      throw ArgumentError(std::string("argument '") + A::name + "' is missing; expected " +
                          TypeNameOf<typename A::type>());
    return;
  }
  try {
    FromJson(*found, value);
  } catch (const JsonTypeError& e) {
    throw ArgumentError(std::string("argument '") + A::name + "'" + (e.where().empty() ? "" : " at " + e.where()) +
                        ": " + e.problem());
  }
}

template <class Op, class... A>
PreparedCall PrepareCall(const Json& arguments, bool strict, wire::ArgList<A...>*) {
  std::string names;
  ((names += (names.empty() ? "" : ", ") + std::string(A::name)), ...);
  if (!arguments.is_object())
    throw ArgumentError("the arguments must be one JSON object (" + (names.empty() ? "with no member" : names) +
                        "), not " + DescribeJson(arguments));
  for (const auto& item : arguments.items()) {
    if (!((item.key() == A::name) || ...))
      throw ArgumentError("unknown argument '" + item.key() + "'; " +
                          (names.empty() ? "it takes none" : "expected " + names));
  }
  auto values = std::make_shared<std::tuple<typename A::type...>>();
  std::apply([&](auto&... value) { (ReadArgument<A>(arguments, value, strict), ...); }, *values);
  return [values](apache::thrift::protocol::TProtocol& protocol) -> std::optional<Json> {
    std::apply([&](const auto&... value) { wire::SendCall<Op>(protocol, value...); }, *values);
    if constexpr (wire::kHasResult<Op>) {
      typename Op::Result result{};
      wire::ReceiveReply<Op>(protocol, &result);
      return ToJson(result);
    } else {
      wire::ReceiveReply<Op>(protocol);
      return std::nullopt;
    }
  };
}

}  // namespace TevrinAV::reflect
