// The ServiceRpc interface of the core service and its client.
#pragma once

#include <memory>

#include <thrift/protocol/TProtocol.h>

#include "ServiceRpcTypes.h"

namespace TevrinAV {

// One pure virtual function per service operation, in the interface's order.
// Results that are texts, records or containers come back through the first
// parameter; bools and numbers are returned.
class ServiceRpcIf {
public:
  virtual ~ServiceRpcIf() = default;

  virtual bool ReloadCore() = 0;
};

// Sends each call as one request on the protocol and reads its one reply.
// Requests and replies share the one protocol given to the constructor; the
// client keeps no other state.
class ServiceRpcClient : virtual public ServiceRpcIf {
public:
  explicit ServiceRpcClient(std::shared_ptr<apache::thrift::protocol::TProtocol> prot);

  std::shared_ptr<apache::thrift::protocol::TProtocol> getInputProtocol() { return piprot_; }
  std::shared_ptr<apache::thrift::protocol::TProtocol> getOutputProtocol() { return poprot_; }

  bool ReloadCore() override;
  void send_ReloadCore();
  bool recv_ReloadCore();

protected:
  std::shared_ptr<apache::thrift::protocol::TProtocol> piprot_;
  std::shared_ptr<apache::thrift::protocol::TProtocol> poprot_;
  apache::thrift::protocol::TProtocol* iprot_;
  apache::thrift::protocol::TProtocol* oprot_;
};

}  // namespace TevrinAV
