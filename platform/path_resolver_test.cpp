#include "platform/path_resolver.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

namespace cinevo::platform {
namespace {

namespace fs = std::filesystem;

class PathResolverTest : public testing::Test {
 protected:
  void SetUp() override {
    root_ = (fs::temp_directory_path() /
             ("cinevo_paths_" + std::to_string(::getpid()) + "_" +
              testing::UnitTest::GetInstance()->current_test_info()->name()))
                .string();
    fs::remove_all(root_);
    fs::create_directories(root_ + "/Movies/Old");
    Touch("/Movies/Old/Film.AVI");
    Touch("/Movies/GRUPA.TVX");
  }
  void TearDown() override { fs::remove_all(root_); }
  void Touch(const std::string& rel) { std::ofstream(root_ + rel) << "x"; }

  std::string root_;
};

TEST_F(PathResolverTest, ExistingPathsComeBackUnchanged) {
  EXPECT_EQ(ResolveExistingPath(root_ + "/Movies/GRUPA.TVX"), root_ + "/Movies/GRUPA.TVX");
  EXPECT_EQ(ResolveExistingPath(root_ + "/Movies/./Old/../GRUPA.TVX"),
            root_ + "/Movies/./Old/../GRUPA.TVX");
}

TEST_F(PathResolverTest, EveryComponentIsMatchedWithoutRegardToCase) {
  EXPECT_EQ(ResolveExistingPath(root_ + "/MOVIES/OLD/FILM.AVI"), root_ + "/Movies/Old/Film.AVI");
  EXPECT_EQ(ResolveExistingPath(root_ + "/movies/old/film.avi"), root_ + "/Movies/Old/Film.AVI");
  EXPECT_EQ(ResolveExistingPath(root_ + "\\MOVIES\\grupa.tvx"), root_ + "/Movies/GRUPA.TVX");
  EXPECT_EQ(ResolveExistingPath(root_ + "/movies/../Movies/old"), root_ + "/Movies/../Movies/Old");
}

TEST_F(PathResolverTest, ExactMatchWinsThenTheFirstVariantInByteOrder) {
  Touch("/Movies/grupa.tvx");
  Touch("/Movies/Grupa.tvx");
  EXPECT_EQ(ResolveExistingPath(root_ + "/Movies/grupa.tvx"), root_ + "/Movies/grupa.tvx");
  // "GRUPA.TVX" < "Grupa.tvx" < "grupa.tvx" in byte order.
  EXPECT_EQ(ResolveExistingPath(root_ + "/Movies/gRUPA.TVX"), root_ + "/Movies/GRUPA.TVX");
  fs::remove(root_ + "/Movies/GRUPA.TVX");
  EXPECT_EQ(ResolveExistingPath(root_ + "/Movies/gRUPA.TVX"), root_ + "/Movies/Grupa.tvx");
}

TEST_F(PathResolverTest, MissingPathsAndRelativePaths) {
  EXPECT_FALSE(ResolveExistingPath(root_ + "/MOVIES/NONE.AVI"));
  EXPECT_FALSE(ResolveExistingPath(root_ + "/MOVIES/GRUPA.TVX/X"));  // a file is no folder
  EXPECT_FALSE(ResolveExistingPath(""));
  std::string cwd = fs::current_path().string();
  fs::current_path(root_);
  EXPECT_EQ(ResolveExistingPath("MOVIES/old"), "Movies/Old");
  fs::current_path(cwd);
}

TEST_F(PathResolverTest, CreationPathsResolveTheFoldersAndKeepTheNewName) {
  EXPECT_EQ(ResolvePathForCreate(root_ + "/MOVIES/PODGRU.TVX"), root_ + "/Movies/PODGRU.TVX");
  EXPECT_EQ(ResolvePathForCreate(root_ + "/MOVIES/grupa.tvx"), root_ + "/Movies/GRUPA.TVX");
  EXPECT_EQ(ResolvePathForCreate(root_ + "/NOPE/X.TVX"), root_ + "/NOPE/X.TVX");
}

TEST(NamesEqualNoCaseTest, OnlyAsciiLettersFold) {
  EXPECT_TRUE(NamesEqualNoCase("Film.AVI", "fILM.avi"));
  EXPECT_FALSE(NamesEqualNoCase("a", "ab"));
  EXPECT_FALSE(NamesEqualNoCase("\xC9", "\xE9"));
  EXPECT_FALSE(NamesEqualNoCase("[", "{"));  // 0x5B and 0x7B differ by 32 but are no letters
}

}  // namespace
}  // namespace cinevo::platform
