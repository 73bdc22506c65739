// Our ServiceRpcClient against the client Thrift's compiler generates from
// ServiceRpc.thrift (stock TSocket, TBufferedTransport, TBinaryProtocol), on
// the same pipe to the same server: the Thrift-generated processor, in a
// process of its own, served by the stand-in service's loop or by Thrift's
// TThreadedServer, writing replies in 512-byte or 64 KiB blocks. Rounds
// interleave the two clients shape by shape, and the medians per call are
// compared, server by server.
//
//   rpc_bench [--rounds N] [--scale F] [--server K]
//                                          the comparison tables
//   rpc_bench --client ours|generated --shape NAME [--calls N] [--server K]
//                                          only that client's calls, for
//                                          callgrind (bench/rpc/instructions.sh)
//   rpc_bench --serve NAME K               server K alone
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thrift/protocol/TBinaryProtocol.h>
#include <thrift/transport/TBufferTransports.h>
#include <thrift/server/TThreadedServer.h>
#include <thrift/transport/TServerSocket.h>
#include <thrift/transport/TSocket.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <iostream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "PipeListener.h"
#include "ScriptedHandler.h"
#include "ServiceRpc.h"  // the generated client
#include "Serving.h"
#include "service/ServiceRpc.h"
#include "transport/TWin32PipeClient.h"

namespace {

using apache::thrift::protocol::TBinaryProtocol;
using apache::thrift::transport::TBufferedTransport;
using apache::thrift::transport::TSocket;
using apache::thrift::transport::TWin32PipeClient;
namespace idl = coreservice::idl;

constexpr std::size_t kListLength = 20000;

// What the server answers: a 100-character text, 20,000 numbers, 20,000
// skip-list records with two paths each.
coreservice::Answers BenchAnswers() {
  coreservice::Answers answers = coreservice::UniformAnswers(true, 7, std::string(100, 't'));
  answers.runningTasks.clear();
  answers.skipList.clear();
  for (std::size_t i = 0; i < kListLength; ++i) {
    answers.runningTasks.push_back(static_cast<int64_t>(i) * 1000003);
    idl::SkipItem item;
    item.__set_number1(static_cast<int32_t>(i));
    item.__set_text2("C:\\Program Files\\Vendor\\Product\\bin\\module" + std::to_string(i) + ".dll");
    item.__set_text3("Excluded by the administrator");
    item.__set_flag4(i % 2 == 0);
    item.__set_flag5(false);
    answers.skipList.push_back(item);
  }
  return answers;
}

// ---- The servers -----------------------------------------------------------

// Who serves the calls: the stand-in service's own loop, or Thrift's
// TThreadedServer on a stock TServerSocket; either writes its replies in
// blocks of `block` bytes.
struct ServerKind {
  const char* name;
  bool thriftServer;
  uint32_t block;
};
const ServerKind kServers[] = {
    {"stand-in service, 512-byte blocks", false, 512},
    {"TThreadedServer, 512-byte blocks", true, 512},
    {"TThreadedServer, 64 KiB blocks", true, 64 * 1024},
};

// Buffered transports with a write buffer of the server's block.
class BlockTransportFactory : public apache::thrift::transport::TTransportFactory {
public:
  explicit BlockTransportFactory(uint32_t block) : block_(block) {}
  std::shared_ptr<apache::thrift::transport::TTransport> getTransport(
      std::shared_ptr<apache::thrift::transport::TTransport> transport) override {
    return std::make_shared<TBufferedTransport>(transport, 512, block_);
  }

private:
  uint32_t block_;
};

[[noreturn]] void Serve(const std::string& name, const ServerKind& kind) {
  const coreservice::Answers answers = BenchAnswers();
  if (kind.thriftServer) {
    auto handler = std::make_shared<coreservice::ScriptedHandler>();
    handler->answers = answers;
    auto socket = std::make_shared<apache::thrift::transport::TServerSocket>(std::string(1, '\0') + name);
    apache::thrift::server::TThreadedServer server(std::make_shared<idl::ServiceRpcProcessor>(handler), socket,
                                                   std::make_shared<BlockTransportFactory>(kind.block),
                                                   std::make_shared<apache::thrift::protocol::TBinaryProtocolFactory>());
    server.setServerEventHandler(nullptr);
    std::thread serving([&] { server.serve(); });
    // Clients connect once the socket listens.
    while (!socket->isOpen()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::cout << "serving" << std::endl;
    serving.join();
    std::exit(0);
  }
  coreservice::PipeListener listener("\\\\.\\pipe\\" + name);
  std::cout << "serving" << std::endl;
  for (;;) {
    auto connection = listener.Accept();
    if (connection == tevrin::platform::kInvalidFileHandle) std::exit(0);
    std::thread([connection, &answers, &kind] {
      coreservice::ScriptedHandler handler;
      handler.answers = answers;
      coreservice::ServeCalls(connection, handler, nullptr, kind.block);
    }).detach();
  }
}

// Starts this program (`self`) as server `kind` (an index of kServers) and
// waits until it accepts clients. It is exec'd, not forked, so that
// callgrind measures the clients only.
pid_t StartServer(const char* self, const std::string& name, std::size_t kind) {
  int ready[2];
  if (::pipe(ready) != 0) throw std::runtime_error("pipe failed");
  pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(ready[1], STDOUT_FILENO);
    const std::string number = std::to_string(kind);
    ::execl(self, "rpc_bench", "--serve", name.c_str(), number.c_str(), static_cast<char*>(nullptr));
    std::_Exit(127);
  }
  ::close(ready[1]);
  char line[16] = {};
  if (::read(ready[0], line, sizeof line - 1) <= 0 || std::strncmp(line, "serving", 7) != 0)
    throw std::runtime_error("the server did not start");
  ::close(ready[0]);
  return pid;
}

// ---- The clients -----------------------------------------------------------

struct Shape {
  const char* name;
  int calls;  // per round, before --scale
  std::function<void(TevrinAV::ServiceRpcClient&)> ours;
  std::function<void(idl::ServiceRpcClient&)> generated;
};

const Shape kShapes[] = {
    {"ReloadCore", 2000, [](auto& c) { c.ReloadCore(); }, [](auto& c) { c.ReloadCore(); }},
    {"GetOption", 2000,
     [](auto& c) {
       TevrinAV::WideString text;
       c.GetOption(text, 1);
     },
     [](auto& c) {
       std::string text;
       c.GetOption(text, 1);
     }},
    {"GetRunningTasks", 100,
     [](auto& c) {
       std::vector<int64_t> tasks;
       c.GetRunningTasks(tasks);
     },
     [](auto& c) {
       std::vector<int64_t> tasks;
       c.GetRunningTasks(tasks);
     }},
    {"GetSkipList", 10,
     [](auto& c) {
       std::vector<TevrinAV::SkipItem> items;
       c.GetSkipList(items);
     },
     [](auto& c) {
       std::vector<idl::SkipItem> items;
       c.GetSkipList(items);
     }},
};

struct Clients {
  explicit Clients(const std::string& name)
      : ours(TevrinAV::wire::MakeServiceProtocol(
            std::make_shared<TBufferedTransport>(std::make_shared<TWin32PipeClient>("\\\\.\\pipe\\" + name)))),
        generated(std::make_shared<TBinaryProtocol>(std::make_shared<TBufferedTransport>(OpenSocket(name)))) {}

