// The group form driven as a user drives it, offscreen, over the catalogue's real files; its
// list's buttons run the real movie form, driven by scripts of their own.
#include "app/group_form.h"

#include <gtest/gtest.h>

#include <deque>

#include "app/form_test_support.h"
#include "app/movie_form.h"
#include "classlib/toolbar.h"
#include "platform/window/test_application.h"
#include "runtime/ui/property.h"

namespace cinevo::app {
namespace {

using namespace test;
namespace gf = group_form_control;
namespace mf = movie_form_control;
namespace tb = classlib::toolbar_button;

class GroupFormTest : public FormTest {
 protected:
  uint8_t Run(uint8_t request, Script script) {
    globals_.globalRequest = request;
    globals_.vcrRequest = 0;
    form_ = std::make_unique<ScriptedForm<GroupFormManager>>(
        std::move(script), globals_, [this](Globals& g) { RunMovie(g); });
    globals_.globalResponse = static_cast<uint8_t>(form_->Run());
    return globals_.globalResponse;
  }
  uint8_t Insert(Script script) {
    catalogue_->Groups().PrimeRecord();
    return Run(kInsertRecord, std::move(script));
  }
  uint8_t Change(std::string_view name, Script script) {
    ReadGroup(name);
    return Run(kChangeRecord, std::move(script));
  }
  uint8_t Delete(std::string_view name) {
    ReadGroup(name);
    bool shown = false;
    const uint8_t r = Run(kDeleteRecord, [&](UiDriver&, const std::function<void()>&) { shown = true; });
    EXPECT_FALSE(shown) << "a delete never shows the form";
    return r;
  }
  // The movie form the list runs: the next script of `movieScripts_`.
  void RunMovie(Globals& g) {
    Script script;
    if (!movieScripts_.empty()) {
      script = std::move(movieScripts_.front());
      movieScripts_.pop_front();
    }
    movieRequests_.push_back(g.globalRequest);
    movieGroups_.push_back(LoadText(MovieRecord(), pod::kSifra, pod::kSifraSize));
    ScriptedForm<MovieFormManager> movie(std::move(script), g);
    g.globalResponse = static_cast<uint8_t>(movie.Run());
    for (const std::string& b : movie.boxes) movieBoxes_.push_back(b);
  }
  // A movie form script: types the path and presses OK.
  static Script MovieAt(std::string path) {
    return [path](UiDriver& ui, const std::function<void()>& step) {
      ui.Type(mf::kPath, path);
      step();
      ui.Click(mf::kOk);
      step();
    };
  }
  static Script TypeName(std::string name, int then) {
    return [name, then](UiDriver& ui, const std::function<void()>& step) {
      ASSERT_TRUE(ui.Type(gf::kName, name));
      step();
      ASSERT_TRUE(ui.Click(then));
      step();
    };
  }
  // The list's rows as "path|icon".
  Texts Rows() {
    Texts out;
    Queue& q = form_->rows();
    for (int32_t i = 1; i <= QueuePeekRecords(&q); ++i) {
      const auto* row = reinterpret_cast<const MovieRow*>(QueuePeekEntry(&q, i));
      std::string path(reinterpret_cast<const char*>(row->naslov), sizeof row->naslov);
      path.erase(path.find_last_not_of(' ') + 1);
      out.push_back(path + "|" + std::to_string(row->icon));
    }
    return out;
  }
  void AddDrama() {
    AddGroup("Drama");
    AddMovie("Drama", "/films/b/river.mpg");
    AddMovie("Drama", "/films/a/beach.avi");
    AddMovie("Drama", "/films/c/clip.mov");
    AddMovie("Drama", "/films/d/LOUD.MOV");
    AddMovie("Drama", "/films/e/notes.wav");
    AddGroup("Comedy");
    AddMovie("Comedy", "/comedy/one.avi");
  }

