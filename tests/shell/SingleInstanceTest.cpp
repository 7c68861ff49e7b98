// The single instance with real processes and sockets: the program's own server in this test, the
// program itself as a later start, and listeners that misbehave.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLocalSocket>
#include <QProcess>
#include <QTimer>
#include <cstdlib>
#include <thread>

#include "app/Startup.h"
#include "platform/Screen.h"
#include "platform/Warning.h"
#include "platform/qt/SingleInstanceQt.h"
#include "support/TempFolder.h"

namespace tf {
namespace {

// A private runtime folder for the test, so that the lock and socket are the test's own.
class SingleInstanceShellTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(runtime_.Path().empty());
    const char* old = std::getenv("XDG_RUNTIME_DIR");
    if (old != nullptr) oldRuntime_ = old;
    hadRuntime_ = old != nullptr;
    ::setenv("XDG_RUNTIME_DIR", runtime_.Path().c_str(), 1);
    ASSERT_TRUE(InstanceRunFolder(folder_));
    stem_ = folder_ + "/" + InstanceDisplayName();
    ResetStartupValues();
  }
  void TearDown() override {
    if (hadRuntime_) {
      ::setenv("XDG_RUNTIME_DIR", oldRuntime_.c_str(), 1);
    } else {
      ::unsetenv("XDG_RUNTIME_DIR");
    }
    ResetStartupValues();
  }

  test::ScopedTempFolder runtime_{"tf-runtime"};
  std::string folder_, stem_;

 private:
  std::string oldRuntime_;
  bool hadRuntime_ = false;
};

TEST_F(SingleInstanceShellTest, ASecondStartHandsItsFilesOverAbsoluteAndInOrder) {
  QtInstanceHost instance;
  ASSERT_EQ(instance.TakeInstanceLock(), 1);
  InstanceServer* server = instance.Server();
  ASSERT_NE(server, nullptr);
  std::vector<std::string> opened;
  int raises = 0;
  server->SetReceiver([&](const std::string& path) { opened.push_back(path); }, [&] { ++raises; });

  test::ScopedTempFolder work("tf-work");
  QProcess program;
  program.setWorkingDirectory(QString::fromStdString(work.Path()));
  program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  QEventLoop loop;
  QObject::connect(&program, &QProcess::finished, &loop, &QEventLoop::quit);
  QTimer::singleShot(60000, &loop, &QEventLoop::quit);
  program.start(QStringLiteral(TF_PROGRAM_PATH), {"one.tfi", "-t5", "/tmp/two files.tfi"});
  ASSERT_TRUE(program.waitForStarted(10000));
  loop.exec();
  ASSERT_EQ(program.state(), QProcess::NotRunning);
  EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(program.exitCode(), 1);  // the start ends: its files went over
  EXPECT_EQ(opened, (std::vector<std::string>{work.Path() + "/one.tfi", "/tmp/two files.tfi"}));
  EXPECT_EQ(raises, 1);
  EXPECT_EQ(server->BadFrames(), 0);
}

TEST_F(SingleInstanceShellTest, BadFramesDropTheConnection) {
  QtInstanceHost instance;
  ASSERT_EQ(instance.TakeInstanceLock(), 1);
  std::vector<std::string> opened;
  instance.Server()->SetReceiver([&](const std::string& path) { opened.push_back(path); }, [] {});
  QLocalSocket socket;
  socket.connectToServer(QString::fromStdString(instance.SocketPath()));
  ASSERT_TRUE(socket.waitForConnected(2000));
  // A path without its zero, longer than it says.
  const char bad[] = {5, 0, 0, 0, '/', 'a', 'b', 'c', 'd'};
  socket.write(bad, sizeof bad);
  socket.flush();
  QElapsedTimer clock;
  clock.start();
  while (socket.state() == QLocalSocket::ConnectedState && clock.elapsed() < 5000) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    if (socket.state() == QLocalSocket::ConnectedState) socket.waitForDisconnected(10);
  }
  EXPECT_NE(socket.state(), QLocalSocket::ConnectedState);
  EXPECT_EQ(instance.Server()->BadFrames(), 1);
  EXPECT_TRUE(opened.empty());
}

