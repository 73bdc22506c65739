#include "ServiceRpc.h"

namespace TevrinAV {

using wire::ReceiveReply;
using wire::SendCall;

ServiceRpcClient::ServiceRpcClient(std::shared_ptr<apache::thrift::protocol::TProtocol> prot)
    : piprot_(prot), poprot_(prot), iprot_(prot.get()), oprot_(prot.get()) {}

bool ServiceRpcClient::ReloadCore() {
  send_ReloadCore();
  return recv_ReloadCore();
}
void ServiceRpcClient::send_ReloadCore() { SendCall<ops::ReloadCore>(*oprot_); }
bool ServiceRpcClient::recv_ReloadCore() {
  bool result = false;
  ReceiveReply<ops::ReloadCore>(*iprot_, &result);
  return result;
}

}  // namespace TevrinAV
