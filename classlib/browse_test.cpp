// The browse driven as a user drives it, offscreen, over the catalogue's real files: the group
// form's list of movies (one group, by title), with its buttons, locator and thumb.
#include "classlib/browse.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "classlib/catalogue_fixture.h"
#include "classlib/field_values.h"
#include "classlib/runtime_window.h"
#include "classlib/toolbar.h"
#include "platform/window/test_application.h"
#include "runtime/ui/event_code.h"
#include "runtime/ui/events.h"
#include "runtime/ui/key_code.h"
#include "runtime/ui/message_box.h"
#include "runtime/ui/mouse_cursor.h"
#include "runtime/ui/property.h"
#include "runtime/ui/testing/ui_driver.h"
#include "runtime/ui/window.h"

namespace cinevo::classlib {
namespace {

using namespace test_support;
namespace tb = toolbar_button;

constexpr int kList = 1;
constexpr int kInsert = 2;
constexpr int kChange = 3;
constexpr int kDelete = 4;
constexpr int kTitle = 5;  // the entry that edits a title in place

// The movies of the current group: a list with one column (the title) and, when asked for, the
// Insert, Change and Delete buttons. RunProcedure stands for the movie form.
class MoviesProcedure : public WindowManager {
 public:
  MoviesProcedure(Window& w, RuntimeWindow& rw, FileControlBlock& data, View& view, RelationManager& movies,
                  RelationManager& groups, bool buttons, bool allowUnfilled, bool editInPlace = false)
      : WindowManager(rw), w_(w), view_(view), movies_(movies), groups_(groups), buttons_(buttons),
        allowUnfilled_(allowUnfilled), editInPlace_(editInPlace), data_(data) {}

  int Init() override {
    if (int r = WindowManager::Init(); r != 0) return r;
    vcrRequest = &vcr;
    using namespace cinevo::controls;
    WindowDefinition d;
    d.caption = "Movies";
    d.width = 200;
    d.height = 120;
    d.controls.push_back(List("60L@s10@").At(4, 4, 150, 82));
    if (buttons_) {
      d.controls.push_back(Button("&Insert").At(4, 96, 40, 14));
      d.controls.push_back(Button("&Change").At(50, 96, 40, 14));
      d.controls.push_back(Button("&Delete").At(96, 96, 40, 14));
    }
    if (editInPlace_) d.controls.push_back(Entry("@s10").At(4, 112, 60, 12));
    if (!w_.Open(d)) return level::kHandled;
    if (editInPlace_) {
      w_.Bind(kTitle, FieldRef(data_.declaration->fields[2], data_.record));
    }
    w_.BindQueue(kList, &queue, QueueRecordLayout({{TypeCode::kString, 10}}));
    list = std::make_unique<RuntimeListControl>(w_, kList);
    browse.Init(kList, *list, *this, queue, view_, movies_);
    thumb.Init(step::kLetters | step::kDigits, LookupMode::kRuntime);
    browse.AddSortOrder(&thumb, 0);
    browse.AddRelationRange(movies_, groups_);
    browse.AddLocator(locator);
    browse.AddField(std::span(data_.record).subspan(140, 10), std::span(row));
    browse.allowUnfilled = allowUnfilled_;
    if (buttons_) {
      browse.insertControl = kInsert;
      browse.changeControl = kChange;
      browse.deleteControl = kDelete;
      browse.askProcedure = editInPlace_ ? 0 : 1;
    }
    if (editInPlace_) browse.AddEditControl(1, kTitle);
    opened = true;
    SetAlerts();
    return 0;
  }
  int RunProcedure(int number, int request) override {
    calls.push_back({number, request, Text(data_, 140, 10)});
    return form ? form(request) : response::kCancelled;
  }

