// The movie form driven as a user drives it, offscreen, over the catalogue's real files.
#include "app/movie_form.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "app/form_test_support.h"
#include "platform/window/test_application.h"
#include "classlib/toolbar.h"
#include "runtime/ui/property.h"

namespace cinevo::app {
namespace {

using namespace test;
namespace mf = movie_form_control;
namespace tb = classlib::toolbar_button;

class MovieFormTest : public FormTest {
 protected:
  // Runs the form for `request` as a caller does; returns the response.
  uint8_t Run(uint8_t request, Script script) {
    globals_.globalRequest = request;
    globals_.vcrRequest = 0;
    form_ = std::make_unique<ScriptedForm<MovieFormManager>>(std::move(script), globals_);
    globals_.globalResponse = static_cast<uint8_t>(form_->Run());
    return globals_.globalResponse;
  }
  // A new movie of `group`, the record primed by the caller.
  uint8_t Insert(std::string_view group, Script script) {
    catalogue_->Movies().PrimeRecord();
    StoreText(MovieRecord(), pod::kSifra, pod::kSifraSize, group);
    return Run(kInsertRecord, std::move(script));
  }
  static Script TypePathAndOk(std::string path) {
    return [path](UiDriver& ui, const std::function<void()>& step) {
      ASSERT_TRUE(ui.Type(mf::kPath, path));
      step();
      ASSERT_TRUE(ui.Click(mf::kOk));
      step();
    };
  }
  std::string Path() { return LoadText(MovieRecord(), pod::kNaslov, pod::kNaslovSize); }

