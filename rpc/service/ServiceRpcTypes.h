// Records of the ServiceRpc interface and the declaration of each operation:
// its name, argument fields, result type and whether it can raise
// OperationFailed. The argument and result records of an operation follow
// from its declaration.
#pragma once

#include <cstdint>

#include "CallFrame.h"
#include "OperationFailed.h"
#include "WideText.h"

namespace TevrinAV {

// Declares operation Op and its records ServiceRpc_<Op>_pargs and
// ServiceRpc_<Op>_presult. The trailing arguments are the argument fields,
// wire::Arg<id, type>, in id order.
#define TEVRIN_OPERATION(Op, ResultType, MayFail, ...)                  \
  namespace ops {                                                       \
  struct Op {                                                           \
    static constexpr char name[] = #Op;                                 \
    static constexpr char argsName[] = "ServiceRpc_" #Op "_pargs";      \
    using Args = ::TevrinAV::wire::ArgList<__VA_ARGS__>;                \
    using Result = ResultType;                                          \
    static constexpr bool mayFail = MayFail;                            \
  };                                                                    \
  }                                                                     \
  using ServiceRpc_##Op##_pargs = ::TevrinAV::wire::CallArgs<ops::Op>;  \
  using ServiceRpc_##Op##_presult = ::TevrinAV::wire::CallResult<ops::Op>;

inline constexpr bool kMayFail = true;
inline constexpr bool kNeverFails = false;

using wire::Arg;

TEVRIN_OPERATION(ReloadCore, bool, kMayFail, /* no arguments */)

}  // namespace TevrinAV
