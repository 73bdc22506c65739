// CoreCtl: makes the core service reload its antivirus core.
#include <boost/program_options.hpp>
#include <exception>
#include <iostream>

#include "CoreReload.h"
#include "Options.h"

namespace po = boost::program_options;

int main(int argc, char* argv[]) {
  // Every failure exits with -1, so that a calling script sees it.
  constexpr int kFailure = -1;
  try {
    po::options_description options = corectl::MakeOptions();
    po::variables_map vm;
    po::store(po::parse_command_line(argc, argv, options), vm);
    po::notify(vm);

    if (vm.count("help")) {
      corectl::PrintUsage(std::cout, options);
      return 0;
    }
    if (vm.count("reload-core")) {
      // On the screen before any wait for the service.
      std::cout << "Reloading core: " << std::flush;
      bool reloaded = corectl::RunCoreReload();
      std::cout << (reloaded ? "OK" : "Failed") << std::endl;
      return reloaded ? 0 : kFailure;
    }
    corectl::PrintUsage(std::cout, options);
    return 0;
  } catch (const po::error& e) {
    std::cout << e.what() << std::endl;
    std::cout << "Type --help to see usage information" << std::endl;
    return kFailure;
  } catch (const std::exception& e) {
    std::cout << "Error: " << e.what() << std::endl;
    return kFailure;
  }
}
