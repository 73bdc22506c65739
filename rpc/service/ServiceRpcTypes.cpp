#include "ServiceRpcTypes.h"

namespace TevrinAV {

using apache::thrift::protocol::TProtocol;

uint32_t TaskNumbers::read(TProtocol* iprot) { return wire::ReadRecordFrom(*iprot, *this); }
uint32_t TaskNumbers::write(TProtocol* oprot) const { return wire::WriteRecord(*oprot, *this); }
uint32_t TaskInfo::read(TProtocol* iprot) { return wire::ReadRecordFrom(*iprot, *this); }
uint32_t TaskInfo::write(TProtocol* oprot) const { return wire::WriteRecord(*oprot, *this); }
uint32_t CollectionDelta::read(TProtocol* iprot) { return wire::ReadRecordFrom(*iprot, *this); }
uint32_t CollectionDelta::write(TProtocol* oprot) const { return wire::WriteRecord(*oprot, *this); }
uint32_t QuarantineEntry::read(TProtocol* iprot) { return wire::ReadRecordFrom(*iprot, *this); }
uint32_t QuarantineEntry::write(TProtocol* oprot) const { return wire::WriteRecord(*oprot, *this); }
uint32_t DomainEntry::read(TProtocol* iprot) { return wire::ReadRecordFrom(*iprot, *this); }
uint32_t DomainEntry::write(TProtocol* oprot) const { return wire::WriteRecord(*oprot, *this); }
uint32_t ThreatEntry::read(TProtocol* iprot) { return wire::ReadRecordFrom(*iprot, *this); }
uint32_t ThreatEntry::write(TProtocol* oprot) const { return wire::WriteRecord(*oprot, *this); }
uint32_t ThreatNotification::read(TProtocol* iprot) { return wire::ReadRecordFrom(*iprot, *this); }
uint32_t ThreatNotification::write(TProtocol* oprot) const { return wire::WriteRecord(*oprot, *this); }
uint32_t MailNotification::read(TProtocol* iprot) { return wire::ReadRecordFrom(*iprot, *this); }
uint32_t MailNotification::write(TProtocol* oprot) const { return wire::WriteRecord(*oprot, *this); }
uint32_t HistoryStatistics::read(TProtocol* iprot) { return wire::ReadRecordFrom(*iprot, *this); }
uint32_t HistoryStatistics::write(TProtocol* oprot) const { return wire::WriteRecord(*oprot, *this); }
uint32_t SkipItem::read(TProtocol* iprot) { return wire::ReadRecordFrom(*iprot, *this); }
uint32_t SkipItem::write(TProtocol* oprot) const { return wire::WriteRecord(*oprot, *this); }
uint32_t DeviceListChange::read(TProtocol* iprot) { return wire::ReadRecordFrom(*iprot, *this); }
uint32_t DeviceListChange::write(TProtocol* oprot) const { return wire::WriteRecord(*oprot, *this); }

}  // namespace TevrinAV
