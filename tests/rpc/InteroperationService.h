// Where the interoperation tests find the service that Thrift's compiler
// generates: on a thread of the test process (no pipe names), or in other
// processes serving the given pipes (rpc_interop_client).
#pragma once

#include <string>

namespace testing_support {

struct InteroperationPipes {
  std::string scripted;  // `core-service --answer interop`
  std::string failing;   // `core-service --answer interop-fail`
};

InteroperationPipes& InteroperationService();

}  // namespace testing_support