  struct Call {
    int number;
    int request;
    std::string title;  // of the record in the buffer when the form was called
    friend bool operator==(const Call&, const Call&) = default;
  };
  uint8_t row[10] = {};
  Queue queue{row, sizeof row};
  std::unique_ptr<RuntimeListControl> list;
  Browse browse;
  StringStep thumb;
  StepLocator locator;
  int32_t vcr = 0;
  std::vector<Call> calls;
  std::function<int(int)> form;

 private:
  Window& w_;
  View& view_;
  RelationManager& movies_;
  RelationManager& groups_;
  bool buttons_;
  bool allowUnfilled_;
  bool editInPlace_;
  FileControlBlock& data_;
};

class BrowseTest : public CatalogueFixture {
 protected:
  void SetUp() override {
    CatalogueFixture::SetUp();
    ASSERT_TRUE(StartEventRuntime());
  }
  void TearDown() override {
    if (proc_) {
      proc_->Kill();
      w_.Close();
      QueueFree(&proc_->queue);
    }
    ui_.reset();
    proc_.reset();
    CatalogueFixture::TearDown();
  }
  // Opens the group's list and handles the opening.
  void Open(std::string_view group, bool buttons = true, bool allowUnfilled = false, bool editInPlace = false) {
    SelectGroup(group);
    proc_ = std::make_unique<MoviesProcedure>(w_, rw_, *movieFile_, *view_, movieRel_, groupRel_, buttons, allowUnfilled,
                                              editInPlace);
    ASSERT_EQ(proc_->Init(), level::kContinue);
    ui_ = std::make_unique<UiDriver>(w_);
    Step();
    rows_ = proc_->browse.lastItems;
    ASSERT_GE(rows_, 4) << "the list shows a few rows";
  }
  std::vector<SeenEvent> Step() {
    return ui_->Run([this] { proc_->Dispatch(); });
  }
  std::vector<SeenEvent> Key(uint32_t key) {
    EXPECT_TRUE(ui_->PressKey(kList, key)) << key;
    return Step();
  }
  // The titles on the list, in row order.
  std::vector<std::string> Shown() {
    std::vector<std::string> out;
    for (int32_t i = 1; i <= QueuePeekRecords(&proc_->queue); ++i) {
      std::string s(reinterpret_cast<const char*>(QueuePeekEntry(&proc_->queue, i)), 10);
      while (!s.empty() && s.back() == ' ') s.pop_back();
      out.push_back(s);
    }
    return out;
  }
  // Titles M01 ... for a range of numbers.
  static std::vector<std::string> Titles(int first, int last) {
    std::vector<std::string> out;
    for (int i = first; i <= last; ++i) {
      char t[16];
      std::snprintf(t, sizeof t, "M%02d", i);
      out.push_back(t);
    }
    return out;
  }
  int Highlight() { return w_.PropertyLong(PROP::Selected, kList); }
  Browse& B() { return proc_->browse; }
  static int Count(const std::vector<SeenEvent>& events, int event) {
    return static_cast<int>(std::count_if(events.begin(), events.end(), [&](const SeenEvent& e) { return e.event == event; }));
  }

