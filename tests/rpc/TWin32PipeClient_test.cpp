#include "transport/TWin32PipeClient.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "PipeConnection.h"
#include "PipeListener.h"

#ifdef _WIN32
#include <process.h>
#define getpid _getpid
#else
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace {

using apache::thrift::transport::TTransportException;
using apache::thrift::transport::TWin32PipeClient;
using coreservice::PipeConnection;
using coreservice::PipeListener;
using tevrin::platform::Deadline;
using std::chrono::milliseconds;
using std::chrono::steady_clock;

// How often the calling thread has gone to sleep and woken up again: a wait
// that polls does so hundreds of times a second, one in the kernel once.
// (Being preempted on a busy machine is not counted.) Linux only.
long Wakeups() {
#ifdef _WIN32
  return 0;
#else
  rusage usage{};
  getrusage(RUSAGE_THREAD, &usage);
  return usage.ru_nvcsw;
#endif
}

std::string UniquePipeName() {
  static std::atomic<int> counter{0};
  return "\\\\.\\pipe\\tevrin-transport-test-" + std::to_string(getpid()) + "-" + std::to_string(++counter);
}

// Expects `action` to raise a TTransportException of `type` with `message`.
template <class Action>
void ExpectTransportError(Action action, TTransportException::TTransportExceptionType type, const char* message) {
  try {
    action();
    ADD_FAILURE() << "no exception, expected: " << message;
  } catch (const TTransportException& e) {
    EXPECT_EQ(e.getType(), type);
    EXPECT_STREQ(e.what(), message);
  }
}

// A served pipe and, once accepted, the server's end of the connection.
class TWin32PipeClientTest : public ::testing::Test {
protected:
  // Connects a client and accepts it on the server side.
  std::unique_ptr<TWin32PipeClient> connect(Deadline deadline = tevrin::platform::kNoDeadline) {
    auto accepted = std::async(std::launch::async, [this] { return listener_.Accept(); });
    auto client = std::make_unique<TWin32PipeClient>(name_, deadline);
    server_ = std::make_unique<PipeConnection>(accepted.get());
    return client;
  }

  std::string name_ = UniquePipeName();
  PipeListener listener_{name_};
  std::unique_ptr<PipeConnection> server_;
};

TEST(TWin32PipeClientOpenTest, MissingPipeFailsWithCode2) {
  ExpectTransportError([] { TWin32PipeClient client(UniquePipeName()); }, TTransportException::NOT_OPEN,
                       "TWin32PipeClient open() failed: errno = 2");
}

TEST_F(TWin32PipeClientTest, BusyPipeFailsWithCode231WithoutWaiting) {
  listener_.HoldBusy();
  ExpectTransportError([this] { TWin32PipeClient client(name_); }, TTransportException::NOT_OPEN,
                       "TWin32PipeClient open() failed: errno = 231");
}

TEST_F(TWin32PipeClientTest, ReadReturnsWhatHasArrived) {
  auto client = connect();
  EXPECT_TRUE(client->isOpen());
  EXPECT_TRUE(client->peek());
  std::vector<uint8_t> reply(40, 0x5A);
  server_->write(reply.data(), 40);
  std::vector<uint8_t> buffer(512);
  EXPECT_EQ(client->read(buffer.data(), 512), 40u);
  EXPECT_TRUE(std::equal(reply.begin(), reply.end(), buffer.begin()));
}

TEST_F(TWin32PipeClientTest, WriteReachesTheServer) {
  auto client = connect();
  const uint8_t request[] = {1, 2, 3};
  client->write(request, 3);
  client->write(request, 0);
  uint8_t received[3] = {};
  server_->readAll(received, 3);
  EXPECT_EQ(std::vector<uint8_t>(received, received + 3), std::vector<uint8_t>(request, request + 3));
}

TEST_F(TWin32PipeClientTest, FlushWaitsUntilTheServerHasReadEverything) {
  auto client = connect();
  std::vector<uint8_t> request(1000, 7);
  client->write(request.data(), static_cast<uint32_t>(request.size()));
  auto flushed = std::async(std::launch::async, [&] {
    const long before = Wakeups();
    client->flush();
    return Wakeups() - before;
  });
  EXPECT_EQ(flushed.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout);
  std::vector<uint8_t> received(request.size());
  server_->readAll(received.data(), static_cast<uint32_t>(received.size()));
  EXPECT_LT(flushed.get(), 20) << "the flush polled";
}

// Each wait that the service never ends fails once the deadline is over,
// blocked in the kernel the whole time.
TEST_F(TWin32PipeClientTest, DeadlineEndsEveryWaitWithTimeout1460) {
  const struct {
    const char* name;
    std::function<void(TWin32PipeClient&)> wait;
    const char* message;
  } waits[] = {
      {"read of a reply that never comes",
       [](TWin32PipeClient& c) {
         uint8_t buffer[16];
         c.read(buffer, sizeof buffer);
       },
       "TWin32PipeClient read() failed: errno = 1460"},
      {"flush of a request nobody reads",
       [](TWin32PipeClient& c) {
         const uint8_t request[100] = {};
         c.write(request, sizeof request);
         c.flush();
       },
       "TWin32PipeClient flush() failed: errno = 1460"},
      {"write larger than the pipe holds",
       [](TWin32PipeClient& c) {
         std::vector<uint8_t> request(8 << 20);
         c.write(request.data(), static_cast<uint32_t>(request.size()));
       },
       "TWin32PipeClient write() failed: errno = 1460"},
  };
  for (const auto& w : waits) {
    SCOPED_TRACE(w.name);
    const auto start = steady_clock::now();
    const long wakeupsBefore = Wakeups();
    auto client = connect(start + milliseconds(300));
    ExpectTransportError([&] { w.wait(*client); }, TTransportException::TIMED_OUT, w.message);
    client.reset();  // closing does not wait past the deadline either
    EXPECT_GE(steady_clock::now() - start, milliseconds(290));
    EXPECT_LT(steady_clock::now() - start, milliseconds(5000));
    EXPECT_LT(Wakeups() - wakeupsBefore, 20) << "the wait polled";
  }
}

TEST_F(TWin32PipeClientTest, DeadlineLeavesPromptAnswersAlone) {
  auto client = connect(steady_clock::now() + milliseconds(60000));
  const uint8_t request[3] = {1, 2, 3};
  client->write(request, 3);
  auto served = std::async(std::launch::async, [this] {
    uint8_t received[3] = {};
    server_->readAll(received, 3);
    server_->write(received, 3);
  });
  client->flush();
  uint8_t reply[3] = {};
  EXPECT_EQ(client->readAll(reply, 3), 3u);
  EXPECT_EQ(reply[2], 3);
  served.get();
}

TEST_F(TWin32PipeClientTest, OpenWhileOpenKeepsTheConnection) {
  auto client = connect();
  client->open();
  const uint8_t byte = 9;
  client->write(&byte, 1);
  uint8_t received = 0;
  server_->readAll(&received, 1);
  EXPECT_EQ(received, 9);
}

TEST_F(TWin32PipeClientTest, CloseTwiceIsHarmless) {
  auto client = connect();
  client->close();
  EXPECT_FALSE(client->isOpen());
  client->close();
  EXPECT_FALSE(client->isOpen());
}

TEST_F(TWin32PipeClientTest, OperationsAfterCloseFailAsNotOpen) {
  auto client = connect();
  client->close();
  uint8_t buffer[4] = {};
  ExpectTransportError([&] { client->read(buffer, 4); }, TTransportException::NOT_OPEN,
                       "TWin32PipeClient read() failed.");
  ExpectTransportError([&] { client->write(buffer, 4); }, TTransportException::NOT_OPEN,
                       "TWin32PipeClient write() failed");
  ExpectTransportError([&] { client->flush(); }, TTransportException::NOT_OPEN, "TWin32PipeClient flush() failed");
}

TEST_F(TWin32PipeClientTest, ServerClosingBeforeReplyFailsTheReadWithCode109) {
  auto client = connect();
  server_.reset();
  uint8_t buffer[16];
  ExpectTransportError([&] { client->read(buffer, sizeof buffer); }, TTransportException::UNKNOWN,
                       "TWin32PipeClient read() failed: errno = 109");
  EXPECT_TRUE(client->isOpen()) << "a failure leaves the handle as it was";
}

TEST_F(TWin32PipeClientTest, WritingToAClosedServerFailsWithCode232) {
  auto client = connect();
  server_.reset();
  uint8_t buffer[16] = {};
  ExpectTransportError([&] { client->write(buffer, sizeof buffer); }, TTransportException::UNKNOWN,
                       "TWin32PipeClient write() failed: errno = 232");
}

TEST_F(TWin32PipeClientTest, ReadOfZeroBytesReturnsZero) {
  auto client = connect();
#ifdef _WIN32
  // On a Windows pipe a zero-byte read waits until there is data to read.
  uint8_t pending = 1;
  server_->write(&pending, 1);
#endif
  uint8_t buffer[1];
  EXPECT_EQ(client->read(buffer, 0), 0u);
}

}  // namespace
