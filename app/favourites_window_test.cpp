// The favourites window driven as a user drives it, offscreen, over real data files: the tree as
// loaded, expanding and contracting, the popup, playing a group, the edits through scripted forms
// with the toolbar's navigation between them, and reloading with the selection and the expansion
// kept.
#include "app/favourites_window.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "app/catalogue.h"
#include "app/data_startup.h"
#include "app/form_test_support.h"
#include "platform/window/test_application.h"
#include "classlib/runtime_window.h"
#include "classlib/toolbar.h"
#include "runtime/data/file_statements.h"
#include "runtime/data/isam/isam_driver.h"
#include "runtime/ui/event_code.h"
#include "runtime/ui/file_dialog.h"
#include "runtime/ui/events.h"
#include "runtime/ui/property.h"
#include "runtime/ui/testing/ui_driver.h"
#include "runtime/ui/window.h"

namespace cinevo::app {
namespace {

namespace fs = std::filesystem;
namespace fc = favourites_control;
namespace fi = favourites_item;
namespace tb = classlib::toolbar_button;
using Texts = std::vector<std::string>;

// Answers every command as a service that plays whatever it is given would.
class PlayingLink : public MediaLink {
 public:
  int Send(std::string_view command, std::string& reply) override {
    sent.emplace_back(command);
    reply = command.starts_with("status ") ? "playing" : "";
    return 0;
  }
  int PlaySound(std::string_view path) override {
    sounds.emplace_back(path);
    return 0;
  }
  Texts Opened() const {
    Texts out;
    for (const std::string& c : sent) {
      if (c.starts_with("open ")) out.push_back(c.substr(5, c.find(" parent") - 5));
    }
    return out;
  }
  Texts sent, sounds;
};

// What a form saw when it was run.
struct FormCall {
  char form;  // 'g' group, 'm' movie
  int request;
  std::string record;  // GRU:SIFRA, or POD:SIFRA + "|" + POD:NASLOV
};

// The catalogue in a fresh folder, kept open as the main window keeps it (form_test_support.h).
class FavouritesWindowTest : public test::FormTest {
 protected:
  void SetUp() override {
    FormTest::SetUp();
    RegisterPlayerWindows();
    calls_.group_form = [this](Globals& g) { GroupForm(g); };
    calls_.movie_form = [this](Globals& g) { MovieForm(g); };
  }
  void TearDown() override {
    Close();
    FormTest::TearDown();
  }

  // --- Scripted forms: each does what `next_` says to the record the window left ---------------
  struct Script {
    std::string value;      // the new name or path (insert, change)
    bool complete = true;   // false: the user cancels
    int32_t navigation = 0; // left in VCRRequest, as the toolbar's arrows leave it
  };
  std::vector<Script> scripts_;
  std::vector<FormCall> forms_;

  Script NextScript() {
    if (scripts_.empty()) return {};
    Script s = scripts_.front();
    scripts_.erase(scripts_.begin());
    return s;
  }
  void GroupForm(Globals& g) {
    FileControlBlock& f = catalogue_->GroupFile();
    forms_.push_back({'g', g.globalRequest, LoadText(f, gru::kSifra, gru::kSifraSize)});
    const Script s = NextScript();
    g.globalResponse = kRequestCancelled;
    if (!s.complete) return;
    int rc = 0;
    switch (g.globalRequest) {
      case kInsertRecord:
        StoreText(f, gru::kSifra, gru::kSifraSize, s.value);
        rc = catalogue_->Groups().Insert();
        break;
      case kChangeRecord:
        catalogue_->GroupRelations().SaveLinks();
        StoreText(f, gru::kSifra, gru::kSifraSize, s.value);
        rc = catalogue_->GroupRelations().Update();
        break;
      case kDeleteRecord:
        catalogue_->GroupRelations().SaveLinks();
        rc = catalogue_->GroupRelations().Delete(false);
        break;
    }
    if (rc == 0) {
      g.globalResponse = kRequestCompleted;
      g.vcrRequest = s.navigation;
    }
  }
  void MovieForm(Globals& g) {
    FileControlBlock& f = catalogue_->MovieFile();
    forms_.push_back({'m', g.globalRequest,
                      LoadText(f, pod::kSifra, pod::kSifraSize) + "|" + LoadText(f, pod::kNaslov, pod::kNaslovSize)});
    const Script s = NextScript();
    g.globalResponse = kRequestCancelled;
    if (!s.complete) return;
    int rc = 0;
    switch (g.globalRequest) {
      case kInsertRecord:
        StoreText(f, pod::kNaslov, pod::kNaslovSize, s.value);
        StoreText(f, pod::kNaslov2, pod::kNaslov2Size, s.value.substr(0, std::min<size_t>(s.value.size(), 10)));
        rc = catalogue_->Movies().Insert();
        break;
      case kChangeRecord:
        StoreText(f, pod::kNaslov, pod::kNaslovSize, s.value);
        rc = catalogue_->MovieRelations().Update();
        break;
      case kDeleteRecord:
        rc = catalogue_->MovieRelations().Delete(false);
        break;
    }
    if (rc == 0) {
      g.globalResponse = kRequestCompleted;
      g.vcrRequest = s.navigation;
    }
  }

