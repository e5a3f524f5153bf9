// Locks taken through two opens of one file must exclude each other, in one process and across
// processes, and be given back on release and on destruction.
#include "platform/file_lock.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>

namespace cinevo::platform {
namespace {

std::string TempFile() {
  std::string path = (std::filesystem::temp_directory_path() / ("file_lock_" + std::to_string(::getpid()))).string();
  std::ofstream(path) << "x";
  return path;
}

TEST(FileLock, TwoOpensInOneProcessExcludeEachOther) {
  std::string path = TempFile();
  int err = 0;
  auto a = FileLock::Open(path, err);
  auto b = FileLock::Open(path, err);
  ASSERT_TRUE(a && b);
  const uint64_t base = 0x80000000ull;
  EXPECT_EQ(a->TryLock(base + 5, 1), 0);
  EXPECT_EQ(b->TryLock(base + 5, 1), EAGAIN);
  EXPECT_EQ(b->TryLock(base, 0x3FF), EAGAIN);  // a range that covers it
  EXPECT_EQ(b->TryLock(base + 6, 1), 0);       // a neighbour is free
  EXPECT_EQ(a->Lock(base + 6, 1, 20), EAGAIN); // waits, then gives up
  EXPECT_EQ(a->Unlock(base + 5, 1), 0);
  EXPECT_EQ(b->TryLock(base + 5, 1), 0);
  b.reset();  // closing drops b's locks, not a's
  EXPECT_EQ(a->TryLock(base + 5, 1), 0);
  EXPECT_EQ(a->Unlock(base + 100, 1), 0);  // releasing what is not held is fine
  std::filesystem::remove(path);
}

TEST(FileLock, ProbeSeesOnlyOtherHoldersAndTakesNothing) {
  std::string path = TempFile();
  int err = 0;
  auto a = FileLock::Open(path, err);
  auto b = FileLock::Open(path, err);
  ASSERT_TRUE(a && b);
  const uint64_t at = 0x80000400ull + 42;
  EXPECT_EQ(a->Probe(at, 1), 0);
  EXPECT_EQ(b->TryLock(at, 1), 0);  // the probe took nothing
  EXPECT_EQ(a->Probe(at, 1), EAGAIN);
  EXPECT_EQ(b->Probe(at, 1), 0);     // its own lock does not count
  EXPECT_EQ(a->Probe(at + 1, 1), 0);
  EXPECT_EQ(b->Unlock(at, 1), 0);
  EXPECT_EQ(a->Probe(at, 1), 0);
  std::filesystem::remove(path);
}

TEST(FileLock, AnotherProcessIsExcluded) {
  std::string path = TempFile();
  int err = 0;
  auto a = FileLock::Open(path, err);
  ASSERT_TRUE(a);
  ASSERT_EQ(a->TryLock(0x80000000ull + 0x3FF, 1), 0);
  pid_t pid = ::fork();
  if (pid == 0) {
    int e = 0;
    auto c = FileLock::Open(path, e);
    int held = c ? c->TryLock(0x80000000ull + 0x3FF, 1) : -1;
    int free_byte = c ? c->TryLock(0x80000000ull + 0x3FE, 1) : -1;
    ::_exit(held == EAGAIN && free_byte == 0 ? 0 : 1);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  std::filesystem::remove(path);
}

TEST(FileLock, MissingFileGivesItsError) {
  int err = 0;
  EXPECT_EQ(FileLock::Open("/nonexistent/dir/file", err), nullptr);
  EXPECT_EQ(err, ENOENT);
}

}  // namespace
}  // namespace cinevo::platform
