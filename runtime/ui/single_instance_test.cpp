// One running program per key: a second process hands its names to the first; dead sockets,
// hostile messages and names that arrive before anyone takes them; files given to a window as
// a drop.
#include "runtime/ui/single_instance.h"

#include <QCoreApplication>
#include <QLocalSocket>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/window/test_application.h"
#include "runtime/ui/event_code.h"
#include "runtime/ui/events.h"
#include "runtime/ui/window.h"
#include "runtime/ui/window_definition.h"

extern char** environ;

namespace cinevo {
namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

const Names kHandedNames = {"/m/one.avi", "/m/two, three.mpg", "/m/\xC4\x8C" "aj za dvoje.mov"};

// Runs Qt's events until `done` or about ten seconds have passed.
bool SpinUntil(const std::function<bool()>& done) {
  auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  return true;
}

class SingleInstanceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("single_instance_" + std::to_string(::getpid()));
    fs::create_directories(dir_);
    fs::permissions(dir_, fs::perms::owner_all);
    old_runtime_ = std::getenv("XDG_RUNTIME_DIR") ? std::getenv("XDG_RUNTIME_DIR") : "";
    setenv("XDG_RUNTIME_DIR", dir_.c_str(), 1);
    key_ = "/data/folder-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name());
  }
  void TearDown() override {
    if (old_runtime_.empty()) unsetenv("XDG_RUNTIME_DIR");
    else setenv("XDG_RUNTIME_DIR", old_runtime_.c_str(), 1);
    fs::remove_all(dir_);
  }
  fs::path dir_;
  std::string old_runtime_, key_;
};

TEST_F(SingleInstanceTest, ASecondProcessHandsItsNamesToTheFirst) {
  SingleInstance first(key_);
  ASSERT_EQ(first.Claim({}), SingleInstance::Role::kFirst) << first.problem();
  EXPECT_EQ(fs::path(first.socket_path()).parent_path(), dir_);
  std::vector<Names> got;
  first.SetReceiver([&](Names names) { got.push_back(std::move(names)); });

  // The second process is this test program again, running only the child's side.
  std::string filter = "--gtest_filter=SingleInstanceChild.HandsOverAndEnds";
  char* argv[] = {const_cast<char*>("/proc/self/exe"), filter.data(), nullptr};
  setenv("CINEVO_HANDOVER_KEY", key_.c_str(), 1);
  pid_t child = 0;
  ASSERT_EQ(::posix_spawn(&child, "/proc/self/exe", nullptr, nullptr, argv, environ), 0);
  unsetenv("CINEVO_HANDOVER_KEY");
  int status = -1;
  bool ended = SpinUntil([&] { return ::waitpid(child, &status, WNOHANG) == child; });
  if (!ended) ::kill(child, SIGKILL), ::waitpid(child, &status, 0);
  ASSERT_TRUE(ended) << "the second process did not end";
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
  ASSERT_TRUE(SpinUntil([&] { return !got.empty(); }));
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0], kHandedNames);
}

// The child's side of the test above; skipped when run on its own.
TEST(SingleInstanceChild, HandsOverAndEnds) {
  const char* key = std::getenv("CINEVO_HANDOVER_KEY");
  if (key == nullptr) GTEST_SKIP() << "runs only as the second process of ASecondProcessHandsItsNamesToTheFirst";
  SingleInstance second(key);
  EXPECT_EQ(second.Claim(kHandedNames), SingleInstance::Role::kHandedOver) << second.problem();
}

TEST_F(SingleInstanceTest, ASocketLeftByADeadProgramIsTakenOver) {
  std::string path = InstanceSocketPath(key_);
  ASSERT_FALSE(path.empty());
  // A bound socket whose program is gone: the file stays, nobody answers.
  int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", path.c_str());
  ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  ::close(fd);
  ASSERT_TRUE(fs::exists(path));
  SingleInstance s(key_);
  EXPECT_EQ(s.Claim({"/m/a.avi"}, 500), SingleInstance::Role::kFirst) << s.problem();
  // Other keys have other sockets.
  EXPECT_NE(InstanceSocketPath(key_ + "x"), path);
}

TEST_F(SingleInstanceTest, NamesWaitForTheReceiverAndHostileMessagesAreDropped) {
  SingleInstance first(key_);
  ASSERT_EQ(first.Claim({}), SingleInstance::Role::kFirst);
  auto send_raw = [&](const std::string& bytes) {
    QLocalSocket s;
    s.connectToServer(QString::fromStdString(first.socket_path()));
    if (!s.waitForConnected(2000)) return std::string("not connected");
    s.write(bytes.data(), static_cast<qint64>(bytes.size()));
    s.waitForBytesWritten(2000);
    std::string answer;
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(800);
    while (std::chrono::steady_clock::now() < end && s.state() == QLocalSocket::ConnectedState) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
      answer += s.readAll().toStdString();
    }
    return answer;
  };
  // The server runs in this process: the raw clients are served while they wait.
  EXPECT_EQ(send_raw(std::string("GET / HTTP/1.0\r\n\r\n\0\0", 20)), "");
  EXPECT_EQ(send_raw("cinevo-open 1\n" + std::string(kMaxHandOverBytes + 10, 'x')), "");
  EXPECT_EQ(send_raw(std::string("cinevo-open 1\n/m/a.avi\0\0\0", 25)), "ok\n");
  EXPECT_EQ(send_raw(std::string("cinevo-open 1\n\0\0", 16)), "ok\n");  // a start with no files
  std::vector<Names> got;
  first.SetReceiver([&](Names names) { got.push_back(std::move(names)); });
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0], Names{"/m/a.avi"});
  EXPECT_EQ(got[1], Names{});
}

TEST_F(SingleInstanceTest, HandedNamesArriveAsADropOnTheWindow) {
  ASSERT_TRUE(StartEventRuntime());
  WindowDefinition d;
  d.resource = "test$HANDOVER";
  d.label = "P1$WINDOW";
  d.caption = "Hand-over";
  d.acceptsDrops = true;
  Window w;
  EXPECT_FALSE(DropFilesOn(w, {"/m/a.avi"}));  // not open
  ASSERT_TRUE(w.Open(d));
  ASSERT_TRUE(DropFilesOn(w, kHandedNames));
  w.Post(EVENT::Notify);  // behind the drop: ends the loop
  std::string dropped;
  int drops = 0;
  while (w.Accept()) {
    if (w.Event() == EVENT::Drop) {
      dropped = w.DropText();
      ++drops;
    }
    if (w.Event() == EVENT::Notify) w.Close();
  }
  EXPECT_EQ(drops, 1);
  EXPECT_EQ(dropped, kHandedNames[0] + "," + kHandedNames[1] + "," + kHandedNames[2]);
}

}  // namespace
}  // namespace cinevo