  std::unique_ptr<ScriptedForm<MovieFormManager>> form_;
};

TEST_F(MovieFormTest, OpensWithItsControlsAndTheCaptionOfItsRequest) {
  AddGroup("Drama");
  Texts shown;
  EXPECT_EQ(Insert("Drama", [&](UiDriver&, const std::function<void()>&) {
              Window& w = form_->runtime();
              for (int c : {mf::kGroupPrompt, mf::kPathPrompt, mf::kChoose, mf::kOk, mf::kCancel, mf::kHelp}) {
                shown.push_back(w.Property(PROP::Text, c));
              }
              shown.push_back(LoadText(MovieRecord(), pod::kSifra, pod::kSifraSize));  // primed
              shown.push_back(std::to_string(w.FocusedControl()));
              shown.push_back(w.Property(PROP::Tip, tb::kDown - tb::kFirst + mf::kFirstToolbarButton));
            }),
            kRequestCancelled);
  EXPECT_EQ(form_->caption, "Add movie");
  const WindowDefinition* d = FindWindowDefinition("filmo$FILMO002", "P1$QUICKWINDOW");
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->caption, "Update the PodGru File");
  EXPECT_EQ(d->icon, "1mm.ico");
  EXPECT_EQ(NumberControls(*d).size(), 22u) << "eight controls, the toolbar and its 13 buttons";
  EXPECT_EQ(NumberControls(*d)[mf::kPath - 1].control->picture, "@s120");
  EXPECT_EQ(NumberControls(*d)[mf::kGroup - 1].control->picture, "@s20");
  EXPECT_EQ(shown, (Texts{"Group", "Movie", "...", "OK", "Cancel", "Help", "Drama", "3",
                          "Save record and add another"}))
      << "tips come from the toolbar's insert table";
  ASSERT_NO_FATAL_FAILURE(AddMovie("Drama", "/films/a.avi"));
  ReadMovie("Drama", "/films/a.avi");
  EXPECT_EQ(Run(kChangeRecord, {}), kRequestCancelled);
  EXPECT_EQ(form_->caption, "Change movie");
}

TEST_F(MovieFormTest, InsertCopiesTheFirstTenCharactersAndAChangeKeepsThem) {
  AddGroup("Drama");
  EXPECT_EQ(Insert("Drama", TypePathAndOk("/films/holidays/beach.avi")), kRequestCompleted);
  EXPECT_TRUE(form_->boxes.empty());
  EXPECT_EQ(globals_.globalRequest, kNoRequest) << "the form took the request";
  EXPECT_EQ(MoviesOnDisk(), (std::vector<Texts>{{"Drama", "/films/holidays/beach.avi", "/films/hol"}}));

  ReadMovie("Drama", "/films/holidays/beach.avi");
  EXPECT_EQ(Run(kChangeRecord, TypePathAndOk("/archive/beach.mpg")), kRequestCompleted);
  EXPECT_EQ(MoviesOnDisk(), (std::vector<Texts>{{"Drama", "/archive/beach.mpg", "/films/hol"}}));
}

TEST_F(MovieFormTest, ChooserResultReplacesThePathAndACancelledDialogEmptiesIt) {
  AddGroup("Drama");
  const std::filesystem::path folder = dir_ / "clips";
  std::filesystem::create_directories(folder);
  const std::string chosen = (folder / "clip.MOV").string();
  std::error_code ec;
  const std::filesystem::path before = std::filesystem::current_path();
  std::string afterChoice, afterCancel;
  EXPECT_EQ(Insert("Drama",
                   [&](UiDriver& ui, const std::function<void()>& step) {
                     ui.Type(mf::kPath, "/typed/before/anything.avi");
                     step();
                     ui.AnswerFileDialog(chosen);
                     ui.Click(mf::kChoose);
                     step();
                     afterChoice = Path();
                     ui.CancelFileDialog();
                     ui.Click(mf::kChoose);
                     step();
                     afterCancel = Path();
                     ui.AnswerFileDialog(chosen);
                     ui.Click(mf::kChoose);
                     step();
                     ui.Click(mf::kOk);
                     step();
                   }),
            kRequestCompleted);
  EXPECT_EQ(afterChoice, chosen);
  EXPECT_EQ(afterCancel, "");
  ASSERT_EQ(form_->dialogs.size(), 3u);
  EXPECT_EQ(form_->dialogs[0].title, "Choose movie");
  EXPECT_EQ(form_->dialogs[0].filter, "Avi|*.AVI|Mpg|*.MPG|Mov|*.MOV|All|*.*");
  EXPECT_EQ(std::filesystem::current_path(), before) << "the chooser puts the directory back";
  EXPECT_EQ(MoviesOnDisk(), (std::vector<Texts>{{"Drama", chosen, chosen.substr(0, 10)}}));
}

TEST_F(MovieFormTest, AChosenPathTooLongToKeepIsRefusedAndTheFieldKeepsItsValue) {
  AddGroup("Drama");
  const std::string longPath = "/" + std::string(130, 'x') + ".avi";
  std::string after;
  EXPECT_EQ(Insert("Drama",
                   [&](UiDriver& ui, const std::function<void()>& step) {
                     ui.Type(mf::kPath, "/films/kept.avi");
                     step();
                     ui.AnswerMessageBox(box_button::kOk);
                     ui.AnswerFileDialog(longPath);
                     ui.Click(mf::kChoose);
                     step();
                     after = Path();
                     ui.Click(mf::kOk);
                     step();
                   }),
            kRequestCompleted);
  EXPECT_EQ(form_->boxes, Texts{"Choose movie"});
  EXPECT_EQ(after, "/films/kept.avi");
  EXPECT_EQ(MoviesOnDisk(), (std::vector<Texts>{{"Drama", "/films/kept.avi", "/films/kep"}}));
}

TEST_F(MovieFormTest, AMovieIsKeptOnlyInAGroupThatExists) {
  AddGroup("Drama");
  StoreText(GroupRecord(), gru::kSifra, gru::kSifraSize, "");  // the caller has no current group
  bool openAfterRefusals = false;
  EXPECT_EQ(Insert("",
                   [&](UiDriver& ui, const std::function<void()>& step) {
                     ui.Type(mf::kPath, "/films/lost.avi");
                     step();
                     ui.Click(mf::kOk);  // no group
                     step();
                     ui.Type(mf::kGroup, "Dramas");
                     step();
                     ui.Click(mf::kOk);  // no such group
                     step();
                     openAfterRefusals = form_->runtime().IsOpen();
                     ui.Type(mf::kGroup, "drama");  // names match without regard to case
                     step();
                     ui.Click(mf::kOk);
                     step();
                   }),
            kRequestCompleted);
  EXPECT_TRUE(openAfterRefusals);
  EXPECT_EQ(form_->boxes, (Texts{"Add movie", "Add movie"}));
  EXPECT_EQ(MoviesOnDisk(), (std::vector<Texts>{{"drama", "/films/lost.avi", "/films/los"}}));

  // The group the caller is adding (its record in the buffer, not yet stored) is a group too.
  StoreText(GroupRecord(), gru::kSifra, gru::kSifraSize, "Holidays");
  EXPECT_EQ(Insert("Holidays", TypePathAndOk("/films/beach.avi")), kRequestCompleted);
  EXPECT_TRUE(form_->boxes.empty());
  EXPECT_EQ(MoviesOnDisk().size(), 2u);
}

TEST_F(MovieFormTest, SavingFromTheToolbarInAnInsertFormAlsoTakesTheKeyPart) {
  AddGroup("Drama");
  EXPECT_EQ(Insert("Drama",
                   [](UiDriver& ui, const std::function<void()>& step) {
                     ui.Type(mf::kPath, "/films/next/one.avi");
                     step();
                     ASSERT_TRUE(ui.Click(tb::kInsert - tb::kFirst + mf::kFirstToolbarButton));
                     step();
                   }),
            kRequestCompleted);
  EXPECT_EQ(globals_.vcrRequest, tb::kInsert);
  EXPECT_EQ(MoviesOnDisk(), (std::vector<Texts>{{"Drama", "/films/next/one.avi", "/films/nex"}}));
}

TEST_F(MovieFormTest, DeleteAsksNothingAndShowsNoWindow) {
  AddGroup("Drama");
  AddMovie("Drama", "/films/a.avi");
  AddMovie("Drama", "/films/b.avi");
  ReadMovie("Drama", "/films/b.avi");
  bool shown = false;
  EXPECT_EQ(Run(kDeleteRecord, [&](UiDriver&, const std::function<void()>&) { shown = true; }),
            kRequestCompleted);
  EXPECT_FALSE(shown);
  EXPECT_TRUE(boxes_.Shown().empty());
  EXPECT_EQ(MoviesOnDisk(), (std::vector<Texts>{{"Drama", "/films/a.avi", "/films/a.a"}}));
}

TEST_F(MovieFormTest, NextInTheToolbarSavesAndLeavesTheMoveToTheCaller) {
  AddGroup("Drama");
  AddMovie("Drama", "/films/a.avi");
  ReadMovie("Drama", "/films/a.avi");
  EXPECT_EQ(Run(kChangeRecord,
                [](UiDriver& ui, const std::function<void()>& step) {
                  ui.Type(mf::kPath, "/films/z.avi");
                  step();
                  ASSERT_TRUE(ui.Click(tb::kDown - tb::kFirst + mf::kFirstToolbarButton));
                  step();
                }),
            kRequestCompleted);
  EXPECT_EQ(globals_.vcrRequest, tb::kDown);
  EXPECT_EQ(MoviesOnDisk(), (std::vector<Texts>{{"Drama", "/films/z.avi", "/films/a.a"}}));
}

TEST_F(MovieFormTest, CancelGivesResponseTwoAndLeavesFilesAndBufferAsTheyWere) {
  AddGroup("Drama");
  AddMovie("Drama", "/films/a.avi");
  ReadMovie("Drama", "/films/a.avi");
  EXPECT_EQ(Run(kChangeRecord,
                [](UiDriver& ui, const std::function<void()>& step) {
                  ui.Type(mf::kPath, "/films/other.avi");
                  step();
                  ui.AnswerMessageBox(box_button::kNo);  // "Save Record": no
                  ui.Click(mf::kCancel);
                  step();
                }),
            kRequestCancelled);
  EXPECT_EQ(form_->boxes, Texts{"Save Record"});
  EXPECT_EQ(globals_.vcrRequest, 0);
  EXPECT_EQ(Path(), "/films/a.avi") << "the caller's record is back";
  EXPECT_EQ(MoviesOnDisk(), (std::vector<Texts>{{"Drama", "/films/a.avi", "/films/a.a"}}));

  EXPECT_EQ(Insert("Drama", [](UiDriver& ui, const std::function<void()>& step) {
              ui.Click(mf::kCancel);  // nothing typed: nothing to ask
              step();
            }),
            kRequestCancelled);
  EXPECT_TRUE(form_->boxes.empty());
  EXPECT_EQ(Insert("Drama", [](UiDriver& ui, const std::function<void()>& step) {
              ASSERT_TRUE(ui.PressKey(mf::kPath, 0x1B));  // Esc
              step();
            }),
            kRequestCancelled);
  EXPECT_FALSE(form_->runtime().IsOpen());
  EXPECT_EQ(MoviesOnDisk().size(), 1u);
}

TEST_F(MovieFormTest, TheHistoryKeyBringsBackWhatTheFormLastWroteEvenInALaterForm) {
  AddGroup("Drama");
  AddGroup("Comedy");
  ASSERT_EQ(Insert("Drama", TypePathAndOk("/films/first.avi")), kRequestCompleted);
  std::string restored;
  EXPECT_EQ(Insert("Comedy",
                   [&](UiDriver& ui, const std::function<void()>& step) {
                     ASSERT_TRUE(ui.PressKey(mf::kPath, classlib::kFormHistoryKey));
                     step();
                     restored = Path();
                     ui.Click(mf::kOk);
                     step();
                   }),
            kRequestCompleted);
  EXPECT_EQ(restored, "/films/first.avi");
  EXPECT_EQ(MoviesOnDisk(), (std::vector<Texts>{{"Comedy", "/films/first.avi", "/films/fir"},
                                                {"Drama", "/films/first.avi", "/films/fir"}}));
}

TEST_F(MovieFormTest, HelpExplainsTheForm) {
  AddGroup("Drama");
  EXPECT_EQ(Insert("Drama", [](UiDriver& ui, const std::function<void()>& step) {
              ui.Click(mf::kHelp);
              step();
            }),
            kRequestCancelled);
  EXPECT_EQ(form_->boxes, Texts{"Help"});
}

}  // namespace
}  // namespace cinevo::app
