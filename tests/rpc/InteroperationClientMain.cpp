// rpc_interop_client: the interoperation tests as a process of their own,
// against the stand-in core service in other processes:
//   rpc_interop_client --pipe NAME --failing-pipe NAME [gtest options]
// NAME served by `core-service --answer interop`, the failing one by
// `core-service --answer interop-fail`. Unlike two threads of one process,
// this works under every Wine, emulated or not.
#include <gtest/gtest.h>

#include <cstring>
#include <iostream>
#include <string>

#include "InteroperationService.h"

int main(int argc, char* argv[]) {
  ::testing::InitGoogleTest(&argc, argv);
  auto& pipes = testing_support::InteroperationService();
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--pipe") == 0) {
      pipes.scripted = argv[i + 1];
    } else if (std::strcmp(argv[i], "--failing-pipe") == 0) {
      pipes.failing = argv[i + 1];
    } else {
      break;
    }
  }
  if (pipes.scripted.empty() || pipes.failing.empty()) {
    std::cerr << "Usage: rpc_interop_client --pipe NAME --failing-pipe NAME [gtest options]\n";
    return 2;
  }
  return RUN_ALL_TESTS();
}
