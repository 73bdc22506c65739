// The ServiceRpc interface of the core service and its client, both expanded
// from the one operation table, TEVRIN_SERVICE_OPERATIONS in
// ServiceRpcTypes.h: an operation added there appears here, with every
// member below, and nothing is written per operation. The table's comment
// shows what one line of it becomes here.
//
// Results that are texts, records or containers come back through the first
// parameter (`_return`); bools, numbers and enumerations are returned; void
// results return nothing. Arguments of bool, number and enumeration types
// are passed by value, the others by const reference.
#pragma once

#include <thrift/protocol/TProtocol.h>

#include <memory>
#include <type_traits>

#include "ServiceRpcTypes.h"

namespace TevrinAV {

namespace wire {

// How an operation's result comes back from ServiceRpcIf.
enum class Returns { Nothing, Value, Object };
template <class R>
inline constexpr Returns kReturns = std::is_void_v<R>                                 ? Returns::Nothing
                                    : std::is_arithmetic_v<R> || std::is_enum_v<R> ? Returns::Value
                                                                                      : Returns::Object;
template <class Op>
inline constexpr Returns kReturnsOf = kReturns<typename Op::Result>;

// A parameter of type T as the interface passes it.
template <class T>
using Param = std::conditional_t<std::is_arithmetic_v<T> || std::is_enum_v<T>, const T, const T&>;
template <class... P>
struct Params {};
template <class List>
struct ParamsOfList;
template <class... A>
struct ParamsOfList<ArgList<A...>> {
  using type = Params<Param<typename A::type>...>;
};
template <class Op>
using ParamsOf = typename ParamsOfList<typename Op::Args>::type;

// The member function type of an operation in ServiceRpcIf.
template <class Op, Returns How = kReturnsOf<Op>, class P = ParamsOf<Op>>
struct MethodType;
template <class Op, class... P>
struct MethodType<Op, Returns::Nothing, Params<P...>> {
  using type = void(P...);
};
template <class Op, class... P>
struct MethodType<Op, Returns::Value, Params<P...>> {
  using type = typename Op::Result(P...);
};
template <class Op, class... P>
struct MethodType<Op, Returns::Object, Params<P...>> {
  using type = void(typename Op::Result&, P...);
};
template <class Op>
using Method = typename MethodType<Op>::type;

}  // namespace wire

// One pure virtual function per service operation, in the interface's order.
class ServiceRpcIf {
public:
  virtual ~ServiceRpcIf() = default;

#define TEVRIN_INTERFACE_METHOD(Op, ...) virtual wire::Method<ops::Op> Op = 0;
  TEVRIN_SERVICE_OPERATIONS(TEVRIN_INTERFACE_METHOD, TEVRIN_ARG)
#undef TEVRIN_INTERFACE_METHOD
};

// What every layer of the client shares: the protocol that requests and
// replies share. The client keeps no other state.
class ServiceRpcClientCore : virtual public ServiceRpcIf {
public:
  explicit ServiceRpcClientCore(std::shared_ptr<apache::thrift::protocol::TProtocol> prot)
      : piprot_(prot), poprot_(prot), iprot_(prot.get()), oprot_(prot.get()) {}

  std::shared_ptr<apache::thrift::protocol::TProtocol> getInputProtocol() { return piprot_; }
  std::shared_ptr<apache::thrift::protocol::TProtocol> getOutputProtocol() { return poprot_; }

protected:
  std::shared_ptr<apache::thrift::protocol::TProtocol> piprot_;
  std::shared_ptr<apache::thrift::protocol::TProtocol> poprot_;
  apache::thrift::protocol::TProtocol* iprot_;
  apache::thrift::protocol::TProtocol* oprot_;
};

// One class template per operation, each adding the operation's three
// members to the layers below it; the partial specialisations (a result
// returned, or none; a result through `_return`) take the parameters from
// the operation's arguments, so that none is spelt here.
#define TEVRIN_CLIENT_LAYER(Op, ...)                                                                         \
  template <class Base, class P = wire::ParamsOf<ops::Op>,                                                   \
            bool ThroughObject = wire::kReturnsOf<ops::Op> == wire::Returns::Object,                         \
            class R = typename ops::Op::Result>                                                              \
  class Op##Layer;                                                                                           \
  template <class Base, class... P, class R>                                                                 \
  class Op##Layer<Base, wire::Params<P...>, false, R> : public Base {                                        \
  public:                                                                                                    \
    using Base::Base;                                                                                        \
    R Op(P... args) override {                                                                               \
      send_##Op(args...);                                                                                    \
      return recv_##Op();                                                                                    \
    }                                                                                                        \
    void send_##Op(P... args) { wire::SendCall<ops::Op>(*this->oprot_, args...); }                           \
    R recv_##Op() { return wire::ReceiveValue<ops::Op>(*this->iprot_); }                                     \
  };                                                                                                         \
  template <class Base, class... P, class R>                                                                 \
  class Op##Layer<Base, wire::Params<P...>, true, R> : public Base {                                         \
  public:                                                                                                    \
    using Base::Base;                                                                                        \
    void Op(R& _return, P... args) override {                                                                \
      send_##Op(args...);                                                                                    \
      recv_##Op(_return);                                                                                    \
    }                                                                                                        \
    void send_##Op(P... args) { wire::SendCall<ops::Op>(*this->oprot_, args...); }                           \
    void recv_##Op(R& _return) { wire::ReceiveReply<ops::Op>(*this->iprot_, &_return); }                     \
  };
namespace client {
TEVRIN_SERVICE_OPERATIONS(TEVRIN_CLIENT_LAYER, TEVRIN_ARG)
}  // namespace client
#undef TEVRIN_CLIENT_LAYER

// The layers stacked: QueryInformationLayer<SetOptionLayer<...<Core>...>>.
#define TEVRIN_OPEN_LAYER(Op, ...) client::Op##Layer<
#define TEVRIN_CLOSE_LAYER(Op, ...) >
using ServiceRpcClientLayers = TEVRIN_SERVICE_OPERATIONS(TEVRIN_OPEN_LAYER, TEVRIN_ARG) ServiceRpcClientCore
    TEVRIN_SERVICE_OPERATIONS(TEVRIN_CLOSE_LAYER, TEVRIN_ARG);
#undef TEVRIN_OPEN_LAYER
#undef TEVRIN_CLOSE_LAYER

// Sends each call as one request on the protocol and reads its one reply.
// Requests and replies share the one protocol given to the constructor.
class ServiceRpcClient : public ServiceRpcClientLayers {
public:
  explicit ServiceRpcClient(std::shared_ptr<apache::thrift::protocol::TProtocol> prot)
      : ServiceRpcClientLayers(std::move(prot)) {}
};

}  // namespace TevrinAV
