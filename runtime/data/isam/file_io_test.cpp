#include "runtime/data/isam/file_io.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <limits.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "runtime/data/isam/faulty_file_io.h"

namespace cinevo::isam {
namespace {

namespace fs = std::filesystem;

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Writes at most `limit` bytes per call, as a file system may under pressure.
class ShortWrites final : public FileIo {
 public:
  explicit ShortWrites(size_t limit) : limit_(limit) {}
  ssize_t Pwrite(int fd, const void* data, size_t size, uint64_t offset) override {
    ++calls;
    return ::pwrite(fd, data, std::min(size, limit_), static_cast<off_t>(offset));
  }
  ssize_t Pwritev(int fd, const struct iovec* pieces, int count, uint64_t offset) override {
    ++calls;
    max_pieces = std::max(max_pieces, count);
    std::vector<struct iovec> cut;
    size_t left = limit_;
    for (int i = 0; i < count && left > 0; ++i) {
      size_t take = std::min(left, pieces[i].iov_len);
      cut.push_back({pieces[i].iov_base, take});
      left -= take;
    }
    return ::pwritev(fd, cut.data(), static_cast<int>(cut.size()), static_cast<off_t>(offset));
  }
  int Fdatasync(int fd) override { return ::fdatasync(fd); }
  int Ftruncate(int fd, uint64_t size) override { return ::ftruncate(fd, static_cast<off_t>(size)); }

  int calls = 0;
  int max_pieces = 0;

 private:
  size_t limit_;
};

class FileIoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = (fs::temp_directory_path() / ("isam_file_io_" + std::to_string(::getpid()) + "_" +
                                          ::testing::UnitTest::GetInstance()->current_test_info()->name()))
                .string();
    fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    ASSERT_GE(fd_, 0);
  }
  void TearDown() override {
    ::close(fd_);
    fs::remove(path_);
  }
  // Pieces of different lengths (one empty) cut from `text`.
  static std::vector<struct iovec> Pieces(std::string& text, const std::vector<size_t>& lengths) {
    std::vector<struct iovec> pieces;
    size_t at = 0;
    for (size_t n : lengths) {
      pieces.push_back({text.data() + at, n});
      at += n;
    }
    return pieces;
  }

  std::string path_;
  int fd_ = -1;
};

TEST_F(FileIoTest, AVectorWriteGoesOutWholeThroughShortWritesAndPiecesBeyondTheLimit) {
  std::string text;
  for (int i = 0; i < 5000; ++i) text.push_back(static_cast<char>('a' + i % 23));
  std::vector<size_t> lengths = {7, 0, 300, 1, 2000};
  size_t used = 2308;
  // More pieces than one call takes: the rest in single bytes.
  while (used < text.size()) {
    lengths.push_back(1);
    ++used;
  }
  ASSERT_GT(lengths.size(), static_cast<size_t>(IOV_MAX));
  ShortWrites io(333);
  auto pieces = Pieces(text, lengths);
  ASSERT_TRUE(WriteVectorFully(io, fd_, pieces, 64, "test").ok());
  EXPECT_EQ(ReadAll(path_), std::string(64, '\0') + text);
  EXPECT_LE(io.max_pieces, IOV_MAX);
  EXPECT_GE(io.calls, static_cast<int>(text.size() / 333));
}

TEST_F(FileIoTest, AFaultyVectorWriteFailsOrStopsHalfwayAndCountsAsOneWrite) {
  std::string text(1000, 'x');
  for (size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char>('A' + i % 26);
  {
    FaultyFileIo io(FaultPlan{FaultPlan::Kind::kFailWrite, 1, false});
    auto first = Pieces(text, {10, 20});
    ASSERT_TRUE(WriteVectorFully(io, fd_, first, 0, "test").ok());
    auto second = Pieces(text, {100, 900});
    Status st = WriteVectorFully(io, fd_, second, 0, "test");
    EXPECT_FALSE(st.ok());
    EXPECT_TRUE(io.fired());
    EXPECT_EQ(io.writes(), 2u);
    EXPECT_EQ(ReadAll(path_), text.substr(0, 30)) << "the failed write wrote nothing";
  }
  ASSERT_EQ(::ftruncate(fd_, 0), 0);
  {
    FaultyFileIo io(FaultPlan{FaultPlan::Kind::kHalfWrite, 0, false});
    auto pieces = Pieces(text, {100, 0, 900});
    Status st = WriteVectorFully(io, fd_, pieces, 0, "test");
    EXPECT_FALSE(st.ok());
    EXPECT_EQ(ReadAll(path_), text.substr(0, 500)) << "half of all the pieces' bytes, then the rest fails";
  }
  ASSERT_EQ(::ftruncate(fd_, 0), 0);
  {
    // Dead after a fault: nothing more reaches the file.
    FaultyFileIo io(FaultPlan{FaultPlan::Kind::kFailSync, 0, true});
    EXPECT_NE(io.Fdatasync(fd_), 0);
    auto pieces = Pieces(text, {100});
    EXPECT_FALSE(WriteVectorFully(io, fd_, pieces, 0, "test").ok());
    EXPECT_EQ(ReadAll(path_), "");
  }
}

TEST_F(FileIoTest, ReadIntoStopsAtTheFilesEnd) {
  ASSERT_EQ(::pwrite(fd_, "abcdef", 6, 0), 6);
  std::string out(10, '-');
  size_t got = 0;
  ASSERT_TRUE(ReadInto(fd_, 2, out.data(), out.size(), got).ok());
  EXPECT_EQ(got, 4u);
  EXPECT_EQ(out, "cdef------");
  std::string bytes;
  ASSERT_TRUE(ReadUpTo(fd_, 4, 100, bytes).ok());
  EXPECT_EQ(bytes, "ef");
}

}  // namespace
}  // namespace cinevo::isam
