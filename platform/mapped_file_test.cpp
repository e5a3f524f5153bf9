// The mapping shows the file as it is now, and a file cut short under it makes a copy fail
// instead of ending the process.
#include "platform/mapped_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>

namespace cinevo::platform {
namespace {

class MappedFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = (std::filesystem::temp_directory_path() / ("mapped_file_" + std::to_string(::getpid()))).string();
    fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd_, 0);
    std::string bytes(kLength, '\0');
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>('a' + i % 26);
    ASSERT_EQ(::pwrite(fd_, bytes.data(), bytes.size(), 0), static_cast<ssize_t>(bytes.size()));
  }
  void TearDown() override {
    ::close(fd_);
    std::filesystem::remove(path_);
  }

  static constexpr size_t kLength = 64 * 1024;
  std::string path_;
  int fd_ = -1;
};

TEST_F(MappedFileTest, CopiesTheFilesBytesAndSeesLaterWrites) {
  MappedFile map;
  ASSERT_TRUE(map.Map(fd_, kLength));
  EXPECT_EQ(map.length(), kLength);
  char out[4] = {};
  ASSERT_TRUE(map.CopyOut(30, 3, out));
  EXPECT_EQ(std::string(out, 3), "efg");
  // Another open writes: the mapping shares the file's pages.
  int other = ::open(path_.c_str(), O_RDWR);
  ASSERT_GE(other, 0);
  ASSERT_EQ(::pwrite(other, "XYZ", 3, 30), 3);
  ::close(other);
  ASSERT_TRUE(map.CopyOut(30, 3, out));
  EXPECT_EQ(std::string(out, 3), "XYZ");
  // Ranges past the mapping are refused, not read.
  EXPECT_FALSE(map.CopyOut(kLength - 2, 3, out));
  EXPECT_FALSE(map.CopyOut(kLength + 1, 0, out));
  map.Unmap();
  EXPECT_FALSE(map.CopyOut(0, 1, out));
  EXPECT_FALSE(map.Map(fd_, 0));
}

TEST_F(MappedFileTest, AFileCutShortMakesTheCopyFailAndNothingElse) {
  MappedFile map;
  ASSERT_TRUE(map.Map(fd_, kLength));
  ASSERT_EQ(::ftruncate(fd_, 4096), 0);
  char out[1024];
  // Twice: the first failure leaves the guard in place and the signal unblocked.
  EXPECT_FALSE(map.CopyOut(32 * 1024, sizeof out, out));
  EXPECT_FALSE(map.CopyOut(60 * 1024, sizeof out, out));
  EXPECT_TRUE(map.CopyOut(0, sizeof out, out)) << "the bytes the file still holds";
  EXPECT_EQ(out[0], 'a');
  sigset_t blocked;
  ASSERT_EQ(pthread_sigmask(SIG_BLOCK, nullptr, &blocked), 0);
  EXPECT_FALSE(sigismember(&blocked, SIGBUS));
}

// A SIGBUS that no guarded copy raised still ends the process as it would have: by the signal,
// or through the handler that was there before (a sanitizer's reports and exits).
TEST_F(MappedFileTest, OtherBusErrorsStillEndTheProcess) {
  MappedFile map;
  ASSERT_TRUE(map.Map(fd_, kLength));  // installs the guard
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::raise(SIGBUS);
    ::_exit(0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_FALSE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the process went on";
  if (WIFSIGNALED(status)) {
    EXPECT_EQ(WTERMSIG(status), SIGBUS);
  }
}

}  // namespace
}  // namespace cinevo::platform
