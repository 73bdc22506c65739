#pragma once

#include <thrift/Thrift.h>

#include <cstdint>

#include "WideText.h"
#include "WireCodec.h"

namespace TevrinAV {

// The service's report that an operation failed, raised by the client. It
// sets no message: what() is the library's default text, and the service's
// explanation is in number1 and text2.
class OperationFailed : public apache::thrift::TException {
public:
  int32_t number1 = 0;
  WideString text2;

  struct Isset {
    bool number1 = false;
    bool text2 = false;
  } isset;

  uint32_t read(apache::thrift::protocol::TProtocol* iprot);
  uint32_t write(apache::thrift::protocol::TProtocol* oprot) const;
};

namespace wire {
template <>
struct RecordTraits<OperationFailed> {
  static constexpr const char* name = "OperationFailed";
  static constexpr auto fields =
      std::make_tuple(TEVRIN_FIELD(OperationFailed, 1, number1), TEVRIN_FIELD(OperationFailed, 2, text2));
};
}  // namespace wire

}  // namespace TevrinAV