  static std::shared_ptr<TSocket> OpenSocket(const std::string& name) {
    auto socket = std::make_shared<TSocket>(std::string(1, '\0') + name);  // abstract namespace
    socket->open();
    return socket;
  }

  TevrinAV::ServiceRpcClient ours;
  idl::ServiceRpcClient generated;
};

// The calls that callgrind counts (instructions.sh collects this function only).
__attribute__((noinline)) void MeasuredCalls(const Shape& shape, Clients& clients, bool ours, int calls) {
  for (int i = 0; i < calls; ++i) {
    if (ours)
      shape.ours(clients.ours);
    else
      shape.generated(clients.generated);
  }
}

double SecondsPerCall(const Shape& shape, Clients& clients, bool ours, int calls) {
  auto start = std::chrono::steady_clock::now();
  MeasuredCalls(shape, clients, ours, calls);
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / calls;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  std::size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

std::string Readable(double seconds) {
  char text[32];
  if (seconds < 1e-3)
    std::snprintf(text, sizeof text, "%.1f us", seconds * 1e6);
  else
    std::snprintf(text, sizeof text, "%.2f ms", seconds * 1e3);
  return text;
}

const Shape* FindShape(const std::string& name) {
  for (const Shape& shape : kShapes)
    if (name == shape.name) return &shape;
  return nullptr;
}

// Medians per call of both clients against one server, in interleaved rounds.
void CompareClients(Clients& clients, int rounds, double scale, const ServerKind& server) {
  std::vector<std::vector<double>> ours(std::size(kShapes)), generated(std::size(kShapes));
  for (int round = 0; round <= rounds; ++round) {  // round 0 warms up
    for (std::size_t s = 0; s < std::size(kShapes); ++s) {
      const Shape& shape = kShapes[s];
      const int n = std::max(1, static_cast<int>(shape.calls * scale));
      // Who goes first alternates, so that neither always meets a cold cache.
      const bool oursFirst = round % 2 == 0;
      double first = SecondsPerCall(shape, clients, oursFirst, n);
      double second = SecondsPerCall(shape, clients, !oursFirst, n);
      if (round == 0) continue;
      ours[s].push_back(oursFirst ? first : second);
      generated[s].push_back(oursFirst ? second : first);
    }
  }
  std::printf("server: %s\n", server.name);
  std::printf("%-18s %12s %12s %8s   (medians of %d rounds)\n", "per call", "ours", "generated", "ratio", rounds);
  for (std::size_t s = 0; s < std::size(kShapes); ++s) {
    double o = Median(ours[s]);
    double g = Median(generated[s]);
    std::printf("%-18s %12s %12s %8.2f\n", kShapes[s].name, Readable(o).c_str(), Readable(g).c_str(), o / g);
  }
  std::fflush(stdout);
}

int Usage() {
  std::cerr << "usage: rpc_bench [--rounds N] [--scale F] [--server K]\n"
               "       rpc_bench --client ours|generated --shape NAME [--calls N] [--server K]\n"
               "       rpc_bench --serve NAME K\n"
               "shapes: ReloadCore, GetOption, GetRunningTasks, GetSkipList\n"
               "servers K (default: all of them in turn; 0 for --client):\n";
  for (std::size_t k = 0; k < std::size(kServers); ++k) std::cerr << "  " << k << "  " << kServers[k].name << "\n";
  return 2;
}

}  // namespace

int main(int argc, char* argv[]) {
  int rounds = 15;
  double scale = 1;
  std::string client;
  std::string shapeName;
  int calls = 0;
  int serverKind = -1;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--serve" && i + 2 < argc) {
      const auto kind = static_cast<std::size_t>(std::atoi(argv[i + 2]));
      if (kind >= std::size(kServers)) return Usage();
      Serve(argv[i + 1], kServers[kind]);
    }
    if (arg == "--rounds" && hasValue)
      rounds = std::atoi(argv[++i]);
    else if (arg == "--scale" && hasValue)
      scale = std::atof(argv[++i]);
    else if (arg == "--client" && hasValue)
      client = argv[++i];
    else if (arg == "--shape" && hasValue)
      shapeName = argv[++i];
    else if (arg == "--calls" && hasValue)
      calls = std::atoi(argv[++i]);
    else if (arg == "--server" && hasValue)
      serverKind = std::atoi(argv[++i]);
    else
      return Usage();
  }
  if (rounds < 1 || scale <= 0 || serverKind >= static_cast<int>(std::size(kServers)) ||
      (!client.empty() && client != "ours" && client != "generated"))
    return Usage();

  std::vector<std::size_t> servers;
  if (serverKind >= 0)
    servers = {static_cast<std::size_t>(serverKind)};
  else if (!client.empty())
    servers = {0};
  else
    for (std::size_t k = 0; k < std::size(kServers); ++k) servers.push_back(k);
  int status = 0;
  for (std::size_t kind : servers) {
    const std::string name = "tevrin-rpc-bench-" + std::to_string(::getpid()) + "-" + std::to_string(kind);
    pid_t server = -1;
    try {
      server = StartServer(argv[0], name, kind);
      Clients clients(name);
      if (!client.empty()) {
        const Shape* shape = FindShape(shapeName);
        if (shape == nullptr) throw std::invalid_argument("unknown shape '" + shapeName + "'");
        shape->ours(clients.ours);  // warm both ends up
        shape->generated(clients.generated);
        MeasuredCalls(*shape, clients, client == "ours", calls > 0 ? calls : shape->calls / 10 + 1);
      } else {
        CompareClients(clients, rounds, scale, kServers[kind]);
      }
    } catch (const std::exception& e) {
      std::cerr << "rpc_bench: " << e.what() << "\n";
      status = 1;
    }
    if (server > 0) {
      ::kill(server, SIGTERM);
      ::waitpid(server, nullptr, 0);
    }
  }
  return status;
}
