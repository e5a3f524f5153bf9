// The catalogue's data dictionary and the main routine: what the files hold, how groups and
// movies behave, and the order in which the global objects come and go.
#include "app/catalogue.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "app/data_folder.h"
#include "app/main_routine.h"
#include "runtime/core/value_storage.h"
#include "runtime/data/file_statements.h"
#include "runtime/data/isam/isam_driver.h"
#include "runtime/ui/message_box.h"

namespace cinevo::app {
namespace {

namespace fs = std::filesystem;
using classlib::kLevelBenign;
using classlib::kLevelNotify;


class CatalogueTest : public ::testing::Test {
 protected:
  void SetUp() override {
    isam::RegisterIsamDriver();
    isam::PageStoreOptions o;
    o.sync = false;
    isam::SetIsamStoreDefaults(o);
    dir_ = fs::temp_directory_path() / ("catalogue_" + std::to_string(::getpid()) + "_" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  static void AddGroup(Catalogue& c, std::string_view name, int expect = kLevelBenign) {
    std::fill(c.GroupFile().record.begin(), c.GroupFile().record.end(), ' ');
    StoreText(c.GroupFile(), gru::kSifra, gru::kSifraSize, name);
    EXPECT_EQ(c.Groups().Insert(), expect) << name;
  }
  static void AddMovie(Catalogue& c, std::string_view group, std::string_view path) {
    std::fill(c.MovieFile().record.begin(), c.MovieFile().record.end(), ' ');
    StoreText(c.MovieFile(), pod::kSifra, pod::kSifraSize, group);
    StoreText(c.MovieFile(), pod::kNaslov, pod::kNaslovSize, path);
    StoreText(c.MovieFile(), pod::kNaslov2, pod::kNaslov2Size, path.substr(0, 10));
    EXPECT_EQ(c.Movies().Insert(), kLevelBenign) << path;
  }
  static std::vector<std::string> Movies(Catalogue& c) {
    std::vector<std::string> out;
    SetKey(c.MovieFile(), 0);
    while (c.Movies().Next() == 0) {
      out.push_back(LoadText(c.MovieFile(), pod::kSifra, pod::kSifraSize) + ":" +
                    LoadText(c.MovieFile(), pod::kNaslov, pod::kNaslovSize));
    }
    return out;
  }
  static void Select(Catalogue& c, std::string_view group) {
    StoreText(c.GroupFile(), gru::kSifra, gru::kSifraSize, group);
    ASSERT_EQ(Get(c.GroupFile(), 0), 0) << group;
    c.GroupRelations().SaveLinks();
  }

  fs::path dir_;
};

TEST_F(CatalogueTest, TheRecordsAndKeysAreAsDeclared) {
  FileDeclaration g = GroupDeclaration("/x");
  FileDeclaration m = MovieDeclaration("/x");
  EXPECT_EQ(g.RecordSize(), 21u);
  EXPECT_EQ(m.RecordSize(), 151u);
  EXPECT_EQ(g.ExternalName(), "/x/GRUPA");
  EXPECT_EQ(m.ExternalName(), "/x/PODGRU");
  ASSERT_EQ(g.keys.size(), 1u);
  EXPECT_EQ(g.keys[0].flags, 0x6u);
  EXPECT_EQ(g.keys[0].components, std::vector<int32_t>{1});
  ASSERT_EQ(m.keys.size(), 1u);
  EXPECT_EQ(m.keys[0].flags, 0x7u);
  EXPECT_EQ(m.keys[0].components, (std::vector<int32_t>{1, 3}));
  EXPECT_EQ(ValidateDeclaration(g), 0);
  EXPECT_EQ(ValidateDeclaration(m), 0);
}

TEST_F(CatalogueTest, TheMainRoutineBuildsAndTearsDownInOrder) {
  bool ran = false;
  uint8_t response = RunMainRoutine(dir_.string(), [&](Globals& g) {
    ran = true;
    Catalogue& c = *g.catalogue;
    EXPECT_EQ(g.ini.FileName(), (dir_ / "filmo.INI").string());
    EXPECT_EQ(g.errors.Entries().size(), 36u);
    EXPECT_EQ(classlib::FindFileManager(c.GroupFile()), &c.Groups());
    EXPECT_EQ(classlib::FindFileManager(c.MovieFile()), &c.Movies());
    EXPECT_EQ(c.Groups().GetName(), "Grupa");
    EXPECT_EQ(c.Movies().GetName(), "PodGru");
    EXPECT_EQ(c.Groups().lockRecover, 10);
    EXPECT_EQ(c.Groups().Keys()[0].description, "GRU:Prk");
    EXPECT_EQ(c.Movies().Keys()[0].description, "POD:Prk");
    const auto& rel = c.GroupRelations().Relations();
    EXPECT_EQ(rel.size(), 1u);
    EXPECT_EQ(rel[0].file, &c.MovieRelations());
    EXPECT_EQ(rel[0].updateMode, classlib::kLinkCascade);
    EXPECT_EQ(rel[0].deleteMode, classlib::kLinkCascade);
    EXPECT_EQ(rel[0].hisKey, 0);
    EXPECT_EQ(rel[0].fields->Size(), 1u);
    EXPECT_EQ(c.MovieRelations().Relations().size(), 1u);
    EXPECT_FALSE(c.MovieRelations().Relations()[0].IsChild());
    EXPECT_TRUE(c.GroupRelations().UseLogout());
    // Nothing is opened before the main window opens it.
    EXPECT_FALSE(c.GroupFile().IsOpen());
    EXPECT_FALSE(fs::exists(dir_ / "GRUPA.TVX"));
    return static_cast<uint8_t>(kRequestCancelled);
  });
  EXPECT_TRUE(ran);
  EXPECT_EQ(response, kRequestCancelled);
}

TEST_F(CatalogueTest, AFirstStartCreatesBothFilesAndFindsNoGroups) {
  ASSERT_EQ(PrepareDataFolder(dir_.string()), "");
  std::FILE* out = std::tmpfile();
  uint8_t response = RunMainRoutine(dir_.string(), [&](Globals& g) { return PlaceholderMainWindow(g, out); });
  EXPECT_EQ(response, kRequestCompleted);
  EXPECT_TRUE(fs::exists(dir_ / "GRUPA.TVX"));
  EXPECT_TRUE(fs::exists(dir_ / "PODGRU.TVX"));
  std::rewind(out);
  char line[512] = {};
  ASSERT_NE(std::fgets(line, sizeof line, out), nullptr);
  EXPECT_NE(std::string(line).find("holds 0 group(s) and 0 movie(s)"), std::string::npos) << line;
  std::fclose(out);
}

TEST_F(CatalogueTest, GroupsAndMoviesBehaveAsTheKeysSay) {
  fs::create_directories(dir_);
  RunMainRoutine(dir_.string(), [&](Globals& g) {
    Catalogue& c = *g.catalogue;
    EXPECT_EQ(c.GroupRelations().OpenAll(), 0);
    AddGroup(c, "Comedies");
    {
      ScriptedMessageBoxes user;
      AddGroup(c, "COMEDIES", kLevelNotify);  // the name ignores case
      EXPECT_EQ(user.Shown().size(), 1u);
      if (!user.Shown().empty()) {
        EXPECT_EQ(user.Shown()[0].text, "Adding this record creates a duplicate entry for the key: GRU:Prk");
      }
    }
    AddMovie(c, "Comedies", "/films/one.avi");
    AddMovie(c, "Comedies", "/films/one.avi");  // the same path twice is kept twice
    AddMovie(c, "Comedies", "/films/onemore.avi");
    EXPECT_EQ(Movies(c).size(), 3u);
    // Paths sharing their first ten characters make equal keys within the group.
    std::fill(c.MovieFile().record.begin(), c.MovieFile().record.end(), ' ');
    StoreText(c.MovieFile(), pod::kSifra, pod::kSifraSize, "comedies");
    StoreText(c.MovieFile(), pod::kNaslov2, pod::kNaslov2Size, "/films/one");
    EXPECT_EQ(Get(c.MovieFile(), 0), 0);
    c.GroupRelations().CloseAll();
    return static_cast<uint8_t>(kRequestCompleted);
  });
}

// Leaves its files in the build folder (catalogue-sample/) for anyone to open with tvx.
TEST_F(CatalogueTest, RenamingAndDeletingGroupsCarriesTheirMovies) {
#ifdef CINEVO_BUILD_DIR
  fs::path folder = fs::path(CINEVO_BUILD_DIR) / "catalogue-sample";
#else
  fs::path folder = dir_;
#endif
  fs::remove_all(folder);
  ASSERT_EQ(PrepareDataFolder(folder.string()), "");
  ScriptedMessageBoxes user;
  RunMainRoutine(folder.string(), [&](Globals& g) {
    Catalogue& c = *g.catalogue;
    EXPECT_EQ(c.GroupRelations().OpenAll(), 0);
    for (const char* group : {"Westerns", "Cartoons", "Holidays 2025"}) AddGroup(c, group);
    AddMovie(c, "Westerns", "/home/ana/films/high noon.avi");
    AddMovie(c, "Westerns", "/home/ana/films/rio bravo.mpg");
    AddMovie(c, "Cartoons", "/home/ana/films/cat.mov");
    AddMovie(c, "Holidays 2025", "/home/ana/video/beach.avi");
    AddMovie(c, "Holidays 2025", "/home/ana/video/hills.avi");
    Select(c, "Westerns");
    StoreText(c.GroupFile(), gru::kSifra, gru::kSifraSize, "Old westerns");
    EXPECT_EQ(c.GroupRelations().Update(), 0);
    Select(c, "Cartoons");
    EXPECT_EQ(c.GroupRelations().Delete(false), 0);
    EXPECT_EQ(Movies(c), (std::vector<std::string>{"Holidays 2025:/home/ana/video/beach.avi",
                                                   "Holidays 2025:/home/ana/video/hills.avi",
                                                   "Old westerns:/home/ana/films/high noon.avi",
                                                   "Old westerns:/home/ana/films/rio bravo.mpg"}));
    EXPECT_EQ(Records(c.GroupFile()), 2);
    c.GroupRelations().CloseAll();
    return static_cast<uint8_t>(kRequestCompleted);
  });
  EXPECT_TRUE(user.Shown().empty());
  EXPECT_TRUE(fs::exists(folder / "GRUPA.TVX"));
  EXPECT_TRUE(fs::exists(folder / "PODGRU.TVX"));
}

}  // namespace
}  // namespace cinevo::app
