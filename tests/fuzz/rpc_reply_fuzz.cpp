// The reply path of every operation. The first byte picks the operation
// (its index in the interface, modulo 45) and the transport: below 45 the
// reply is read straight from memory, from 45 on through the buffered
// transport that CoreCtl uses. The rest is the reply. Whatever it holds, the
// call ends in a result or a TException, in memory that follows its size.
#include <thrift/Thrift.h>
#include <thrift/transport/TBufferTransports.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>

#include "service/ServiceRpcTypes.h"

namespace {

using apache::thrift::transport::TBufferedTransport;
using apache::thrift::transport::TMemoryBuffer;
using apache::thrift::transport::TTransport;

template <class Op>
void ReceiveOne(TevrinAV::wire::ServiceProtocol& protocol) {
  if constexpr (TevrinAV::wire::kHasResult<Op>) {
    typename Op::Result result{};
    TevrinAV::wire::ReceiveReply<Op>(protocol, &result);
  } else {
    TevrinAV::wire::ReceiveReply<Op>(protocol);
  }
}

template <class... Ops, std::size_t... I>
void ReceiveNth(TevrinAV::wire::OperationList<Ops...>, std::index_sequence<I...>, std::size_t n,
                TevrinAV::wire::ServiceProtocol& protocol) {
  ((n == I ? ReceiveOne<Ops>(protocol) : void()), ...);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  constexpr std::size_t kOperations = TevrinAV::AllOperations::size;
  const std::size_t choice = data[0] % (2 * kOperations);
  auto memory = std::make_shared<TMemoryBuffer>(const_cast<uint8_t*>(data + 1), static_cast<uint32_t>(size - 1));
  std::shared_ptr<TTransport> transport = memory;
  if (choice >= kOperations) transport = std::make_shared<TBufferedTransport>(memory);
  auto protocol = TevrinAV::wire::MakeServiceProtocol(transport);
  try {
    ReceiveNth(TevrinAV::AllOperations{}, std::make_index_sequence<kOperations>{}, choice % kOperations, *protocol);
  } catch (const apache::thrift::TException&) {
    // A clean refusal: what a hostile reply should get.
  }
  return 0;
}
