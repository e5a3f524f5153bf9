// The road of one movie, end to end, offscreen, over real data files and the real media service:
// an empty data folder; two clips dropped on the main window; "Add play list"; the favourites
// window, where the group is expanded and played; the group renamed in the group form; one
// movie deleted from the group form's list; the group deleted. After every step both data files
// pass the checks `tvx check` makes, and they hold what the windows show.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/catalogue.h"
#include "app/favourites_window.h"
#include "app/group_form.h"
#include "app/main_window.h"
#include "app/movie_form.h"
#include "app/player_windows.h"
#include "classlib/runtime_window.h"
#include "platform/window/test_application.h"
#include "runtime/data/file_statements.h"
#include "runtime/data/isam/format_check.h"
#include "runtime/data/isam/isam_driver.h"
#include "runtime/data/isam/key_check.h"
#include "runtime/ui/events.h"
#include "runtime/ui/message_box.h"
#include "runtime/ui/property.h"
#include "runtime/ui/testing/ui_driver.h"

namespace cinevo::app {
namespace {

namespace fs = std::filesystem;
namespace fc = favourites_control;
namespace gf = group_form_control;
namespace mc = main_control;
using Texts = std::vector<std::string>;
using Step = std::function<void()>;
using Script = std::function<void(UiDriver&, const Step&)>;

// A window procedure whose ACCEPT loop is a user played from a script: the opening is handled,
// the script acts and steps, and whatever it left pending is handled before the window closes.
template <class Manager>
class Scripted : public Manager {
 public:
  template <class... Args>
  explicit Scripted(Script script, Args&&... args) : Manager(std::forward<Args>(args)...), script_(std::move(script)) {}
  int Ask() override {
    Window& w = static_cast<classlib::RuntimeWindow&>(this->window()).runtime();
    UiDriver ui(w);
    const Step step = [&] {
      ui.Run([&] {
        if (!this->Dispatch()) w.ExitLoop();
      });
    };
    step();
    if (script_) script_(ui, step);
    if (w.IsOpen()) {
      ui.CloseWindow();
      step();
    }
    return 0;
  }

 private:
  Script script_;
};

// What `tvx check` reports for a data file: the format's violations and the keys' problems.
Texts CheckProblems(const fs::path& path) {
  Texts problems;
  isam::PageStoreOptions options;
  options.read_only = true;
  std::unique_ptr<isam::PageStore> store;
  isam::Status st = isam::PageStore::Open(path.string(), options, store);
  if (!st.ok()) return {"open: " + st.detail};
  std::vector<isam::Violation> violations;
  isam::FileSummary summary;
  st = isam::CheckFormat(*store, violations, summary);
  if (!st.ok()) return {"check: " + st.detail};
  for (const isam::Violation& v : violations) problems.push_back(v.where + ": " + v.text);
  store.reset();
  std::unique_ptr<isam::IsamFile> file;
  isam::KeyCheckResult keys;
  st = isam::IsamFile::Open(path.string(), options, file);
  if (st.ok()) st = isam::CrossCheckKeys(*file, keys);
  if (!st.ok()) problems.push_back("keys: " + st.detail);
  for (const isam::KeyProblem& p : keys.problems) problems.push_back(p.where + ": " + p.text);
  return problems;
}

class RoadOfOneMovieTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const fs::path clips = CINEVO_TEST_MEDIA_DIR;
    if (!fs::exists(clips / "clip.avi")) GTEST_SKIP() << "no test clips in " << clips;
    ASSERT_TRUE(StartEventRuntime());
    isam::RegisterIsamDriver();
    dir_ = fs::temp_directory_path() / ("road_" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "data");
    fs::copy_file(clips / "clip.avi", dir_ / "beach.avi");
    fs::copy_file(clips / "clip.mpg", dir_ / "harbour.mpg");
    RegisterPlayerWindows();
    globals_.errors.Init();
    catalogue_ = std::make_unique<Catalogue>((dir_ / "data").string());
    globals_.catalogue = catalogue_.get();
    catalogue_->InitGroups(globals_.errors);
    catalogue_->InitMovies(globals_.errors);
  }
  void TearDown() override {
    if (!catalogue_) return;
    player_.CloseAll();
    catalogue_->KillGroups();
    catalogue_->KillMovies();
    globals_.errors.Kill();
    catalogue_.reset();
    fs::remove_all(dir_);
  }

  // Both files pass the checks; the groups and movies on disk, in key order, as "group" and
  // "group|path".
  Texts OnDisk() {
    EXPECT_EQ(CheckProblems(dir_ / "data" / "GRUPA.TVX"), Texts{});
    EXPECT_EQ(CheckProblems(dir_ / "data" / "PODGRU.TVX"), Texts{});
    Texts out;
    FileControlBlock g(*catalogue_->GroupFile().declaration);
    EXPECT_EQ(Open(g, 0x40), 0);
    SetKey(g, 0);
    while (Next(g) == 0) out.push_back(LoadText(g, gru::kSifra, gru::kSifraSize));
    Close(g);
    FileControlBlock m(*catalogue_->MovieFile().declaration);
    EXPECT_EQ(Open(m, 0x40), 0);
    SetKey(m, 0);
    while (Next(m) == 0) {
      out.push_back(LoadText(m, pod::kSifra, pod::kSifraSize) + "|" + LoadText(m, pod::kNaslov, pod::kNaslovSize));
    }
    Close(m);
    return out;
  }
  // The tree as the favourites window shows it.
  static Texts Lines(FavouritesTree& t) {
    Texts out;
    for (int32_t row = 1; row <= t.Count(); ++row) {
      const TreeLine l = t.Line(row);
      out.push_back(std::string(2 * static_cast<size_t>(l.AbsLevel()), ' ') + (l.level < 0 ? "+" : "") + l.display);
    }
    return out;
  }
  Texts Entries() {
    Texts out;
    for (int32_t i = 1; i <= player_.play_list().Count(); ++i) out.push_back(player_.play_list().PathAt(i));
    return out;
  }

