#include "Options.h"

#include <ostream>

namespace corectl {

namespace po = boost::program_options;

po::options_description MakeOptions() {
  po::options_description options("Allowed options", 80);
  options.add_options()("help", "Show usage information")("reload-core", "Reload AV core");
  return options;
}

void PrintUsage(std::ostream& out, const po::options_description& options) {
  out << "Usage: CoreCtl.exe [options]" << std::endl;
  out << options << std::endl;
}

}  // namespace corectl
