#include "CoreReload.h"

#include <thrift/Thrift.h>
#include <thrift/transport/TBufferTransports.h>

#include <exception>
#include <iostream>
#include <memory>

#include "service/CorePipe.h"
#include "service/SafeText.h"
#include "service/ServiceRpc.h"
#include "transport/TWin32PipeClient.h"

namespace corectl {

using apache::thrift::transport::TBufferedTransport;
using apache::thrift::transport::TWin32PipeClient;

namespace {

// Builds the client stack for one call and tears it down in reverse order;
// releasing the last reference to the pipe flushes and closes it.
bool ReloadCoreOnce() {
  auto pipe = std::make_shared<TWin32PipeClient>(TevrinAV::kCorePipeName);
  auto buffered = std::make_shared<TBufferedTransport>(pipe);
  auto protocol = TevrinAV::wire::MakeServiceProtocol(buffered);
  bool reloaded = false;
  {
    TevrinAV::ServiceRpcClient client(protocol);
    reloaded = client.ReloadCore();
  }
  protocol.reset();
  buffered.reset();
  pipe.reset();
  return reloaded;
}

}  // namespace

bool RunCoreReload() {
  try {
    return ReloadCoreOnce();
  } catch (const TevrinAV::OperationFailed&) {
    // The service's own refusal: "Failed" says it all.
  } catch (const apache::thrift::TException& e) {
    // The text may be the service's own: it is never printed raw.
    std::cout << "Rpc connection failed: " << TevrinAV::SafeText(e.what()) << std::endl;
  } catch (const std::exception& e) {
    std::cout << "Error: " << TevrinAV::SafeText(e.what()) << std::endl;
  }
  return false;
}

}  // namespace corectl
