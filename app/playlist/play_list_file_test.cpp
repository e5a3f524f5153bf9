// Play-list files: hand-written lists of both formats, lists written and read back, and files
// that are no lists at all.
#include "app/playlist/play_list_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "app/playlist/m3u.h"
#include "app/playlist/xspf.h"

namespace cinevo::playlist {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> Paths(const PlayListRead& r) {
  std::vector<std::string> out;
  for (const PlayListItem& i : r.items) out.push_back(i.path);
  return out;
}

TEST(PlayListFileTest, HandWrittenM3uGivesItsMoviesInOrder) {
  PlayListRead r = ReadPlayListText(
      "\xEF\xBB\xBF#EXTM3U\r\n"
      "#EXTINF:123 tvg-name=\"x,y\",Prvi film\r\n"
      "/movies/first.avi\r\n"
      "\n"
      "# a comment\n"
      "sub/second.MPG\n"
      "  ../other/third.mov  \n"
      "file:///movies/%C4%8Caj%20za%20dvoje.avi\n"
      "/movies/Čaj/šest.avi\n"
      "http://example.org/stream.avi\n"
      "#EXTINF:5,lost title\n"
      "rtsp://host/x\n"
      "file://server/share/x.avi\n"
      "last.avi",
      "/lists/mine/favs.m3u");
  ASSERT_TRUE(r.ok()) << r.error;
  EXPECT_EQ(Paths(r), (std::vector<std::string>{"/movies/first.avi", "/lists/mine/sub/second.MPG",
                                                 "/lists/other/third.mov", "/movies/Čaj za dvoje.avi",
                                                 "/movies/Čaj/šest.avi", "/lists/mine/last.avi"}));
  EXPECT_EQ(r.items[0].title, "Prvi film");
  EXPECT_EQ(r.items[1].title, "");
  EXPECT_EQ(r.items[5].title, "");  // the title of a skipped entry does not move on
  EXPECT_EQ(r.skipped, 3);
}

TEST(PlayListFileTest, HandWrittenXspfGivesItsMoviesInOrder) {
  PlayListRead r = ReadPlayListText(
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<playlist version=\"1\" xmlns=\"http://xspf.org/ns/0/\">\n"
      "  <title>Večer &amp; film</title>\n"
      "  <trackList>\n"
      "    <track><location>file:///movies/a%20b.avi</location><title>A b</title></track>\n"
      "    <track><location> sub/%C5%A1est.mpg </location></track>\n"
      "    <track><location>http://example.org/x.avi</location></track>\n"
      "    <track><title>no location</title></track>\n"
      "    <track><location>http://mirror/y.mov</location><location>../y.mov</location></track>\n"
      "    <track><location>/abs/Čaj.mov</location></track>\n"
      "  </trackList>\n"
      "</playlist>\n",
      "/lists/mine/favs.xspf");
  ASSERT_TRUE(r.ok()) << r.error;
  EXPECT_EQ(r.title, "Večer & film");
  EXPECT_EQ(Paths(r), (std::vector<std::string>{"/movies/a b.avi", "/lists/mine/sub/šest.mpg",
                                                 "/lists/y.mov", "/abs/Čaj.mov"}));
  EXPECT_EQ(r.items[0].title, "A b");
  EXPECT_EQ(r.skipped, 2);
}

TEST(PlayListFileTest, BothFormatsRoundTripTheSameMoviesInTheSameOrder) {
  std::vector<PlayListItem> items = {
      {"/movies/zadnji.avi", "Zadnji"},
      {"/movies/a b/#1 100% ?.mpg", "Sto posto"},
      {"/movies/Čaj za dvoje.mov", ""},
      {"/movies/latin1-\xe8" "aj.avi", "bytes \xe8"},
      {"/movies/first.avi", "x<y & \"z\""},
      {"/movies/first.avi", "twice"},
  };
  for (const char* name : {"/l/list.m3u", "/l/list.xspf"}) {
    std::string text, error;
    ASSERT_TRUE(FormatPlayList(FormatOfName(name), items, "Moja grupa", text, error)) << error;
    PlayListRead r = ReadPlayListText(text, name);
    ASSERT_TRUE(r.ok()) << name << ": " << r.error;
    ASSERT_EQ(r.items.size(), items.size()) << name;
    for (size_t i = 0; i < items.size(); ++i) EXPECT_EQ(r.items[i].path, items[i].path) << name;
    EXPECT_EQ(r.items[0].title, "Zadnji");
    EXPECT_EQ(r.items[2].title, "Čaj za dvoje");  // a missing title is the file's name
    EXPECT_EQ(r.skipped, 0);
  }
  std::string text, error;
  ASSERT_TRUE(WriteXspf(items, "Moja grupa", text, error));
  EXPECT_EQ(ReadXspf(text, "/").title, "Moja grupa");
  EXPECT_NE(text.find("<title>bytes ?</title>"), std::string::npos);  // no stray bytes in the XML
}

TEST(PlayListFileTest, WhatAFormatCannotHoldIsRefusedOnWriting) {
  std::string text, error;
  EXPECT_FALSE(WriteM3u({{"a\nb.avi", ""}}, text, error));
  EXPECT_NE(error.find("cannot be written"), std::string::npos);
  ASSERT_TRUE(WriteM3u({{"/a\nb.avi", ""}, {"/c.avi ", ""}}, text, error));
  EXPECT_EQ(Paths(ReadM3u(text, "/")), (std::vector<std::string>{"/a\nb.avi", "/c.avi "}));
  EXPECT_FALSE(WriteXspf({{"relative.avi", ""}}, "", text, error));
  EXPECT_FALSE(FormatPlayList(PlayListFormat::kUnknown, {}, "", text, error));
  EXPECT_TRUE(WriteM3u({{"/a.avi", "two\nlines"}}, text, error));
  EXPECT_EQ(text, "#EXTM3U\n#EXTINF:-1,two lines\n/a.avi\n");
}

TEST(PlayListFileTest, HostileTextGivesAnErrorAndNoEntries) {
  std::string junk = "/movies/a.avi\n";
  junk += std::string("\x7f" "ELF\x02\x01\x01\x00\x00", 9);
  PlayListRead r = ReadPlayListText(junk, "/l/x.m3u");
  EXPECT_FALSE(r.ok());
  EXPECT_TRUE(r.items.empty());
  EXPECT_NE(r.error.find("line 2"), std::string::npos) << r.error;

  std::string huge = "/movies/a.avi\n" + std::string(kMaxM3uLine + 1, 'x') + "\n";
  r = ReadPlayListText(huge, "/l/x.m3u");
  EXPECT_FALSE(r.ok());
  EXPECT_TRUE(r.items.empty());
  EXPECT_NE(r.error.find("at most"), std::string::npos) << r.error;

  std::string many;
  for (size_t i = 0; i <= kMaxEntries; ++i) many += "a.avi\n";
  r = ReadPlayListText(many, "/l/x.m3u");
  EXPECT_FALSE(r.ok());
  EXPECT_TRUE(r.items.empty());

  r = ReadPlayListText("<html><body>not a list</body></html>", "/l/x.m3u");
  EXPECT_FALSE(r.ok());
  EXPECT_NE(r.error.find("<html>"), std::string::npos) << r.error;

  r = ReadPlayListText("<playlist><trackList><track><location>/a.avi</location></track>", "/l/x.xspf");
  EXPECT_FALSE(r.ok());
  EXPECT_TRUE(r.items.empty());

  r = ReadPlayListText("#EXTM3U\n", "/l/x.m3u");
  EXPECT_TRUE(r.ok());
  EXPECT_TRUE(r.items.empty());
}

class PlayListDiskTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("playlist_" + std::to_string(::getpid()) + "_" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string Write(const std::string& name, const std::string& text) {
    std::string p = (dir_ / name).string();
    std::ofstream(p, std::ios::binary) << text;
    return p;
  }
  fs::path dir_;
};

TEST_F(PlayListDiskTest, FilesAreWrittenWholeAndReadBack) {
  std::string path = (dir_ / "out.xspf").string(), error;
  std::vector<PlayListItem> items = {{"/m/a.avi", "A"}, {"/m/b.avi", "B"}};
  ASSERT_TRUE(WritePlayListFile(path, items, "G", error)) << error;
  EXPECT_FALSE(fs::exists(path + ".part"));
  PlayListRead r = ReadPlayListFile(path);
  ASSERT_TRUE(r.ok()) << r.error;
  EXPECT_EQ(r.items, items);
  // A list that cannot be written leaves the older file as it was.
  EXPECT_FALSE(WritePlayListFile(path, {{"relative.avi", ""}}, "G", error));
  EXPECT_EQ(ReadPlayListFile(path).items, items);
  EXPECT_FALSE(WritePlayListFile((dir_ / "no/such/dir/x.m3u").string(), items, "", error));
  EXPECT_NE(error.find("cannot be created"), std::string::npos) << error;
}

TEST_F(PlayListDiskTest, RelativePathsFollowTheListFile) {
  fs::create_directories(dir_ / "lists");
  Write("lists/l.m3u", "../movies/a.avi\n");
  PlayListRead r = ReadPlayListFile((dir_ / "lists/l.m3u").string());
  ASSERT_TRUE(r.ok()) << r.error;
  EXPECT_EQ(Paths(r), std::vector<std::string>{(dir_ / "movies/a.avi").string()});
  // Named relative to the current folder, the list still finds its own folder.
  fs::path old = fs::current_path();
  fs::current_path(dir_);
  r = ReadPlayListFile("lists/l.m3u");
  fs::current_path(old);
  EXPECT_EQ(Paths(r), std::vector<std::string>{(dir_ / "movies/a.avi").string()});
}

TEST_F(PlayListDiskTest, WhatIsNoListFileIsNamedSo) {
  EXPECT_NE(ReadPlayListFile((dir_ / "missing.m3u").string()).error.find("cannot be opened"), std::string::npos);
  EXPECT_NE(ReadPlayListFile(dir_.string()).error.find("not a regular file"), std::string::npos);
  std::string fifo = (dir_ / "pipe.m3u").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_NE(ReadPlayListFile(fifo).error.find("not a regular file"), std::string::npos);  // never waits
  std::string big = (dir_ / "big.m3u").string();
  { std::ofstream(big, std::ios::binary).close(); }
  fs::resize_file(big, kMaxListBytes + 1);
  EXPECT_NE(ReadPlayListFile(big).error.find("larger than"), std::string::npos);
}

TEST(PlayListFormatTest, FormatsFollowTheExtensionWithoutCase) {
  EXPECT_EQ(FormatOfName("/a/B.M3U"), PlayListFormat::kM3u);
  EXPECT_EQ(FormatOfName("b.m3u8"), PlayListFormat::kM3u);
  EXPECT_EQ(FormatOfName("c.XSPF"), PlayListFormat::kXspf);
  EXPECT_EQ(FormatOfName("d.avi"), PlayListFormat::kUnknown);
  EXPECT_EQ(FormatOfName("m3u"), PlayListFormat::kUnknown);
  EXPECT_EQ(TitleFromPath("/a/b.c/Film.avi"), "Film");
  EXPECT_EQ(TitleFromPath("/a/.hidden"), ".hidden");
}

}  // namespace
}  // namespace cinevo::playlist