  // --- The window ------------------------------------------------------------------------------
  void Open() {
    manager_ = std::make_unique<FavouritesManager>(globals_, player_, calls_);
    ASSERT_EQ(manager_->Init(), classlib::level::kContinue);
    ui_ = std::make_unique<UiDriver>(Runtime());
    Step();
  }
  void Close() {
    if (!manager_) return;
    manager_->Kill();
    ui_.reset();
    if (Runtime().IsOpen()) Runtime().Close();
    manager_.reset();
  }
  Window& Runtime() { return static_cast<classlib::RuntimeWindow&>(manager_->window()).runtime(); }
  std::vector<SeenEvent> Step() {
    return ui_->Run([this] {
      if (!manager_->Dispatch()) Runtime().ExitLoop();
    });
  }
  // The tree as the user sees it: indented by level, "+" before a contracted group, the icon.
  Texts Lines() {
    Texts out;
    FavouritesTree& t = manager_->tree();
    t.CheckInvariants();
    for (int32_t row = 1; row <= t.Count(); ++row) {
      const TreeLine l = t.Line(row);
      out.push_back(std::string(2 * static_cast<size_t>(l.AbsLevel()), ' ') + (l.level < 0 ? "+" : "") +
                    l.display + " #" + std::to_string(l.icon));
    }
    return out;
  }
  int32_t Selected() { return Runtime().PropertyLong(PROP::Selection, fc::kTree); }
  std::string SelectedText() { return manager_->tree().Line(Selected()).display; }
  void Select(int32_t row) {
    ASSERT_TRUE(ui_->SelectRow(fc::kTree, row)) << row;
    Step();
  }
  void Popup(int32_t row, int item) {
    ui_->AnswerPopup(item);
    ASSERT_TRUE(ui_->RightClickRow(fc::kTree, row)) << row;
    Step();
  }
  void Key(uint32_t code) {
    ASSERT_TRUE(ui_->PressKey(fc::kTree, code));
    Step();
  }
  void Toolbar(int button) {
    ASSERT_TRUE(ui_->Click(fc::kFirstToolbarButton + (button - tb::kFirst))) << button;
    Step();
  }

