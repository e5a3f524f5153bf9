#include "platform/media_command/media_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>

#include "platform/media_command/media_result.h"

namespace cinevo::platform {
namespace {

namespace fs = std::filesystem;

class MediaFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("media_file_test_" + std::to_string(getpid()));
    fs::create_directories(root_ / "Sub Dir");
    std::ofstream(root_ / "Sub Dir" / "Clip.avi") << "x";
  }
  void TearDown() override { fs::remove_all(root_); }
  static std::string Upper(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::toupper(c); });
    return s;
  }
  fs::path root_;
};

TEST_F(MediaFileTest, ExactAndCaseInsensitiveSpellingsResolve) {
  std::string exact = (root_ / "Sub Dir" / "Clip.avi").string();
  std::string got;
  ASSERT_EQ(ResolveMediaFile(exact, got), kMediaOk);
  EXPECT_EQ(got, exact);
  ASSERT_EQ(ResolveMediaFile(Upper(exact), got), kMediaOk);
  EXPECT_EQ(got, exact);
  ASSERT_EQ(ResolveMediaFile(root_.string() + "//sub dir//CLIP.AVI", got), kMediaOk);
  EXPECT_EQ(got, exact);
}

TEST_F(MediaFileTest, MissingFilesDirectoriesAndOverlongPathsAreNotFound) {
  std::string got = "stale";
  EXPECT_EQ(ResolveMediaFile((root_ / "Sub Dir" / "none.avi").string(), got), kMediaFileNotFound);
  EXPECT_EQ(got, "");
  EXPECT_EQ(ResolveMediaFile((root_ / "SUB DIR").string(), got), kMediaFileNotFound);
  EXPECT_EQ(ResolveMediaFile((root_ / "Sub Dir" / "Clip.avi" / "x").string(), got), kMediaFileNotFound);
  EXPECT_EQ(ResolveMediaFile("", got), kMediaFileNotFound);
  EXPECT_EQ(ResolveMediaFile("/" + std::string(300, 'a') + ".avi", got), kMediaFileNotFound);
  EXPECT_EQ(ResolveMediaFile(std::string(5000, 'a'), got), kMediaFileNotFound);
  EXPECT_EQ(ResolveMediaFile(std::string("a\0b", 3), got), kMediaFileNotFound);
}

}  // namespace
}  // namespace cinevo::platform
