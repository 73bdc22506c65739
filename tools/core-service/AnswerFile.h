// Answers of the stand-in service from a JSON file, for values that the
// command line cannot carry well: non-ASCII texts, 64-bit extremes, long
// lists, maps, records with only some fields set.
#pragma once

#include <string>

#include "ScriptedHandler.h"

namespace coreservice {

// Sets the answers the file's object names; the others keep their values.
// Each member is an Answers member (text, number64, taskInfo, skipList,
// failure, ...) with its value written as CoreCall prints such a value.
// Throws std::runtime_error naming the member and what was expected.
void ApplyAnswerFile(const std::string& path, Answers& answers);

}  // namespace coreservice
