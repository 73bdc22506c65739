// The frame of every ServiceRpc call. An operation is declared as a small
// descriptor: its name, argument fields, result type and whether it can raise
// OperationFailed. SendCall and ReceiveReply turn a descriptor into one request
// and one reply; DecideOutcome is the one place that turns a reply into a
// return or an exception.
//
// TEVRIN_DESCRIBE_OPERATION(ServiceRpc, GetOption, WideString, true,
// TEVRIN_ARG(1, id, int32_t)) declares one:
//   struct GetOption {
//     static constexpr char name[] = "GetOption";
//     static constexpr char argsName[] = "ServiceRpc_GetOption_pargs";
//     using Args = wire::ArgList<TEVRIN_ARG(1, id, int32_t)>;
//     using Result = WideString;  // void for none
//     static constexpr bool mayFail = true;
//   };
#pragma once

#include <thrift/protocol/TBinaryProtocol.h>
#include <thrift/transport/TTransport.h>

#include <memory>

#include "OperationFailed.h"
#include "ServiceProtocol.h"
#include "WireCodec.h"

namespace TevrinAV {
namespace wire {

// The name of an argument as a type, so that it can ride in the argument's
// declaration: TEVRIN_ARG_NAME("id") is ArgName<'i', 'd'>.
template <char... C>
struct ArgName {
  static constexpr char value[] = {C..., '\0'};
};
// ArgName of the characters before the first NUL.
template <class Kept, char... Rest>
struct TrimArgName;
template <char... Kept, char... Rest>
struct TrimArgName<ArgName<Kept...>, '\0', Rest...> {
  using type = ArgName<Kept...>;
};
template <char... Kept, char Next, char... Rest>
struct TrimArgName<ArgName<Kept...>, Next, Rest...> : TrimArgName<ArgName<Kept..., Next>, Rest...> {};
template <std::size_t LiteralSize, char... C>
struct ArgNameOf {
  static_assert(LiteralSize <= sizeof...(C), "an argument name has at most 31 characters");
  using type = typename TrimArgName<ArgName<>, C...>::type;
};
#define TEVRIN_ARG_NAME_CHAR(s, i) ((i) < sizeof(s) ? (s)[i] : '\0')
#define TEVRIN_ARG_NAME_CHARS4(s, i) \
  TEVRIN_ARG_NAME_CHAR(s, i), TEVRIN_ARG_NAME_CHAR(s, i + 1), TEVRIN_ARG_NAME_CHAR(s, i + 2), TEVRIN_ARG_NAME_CHAR(s, i + 3)
#define TEVRIN_ARG_NAME_CHARS16(s, i) \
  TEVRIN_ARG_NAME_CHARS4(s, i), TEVRIN_ARG_NAME_CHARS4(s, i + 4), TEVRIN_ARG_NAME_CHARS4(s, i + 8), \
      TEVRIN_ARG_NAME_CHARS4(s, i + 12)
#define TEVRIN_ARG_NAME(s) \
  ::TevrinAV::wire::ArgNameOf<sizeof(s), TEVRIN_ARG_NAME_CHARS16(s, 0), TEVRIN_ARG_NAME_CHARS16(s, 16)>::type

// One argument of an operation: field id, value type and name. The name is
// the interface's own; the binary protocol sends only the id.
template <int16_t Id, class T, class Name = ArgName<>>
struct Arg {
  static constexpr int16_t id = Id;
  using type = T;
  static constexpr const char* name = Name::value;
};
// An argument in the operation table: id, name, then the type (last, so that
// it may hold commas).
#define TEVRIN_ARG(Id, Name, ...) ::TevrinAV::wire::Arg<Id, __VA_ARGS__, TEVRIN_ARG_NAME(#Name)>
template <class... Args>
struct ArgList {};

// The argument record of an operation: a read-only reference to each
// argument, written in id order with every field present.
template <class Op, class List = typename Op::Args>
class CallArgs;

template <class Op, class... Args>
class CallArgs<Op, ArgList<Args...>> {
public:
  explicit CallArgs(const typename Args::type&... values) : values_(&values...) {}

  uint32_t write(TProtocol* out) const {
    uint32_t xfer = out->writeStructBegin(Op::argsName);
    xfer += writeFields(*out, std::index_sequence_for<Args...>{});
    xfer += out->writeFieldStop();
    return xfer + out->writeStructEnd();
  }

private:
  template <std::size_t... I>
  uint32_t writeFields(TProtocol& out, std::index_sequence<I...>) const {
    uint32_t xfer = 0;
    ((xfer += writeField<Args>(out, *std::get<I>(values_))), ...);
    return xfer;
  }
  template <class A>
  static uint32_t writeField(TProtocol& out, const typename A::type& value) {
    using C = Codec<typename A::type>;
    return out.writeFieldBegin(A::name, C::type, A::id) + C::write(out, value) + out.writeFieldEnd();
  }

