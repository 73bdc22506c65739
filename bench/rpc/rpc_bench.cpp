// Our ServiceRpcClient against the client Thrift's compiler generates from
// ServiceRpc.thrift (stock TSocket, TBufferedTransport, TBinaryProtocol), on
// the same pipe to the same server: the Thrift-generated processor, in a
// process of its own. Rounds interleave the two clients shape by shape, and
// the medians per call are compared.
//
//   rpc_bench [--rounds N] [--scale F]     the comparison table
//   rpc_bench --client ours|generated --shape NAME [--calls N]
//                                          only that client's calls, for
//                                          callgrind (bench/rpc/instructions.sh)
//   rpc_bench --serve PIPE                 the server alone
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thrift/protocol/TBinaryProtocol.h>
#include <thrift/transport/TBufferTransports.h>
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

// ---- The server ------------------------------------------------------------

[[noreturn]] void Serve(const std::string& pipe) {
  coreservice::PipeListener listener(pipe);
  std::cout << "serving" << std::endl;
  const coreservice::Answers answers = BenchAnswers();
  for (;;) {
    auto connection = listener.Accept();
    if (connection == tevrin::platform::kInvalidFileHandle) std::exit(0);
    std::thread([connection, &answers] {
      coreservice::ScriptedHandler handler;
      handler.answers = answers;
      coreservice::ServeCalls(connection, handler, nullptr);
    }).detach();
  }
}

// Starts this program (`self`) as the server and waits until it accepts
// clients. It is exec'd, not forked, so that callgrind measures the clients
// only.
pid_t StartServer(const char* self, const std::string& pipe) {
  int ready[2];
  if (::pipe(ready) != 0) throw std::runtime_error("pipe failed");
  pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(ready[1], STDOUT_FILENO);
    ::execl(self, "rpc_bench", "--serve", pipe.c_str(), static_cast<char*>(nullptr));
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

int Usage() {
  std::cerr << "usage: rpc_bench [--rounds N] [--scale F]\n"
               "       rpc_bench --client ours|generated --shape NAME [--calls N]\n"
               "       rpc_bench --serve PIPE\n"
               "shapes: ReloadCore, GetOption, GetRunningTasks, GetSkipList\n";
  return 2;
}

}  // namespace

int main(int argc, char* argv[]) {
  int rounds = 15;
  double scale = 1;
  std::string client;
  std::string shapeName;
  int calls = 0;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--serve" && hasValue) Serve(argv[++i]);
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
    else
      return Usage();
  }
  if (rounds < 1 || scale <= 0 || (!client.empty() && client != "ours" && client != "generated")) return Usage();

  const std::string name = "tevrin-rpc-bench-" + std::to_string(::getpid());
  pid_t server = -1;
  int status = 0;
  try {
    server = StartServer(argv[0], "\\\\.\\pipe\\" + name);
    Clients clients(name);
    if (!client.empty()) {
      const Shape* shape = FindShape(shapeName);
      if (shape == nullptr) throw std::invalid_argument("unknown shape '" + shapeName + "'");
      shape->ours(clients.ours);  // warm both ends up
      shape->generated(clients.generated);
      MeasuredCalls(*shape, clients, client == "ours", calls > 0 ? calls : shape->calls / 10 + 1);
    } else {
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
      std::printf("%-18s %12s %12s %8s   (medians of %d rounds)\n", "per call", "ours", "generated", "ratio",
                  rounds);
      for (std::size_t s = 0; s < std::size(kShapes); ++s) {
        double o = Median(ours[s]);
        double g = Median(generated[s]);
        std::printf("%-18s %12s %12s %8.2f\n", kShapes[s].name, Readable(o).c_str(), Readable(g).c_str(), o / g);
      }
    }
  } catch (const std::exception& e) {
    std::cerr << "rpc_bench: " << e.what() << "\n";
    status = 1;
  }
  if (server > 0) {
    ::kill(server, SIGTERM);
    ::waitpid(server, nullptr, 0);
  }
  return status;
}
