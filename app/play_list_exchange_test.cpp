// Groups to play-list files and back: round trips through both formats, lists written by hand,
// hostile lists, and an import that fails half way (nothing of it stays).
#include "app/play_list_exchange.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "app/catalogue.h"
#include "app/catalogue_files_test_support.h"
#include "runtime/core/error_codes.h"
#include "runtime/data/file_statements.h"
#include "runtime/data/isam/isam_driver.h"

namespace cinevo::app {
namespace {

namespace fs = std::filesystem;
using Texts = std::vector<std::string>;

// Fails the n-th movie add, around the real writer.
class FailingWriter : public FavouritesWriter {
 public:
  FailingWriter(FavouritesWriter& inner, int fail_at) : inner_(inner), fail_at_(fail_at) {}
  void OpenFiles() override { inner_.OpenFiles(); }
  int AddGroup(std::string_view name) override { return inner_.AddGroup(name); }
  int AddMovie(std::string_view group, std::string_view path) override {
    if (++adds_ == fail_at_) return kErrFileSystem;
    return inner_.AddMovie(group, path);
  }
  int BeginUpdate() override { return inner_.BeginUpdate(); }
  int CommitUpdate() override { return inner_.CommitUpdate(); }
  void RollbackUpdate() override { inner_.RollbackUpdate(); }

 private:
  FavouritesWriter& inner_;
  int fail_at_;
  int adds_ = 0;
};

class PlayListExchangeTest : public test::CatalogueFilesTest {
 protected:
  void SetUp() override {
    dir_ = FreshFolder("list_exchange");
    fs::create_directories(dir_ / "movies/Čarobni film");
    fs::create_directories(dir_ / "lists");
    MakeFiles(dir_ / "data");
    if (HasFatalFailure()) return;
    writer_ = std::make_unique<DirectFavouritesWriter>(*groups_, *movies_);
    writer_->OpenFiles();
  }
  void TearDown() override {
    writer_.reset();
    CloseFiles();
    fs::remove_all(dir_);
  }

  std::string Movie(const std::string& rel) {
    fs::path p = dir_ / "movies" / rel;
    std::ofstream(p).put('x');
    return p.string();
  }
  std::string List(const std::string& name, const std::string& text) {
    fs::path p = dir_ / "lists" / name;
    std::ofstream(p, std::ios::binary) << text;
    return p.string();
  }
  void AddGroup(const std::string& name, const Texts& paths) {
    ASSERT_EQ(writer_->AddGroup(name), 0);
    for (const std::string& p : paths) ASSERT_EQ(writer_->AddMovie(name, p), 0);
  }
  Texts GroupMovies(const std::string& name) {
    Texts paths;
    EXPECT_EQ(ReadGroupMovies(*groups_, *movies_, name, paths), 0) << name;
    return paths;
  }
  int64_t Counts() { return Records(*groups_) * 1000 + Records(*movies_); }

