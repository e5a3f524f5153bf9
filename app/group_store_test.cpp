// Storing the play list as a group: the records written to real data files, the name made from
// the date and time, a second store in the same minute, and paths too long to keep.
#include "app/group_store.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/catalogue.h"
#include "app/catalogue_files_test_support.h"
#include "runtime/core/std_date.h"
#include "runtime/data/driver.h"
#include "runtime/data/file_statements.h"
#include "runtime/data/isam/isam_driver.h"
#include "runtime/ui/message_box.h"

namespace cinevo::app {
namespace {

namespace fs = std::filesystem;
using Texts = std::vector<std::string>;

// Counts the adds and can fail them, around the real writer.
class CountingWriter : public FavouritesWriter {
 public:
  explicit CountingWriter(FavouritesWriter& inner) : inner_(inner) {}
  void OpenFiles() override { ++opens; inner_.OpenFiles(); }
  int AddGroup(std::string_view name) override { ++group_adds; return inner_.AddGroup(name); }
  int AddMovie(std::string_view group, std::string_view path) override {
    ++movie_adds;
    if (fail_movie_containing.size() && path.find(fail_movie_containing) != std::string_view::npos) return 40;
    return inner_.AddMovie(group, path);
  }
  int opens = 0, group_adds = 0, movie_adds = 0;
  std::string fail_movie_containing;

 private:
  FavouritesWriter& inner_;
};

class GroupStoreTest : public test::CatalogueFilesTest {
 protected:
  void SetUp() override {
    dir_ = FreshFolder("group_store");
    MakeFiles(dir_);
    if (HasFatalFailure()) return;
    writer_ = std::make_unique<DirectFavouritesWriter>(*groups_, *movies_);
    counting_ = std::make_unique<CountingWriter>(*writer_);
  }
  void TearDown() override {
    counting_.reset();
    writer_.reset();
    CloseFiles();
    fs::remove_all(dir_);
  }

  // Every record of a file in file order, each field clipped and joined by "|".
  Texts Records(FileControlBlock& f) {
    Texts out;
    EXPECT_EQ(Set(f), 0);
    while (Next(f) == 0) {
      std::string row;
      for (const FieldDeclaration& field : f.declaration->fields) {
        if (!row.empty()) row += "|";
        row += Clip(std::string_view(reinterpret_cast<const char*>(f.record.data() + field.offset), field.size));
      }
      out.push_back(row);
    }
    return out;
  }

