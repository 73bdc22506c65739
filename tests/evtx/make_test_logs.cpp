// Writes the test logs into a folder, with expected.json: for each file,
// whether python-evtx must read it as our reader does, and every record's
// System values and data pairs. tests/evtx/python_evtx_agrees.py reads both.
//   make_test_logs FOLDER
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <iostream>

#include "TestLogs.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: make_test_logs FOLDER\n";
    return 2;
  }
  const std::filesystem::path folder(argv[1]);
  std::filesystem::create_directories(folder);
  nlohmann::json expected = nlohmann::json::array();
  for (const auto& log : evtx::testing::MakeTestLogs()) {
    std::ofstream(folder / log.name, std::ios::binary) << log.bytes;
    nlohmann::json events = nlohmann::json::array();
    for (const auto& e : log.events) {
      nlohmann::json data = nlohmann::json::array();
      for (const auto& [name, value] : e.data) data.push_back({name, value});
      events.push_back({{"record", e.record}, {"EventID", e.eventId}, {"Provider", e.provider}, {"Channel", e.channel},
                        {"Computer", e.computer}, {"EventRecordID", e.eventRecordId}, {"SystemTime", e.timeCreated},
                        {"UserID", e.userId}, {"data", data}});
    }
    expected.push_back({{"file", log.name}, {"python", log.checkedByPythonEvtx}, {"events", events}});
  }
  std::ofstream(folder / "expected.json") << expected.dump(1) << "\n";
  return 0;
}