  PlayingLink link_;
  Player player_{link_};
  FavouritesCalls calls_;
  std::unique_ptr<FavouritesManager> manager_;
  std::unique_ptr<UiDriver> ui_;
};

TEST_F(FavouritesWindowTest, AnEmptyCatalogueShowsOnlyTheRootAndTheWindowIsAsDefined) {
  Open();
  Window& w = Runtime();
  EXPECT_EQ(w.Caption(), "Favorites");
  EXPECT_EQ(w.Property(PROP::Tip, fc::kTree), "Right click for options");
  EXPECT_EQ(Lines(), Texts{"... #5"});
  EXPECT_EQ(Selected(), 1);
  const Texts icons = {"~1f1.ico", "~1f2.ico", "~1f3.ico", "~1f4.ico", "~closed.ico", "~opened.ico"};
  for (int i = 1; i <= 6; ++i) EXPECT_EQ(w.Property(PROP::IconList, fc::kTree, i), icons[i - 1]) << i;
  EXPECT_EQ(w.PropertyLong(PROP::Alert, fc::kTree, 255), 0x227);
  EXPECT_EQ(w.PropertyLong(PROP::Alert, fc::kTree, 254), 0x225);
  EXPECT_EQ(w.PropertyLong(PROP::Alert, fc::kTree, 253), 5);
  // The toolbar offers the tree's six moves, with the tree's tips.
  EXPECT_EQ(manager_->window().Tip(tb::kBottom), "Go to next parent record");
  EXPECT_EQ(manager_->window().Tip(tb::kUp), "Go to previous record");
  for (int b = tb::kBottom; b <= tb::kUp; ++b) EXPECT_FALSE(manager_->window().Disabled(b)) << b;
  EXPECT_FALSE(ui_->Click(fc::kFirstToolbarButton));  // insert is not the tree's: hidden
  // Nothing on the root line edits or plays.
  Popup(1, fi::kChange);
  Popup(1, fi::kPlayGroup);
  EXPECT_TRUE(forms_.empty());
  EXPECT_TRUE(link_.sent.empty());
}

TEST_F(FavouritesWindowTest, GroupsInTheOrderAddedMoviesInKeyOrderWithTheirIcons) {
  AddGroup("Zeta");
  AddGroup("Alpha");
  AddGroup("Empty");
  AddMovie("Zeta", "/m/d.txt");
  AddMovie("Zeta", "/m/b.mpg");
  AddMovie("Zeta", "/m/a.avi");
  AddMovie("Zeta", "/m/c.mov");
  AddMovie("Zeta", "/m/E.AVI");
  AddMovie("Alpha", "/m/x.avi");
  auto bytes = [this] {
    std::string all;
    for (const char* name : {"GRUPA.TVX", "PODGRU.TVX"}) {
      std::ifstream in(dir_ / name, std::ios::binary);
      all += std::string(std::istreambuf_iterator<char>(in), {});
    }
    return all;
  };
  const std::string before = bytes();
  Open();
  EXPECT_EQ(Lines(), (Texts{"... #5", "  +Zeta #5", "  +Alpha #5", "  Empty #6"}));
  Popup(1, fi::kExpandAll);
  Popup(1, fi::kContractAll);
  EXPECT_EQ(bytes(), before) << "reading the tree writes nothing";
  ASSERT_TRUE(ui_->ClickExpander(fc::kTree, 2));
  Step();
  // Key order: POD:SIFRA, then the first ten characters of the path, without regard to case.
  EXPECT_EQ(Lines(), (Texts{"... #5", "  Zeta #6", "    /m/a.avi #1", "    /m/b.mpg #2", "    /m/c.mov #3",
                            "    /m/d.txt #4", "    /m/E.AVI #4", "  +Alpha #5", "  Empty #6"}));
  EXPECT_EQ(Selected(), 2);
  EXPECT_EQ(manager_->tree().ExpandedCount(), 1);
  // A group without movies has no box and nothing to open.
  EXPECT_FALSE(ui_->ClickExpander(fc::kTree, 9));
}

TEST_F(FavouritesWindowTest, ExpandAndContractByKeysBoxesAndThePopup) {
  AddGroup("One");
  AddGroup("Two");
  AddMovie("One", "/m/1a.avi");
  AddMovie("One", "/m/1b.avi");
  AddMovie("Two", "/m/2a.mpg");
  Open();
  Select(3);
  Key(favourites_key::kCtrlRight);
  EXPECT_EQ(Lines(), (Texts{"... #5", "  +One #5", "  Two #6", "    /m/2a.mpg #2"}));
  Select(2);
  Key(favourites_key::kCtrlRight);
  EXPECT_EQ(Lines(), (Texts{"... #5", "  One #6", "    /m/1a.avi #1", "    /m/1b.avi #1", "  Two #6",
                            "    /m/2a.mpg #2"}));
  Key(favourites_key::kCtrlLeft);
  EXPECT_EQ(Lines(), (Texts{"... #5", "  +One #5", "  Two #6", "    /m/2a.mpg #2"}));
  // Contracting a movie or the root changes nothing.
  Select(4);
  Key(favourites_key::kCtrlLeft);
  Select(1);
  Key(favourites_key::kCtrlLeft);
  Key(favourites_key::kCtrlRight);
  EXPECT_EQ(Lines(), (Texts{"... #5", "  +One #5", "  Two #6", "    /m/2a.mpg #2"}));
  ASSERT_TRUE(ui_->ClickExpander(fc::kTree, 3));
  Step();
  EXPECT_EQ(Lines(), (Texts{"... #5", "  +One #5", "  +Two #5"}));
  Popup(3, fi::kExpandAll);
  EXPECT_EQ(Lines(), (Texts{"... #5", "  One #6", "    /m/1a.avi #1", "    /m/1b.avi #1", "  Two #6",
                            "    /m/2a.mpg #2"}));
  EXPECT_EQ(SelectedText(), "Two");
  EXPECT_EQ(manager_->tree().ExpandedCount(), 2);
  ASSERT_EQ(ui_->PopupsShown().size(), 1u);
  EXPECT_EQ(ui_->PopupsShown()[0], kFavouritesPopup);
  EXPECT_EQ(std::string(kFavouritesPopup).rfind("&Play group|-|&Insert|&Change|&Delete|-|E&xpand All|Co&ntract All|", 0), 0u);
  Popup(6, fi::kContractAll);
  EXPECT_EQ(Lines(), (Texts{"... #5", "  +One #5", "  +Two #5"}));
  EXPECT_EQ(manager_->tree().ExpandedCount(), 0);
  EXPECT_EQ(SelectedText(), "Two");  // the movie selected is hidden: its group is selected
}

TEST_F(FavouritesWindowTest, PlayGroupOnAMovieLinePlaysTheWholeGroupInKeyOrder) {
  AddGroup("Trip");
  AddGroup("Other");
  AddMovie("Trip", "/m/b.mpg");
  AddMovie("Trip", "/m/a.avi");
  AddMovie("Other", "/m/o.avi");
  Open();
  Popup(3, fi::kExpandAll);
  ASSERT_EQ(Lines()[3], "    /m/b.mpg #2");
  Popup(4, fi::kPlayGroup);
  EXPECT_EQ(link_.Opened(), (Texts{"/M/A.AVI", "/M/B.MPG"}));
  EXPECT_EQ(player_.play_list().Count(), 2);
  link_.sent.clear();
  Popup(5, fi::kPlayGroup);  // the group's own line
  EXPECT_EQ(link_.Opened(), Texts{"/M/O.AVI"});
}

TEST_F(FavouritesWindowTest, InsertOnTheRootAddsAGroupAndOnAMovieAddsToThatMoviesGroup) {
  AddGroup("Trip");
  AddMovie("Trip", "/m/a.avi");
  AddGroup("Later");
  Open();
  scripts_ = {{"New group"}};
  Popup(1, fi::kInsert);
  ASSERT_EQ(forms_.size(), 1u);
  EXPECT_EQ(forms_[0].form, 'g');
  EXPECT_EQ(forms_[0].request, kInsertRecord);
  EXPECT_EQ(forms_[0].record, "");  // primed blank
  EXPECT_EQ(Lines(), (Texts{"... #5", "  +Trip #5", "  Later #6", "  New group #6"}));
  EXPECT_EQ(Selected(), 4);
  ASSERT_TRUE(ui_->ClickExpander(fc::kTree, 2));
  Step();
  scripts_ = {{"/m/0.mov"}};
  Popup(3, fi::kInsert);  // the movie line
  ASSERT_EQ(forms_.size(), 2u);
  EXPECT_EQ(forms_[1].form, 'm');
  EXPECT_EQ(forms_[1].request, kInsertRecord);
  EXPECT_EQ(forms_[1].record, "Trip|");
  EXPECT_EQ(Lines(), (Texts{"... #5", "  Trip #6", "    /m/0.mov #3", "    /m/a.avi #1", "  Later #6",
                            "  New group #6"}));
  EXPECT_EQ(SelectedText(), "/m/0.mov");
  // On a group without movies: the movie goes into it, and the group opens to show it.
  scripts_ = {{"/m/l.avi"}};
  Popup(5, fi::kInsert);
  EXPECT_EQ(forms_[2].record, "Later|");
  EXPECT_EQ(Lines(), (Texts{"... #5", "  Trip #6", "    /m/0.mov #3", "    /m/a.avi #1", "  Later #6",
                            "    /m/l.avi #1", "  New group #6"}));
  EXPECT_EQ(Selected(), 6);
  // A cancelled form changes nothing.
  scripts_ = {{"", false}};
  Popup(1, fi::kInsert);
  EXPECT_EQ(Lines().size(), 7u);
  EXPECT_EQ(Records(catalogue_->GroupFile()), 3);
}

TEST_F(FavouritesWindowTest, ChangeAndDeleteReadTheLinesRecordAndReloadKeepingTheExpansion) {
  AddGroup("Trip");
  AddGroup("Home");
  AddMovie("Trip", "/m/a.avi");
  AddMovie("Trip", "/m/b.avi");
  Open();
  ASSERT_TRUE(ui_->ClickExpander(fc::kTree, 2));
  Step();
  scripts_ = {{"Journey"}};
  ASSERT_TRUE(ui_->DoubleClickRow(fc::kTree, 2));
  Step();
  ASSERT_EQ(forms_.size(), 1u);
  EXPECT_EQ(forms_[0].form, 'g');
  EXPECT_EQ(forms_[0].request, kChangeRecord);
  EXPECT_EQ(forms_[0].record, "Trip");
  // The movies went with the group, and the group stays open and selected.
  EXPECT_EQ(Lines(), (Texts{"... #5", "  Journey #6", "    /m/a.avi #1", "    /m/b.avi #1", "  Home #6"}));
  EXPECT_EQ(Selected(), 2);
  scripts_ = {{"/m/c.mpg"}};
  ASSERT_TRUE(ui_->DoubleClickRow(fc::kTree, 3));
  Step();
  EXPECT_EQ(forms_[1].record, "Journey|/m/a.avi");
  // The key keeps the first ten characters the movie was added with: its place stays.
  EXPECT_EQ(Lines()[2], "    /m/c.mpg #2");
  EXPECT_EQ(SelectedText(), "/m/c.mpg");
  Popup(4, fi::kDelete);
  EXPECT_EQ(forms_[2].request, kDeleteRecord);
  EXPECT_EQ(forms_[2].record, "Journey|/m/b.avi");
  EXPECT_EQ(Lines(), (Texts{"... #5", "  Journey #6", "    /m/c.mpg #2", "  Home #6"}));
  EXPECT_EQ(Selected(), 3);
  Popup(2, fi::kDelete);
  EXPECT_EQ(Lines(), (Texts{"... #5", "  Home #6"}));
  EXPECT_EQ(Records(catalogue_->MovieFile()), 0);
}

TEST_F(FavouritesWindowTest, ALineWhoseRecordIsGoneIsNeverEditedItIsReloaded) {
  AddGroup("Trip");
  AddGroup("Home");
  AddMovie("Home", "/m/h.avi");
  Open();
  ASSERT_TRUE(ui_->ClickExpander(fc::kTree, 3));
  Step();
  // Another station deletes what the window shows, leaving some other record in the buffers.
  auto deleteBehind = [this](FileControlBlock& f, std::string_view group) {
    StoreText(f, 0, 20, group);  // GRU:SIFRA and POD:SIFRA lead both records
    if (&f == &catalogue_->MovieFile()) StoreText(f, pod::kNaslov2, pod::kNaslov2Size, "");
    ASSERT_EQ(SetKeyFromKey(f, 0, 0), 0);
    ASSERT_EQ(Next(f), 0);
    ASSERT_EQ(Delete(f), 0);
  };
  deleteBehind(catalogue_->GroupFile(), "Trip");
  StoreText(catalogue_->GroupFile(), gru::kSifra, gru::kSifraSize, "Home");
  scripts_ = {{"Renamed"}};
  Popup(2, fi::kChange);
  EXPECT_TRUE(forms_.empty());
  EXPECT_EQ(Lines(), (Texts{"... #5", "  Home #6", "    /m/h.avi #1"}));
  deleteBehind(catalogue_->MovieFile(), "Home");
  Popup(3, fi::kDelete);
  Popup(2, fi::kExpandAll);
  EXPECT_TRUE(forms_.empty());
  EXPECT_EQ(Lines(), (Texts{"... #5", "  Home #6"}));
  deleteBehind(catalogue_->GroupFile(), "Home");
  Popup(2, fi::kInsert);
  Popup(1, fi::kPlayGroup);
  EXPECT_TRUE(forms_.empty());
  EXPECT_EQ(Lines(), Texts{"... #5"});
}

TEST_F(FavouritesWindowTest, TheToolbarsArrowsWalkTheTree) {
  AddGroup("A");
  AddGroup("B");
  AddGroup("C");
  AddMovie("A", "/m/a1.avi");
  AddMovie("A", "/m/a2.avi");
  AddMovie("B", "/m/b1.avi");
  Open();
  Select(2);
  Toolbar(tb::kDown);  // next: opens A first
  EXPECT_EQ(SelectedText(), "/m/a1.avi");
  Toolbar(tb::kPageDown);  // next similar
  EXPECT_EQ(SelectedText(), "/m/a2.avi");
  Toolbar(tb::kPageDown);  // no further movie: stays
  EXPECT_EQ(SelectedText(), "/m/a2.avi");
  Toolbar(tb::kBottom);  // next parent
  EXPECT_EQ(SelectedText(), "B");
  Toolbar(tb::kPageUp);  // previous similar
  EXPECT_EQ(SelectedText(), "A");
  Toolbar(tb::kBottom);  // a group has no parent to go to
  EXPECT_EQ(SelectedText(), "A");
  Select(4);
  Toolbar(tb::kTop);  // parent
  EXPECT_EQ(SelectedText(), "A");
  Toolbar(tb::kUp);
  EXPECT_EQ(SelectedText(), "...");
  Toolbar(tb::kUp);
  EXPECT_EQ(Selected(), 1);
}

TEST_F(FavouritesWindowTest, AFormsArrowsMoveOnAndRunTheSameEditAgain) {
  AddGroup("A");
  AddGroup("B");
  AddMovie("A", "/m/a1.avi");
  AddMovie("A", "/m/a2.avi");
  AddMovie("B", "/m/b1.avi");
  Open();
  Popup(2, fi::kExpandAll);
  // Change a1, "next" to a2, change it, "next similar" to the next movie line (B's), change it.
  scripts_ = {{"/m/a1b.avi", true, tb::kDown}, {"/m/a2b.avi", true, tb::kPageDown}, {"/m/b1b.avi"}};
  ASSERT_TRUE(ui_->DoubleClickRow(fc::kTree, 3));
  Step();
  ASSERT_EQ(forms_.size(), 3u);
  EXPECT_EQ(forms_[0].record, "A|/m/a1.avi");
  EXPECT_EQ(forms_[1].record, "A|/m/a2.avi");
  EXPECT_EQ(forms_[2].record, "B|/m/b1.avi");
  EXPECT_EQ(globals_.vcrRequest, 0);
  EXPECT_EQ(SelectedText(), "/m/b1b.avi");
  // "Insert" from a change form adds a movie to the line's group.
  forms_.clear();
  scripts_ = {{"/m/b1c.avi", true, tb::kInsert}, {"/m/a0.avi"}};
  ASSERT_TRUE(ui_->DoubleClickRow(fc::kTree, 6));
  Step();
  ASSERT_EQ(forms_.size(), 2u);
  EXPECT_EQ(forms_[1].form, 'm');
  EXPECT_EQ(forms_[1].request, kInsertRecord);
  EXPECT_EQ(forms_[1].record, "B|");
  EXPECT_EQ(Lines(), (Texts{"... #5", "  A #6", "    /m/a1b.avi #1", "    /m/a2b.avi #1", "  B #6",
                            "    /m/a0.avi #1", "    /m/b1c.avi #1"}));
  EXPECT_EQ(SelectedText(), "/m/a0.avi");
  // A group's "insert" adds a group.
  forms_.clear();
  scripts_ = {{"B2", true, tb::kInsert}, {"C"}};
  ASSERT_TRUE(ui_->DoubleClickRow(fc::kTree, 5));
  Step();
  ASSERT_EQ(forms_.size(), 2u);
  EXPECT_EQ(forms_[1].form, 'g');
  EXPECT_EQ(forms_[1].request, kInsertRecord);
  EXPECT_EQ(SelectedText(), "C");
}

TEST_F(FavouritesWindowTest, GainingTheFocusReloadsKeepingTheSelectionAndTheExpansion) {
  AddGroup("A");
  AddGroup("B");
  AddMovie("A", "/m/a1.avi");
  AddMovie("B", "/m/b1.avi");
  Open();
  ASSERT_TRUE(ui_->ClickExpander(fc::kTree, 3));
  Step();
  Select(4);
  ASSERT_EQ(SelectedText(), "/m/b1.avi");
  // Another program adds a group and a movie of B ahead of the selected one.
  AddGroup("C");
  AddMovie("B", "/m/b0.avi");
  Runtime().Post(EVENT::LoseFocus);
  Runtime().Post(EVENT::GainFocus);
  ui_->Run([this] { manager_->Dispatch(); }, true);
  EXPECT_EQ(Lines(), (Texts{"... #5", "  +A #5", "  B #6", "    /m/b0.avi #1", "    /m/b1.avi #1", "  C #6"}));
  EXPECT_EQ(SelectedText(), "/m/b1.avi");
}

// A group goes out to a play-list file and comes back as a new group, selected, with the same
// movies in the same order; the user is told each time. A cancelled dialog does nothing.
TEST_F(FavouritesWindowTest, AGroupExportedToAPlayListFileComesBackAsANewGroup) {
  const std::string first = (dir_ / "b.mpg").string(), second = (dir_ / "a.avi").string();
  for (const std::string& path : {first, second}) std::ofstream(path) << "movie";
  AddGroup("Trip");
  AddMovie("Trip", second);
  AddMovie("Trip", first);
  Open();
  ScriptedFileDialogs dialogs;
  dialogs.Cancel();
  Popup(2, fi::kExportGroup);
  ASSERT_EQ(dialogs.Shown().size(), 1u);
  EXPECT_EQ(dialogs.Shown()[0].title, "Export group");
  EXPECT_EQ(dialogs.Shown()[0].file, "Trip.m3u");
  EXPECT_TRUE(ui_->MessageBoxesShown().empty());

  const std::string list = (dir_ / "trip.m3u").string();
  dialogs.Choose(list);
  Popup(2, fi::kExportGroup);
  ASSERT_TRUE(fs::exists(list));
  ASSERT_EQ(ui_->MessageBoxesShown().size(), 1u);
  EXPECT_EQ(ui_->MessageBoxesShown()[0].icon, box_icon::kAsterisk) << ui_->MessageBoxesShown()[0].text;

  dialogs.Choose(list);
  Popup(1, fi::kImportList);
  ASSERT_EQ(ui_->MessageBoxesShown().size(), 2u);
  EXPECT_EQ(ui_->MessageBoxesShown()[1].icon, box_icon::kAsterisk) << ui_->MessageBoxesShown()[1].text;
  ASSERT_EQ(manager_->tree().Count(), 3);  // the root, Trip and the new group
  EXPECT_EQ(Selected(), 3);
  const std::string imported = SelectedText();
  EXPECT_NE(imported, "Trip");
  Popup(3, fi::kExpandAll);
  EXPECT_EQ(Lines(), (Texts{"... #5", "  Trip #6", "    " + second + " #1", "    " + first + " #2",
                            "  " + imported + " #6", "    " + second + " #1", "    " + first + " #2"}));
}

}  // namespace
}  // namespace cinevo::app