  std::unique_ptr<ScriptedForm<GroupFormManager>> form_;
  std::deque<Script> movieScripts_;
  std::vector<int> movieRequests_;
  Texts movieGroups_, movieBoxes_;
};

TEST_F(GroupFormTest, ChangeShowsTheGroupsMoviesInKeyOrderWithTheIconOfTheirKind) {
  AddDrama();
  Texts rows, shown;
  EXPECT_EQ(Change("Drama",
                   [&](UiDriver&, const std::function<void()>&) {
                     rows = Rows();
                     Window& w = form_->runtime();
                     for (int c : {gf::kNamePrompt, gf::kListPrompt, gf::kInsert, gf::kChange, gf::kDelete,
                                   gf::kOk, gf::kCancel, gf::kHelp}) {
                       shown.push_back(w.Property(PROP::Text, c));
                     }
                     shown.push_back(w.Property(PROP::Tip, gf::kMovies));
                     for (int i = 1; i <= 4; ++i) shown.push_back(w.Property(PROP::IconList, gf::kMovies, i));
                   }),
            kRequestCancelled);
  EXPECT_EQ(form_->caption, "Change group");
  const WindowDefinition* d = FindWindowDefinition("filmo$FILMO003", "P1$QUICKWINDOW");
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->caption, "Update the Grupa File");
  EXPECT_EQ(d->icon, "1mm.ico");
  const std::vector<NumberedControl> numbered = NumberControls(*d);
  EXPECT_EQ(numbered.size(), 25u) << "eleven controls, the toolbar and its 13 buttons";
  EXPECT_EQ(numbered[gf::kMovies - 1].control->format, "80L(2)|I@s120@");
  EXPECT_EQ(numbered[gf::kName - 1].control->picture, "@s20");
  EXPECT_EQ(rows, (Texts{"/films/a/beach.avi|1", "/films/b/river.mpg|2", "/films/c/clip.mov|3",
                         "/films/d/LOUD.MOV|4", "/films/e/notes.wav|4"}))
      << "upper-case extensions are not recognised";
  EXPECT_EQ(shown, (Texts{"Group", "movies", "&Insert", "&Change", "&Delete", "OK", "Cancel", "Help",
                          "Browsing Records", "~1f1.ico", "~1f2.ico", "~1f3.ico", "~1f4.ico"}));
}

TEST_F(GroupFormTest, ANewGroupHasAnEmptyListAndIsStoredByOk) {
  AddDrama();
  AddMovie("", "/films/without/group.avi");  // a movie whose group name is blank, as a new group's
  Texts rows{"not read"};
  EXPECT_EQ(Insert([&](UiDriver& ui, const std::function<void()>& step) {
              rows = Rows();
              ui.Type(gf::kName, "Holidays");
              step();
              ui.Click(gf::kOk);
              step();
            }),
            kRequestCompleted);
  EXPECT_EQ(form_->caption, "Add group");
  EXPECT_TRUE(rows.empty()) << rows.size();
  EXPECT_EQ(GroupsOnDisk(), (Texts{"Comedy", "Drama", "Holidays"}));
}

TEST_F(GroupFormTest, ADuplicateNameIsReportedAndTheFormStaysOpen) {
  AddDrama();
  bool openAfterError = false;
  EXPECT_EQ(Insert([&](UiDriver& ui, const std::function<void()>& step) {
              ui.Type(gf::kName, "DRAMA");  // the key ignores case
              step();
              ui.AnswerMessageBox(box_button::kOk);
              ui.Click(gf::kOk);
              step();
              openAfterError = form_->runtime().IsOpen();
              ui.AnswerMessageBox(box_button::kNo);  // "Save Record"
              ui.Click(gf::kCancel);
              step();
            }),
            kRequestCancelled);
  EXPECT_TRUE(openAfterError);
  EXPECT_EQ(form_->boxes, (Texts{"Duplicate Key Error", "Save Record"}));
  EXPECT_EQ(GroupsOnDisk(), (Texts{"Comedy", "Drama"}));
}

TEST_F(GroupFormTest, RenamingAGroupCarriesItsMovies) {
  AddDrama();
  EXPECT_EQ(Change("Drama", TypeName("Thriller", gf::kOk)), kRequestCompleted);
  EXPECT_EQ(GroupsOnDisk(), (Texts{"Comedy", "Thriller"}));
  Texts groups;
  for (const Texts& m : MoviesOnDisk()) groups.push_back(m[0] + "|" + m[1]);
  EXPECT_EQ(groups, (Texts{"Comedy|/comedy/one.avi", "Thriller|/films/a/beach.avi", "Thriller|/films/b/river.mpg",
                           "Thriller|/films/c/clip.mov", "Thriller|/films/d/LOUD.MOV",
                           "Thriller|/films/e/notes.wav"}));
}

TEST_F(GroupFormTest, DeletingAGroupAsksOnceAndTakesItsMovies) {
  AddDrama();
  boxes_.Answer(box_button::kNo);
  EXPECT_EQ(Delete("Drama"), kRequestCancelled);
  EXPECT_EQ(MoviesOnDisk().size(), 6u);
  boxes_.Answer(box_button::kYes);
  EXPECT_EQ(Delete("Drama"), kRequestCompleted);
  ASSERT_EQ(boxes_.Shown().size(), 2u);
  EXPECT_EQ(boxes_.Shown()[1].title, "Confirm Delete");
  EXPECT_EQ(GroupsOnDisk(), Texts{"Comedy"});
  EXPECT_EQ(MoviesOnDisk(), (std::vector<Texts>{{"Comedy", "/comedy/one.avi", "/comedy/on"}}));
}

TEST_F(GroupFormTest, TheListsButtonsRunTheMovieForm) {
  AddDrama();
  // Insert: the movie form starts with the group's name; the new movie is highlighted.
  movieScripts_.push_back(MovieAt("/films/f/new.avi"));
  // Change of the highlighted (new) movie.
  movieScripts_.push_back(MovieAt("/films/f/renamed.mpg"));
  Texts afterInsert, afterChange, afterDelete;
  int highlighted = 0;
  EXPECT_EQ(Change("Drama",
                   [&](UiDriver& ui, const std::function<void()>& step) {
                     ui.Click(gf::kInsert);
                     step();
                     afterInsert = Rows();
                     highlighted = form_->runtime().PropertyLong(PROP::Selected, gf::kMovies);
                     ui.Click(gf::kChange);
                     step();
                     afterChange = Rows();
                     ui.SelectRow(gf::kMovies, 1);
                     step();
                     ui.Click(gf::kDelete);  // beach.avi, without a question
                     step();
                     afterDelete = Rows();
                     ui.Click(gf::kCancel);
                     step();
                   }),
            kRequestCancelled);
  EXPECT_EQ(movieRequests_, (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(movieGroups_[0], "Drama") << "the new movie belongs to the group";
  EXPECT_TRUE(movieBoxes_.empty());
  ASSERT_EQ(afterInsert.size(), 6u);
  EXPECT_EQ(afterInsert[5], "/films/f/new.avi|1");
  EXPECT_EQ(highlighted, 6);
  EXPECT_EQ(afterChange[5], "/films/f/renamed.mpg|2");
  EXPECT_EQ(afterDelete, (Texts{"/films/b/river.mpg|2", "/films/c/clip.mov|3", "/films/d/LOUD.MOV|4",
                                "/films/e/notes.wav|4", "/films/f/renamed.mpg|2"}));
  // The movies' changes stay although the group form was cancelled: they were each completed.
  EXPECT_EQ(MoviesOnDisk().size(), 6u);
}

TEST_F(GroupFormTest, AGroupBeingAddedIsStoredBeforeItsFirstMovie) {
  AddDrama();
  movieScripts_.push_back(MovieAt("/trips/one.avi"));
  movieScripts_.push_back(MovieAt("/trips/two.mov"));
  Texts rows, groupsMeanwhile;
  std::string caption;
  EXPECT_EQ(Insert([&](UiDriver& ui, const std::function<void()>& step) {
              ui.Type(gf::kName, "Trips");
              step();
              ui.Click(gf::kInsert);
              step();
              groupsMeanwhile = GroupsOnDisk();
              caption = form_->runtime().Caption();
              ui.Click(gf::kInsert);
              step();
              rows = Rows();
              ui.Type(gf::kName, "Journeys");  // now a rename, which carries the movies
              step();
              ui.Click(gf::kOk);
              step();
            }),
            kRequestCompleted);
  EXPECT_EQ(groupsMeanwhile, (Texts{"Comedy", "Drama", "Trips"}));
  EXPECT_EQ(caption, "Change group");
  EXPECT_EQ(rows, (Texts{"/trips/one.avi|1", "/trips/two.mov|3"}));
  EXPECT_EQ(GroupsOnDisk(), (Texts{"Comedy", "Drama", "Journeys"}));
  Texts journeys;
  for (const Texts& m : MoviesOnDisk()) {
    if (m[0] == "Journeys") journeys.push_back(m[1]);
  }
  EXPECT_EQ(journeys, (Texts{"/trips/one.avi", "/trips/two.mov"}));

  // Cancelled after its movies were added, the group stays with them, and the caller hears so.
  movieScripts_.push_back(MovieAt("/kept/clip.mpg"));
  EXPECT_EQ(Insert([](UiDriver& ui, const std::function<void()>& step) {
              ui.Type(gf::kName, "Kept");
              step();
              ui.Click(gf::kInsert);
              step();
              ui.Click(gf::kCancel);
              step();
            }),
            kRequestCompleted);
  EXPECT_EQ(LoadText(GroupRecord(), gru::kSifra, gru::kSifraSize), "Kept");
  EXPECT_EQ(GroupsOnDisk(), (Texts{"Comedy", "Drama", "Journeys", "Kept"}));
  EXPECT_EQ(MoviesOnDisk().size(), 9u);

  // A name that is taken stops the movie form from running at all.
  EXPECT_EQ(Insert([](UiDriver& ui, const std::function<void()>& step) {
              ui.Type(gf::kName, "comedy");
              step();
              ui.AnswerMessageBox(box_button::kOk);
              ui.Click(gf::kInsert);
              step();
              ui.AnswerMessageBox(box_button::kNo);
              ui.Click(gf::kCancel);
              step();
            }),
            kRequestCancelled);
  EXPECT_EQ(form_->boxes, (Texts{"Duplicate Key Error", "Save Record"}));
  EXPECT_EQ(movieRequests_.size(), 3u);
  EXPECT_EQ(GroupsOnDisk().size(), 4u);
}

TEST_F(GroupFormTest, NextInTheToolbarSavesTheGroupAndLeavesTheMoveToTheCaller) {
  AddDrama();
  EXPECT_EQ(Change("Comedy", TypeName("Satire", tb::kDown - tb::kFirst + gf::kFirstToolbarButton)),
            kRequestCompleted);
  EXPECT_EQ(globals_.vcrRequest, tb::kDown);
  EXPECT_EQ(GroupsOnDisk(), (Texts{"Drama", "Satire"}));
}

TEST_F(GroupFormTest, TheToolbarServesTheListRightAfterOpeningAndThenTheControlLastUsed) {
  AddDrama();
  movieScripts_.push_back(MovieAt("/films/f/new.avi"));
  const int insert = gf::kFirstToolbarButton + (tb::kInsert - tb::kFirst);
  const int down = gf::kFirstToolbarButton + (tb::kDown - tb::kFirst);
  Texts rows;
  int highlighted = 0;
  EXPECT_EQ(Change("Drama",
                   [&](UiDriver& ui, const std::function<void()>& step) {
                     step();
                     // At once: the name has the focus, yet the toolbar's Insert adds a movie.
                     ASSERT_TRUE(ui.Click(insert));
                     step();
                     rows = Rows();
                     // Back in the list, the toolbar's Next moves its highlight.
                     ASSERT_TRUE(ui.SelectRow(gf::kMovies, 1));
                     step();
                     ASSERT_TRUE(ui.Click(down));
                     step();
                     highlighted = form_->runtime().PropertyLong(PROP::Selected, gf::kMovies);
                     ui.Click(gf::kCancel);
                     step();
                   }),
            kRequestCancelled);
  EXPECT_EQ(movieRequests_, (std::vector<int>{1}));
  ASSERT_EQ(rows.size(), 6u);
  EXPECT_EQ(rows[5], "/films/f/new.avi|1");
  EXPECT_EQ(highlighted, 2);
  EXPECT_EQ(globals_.vcrRequest, 0) << "the form itself was never completed by the toolbar";
}

TEST_F(GroupFormTest, CancelLeavesTheFilesAsTheyWere) {
  AddDrama();
  EXPECT_EQ(Change("Drama",
                   [](UiDriver& ui, const std::function<void()>& step) {
                     ui.Type(gf::kName, "Western");
                     step();
                     ui.AnswerMessageBox(box_button::kNo);
                     ui.Click(gf::kCancel);
                     step();
                   }),
            kRequestCancelled);
  EXPECT_EQ(form_->boxes, Texts{"Save Record"});
  EXPECT_EQ(globals_.vcrRequest, 0);
  EXPECT_EQ(GroupsOnDisk(), (Texts{"Comedy", "Drama"}));
  // Esc on the list is Cancel too.
  EXPECT_EQ(Change("Drama",
                   [](UiDriver& ui, const std::function<void()>& step) {
                     ASSERT_TRUE(ui.PressKey(gf::kMovies, 0x1B));
                     step();
                   }),
            kRequestCancelled);
  EXPECT_FALSE(form_->runtime().IsOpen());
  EXPECT_EQ(LoadText(GroupRecord(), gru::kSifra, gru::kSifraSize), "Drama");
  EXPECT_EQ(MoviesOnDisk().size(), 6u);
}

TEST_F(GroupFormTest, SizingTheFormGrowsTheListAndKeepsTheButtonsInTheirCorner) {
  AddDrama();
  PixelRect list0, list1, ok0, ok1, name0, name1;
  PixelRect client0, small;
  EXPECT_EQ(Change("Drama",
                   [&](UiDriver&, const std::function<void()>& step) {
                     Window& w = form_->runtime();
                     client0 = w.ClientRect();
                     list0 = *w.ControlRect(gf::kMovies);
                     ok0 = *w.ControlRect(gf::kOk);
                     name0 = *w.ControlRect(gf::kName);
                     w.SetSize(w.ClientRect().width + 120, w.ClientRect().height + 200);
                     step();
                     list1 = *w.ControlRect(gf::kMovies);
                     ok1 = *w.ControlRect(gf::kOk);
                     name1 = *w.ControlRect(gf::kName);
                     w.SetSize(50, 50);
                     step();
                     small = w.ClientRect();
                   }),
            kRequestCancelled);
  const int dx = list1.width - list0.width, dy = list1.height - list0.height;
  EXPECT_GT(dx, 0);
  EXPECT_GT(dy, 0);
  EXPECT_EQ(list1.x, list0.x);
  EXPECT_EQ(list1.y, list0.y);
  EXPECT_EQ(ok1.x - ok0.x, dx) << "OK follows the bottom right corner";
  EXPECT_EQ(ok1.y - ok0.y, dy);
  EXPECT_EQ(name1.y, name0.y) << "the name stays at the top";
  EXPECT_GE(small.width, client0.width) << "the form is never smaller than it opened";
  EXPECT_GE(small.height, client0.height);
}

}  // namespace
}  // namespace cinevo::app