// A raw listener at the instance's socket, run on its own thread.
class RawListener {
 public:
  explicit RawListener(const std::string& path) {
    fd_ = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
    ::unlink(path.c_str());
    ok_ = fd_ >= 0 && ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 && ::listen(fd_, 4) == 0;
  }
  ~RawListener() {
    if (thread_.joinable()) thread_.join();
    if (fd_ >= 0) ::close(fd_);
  }
  bool Ok() const { return ok_; }
  // Accepts one start, answers its query, takes the first path frame's length and hangs up.
  void AnswerThenCloseBeforeAcknowledging() {
    thread_ = std::thread([this] {
      const int client = ::accept(fd_, nullptr, nullptr);
      if (client < 0) return;
      uint8_t query[14];
      if (ReadAll(client, query, sizeof query)) {
        const uint8_t reply[4] = {'T', 'F', '4', '0'};
        (void)!::write(client, reply, 4);
        uint8_t length[4];
        ReadAll(client, length, 4);
      }
      ::close(client);
    });
  }

 private:
  static bool ReadAll(int fd, uint8_t* data, size_t size) {
    while (size > 0) {
      const ssize_t n = ::read(fd, data, size);
      if (n <= 0) return false;
      data += n;
      size -= static_cast<size_t>(n);
    }
    return true;
  }
  int fd_ = -1;
  bool ok_ = false;
  std::thread thread_;
};

// Sends waited without limit: a hung instance hung every later start.
TEST_F(SingleInstanceShellTest, AListenerThatNeverAnswersIsGivenUpAndTheFilesStay) {
  InstanceLock running;
  ASSERT_EQ(running.Take(stem_ + ".lock"), 1);
  RawListener hung(stem_ + ".sock");  // accepts at the kernel, never reads
  ASSERT_TRUE(hung.Ok());
  QtInstanceHost start;
  start.SetQueryMilliseconds(300);
  std::vector<std::string> args = {"/tmp/a.tfi", "b.tfi"};
  QElapsedTimer clock;
  clock.start();
  EXPECT_EQ(StartupChecks(args, start), -2);
  EXPECT_LT(clock.elapsed(), 5000);
  EXPECT_EQ(args, (std::vector<std::string>{"/tmp/a.tfi", "b.tfi"}));
}

TEST_F(SingleInstanceShellTest, AnInstanceClosingBeforeAcknowledgingLeavesTheFilesHere) {
  InstanceLock running;
  ASSERT_EQ(running.Take(stem_ + ".lock"), 1);
  RawListener closing(stem_ + ".sock");
  ASSERT_TRUE(closing.Ok());
  closing.AnswerThenCloseBeforeAcknowledging();
  QtInstanceHost start;
  start.SetAckMilliseconds(5000);
  std::vector<std::string> args = {"/tmp/a.tfi", "-t", "/tmp/b.tfi"};
  EXPECT_EQ(StartupChecks(args, start), -2);
  EXPECT_EQ(args, (std::vector<std::string>{"/tmp/a.tfi", "-t", "/tmp/b.tfi"}));
}

TEST_F(SingleInstanceShellTest, NoInstanceListeningMeansAStartOfItsOwnAfterTheRetries) {
  InstanceLock running;  // a holder that never listens (still starting, or gone wrong)
  ASSERT_EQ(running.Take(stem_ + ".lock"), 1);
  QtInstanceHost start;
  start.SetQueryMilliseconds(200);
  std::vector<std::string> args = {"/tmp/a.tfi"};
  EXPECT_EQ(StartupChecks(args, start), -2);
}

}  // namespace
}  // namespace tf
