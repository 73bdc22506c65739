// An EVTX event as the replay sees it: the same fields as a JSON line gives,
// and the one flat JSON line evreplay writes for it with --events.
#ifndef EVREPLAY_EVTX_RECORD_H
#define EVREPLAY_EVTX_RECORD_H

#include <string>

#include "EvtxReader.h"
#include "SysmonRecord.h"

namespace evreplay {

// Fills `record` from `event` of `chunk`: views into the chunk's texts.
void RecordFromEvtx(const evtx::ParsedChunk& chunk, const evtx::ParsedEvent& event, SysmonRecord& record);

// Appends `event` as one JSON line, the shape evreplay reads: EventID,
// EventRecordID, Computer, Channel, ProviderName, UserID and @timestamp,
// then every data pair by its name (a name given again gets _2, _3, ...).
void AppendEventLine(std::string& out, const evtx::ParsedChunk& chunk, const evtx::ParsedEvent& event);

}  // namespace evreplay

#endif