  fs::path dir_;
  Globals globals_;
  std::unique_ptr<Catalogue> catalogue_;
  std::unique_ptr<MediaLink> link_ = MakeSystemMediaLink();
  Player player_{*link_};
};

TEST_F(RoadOfOneMovieTest, DropStorePlayRenameDeleteAMovieAndDeleteTheGroup) {
  const std::string beach = (dir_ / "beach.avi").string(), harbour = (dir_ / "harbour.mpg").string();
  std::string group;  // the name "Add play list" gives the group
  FavouritesManager* tree = nullptr;

  // The forms the favourites window runs: the group form with the steps below, one per run.
  std::vector<Script> groupSteps;
  FavouritesCalls forms;
  forms.movie_form = [](Globals& g) { RunMovieForm(g); };
  forms.group_form = [&](Globals& g) {
    Script script;
    if (g.globalRequest != kDeleteRecord && !groupSteps.empty()) {
      script = groupSteps.front();
      groupSteps.erase(groupSteps.begin());
    }
    Scripted<GroupFormManager> form(script, g, [](Globals& gg) { RunMovieForm(gg); });
    g.globalResponse = static_cast<uint8_t>(form.Run());
  };
  groupSteps.push_back([&](UiDriver& ui, const Step& step) {  // rename
    ASSERT_TRUE(ui.Type(gf::kName, "Road trip", false));
    ASSERT_TRUE(ui.Click(gf::kOk));
    step();
  });
  groupSteps.push_back([&](UiDriver& ui, const Step& step) {  // delete the first movie of the list
    ASSERT_TRUE(ui.SelectRow(gf::kMovies, 1));
    step();
    ASSERT_TRUE(ui.Click(gf::kDelete));
    step();
    ASSERT_TRUE(ui.Click(gf::kOk));
    step();
  });

  Script favourites = [&](UiDriver& ui, const Step& step) {
    FavouritesTree& t = tree->tree();
    EXPECT_EQ(Lines(t), (Texts{"...", "  +" + group}));
    ASSERT_TRUE(ui.ClickExpander(fc::kTree, 2));
    step();
    EXPECT_EQ(Lines(t), (Texts{"...", "  " + group, "    " + beach, "    " + harbour}));
    // Play group on a movie line: both movies play again.
    ui.AnswerPopup(favourites_item::kPlayGroup);
    ASSERT_TRUE(ui.RightClickRow(fc::kTree, 4));
    step();
    EXPECT_EQ(Entries(), (Texts{AsciiUpper(beach), AsciiUpper(harbour)}));
    // Rename the group in the group form (a double click on its line).
    ASSERT_TRUE(ui.DoubleClickRow(fc::kTree, 2));
    step();
    EXPECT_EQ(Lines(t), (Texts{"...", "  Road trip", "    " + beach, "    " + harbour}));
    EXPECT_EQ(OnDisk(), (Texts{"Road trip", "Road trip|" + beach, "Road trip|" + harbour}));
    // Delete one movie in the group form's list.
    ASSERT_TRUE(ui.DoubleClickRow(fc::kTree, 2));
    step();
    EXPECT_EQ(Lines(t), (Texts{"...", "  Road trip", "    " + harbour}));
    EXPECT_EQ(OnDisk(), (Texts{"Road trip", "Road trip|" + harbour}));
    // Delete the group: one question, and its movie goes with it.
    ui.AnswerMessageBox(box_button::kYes);
    ui.AnswerPopup(favourites_item::kDelete);
    ASSERT_TRUE(ui.RightClickRow(fc::kTree, 2));
    step();
    ASSERT_EQ(ui.MessageBoxesShown().size(), 1u);
    EXPECT_EQ(ui.MessageBoxesShown()[0].title, "Confirm Delete");
    EXPECT_EQ(Lines(t), Texts{"..."});
    EXPECT_EQ(OnDisk(), Texts{});
  };

  MainWindowCalls calls;
  calls.favourites = [&] {
    Scripted<FavouritesManager> window(favourites, globals_, player_, forms);
    tree = &window;
    window.Run();
    tree = nullptr;
  };
  Script road = [&](UiDriver& ui, const Step& step) {
    EXPECT_EQ(OnDisk(), Texts{});  // the first start made both files, empty
    ASSERT_TRUE(ui.DropFiles({beach, harbour}));
    step();
    EXPECT_EQ(Entries(), (Texts{AsciiUpper(beach), AsciiUpper(harbour)}));
    ASSERT_TRUE(ui.ChooseMenu(mc::kAddPlayList));
    step();
    Texts stored = OnDisk();
    ASSERT_EQ(stored.size(), 3u);
    group = stored[0];
    // The play list is stored in lower case, as the tree shows it.
    EXPECT_EQ(stored, (Texts{group, group + "|" + AsciiLower(beach), group + "|" + AsciiLower(harbour)}));
    ASSERT_TRUE(ui.Click(mc::kCloseAll));
    step();
    EXPECT_TRUE(player_.play_list().Empty());
    ASSERT_TRUE(ui.ChooseMenu(mc::kEditFavorites));
    step();
  };
  DirectFavouritesWriter writer(catalogue_->GroupFile(), catalogue_->MovieFile());
  MainWindowContext context = CatalogueMainWindowContext(globals_, writer);
  RegisterPlayerWindows();
  Scripted<MainWindowManager> main(road, context, player_, calls);
  main.Run();
  EXPECT_EQ(OnDisk(), Texts{});
}

}  // namespace
}  // namespace cinevo::app