  std::tuple<const typename Args::type*...> values_;
};

// The descriptor of operation Op of interface Service (see the top of this
// file); the trailing arguments are the argument fields, in id order.
#define TEVRIN_DESCRIBE_OPERATION(Service, Op, ResultType, MayFail, ...) \
  struct Op {                                                           \
    static constexpr char name[] = #Op;                                 \
    static constexpr char argsName[] = #Service "_" #Op "_pargs";       \
    using Args = ::TevrinAV::wire::ArgList<__VA_ARGS__>;                \
    using Result = ResultType;                                          \
    static constexpr bool mayFail = MayFail;                            \
  };

// A list of operation descriptors. OperationListOf<A, B, EndOfList> is
// OperationList<A, B>: the end marker lets a macro write one item per line.
template <class... Ops>
struct OperationList {
  static constexpr std::size_t size = sizeof...(Ops);
};
struct EndOfList;
template <class Collected, class... Rest>
struct CollectOperations;
template <class... Collected>
struct CollectOperations<OperationList<Collected...>, EndOfList> {
  using type = OperationList<Collected...>;
};
template <class... Collected, class Next, class... Rest>
struct CollectOperations<OperationList<Collected...>, Next, Rest...> {
  using type = typename CollectOperations<OperationList<Collected..., Next>, Rest...>::type;
};
template <class... Ops>
using OperationListOf = typename CollectOperations<OperationList<>, Ops...>::type;

template <class Op>
inline constexpr bool kHasResult = !std::is_void_v<typename Op::Result>;

// Field 0: a reference to the caller's result object.
template <class Result>
struct ResultSlot {
  Result* success = nullptr;
};
template <>
struct ResultSlot<void> {};

// Field 1: the service's failure, held by value.
template <bool MayFail>
struct FailureSlot;
template <>
struct FailureSlot<false> {};

template <>
struct FailureSlot<true> {
  OperationFailed failure;
};

// The result record of an operation: field 0 refers to the caller's result
// object, field 1 holds the service's failure; each has a was-set flag.
template <class Op>
struct CallResult : ResultSlot<typename Op::Result>, FailureSlot<Op::mayFail> {
  struct Isset {
    bool success = false;
    bool failure = false;
  } isset;

  uint32_t read(TProtocol* in) {
    return ReadAs(*in, [&](auto& protocol) {
      return ReadStruct(protocol, [&](int16_t id, TType type, uint32_t& xfer) {
        if constexpr (kHasResult<Op>) {
          if (id == 0 && type == Codec<typename Op::Result>::type) {
            xfer += Codec<typename Op::Result>::read(protocol, *this->success);
            isset.success = true;
            return true;
          }
        }
        if constexpr (Op::mayFail) {
          if (id == 1 && type == apache::thrift::protocol::T_STRUCT) {
            xfer += ReadRecord(protocol, this->failure);
            isset.failure = true;
            return true;
          }
        }
        return false;
      });
    });
  }
};

// A result wins over a failure in the same reply; a missing result is an
// application error of its own.
template <class Op>
void DecideOutcome(const CallResult<Op>& result) {
  if constexpr (kHasResult<Op>) {
    if (result.isset.success) return;
  }
  if constexpr (Op::mayFail) {
    if (result.isset.failure) throw result.failure;
  }
  if constexpr (kHasResult<Op>) {
    throw apache::thrift::TApplicationException(apache::thrift::TApplicationException::MISSING_RESULT,
                                                std::string(Op::name) + " failed: unknown result");
  }
}

// The protocol the service's clients use over `transport` (ServiceProtocol.h).
std::shared_ptr<ServiceProtocol> MakeServiceProtocol(std::shared_ptr<apache::thrift::transport::TTransport> transport);

// Reads the body of an exception reply. A type number that the library's
// exception cannot hold is reported as 15, which, like every type the library
// has no name for, reads "TApplicationException: (Invalid exception type)".
apache::thrift::TApplicationException ReadApplicationException(TProtocol& in);

// Writes the call message header; the arguments follow.
void BeginCall(TProtocol& out, const char* operation);
// Ends the call message and flushes it to the service.
void EndCall(TProtocol& out);
// Reads the reply header and raises for exception replies, other message
// types and other operation names, consuming the whole reply first.
void BeginReply(TProtocol& in, const char* operation);
// Ends the reply message.
void EndReply(TProtocol& in);

template <class Op, class... Values>
void SendCall(TProtocol& out, const Values&... values) {
  BeginCall(out, Op::name);
  CallArgs<Op>(values...).write(&out);
  EndCall(out);
}

template <class Op>
using ResultPointer = std::conditional_t<kHasResult<Op>, typename Op::Result*, std::nullptr_t>;

// Reads one reply into `result` (the caller's object) and decides it.
template <class Op>
void ReceiveReply(TProtocol& in, ResultPointer<Op> result = nullptr) {
  BeginReply(in, Op::name);
  CallResult<Op> reply;
  if constexpr (kHasResult<Op>) reply.success = result;
  reply.read(&in);
  EndReply(in);
  DecideOutcome(reply);
}

// Reads one reply and returns its result: nothing, a bool, a number or an
// enumeration.
template <class Op>
typename Op::Result ReceiveValue(TProtocol& in) {
  if constexpr (kHasResult<Op>) {
    typename Op::Result result{};
    ReceiveReply<Op>(in, &result);
    return result;
  } else {
    ReceiveReply<Op>(in);
  }
}

}  // namespace wire
}  // namespace TevrinAV
