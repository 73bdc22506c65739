// The stand-in service as a program, against clients that misbehave: each
// is refused or ignored on its own connection, memory follows the bytes
// that arrive, and every other client is still served.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thrift/TApplicationException.h>
#include <thrift/transport/TBufferTransports.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <future>
#include <string>
#include <vector>

#include "FakeServiceTransport.h"
#include "platform/PipeApi.h"
#include "service/ServiceRpc.h"
#include "transport/TWin32PipeClient.h"

extern char** environ;

namespace {

using namespace testing_support;
namespace platform = tevrin::platform;
using apache::thrift::transport::TBufferedTransport;
using apache::thrift::transport::TWin32PipeClient;

// The service on a pipe of its own for the whole suite.
class CoreServiceTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    pipe_ = "\\\\.\\pipe\\tevrin-core-service-test-" + std::to_string(getpid());
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    std::vector<std::string> argv = {CORE_SERVICE_PATH, "--pipe", pipe_};
    std::vector<char*> args;
    for (auto& a : argv) args.push_back(a.data());
    args.push_back(nullptr);
    ASSERT_EQ(posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    char line[256] = {};
    ASSERT_GT(::read(fds[0], line, sizeof line - 1), 0);
    ::close(fds[0]);
    ASSERT_EQ(std::string(line).rfind("serving", 0), 0u) << line;
  }
  static void TearDownTestSuite() {
    ::kill(pid_, SIGINT);
    int status = 0;
    ::waitpid(pid_, &status, 0);
  }

  // A well-behaved call on a connection of its own.
  static bool Reload() {
    auto pipe = std::make_shared<TWin32PipeClient>(pipe_);
    TevrinAV::ServiceRpcClient client(TevrinAV::wire::MakeServiceProtocol(std::make_shared<TBufferedTransport>(pipe)));
    return client.ReloadCore();
  }
  // The service's peak memory so far, from /proc.
  static long PeakKilobytes() {
    std::ifstream status("/proc/" + std::to_string(pid_) + "/status");
    for (std::string line; std::getline(status, line);)
      if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
    return -1;
  }
  static bool Alive() { return ::kill(pid_, 0) == 0 && ::waitpid(pid_, nullptr, WNOHANG) == 0; }

  // A raw connection that sends `bytes`, or as much of them as the service
  // takes before it closes the connection.
  struct Raw {
    explicit Raw(const Bytes& bytes) : handle(platform::OpenPipe(pipe_)) {
      EXPECT_NE(handle, platform::kInvalidFileHandle);
      uint32_t written = 0;
      if (!bytes.empty()) platform::WriteToPipe(handle, bytes.data(), static_cast<uint32_t>(bytes.size()), written);
    }
    ~Raw() { platform::ClosePipe(handle); }
    // What the service answers before it closes (at most `limit` bytes).
    Bytes answer(std::size_t limit = 4096) {
      Bytes got(limit);
      std::size_t have = 0;
      uint32_t n = 0;
      while (have < limit &&
             platform::ReadFromPipe(handle, got.data() + have, static_cast<uint32_t>(limit - have), n) && n > 0) {
        have += n;
      }
      got.resize(have);
      return got;
    }
    platform::FileHandle handle;
  };

  static std::string pipe_;
  static pid_t pid_;
};
std::string CoreServiceTest::pipe_;
pid_t CoreServiceTest::pid_ = -1;

Bytes CallHeader(const std::string& name) { return Cat({{0x80, 0x01, 0x00, 0x01}, Str(name), I32(0)}); }

TEST_F(CoreServiceTest, AHugeListAnnouncedWithoutItsElementsCostsNothing) {
  const long before = PeakKilobytes();
  // 2^31-1 strings, and 25 million, that never arrive; the connections stay open.
  Raw huge(Cat({CallHeader("SetSkipItemsNames"), Field(15, 1), {11}, I32(0x7FFFFFFF)}));
  Raw large(Cat({CallHeader("SetSkipItemsNames"), Field(15, 1), {11}, I32(25'000'000)}));
  EXPECT_TRUE(Reload());
  EXPECT_EQ(huge.answer(), Bytes()) << "refused and closed";
  EXPECT_TRUE(Alive());
  EXPECT_LT(PeakKilobytes() - before, 32 * 1024) << "kilobytes beyond the service's start";
}

TEST_F(CoreServiceTest, AClientThatSendsNothingBlocksNobody) {
  Raw silent(Bytes{});
  const Bytes call = CallHeader("ReloadCore");
  Raw halfway(Bytes(call.begin(), call.begin() + 6));
  auto reloaded = std::async(std::launch::async, Reload);
  ASSERT_EQ(reloaded.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  EXPECT_TRUE(reloaded.get());
}

TEST_F(CoreServiceTest, MalformedRequestsCloseTheirConnectionOnly) {
  Bytes deep = CallHeader("ReloadCore");
  for (int i = 0; i < 100'000; ++i) deep.insert(deep.end(), {12, 0, 1});
  const Bytes requests[] = {
      Cat({{0x80, 0x02, 0x00, 0x01}, Str("ReloadCore"), I32(0), {0}}),  // another version
      Cat({CallHeader("ReloadCore"), {0xC8}, I16(1)}),                    // no wire type
      Cat({CallHeader("GetOption"), Field(11, 1), I32(-5)}),              // negative size
      deep,                                                               // nested without end
  };
  for (const Bytes& request : requests) {
    SCOPED_TRACE(::testing::PrintToString(Bytes(request.begin(), request.begin() + 24)));
    Raw client(request);
    EXPECT_EQ(client.answer(), Bytes());
    EXPECT_TRUE(Alive());
  }
  EXPECT_TRUE(Reload());
}

TEST_F(CoreServiceTest, AnUnknownOperationGetsAnExceptionReply) {
  Raw client(Cat({CallHeader("Frobnicate"), Field(8, 1), I32(5), {0}}));
  const Bytes answer = client.answer(31);
  const Bytes header = Cat({{0x80, 0x01, 0x00, 0x03}, Str("Frobnicate"), I32(0)});
  ASSERT_GE(answer.size(), header.size());
  EXPECT_EQ(Bytes(answer.begin(), answer.begin() + static_cast<long>(header.size())), header);
}

}  // namespace