  Window w_;
  RuntimeWindow rw_{w_};
  std::unique_ptr<MoviesProcedure> proc_;
  std::unique_ptr<UiDriver> ui_;
  int rows_ = 0;
};

TEST_F(BrowseTest, FewerRecordsThanRowsFillFromTheFirstAndHighlightRowOne) {
  AddGroupWithMovies("Other", 3, "O");
  AddGroupWithMovies("Short", 3);
  Open("Short");
  EXPECT_EQ(Shown(), Titles(1, 3));
  EXPECT_EQ(B().currentChoice, 1);
  EXPECT_EQ(Highlight(), 1);
  EXPECT_EQ(MovieTitle(), "M01");
  EXPECT_EQ(MouseCursor(), kCursorDefault);
  // Paging either way keeps the three rows; the highlight goes to the last and the first.
  Key(0x22);  // PgDn
  EXPECT_EQ(Shown(), Titles(1, 3));
  EXPECT_EQ(Highlight(), 3);
  EXPECT_EQ(MovieTitle(), "M03");
  Key(0x21);  // PgUp
  EXPECT_EQ(Highlight(), 1);
  Key(0x26);  // Up at the first row: nothing before it
  EXPECT_EQ(Shown(), Titles(1, 3));
  EXPECT_EQ(Highlight(), 1);
}

TEST_F(BrowseTest, PagingMovesThroughTheGroupAndStopsAtBothEnds) {
  AddGroupWithMovies("Before", 2, "B");
  AddGroupWithMovies("Many", 40);
  AddGroupWithMovies("Next", 2, "N");
  Open("Many");
  ASSERT_LT(rows_ * 2, 40) << "the group spans more than two pages";
  const int n = rows_;
  EXPECT_EQ(Shown(), Titles(1, n));
  Key(0x22);  // PgDn: the next page, the highlight on row 1 of it
  EXPECT_EQ(Shown(), Titles(n + 1, 2 * n));
  EXPECT_EQ(Highlight(), 1);
  EXPECT_EQ(MovieTitle(), Titles(n + 1, n + 1)[0]);
  Key(0x28);  // Down
  EXPECT_EQ(Highlight(), 2);
  EXPECT_EQ(MovieTitle(), Titles(n + 2, n + 2)[0]);
  // To the bottom, then past it: the last page stays, the highlight goes to its last row.
  std::vector<SeenEvent> e = Key(0x223);  // Ctrl+End
  EXPECT_EQ(Shown(), Titles(41 - n, 40));
  EXPECT_EQ(Highlight(), n);
  EXPECT_EQ(MovieTitle(), "M40");
  EXPECT_EQ(Count(e, EVENT::NewSelection), 1);
  Key(0x22);
  EXPECT_EQ(Shown(), Titles(41 - n, 40));
  EXPECT_EQ(Highlight(), n);
  Key(0x28);  // Down at the last row of the set
  EXPECT_EQ(Shown(), Titles(41 - n, 40));
  EXPECT_EQ(MovieTitle(), "M40");
  // Up from the first row of the page moves the page by one record.
  for (int i = 1; i < n; ++i) Key(0x26);
  EXPECT_EQ(Highlight(), 1);
  Key(0x26);
  EXPECT_EQ(Shown(), Titles(40 - n, 39));
  EXPECT_EQ(Highlight(), 1);
  EXPECT_EQ(MovieTitle(), Titles(40 - n, 40 - n)[0]);
  // Back to the top and past it.
  Key(0x224);  // Ctrl+Home
  EXPECT_EQ(Shown(), Titles(1, n));
  Key(0x21);
  EXPECT_EQ(Shown(), Titles(1, n));
  EXPECT_EQ(Highlight(), 1);
  EXPECT_EQ(MovieTitle(), "M01");
  // The toolbar's buttons reach the same moves.
  EXPECT_TRUE(w_.Post(EVENT::PageDown, kList));
  Step();
  EXPECT_EQ(Shown(), Titles(n + 1, 2 * n));
}

TEST_F(BrowseTest, OneNewSelectionForMovesMadeBeforeItIsHandled) {
  AddGroupWithMovies("Many", 30);
  Open("Many");
  ASSERT_TRUE(ui_->PressKey(kList, 0x28));
  ASSERT_TRUE(ui_->PressKey(kList, 0x28));
  std::vector<SeenEvent> e = Step();
  EXPECT_EQ(Count(e, EVENT::ScrollDown), 2);
  EXPECT_EQ(Count(e, EVENT::NewSelection), 1) << Describe(e);
  EXPECT_EQ(Highlight(), 3);
  EXPECT_EQ(MovieTitle(), "M03");
  EXPECT_FALSE(B().newSelectPosted);
}

TEST_F(BrowseTest, AClickedRowBecomesTheHighlightedRecord) {
  AddGroupWithMovies("G", 6);
  Open("G");
  ASSERT_TRUE(ui_->SelectRow(kList, 4));
  Step();
  EXPECT_EQ(B().currentChoice, 4);
  EXPECT_EQ(MovieTitle(), "M04");
  EXPECT_EQ(B().ViewPosition(), B().RowPosition(4));
}

TEST_F(BrowseTest, ADeletedHighlightedRecordLeavesTheHighlightOnRowOne) {
  AddGroupWithMovies("G", 6);
  Open("G");
  Key(0x28);
  Key(0x28);
  ASSERT_EQ(MovieTitle(), "M03");
  ASSERT_EQ(Delete(*movieFile_), 0);  // gone behind the list's back
  proc_->Reset(true);
  EXPECT_EQ(Shown(), (std::vector<std::string>{"M01", "M02", "M04", "M05", "M06"}));
  EXPECT_EQ(Highlight(), 1);
  EXPECT_EQ(MovieTitle(), "M01");
}

TEST_F(BrowseTest, ARefillKeepsTheHighlightOnItsRecordAndRow) {
  AddGroupWithMovies("G", 30);
  Open("G");
  Key(0x22);
  Key(0x28);
  Key(0x28);  // row 3 of the second page
  const std::string title = MovieTitle();
  AddMovie("G", "/m/new.avi", "M00");  // a record before the page
  proc_->Reset(true);
  EXPECT_EQ(Highlight(), 3);
  EXPECT_EQ(MovieTitle(), title);
  EXPECT_EQ(Shown()[2], title);
}

TEST_F(BrowseTest, AnotherGroupRefillsFromItsStart) {
  AddGroupWithMovies("A", 30, "A");
  AddGroupWithMovies("B", 3, "B");
  Open("A");
  Key(0x22);
  SelectGroup("B");
  proc_->Reset(false);
  EXPECT_EQ(Shown(), (std::vector<std::string>{"B01", "B02", "B03"}));
  EXPECT_EQ(MovieTitle(), "B01");
  SelectGroup("Nothing");
  proc_->Reset(false);
  EXPECT_TRUE(Shown().empty());
  EXPECT_EQ(B().currentChoice, 0);
  EXPECT_EQ(MovieTitle(), "");  // no row: the buffer is cleared
  Key(0x28);  // nothing happens on an empty list
  EXPECT_TRUE(Shown().empty());
}

TEST_F(BrowseTest, ALocatorKeyMovesToTheFirstTitleAtOrAfterIt) {
  AddGroup("G");
  const char* titles[] = {"Alien", "Amadeus", "Brazil", "Casablanca", "Dune", "Fargo", "Gravity",
                          "Heat", "Jaws", "Koyaanis", "Memento", "Nosferatu", "Psycho", "Rocky",
                          "Solaris", "Tron", "Vertigo", "Wall-E", "Zelig"};
  for (const char* t : titles) AddMovie("G", std::string("/m/") + t, t);
  Open("G");
  Key('M');
  EXPECT_EQ(MovieTitle(), "Memento");
  EXPECT_EQ(Shown()[static_cast<size_t>(Highlight() - 1)], "Memento");
  EXPECT_EQ(Shown().size(), static_cast<size_t>(std::min<int>(rows_, 19)));
  Key('E');  // no title begins with E: the next one after it
  EXPECT_EQ(MovieTitle(), "Fargo");
  EXPECT_EQ(Highlight(), 1);
  Key('Y');  // past the last: the last page
  EXPECT_EQ(MovieTitle(), "Zelig");
  // Near the end the page is filled backwards, so the list stays full.
  Key('V');
  EXPECT_EQ(MovieTitle(), "Vertigo");
  EXPECT_EQ(Shown().back(), "Zelig");
  EXPECT_EQ(Shown().size(), static_cast<size_t>(std::min<int>(rows_, 19)));
  EXPECT_GT(Highlight(), 1);
}

TEST_F(BrowseTest, AllowUnfilledLeavesTheEmptyRowsAtTheBottom) {
  AddGroup("G");
  for (const char* t : {"Alien", "Brazil", "Casablanca", "Dune", "Fargo", "Gravity", "Heat", "Jaws", "Memento",
                        "Tron", "Zelig"}) {
    AddMovie("G", std::string("/m/") + t, t);
  }
  Open("G", true, true);
  Key('T');
  EXPECT_EQ(Shown(), (std::vector<std::string>{"Tron", "Zelig"}));
  EXPECT_EQ(Highlight(), 1);
  EXPECT_EQ(MovieTitle(), "Tron");
}

TEST_F(BrowseTest, DraggingTheThumbJumpsThroughTheStepTable) {
  AddGroup("G");
  for (char a = 'A'; a <= 'Z'; ++a) {
    for (char b : {'A', 'M'}) {
      std::string t = {a, b, 'X'};
      AddMovie("G", "/m/" + t, t);
    }
  }
  Open("G");
  EXPECT_EQ(proc_->thumb.Root(), "");
  EXPECT_EQ(proc_->thumb.GetValue(1).substr(0, 3), "AAX");
  EXPECT_EQ(proc_->thumb.GetValue(100).substr(0, 3), "ZMX");
  EXPECT_EQ(w_.PropertyLong(PROP::Thumb, kList), 1);
  w_.SetProperty(PROP::Thumb, 50, kList);
  ASSERT_TRUE(w_.Post(EVENT::ScrollDrag, kList));
  Step();
  EXPECT_GE(MovieTitle(), "M");  // the middle of A..Z
  EXPECT_LT(MovieTitle(), "O");
  EXPECT_EQ(w_.PropertyLong(PROP::Thumb, kList), 50);
  w_.SetProperty(PROP::Thumb, 100, kList);
  ASSERT_TRUE(w_.Post(EVENT::ScrollDrag, kList));
  Step();
  EXPECT_EQ(MovieTitle(), "ZMX");
  w_.SetProperty(PROP::Thumb, 1, kList);
  ASSERT_TRUE(w_.Post(EVENT::ScrollDrag, kList));
  Step();
  EXPECT_EQ(MovieTitle(), "AAX");
  Key(0x22);
  EXPECT_GT(w_.PropertyLong(PROP::Thumb, kList), 1);  // the thumb follows the record
}

TEST_F(BrowseTest, ButtonsGiveAlertKeysAndPopupItems) {
  AddGroupWithMovies("G", 3);
  Open("G");
  EXPECT_EQ(w_.PropertyLong(PROP::Alert, kList, browse_alert::kDoubleClick), 5);
  EXPECT_EQ(w_.PropertyLong(PROP::Alert, kList, browse_alert::kInsert), 0x2D);
  EXPECT_EQ(w_.PropertyLong(PROP::Alert, kList, browse_alert::kChange), 0x20D);
  EXPECT_EQ(w_.PropertyLong(PROP::Alert, kList, browse_alert::kDelete), 0x2E);
  EXPECT_EQ(w_.PropertyLong(PROP::Alert, kList, 1), '0');  // the locator's keys
  EXPECT_EQ(B().PopupText(), "&Insert|&Change|&Delete");

  // The popup's Change item on the second row runs the form for that record.
  ui_->AnswerPopup(2);
  ASSERT_TRUE(ui_->RightClickRow(kList, 2));
  Step();
  ASSERT_EQ(ui_->PopupsShown().size(), 1u);
  EXPECT_EQ(ui_->PopupsShown()[0], "&Insert|&Change|&Delete");
  ASSERT_EQ(proc_->calls.size(), 1u);
  EXPECT_EQ(proc_->calls[0], (MoviesProcedure::Call{1, request::kChange, "M02"}));
}

TEST_F(BrowseTest, ABrowseWithoutButtonsSetsOnlyTheDoubleClickAndLocatorAlerts) {
  AddGroupWithMovies("G", 3);
  Open("G", false);
  EXPECT_EQ(B().PopupText(), "");
  EXPECT_EQ(w_.PropertyLong(PROP::Alert, kList, browse_alert::kDoubleClick), 5);
  for (int slot : {browse_alert::kInsert, browse_alert::kChange, browse_alert::kDelete}) {
    EXPECT_EQ(w_.PropertyLong(PROP::Alert, kList, slot), 0) << slot;
  }
  ASSERT_TRUE(ui_->RightClickRow(kList, 2));
  Step();
  EXPECT_TRUE(ui_->PopupsShown().empty());
  ASSERT_TRUE(ui_->DoubleClickRow(kList, 3));
  Step();
  EXPECT_TRUE(proc_->calls.empty());
  EXPECT_EQ(MovieTitle(), "M03");
}

TEST_F(BrowseTest, AskRunsTheFormAgainForEveryNavigationRequest) {
  AddGroupWithMovies("G", 5);
  Open("G");
  int forms = 0;
  proc_->form = [&](int) {
    // The user presses "next" twice in the form, then OK.
    proc_->vcr = ++forms < 3 ? tb::kDown : 0;
    return response::kCompleted;
  };
  ASSERT_TRUE(ui_->Click(kChange));
  Step();
  ASSERT_EQ(proc_->calls.size(), 3u);
  EXPECT_EQ(proc_->calls[0].title, "M01");
  EXPECT_EQ(proc_->calls[1].title, "M02");
  EXPECT_EQ(proc_->calls[2].title, "M03");
  EXPECT_EQ(proc_->calls[2].request, request::kChange);
  EXPECT_EQ(MovieTitle(), "M03");
  EXPECT_EQ(Highlight(), 3);
}

TEST_F(BrowseTest, AnInsertedMovieIsPrimedIntoTheGroupAndHighlighted) {
  AddGroupWithMovies("G", 30);
  Open("G");
  proc_->form = [&](int request) {
    EXPECT_EQ(request, request::kInsert);
    EXPECT_EQ(MovieGroup(), "G");  // primed into the current group
    SetText(*movieFile_, 20, 120, "/m/new.avi");
    SetText(*movieFile_, 140, 10, "M25b");
    EXPECT_EQ(movies_.Insert(), 0);
    return response::kCompleted;
  };
  Key(0x2D);  // Insert: the alert key presses the Insert button
  ASSERT_EQ(proc_->calls.size(), 1u);
  EXPECT_EQ(MovieTitle(), "M25b");
  EXPECT_EQ(Shown()[static_cast<size_t>(Highlight() - 1)], "M25b");
}

TEST_F(BrowseTest, DeleteRunsTheFormAndRefillsWithoutTheRecord) {
  AddGroupWithMovies("G", 4);
  Open("G");
  Key(0x28);
  proc_->form = [&](int request) {
    EXPECT_EQ(request, request::kDelete);
    EXPECT_EQ(movieRel_.Delete(false), 0);
    return response::kCompleted;
  };
  Key(0x2E);
  EXPECT_EQ(Shown(), (std::vector<std::string>{"M01", "M03", "M04"}));
  EXPECT_EQ(Highlight(), 1);
}

TEST_F(BrowseTest, EditInPlaceAsksSaveRecordOnLeavingAChangedRow) {
  AddGroupWithMovies("G", 4);
  Open("G", true, false, true);
  Key(0x28);
  ASSERT_EQ(MovieTitle(), "M02");
  // Esc: the row is left as it was, without a question.
  ASSERT_TRUE(ui_->Click(kChange));
  Step();
  ASSERT_TRUE(ui_->Type(kTitle, "Nope", false));
  ASSERT_TRUE(ui_->PressKey(kTitle, 0x1B));
  Step();
  EXPECT_EQ(Shown(), Titles(1, 4));
  EXPECT_TRUE(ui_->MessageBoxesShown().empty());
  EXPECT_EQ(MovieTitle(), "M02");
  // Enter on a changed row asks "Save Record"; No puts the row back.
  ASSERT_TRUE(ui_->Click(kChange));
  std::vector<SeenEvent> clicked = Step();
  EXPECT_TRUE(ui_->MessageBoxesShown().empty()) << Describe(clicked);
  ui_->AnswerMessageBox(box_button::kNo);
  ASSERT_TRUE(ui_->Type(kTitle, "Other", true));
  std::vector<SeenEvent> seen = Step();
  ASSERT_EQ(ui_->MessageBoxesShown().size(), 1u) << Describe(seen) << ui_->MessageBoxesShown()[0].title << "/" << ui_->MessageBoxesShown().back().title << ui_->MessageBoxesShown().back().text;
  EXPECT_EQ(ui_->MessageBoxesShown()[0].title, "Save Record");
  EXPECT_EQ(Shown(), Titles(1, 4));
  EXPECT_EQ(MovieTitle(), "M02");
  // Yes writes the record; the list shows it where it now sorts.
  ASSERT_TRUE(ui_->Click(kChange));
  Step();
  ui_->AnswerMessageBox(box_button::kYes);
  ASSERT_TRUE(ui_->Type(kTitle, "M09", true));
  Step();
  EXPECT_EQ(ui_->MessageBoxesShown().size(), 2u);
  EXPECT_EQ(Shown(), (std::vector<std::string>{"M01", "M03", "M04", "M09"}));
  EXPECT_EQ(MovieTitle(), "M09");
  EXPECT_EQ(Shown()[static_cast<size_t>(Highlight() - 1)], "M09");
}

TEST_F(BrowseTest, TheFrameToolbarScrollsTheList) {
  AddGroupWithMovies("G", 30);
  Open("G");
  Toolbar toolbar;
  toolbar.Init();
  B().AddToolbarTarget(toolbar);
  toolbar.SetTarget(kList);
  int32_t vcr = 0;
  toolbar.TakeEvent(tb::kPageDown, vcr);
  Step();
  EXPECT_EQ(Shown().front(), Titles(rows_ + 1, rows_ + 1)[0]);
  toolbar.TakeEvent(tb::kBottom, vcr);
  Step();
  EXPECT_EQ(MovieTitle(), "M30");
  toolbar.TakeEvent(tb::kTop, vcr);
  Step();
  EXPECT_EQ(MovieTitle(), "M01");
  toolbar.TakeEvent(tb::kDown, vcr);
  Step();
  EXPECT_EQ(MovieTitle(), "M02");
  EXPECT_EQ(vcr, 0);
  toolbar.Kill();
}

class BrowseQuickScanTest : public BrowseTest {
 protected:
  void SetUp() override {
    movieDriver_ = "FAULTY";
    BrowseTest::SetUp();
  }
};

TEST_F(BrowseQuickScanTest, QuickScanIsOnOnlyWhileRowsAreFetched) {
  AddGroupWithMovies("G", 30);
  FaultScript::Get().sent.clear();
  Open("G");
  B().quickScan = true;
  FaultScript::Get().sent.clear();
  Key(0x22);
  EXPECT_EQ(FaultScript::Get().sent, (std::vector<std::string>{"QUICKSCAN=on", "QUICKSCAN=off"}));
  EXPECT_EQ(Shown().front(), Titles(rows_ + 1, rows_ + 1)[0]);
}

TEST(BrowseEditTest, TheSixEndingKeysAreTheSixActions) {
  EXPECT_EQ(EditActionOf(0x09), kEditTab);
  EXPECT_EQ(EditActionOf(0x109), kEditShiftTab);
  EXPECT_EQ(EditActionOf(0x0D), kEditEnter);
  EXPECT_EQ(EditActionOf(0x1B), kEditEscape);
  EXPECT_EQ(EditActionOf(0x28), kEditDown);
  EXPECT_EQ(EditActionOf(0x26), kEditUp);
  EXPECT_EQ(EditActionOf('A'), kEditNone);
}

}  // namespace
}  // namespace cinevo::classlib
