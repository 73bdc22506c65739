// Where the core service serves ServiceRpc.
#pragma once

#include <string>

namespace TevrinAV {

inline const std::string kCorePipeName = "\\\\.\\pipe\\TevrinAV-Core-780863D5-5ABD-4b1a-AAF3-427AF74D4ECE";

}  // namespace TevrinAV
