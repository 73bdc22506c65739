#pragma once

#include <boost/program_options.hpp>

namespace corectl {

// The program's options: "help" and "reload-core", long forms only.
boost::program_options::options_description MakeOptions();

// Prints the usage block: the usage line, the options and an empty line.
void PrintUsage(std::ostream& out, const boost::program_options::options_description& options);

}  // namespace corectl