  fs::path dir_;
  std::unique_ptr<DirectFavouritesWriter> writer_;
};

TEST_F(PlayListExchangeTest, AGroupRoundTripsThroughBothFormats) {
  Texts paths = {Movie("zeta.avi"), Movie("Čarobni film/prvi dio #1.mpg"), Movie("alpha 100%.mov"),
                 Movie("Čarobni film/drugi.avi")};
  AddGroup("Vikend", paths);
  AddGroup("Other", {Movie("other.avi")});
  const Texts in_key_order = GroupMovies("vikend");  // matched without case
  ASSERT_EQ(in_key_order.size(), 4u);
  const std::pair<const char*, const char*> lists[] = {{"vikend.m3u", "vikend (2)"},
                                                       {"vikend.xspf", "Vikend (3)"}};
  for (const auto& [name, group] : lists) {
    std::string list = (dir_ / "lists" / name).string();
    ListExchangeResult out = ExportGroup(*groups_, *movies_, "VIKEND", list);
    ASSERT_TRUE(out.ok) << out.message;
    EXPECT_EQ(out.group, "Vikend");
    EXPECT_EQ(out.movies, 4);
    ListExchangeResult in = ImportPlayList(list, *writer_);
    ASSERT_TRUE(in.ok) << in.message;
    // The M3U list gives its file's name, the XSPF its title (the group's name); both are
    // taken already (group names match without case), so a number is added.
    EXPECT_EQ(in.group, group) << in.message;
    EXPECT_EQ(GroupMovies(in.group), in_key_order) << name;
    EXPECT_EQ(in.skipped, 0);
    EXPECT_TRUE(in.missing.empty());
  }
}

TEST_F(PlayListExchangeTest, HandWrittenListsImportAsWritten) {
  std::string a = Movie("a.avi"), b = Movie("Čarobni film/b b.mpg"), c = Movie("c.mov");
  std::string m3u = List("ručno.m3u",
                         "#EXTM3U\n#EXTINF:10,A\n" + a + "\n../movies/Čarobni film/b b.mpg\n"
                         "file://" + (dir_ / "movies").string() + "/%63.mov\nhttp://example.org/x.avi\n"
                         "../movies/gone.avi\n../MOVIES/C.Mov\n");
  ListExchangeResult r = ImportPlayList(m3u, *writer_);
  ASSERT_TRUE(r.ok) << r.message;
  EXPECT_EQ(r.group, "ručno");
  // A name that differs from the file's only in case is stored as the file is named.
  EXPECT_EQ(GroupMovies("ručno"), (Texts{a, b, c, c}));
  EXPECT_EQ(r.skipped, 1);
  EXPECT_EQ(r.missing, Texts{(dir_ / "movies/gone.avi").string()});
  EXPECT_NE(r.message.find("gone.avi"), std::string::npos) << r.message;
  EXPECT_NE(r.message.find("1 entry(ies) naming no local file"), std::string::npos) << r.message;

  std::string xspf = List("x.xspf",
                          "<?xml version='1.0'?><playlist xmlns='http://xspf.org/ns/0/'>"
                          "<title>  Filmovi za večer i noć, drugi dio  </title><trackList>"
                          "<track><location>../movies/%C4%8Carobni%20film/b%20b.mpg</location></track>"
                          "<track><location>file://" + (dir_ / "movies").string() + "/a.avi</location></track>"
                          "</trackList></playlist>");
  r = ImportPlayList(xspf, *writer_, "");
  ASSERT_TRUE(r.ok) << r.message;
  EXPECT_EQ(r.group, "Filmovi za večer i");  // 20 bytes at most, not cut inside "č"
  EXPECT_EQ(GroupMovies(r.group), (Texts{b, a}));
  r = ImportPlayList(xspf, *writer_, "Named");
  EXPECT_EQ(r.group, "Named");
}

TEST_F(PlayListExchangeTest, HostileListsAddNothing) {
  Movie("a.avi");
  const int64_t before = Counts();
  std::string laughs =
      "<?xml version='1.0'?><!DOCTYPE p [<!ENTITY a 'aaaaaaaaaa'><!ENTITY b '&a;&a;&a;&a;&a;'>]>"
      "<playlist><title>&b;</title><trackList><track><location>../movies/a.avi</location></track>"
      "</trackList></playlist>";
  std::string junk("../movies/a.avi\n\x89PNG\r\n\x1a\n\0\0\0", 27);
  const std::pair<std::string, std::string> cases[] = {
      {List("laughs.xspf", laughs), "not expanded"},
      {List("junk.m3u", junk), "binary data"},
      {List("long.m3u", "../movies/a.avi\n" + std::string(200000, 'y')), "at most"},
      {List("gone.m3u", "../movies/none.avi\nhttp://x/y.avi\n"), "no movie that can be stored"},
      {List("empty.xspf", ""), "no movie"},
      {(dir_ / "lists/absent.m3u").string(), "cannot be opened"},
      {(dir_ / "lists").string(), "not a regular file"},
      {List("long-path.m3u", "/" + std::string(130, 'p') + ".avi\n"), "longer than 120"},
  };
  for (const auto& [list, why] : cases) {
    ListExchangeResult r = ImportPlayList(list, *writer_);
    EXPECT_FALSE(r.ok) << list;
    EXPECT_EQ(r.message.rfind("Nothing was imported from " + list, 0), 0u) << r.message;
    EXPECT_NE(r.message.find(why), std::string::npos) << r.message;
    EXPECT_TRUE(r.group.empty());
  }
  EXPECT_EQ(Counts(), before);
}

TEST_F(PlayListExchangeTest, AnImportThatFailsHalfWayLeavesNothing) {
  std::string text;
  for (int i = 0; i < 5; ++i) text += Movie("m" + std::to_string(i) + ".avi") + "\n";
  std::string list = List("five.m3u", text);
  AddGroup("Kept", {Movie("kept.avi")});
  const int64_t before = Counts();
  FailingWriter failing(*writer_, 4);
  ListExchangeResult r = ImportPlayList(list, failing);
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.message.find("could not be stored"), std::string::npos) << r.message;
  EXPECT_EQ(Counts(), before);
  // The files are still usable, and the same list then imports whole.
  r = ImportPlayList(list, *writer_);
  ASSERT_TRUE(r.ok) << r.message;
  EXPECT_EQ(r.group, "five");
  EXPECT_EQ(GroupMovies("five").size(), 5u);
  EXPECT_EQ(GroupMovies("Kept").size(), 1u);
}

TEST_F(PlayListExchangeTest, ExportRefusesWhatItCannotWrite) {
  AddGroup("G", {Movie("a.avi")});
  ListExchangeResult r = ExportGroup(*groups_, *movies_, "Nope", (dir_ / "lists/x.m3u").string());
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.message.find("no group \"Nope\""), std::string::npos) << r.message;
  r = ExportGroup(*groups_, *movies_, "G", (dir_ / "lists/x.txt").string());
  EXPECT_FALSE(r.ok);
  r = ExportGroup(*groups_, *movies_, "G", (dir_ / "no/such/x.m3u").string());
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.message.find("not exported"), std::string::npos) << r.message;
  // An empty group is an empty list.
  AddGroup("Empty", {});
  r = ExportGroup(*groups_, *movies_, "Empty", (dir_ / "lists/e.xspf").string());
  EXPECT_TRUE(r.ok) << r.message;
  EXPECT_EQ(r.movies, 0);
}

TEST(FitGroupNameTest, NamesFitWithoutCuttingCharacters) {
  EXPECT_EQ(FitGroupName("  Moja grupa  ", 20), "Moja grupa");
  EXPECT_EQ(FitGroupName("", 20), "Play list");
  EXPECT_EQ(FitGroupName("abcdefghijklmnopqrsč", 20), "abcdefghijklmnopqrs");
  EXPECT_EQ(FitGroupName("ab\tc\nd", 20), "ab c d");
  EXPECT_EQ(FitGroupName("čččččččččččč", 20).size(), 20u);
}

}  // namespace
}  // namespace cinevo::app
