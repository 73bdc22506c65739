#include "OperationFailed.h"

namespace TevrinAV {

uint32_t OperationFailed::read(apache::thrift::protocol::TProtocol* iprot) { return wire::ReadRecordFrom(*iprot, *this); }

uint32_t OperationFailed::write(apache::thrift::protocol::TProtocol* oprot) const {
  return wire::WriteRecord(*oprot, *this);
}

}  // namespace TevrinAV
