// The EVTX files the tests read, written with the test writer, and what a
// reader must find in each: every record's System values and data pairs,
// and what it must count as damaged.
#ifndef EVTX_TEST_LOGS_H
#define EVTX_TEST_LOGS_H

#include <cstdint>
#include <map>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace evtx::testing {

struct ExpectedEvent {
  uint64_t record = 0;
  std::string eventId, provider, channel, computer, eventRecordId, timeCreated, userId;
  std::vector<std::pair<std::string, std::string>> data;
};

struct TestLog {
  std::string name;
  std::string bytes;
  std::vector<ExpectedEvent> events;
  // Damage by its name (DamageText), as our reader counts it.
  std::map<std::string, uint64_t> damage;
  // Whether python-evtx reads the file as we do: it does not check
  // checksums, renders some values otherwise (SYSTEMTIME milliseconds,
  // FILETIME beyond whole seconds, entity and character references, CDATA)
  // and reads no array but of texts.
  bool checkedByPythonEvtx = true;
};

// Test output names a log rather than dumping its bytes.
inline void PrintTo(const TestLog& log, std::ostream* out) { *out << log.name; }

std::vector<TestLog> MakeTestLogs();

}  // namespace evtx::testing

#endif
