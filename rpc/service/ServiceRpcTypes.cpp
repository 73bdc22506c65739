#include "ServiceRpcTypes.h"

namespace TevrinAV {

using apache::thrift::protocol::TProtocol;

#define TEVRIN_DEFINE_RECORD_IO(Record, ...)                                                   \
  uint32_t Record::read(TProtocol* iprot) { return wire::ReadRecordFrom(*iprot, *this); }        \
  uint32_t Record::write(TProtocol* oprot) const { return wire::WriteRecord(*oprot, *this); }
TEVRIN_SERVICE_RECORDS(TEVRIN_DEFINE_RECORD_IO)
#undef TEVRIN_DEFINE_RECORD_IO

}  // namespace TevrinAV
