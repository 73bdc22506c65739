#pragma once

#include <thrift/Thrift.h>

#include <cstdint>

#include "WideText.h"
#include "WireCodec.h"

namespace TevrinAV {

// The service's report that an operation failed, raised by the client. It
// sets no message: what() is the library's default text, and the service's
// explanation is in number1 and text2.
#define TEVRIN_RECORD_OperationFailed(FIELD) FIELD(1, number1, int32_t) FIELD(2, text2, WideString)
class OperationFailed : public apache::thrift::TException {
public:
  TEVRIN_RECORD_MEMBERS(OperationFailed)
};

namespace wire {
TEVRIN_RECORD_TRAITS(OperationFailed)
}  // namespace wire

}  // namespace TevrinAV