  fs::path dir_;
  std::unique_ptr<DirectFavouritesWriter> writer_;
  std::unique_ptr<CountingWriter> counting_;
  PlayList list_;
  int32_t date_ = DateFromParts(8, 12, 2026);
  int32_t time_ = TimeFromParts(10, 15, 42, 0);
};

TEST_F(GroupStoreTest, TheGroupIsNamedAfterTheDateAndTime) {
  // Day and month (day blank-led), two-digit year, with points; then hours, minutes and seconds.
  EXPECT_EQ(GroupNameFor(date_, time_), " 8.12.26 10:15:42");
  EXPECT_EQ(GroupNameFor(DateFromParts(31, 1, 2027), TimeFromParts(9, 5, 7, 99)), "31.01.27  9:05:07");
  EXPECT_EQ(GroupNameFor(date_, time_ + 99), GroupNameFor(date_, time_));  // within one second
  EXPECT_LE(GroupNameFor(date_, time_).size(), 20u);  // fits GRU:SIFRA
}

TEST_F(GroupStoreTest, StoresTheGroupAndOneLowerCaseMoviePerEntry) {
  list_.Append("/M/FILMS/ONE.AVI , playing");
  list_.Append("/M/A , B.MPG , stopped");
  list_.Append("/M/FILMS/ONE.AVI , paused");  // the same path twice is kept twice
  GroupStoreResult r = StorePlayListAsGroup(list_, *counting_, date_, time_);
  EXPECT_EQ(r.group, GroupNameFor(date_, time_));
  EXPECT_EQ(r.group_error, 0);
  EXPECT_EQ(r.movies_stored, 3);
  EXPECT_EQ(Records(*groups_), Texts{r.group + "|"});
  EXPECT_EQ(Records(*movies_), (Texts{r.group + "|/m/films/one.avi|/m/films/o|",
                                       r.group + "|/m/a , b.mpg|/m/a , b.m|",
                                       r.group + "|/m/films/one.avi|/m/films/o|"}));
  EXPECT_EQ(list_.Count(), 3);  // the play list stays as it was
}

TEST_F(GroupStoreTest, AnEmptyPlayListDoesNothing) {
  GroupStoreResult r = StorePlayListAsGroup(list_, *counting_, date_, time_);
  EXPECT_EQ(r.group, "");
  EXPECT_EQ(counting_->opens + counting_->group_adds, 0);
  EXPECT_FALSE(groups_->IsOpen());
}

TEST_F(GroupStoreTest, ASecondStoreUnderTheSameNameWritesNoMovies) {
  ScriptedMessageBoxes boxes;
  list_.Append("/M/ONE.AVI , playing");
  ASSERT_EQ(StorePlayListAsGroup(list_, *counting_, date_, time_).movies_stored, 1);
  list_.Append("/M/TWO.AVI , playing");
  GroupStoreResult again = StorePlayListAsGroup(list_, *counting_, date_, time_ + 50);
  EXPECT_NE(again.group_error, 0);  // the name is taken
  EXPECT_EQ(again.movies_stored, 0);
  EXPECT_EQ(counting_->movie_adds, 1);
  EXPECT_EQ(Records(*groups_).size(), 1u);
  EXPECT_EQ(Records(*movies_).size(), 1u);
  EXPECT_TRUE(boxes.Shown().empty());  // no error is shown
}

TEST_F(GroupStoreTest, PathsTooLongAreLeftOutAndNamedInOneMessage) {
  ScriptedMessageBoxes boxes;
  std::string fits = "/M/" + std::string(kStoredPathSize - 7, 'F') + ".AVI";  // exactly 120
  std::string too_long = "/M/" + std::string(kStoredPathSize - 6, 'L') + ".AVI";
  std::string much_longer = "/M/" + std::string(240, 'X') + ".MOV";
  list_.Append(MakeEntry(too_long, "playing"));
  list_.Append(MakeEntry(fits, "playing"));
  list_.Append(MakeEntry(much_longer, "playing"));
  GroupStoreResult r = StorePlayListAsGroup(list_, *counting_, date_, time_);
  EXPECT_EQ(r.movies_stored, 1);
  EXPECT_EQ(r.left_out, (Texts{AsciiLower(too_long), AsciiLower(much_longer)}));
  Texts movies = Records(*movies_);
  ASSERT_EQ(movies.size(), 1u);
  EXPECT_NE(movies[0].find(AsciiLower(fits)), std::string::npos);
  ASSERT_EQ(boxes.Shown().size(), 1u);
  EXPECT_NE(boxes.Shown()[0].text.find(AsciiLower(too_long)), std::string::npos);
  EXPECT_NE(boxes.Shown()[0].text.find(AsciiLower(much_longer)), std::string::npos);
  EXPECT_NE(boxes.Shown()[0].text.find(r.group), std::string::npos);
}

TEST_F(GroupStoreTest, AFailedMovieAddIsSkipped) {
  list_.Append("/M/ONE.AVI , playing");
  list_.Append("/M/BAD.AVI , playing");
  list_.Append("/M/THREE.AVI , playing");
  counting_->fail_movie_containing = "bad";
  GroupStoreResult r = StorePlayListAsGroup(list_, *counting_, date_, time_);
  EXPECT_EQ(r.movies_stored, 2);
  EXPECT_EQ(Records(*movies_).size(), 2u);
}

}  // namespace
}  // namespace cinevo::app
