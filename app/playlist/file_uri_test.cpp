// Locations: what counts as a URI, %-escapes both ways, file: URIs and relative paths.
#include "app/playlist/file_uri.h"

#include <gtest/gtest.h>

namespace cinevo::playlist {
namespace {

TEST(FileUriTest, ClassifiesLocations) {
  EXPECT_EQ(ClassifyLocation("/movies/a.avi", true), LocationKind::kPath);
  EXPECT_EQ(ClassifyLocation("sub/a.avi", true), LocationKind::kPath);
  EXPECT_EQ(ClassifyLocation("FILE:///a.avi", true), LocationKind::kFileUri);
  EXPECT_EQ(ClassifyLocation("file:/a.avi", true), LocationKind::kFileUri);
  EXPECT_EQ(ClassifyLocation("http://host/a.avi", true), LocationKind::kOtherUri);
  // In M3U a bare name may hold a colon; in XSPF every "scheme:" is a URI.
  EXPECT_EQ(ClassifyLocation("clip:1.avi", true), LocationKind::kPath);
  EXPECT_EQ(ClassifyLocation("clip:1.avi", false), LocationKind::kOtherUri);
  EXPECT_EQ(ClassifyLocation("C:\\movies\\a.avi", false), LocationKind::kOtherUri);
  EXPECT_EQ(ClassifyLocation("1:a", false), LocationKind::kPath);
}

TEST(FileUriTest, PercentEscapesRoundTripEveryByte) {
  std::string all;
  for (int c = 1; c < 256; ++c) all.push_back(static_cast<char>(c));
  std::string encoded = PercentEncodePath(all), back;
  EXPECT_EQ(encoded.find_first_of(" #?\x80\xff"), std::string::npos);
  ASSERT_TRUE(PercentDecode(encoded, back));
  EXPECT_EQ(back, all);
  EXPECT_EQ(PercentEncodePath("/a b/Čaj #1.avi"), "/a%20b/%C4%8Caj%20%231.avi");
}

TEST(FileUriTest, BrokenEscapesAndEncodedZeroAreRefused) {
  std::string out;
  EXPECT_FALSE(PercentDecode("/a%2", out));
  EXPECT_FALSE(PercentDecode("/a%", out));
  EXPECT_FALSE(PercentDecode("/a%zz", out));
  EXPECT_FALSE(PercentDecode("/a%00b", out));
  EXPECT_TRUE(PercentDecode("/a%2fb%2F", out));
  EXPECT_EQ(out, "/a/b/");
}

TEST(FileUriTest, FileUrisGiveLocalPaths) {
  std::string path, why;
  ASSERT_TRUE(FileUriToPath("file:///home/ana/Filmovi/%C4%8Caj%20za%20dvoje.avi", path, why));
  EXPECT_EQ(path, "/home/ana/Filmovi/Čaj za dvoje.avi");
  ASSERT_TRUE(FileUriToPath("file://localhost/m/a.avi?t=3#x", path, why));
  EXPECT_EQ(path, "/m/a.avi");
  ASSERT_TRUE(FileUriToPath("file:/m/./x/../a%23b.avi", path, why));
  EXPECT_EQ(path, "/m/a#b.avi");
  EXPECT_FALSE(FileUriToPath("file://server/share/a.avi", path, why));
  EXPECT_NE(why.find("server"), std::string::npos);
  EXPECT_FALSE(FileUriToPath("file:relative.avi", path, why));
  EXPECT_FALSE(FileUriToPath("file://", path, why));
  EXPECT_FALSE(FileUriToPath("file:///a%ZZ", path, why));
  EXPECT_EQ(PathToFileUri("/m/a b.avi"), "file:///m/a%20b.avi");
}

TEST(FileUriTest, RelativePathsAreTakenFromTheListFolder) {
  EXPECT_EQ(ResolveAgainst("/lists", "a.avi"), "/lists/a.avi");
  EXPECT_EQ(ResolveAgainst("/lists/x", "../movies/./a.avi"), "/lists/movies/a.avi");
  EXPECT_EQ(ResolveAgainst("/lists", "/abs/a.avi"), "/abs/a.avi");
  EXPECT_EQ(ResolveAgainst("", "a/../b.avi"), "b.avi");
  EXPECT_EQ(FolderOf("/lists/a.m3u"), "/lists");
  EXPECT_EQ(FolderOf("/a.m3u"), "/");
  EXPECT_EQ(FolderOf("a.m3u"), "");
}

}  // namespace
}  // namespace cinevo::playlist
