// The browse driven as a user drives it, offscreen, over the catalogue's real files: the group
// form's list of movies (one group, by title), with its buttons, locator and thumb.
#include "classlib/browse.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
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
constexpr int kTitle = 5;  // the entries that edit a title and a path in place
constexpr int kPath = 6;

// The movies of the current group: a list with one column (the title; the path beside it when
// the rows are edited in place) and, when asked for, the Insert, Change and Delete buttons.
// RunProcedure stands for the movie form.
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
    d.controls.push_back(List(editInPlace_ ? "40L@s10@80L@s20@" : "60L@s10@").At(4, 4, 150, 82));
    if (buttons_) {
      d.controls.push_back(Button("&Insert").At(4, 96, 40, 14));
      d.controls.push_back(Button("&Change").At(50, 96, 40, 14));
      d.controls.push_back(Button("&Delete").At(96, 96, 40, 14));
    }
    if (editInPlace_) {
      d.controls.push_back(Entry("@s10").At(4, 112, 60, 12));
      d.controls.push_back(Entry("@s20").At(70, 112, 80, 12));
    }
    if (!w_.Open(d)) return level::kHandled;
    if (editInPlace_) {
      w_.Bind(kTitle, FieldRef(data_.declaration->fields[2], data_.record));
      w_.Bind(kPath, FieldRef(data_.declaration->fields[1], data_.record));
    }
    w_.BindQueue(kList, &queue, QueueRecordLayout({{TypeCode::kString, 10}, {TypeCode::kString, 20}}));
    list = std::make_unique<RuntimeListControl>(w_, kList);
    browse.Init(kList, *list, *this, queue, view_, movies_);
    thumb.Init(step::kLetters | step::kDigits, LookupMode::kRuntime);
    browse.AddSortOrder(&thumb, 0);
    browse.AddRelationRange(movies_, groups_);
    browse.AddLocator(locator);
    browse.AddField(std::span(data_.record).subspan(140, 10), std::span(row).first(10));
    browse.AddField(std::span(data_.record).subspan(20, 20), std::span(row).subspan(10, 20));
    browse.allowUnfilled = allowUnfilled_;
    if (buttons_) {
      browse.insertControl = kInsert;
      browse.changeControl = kChange;
      browse.deleteControl = kDelete;
      browse.askProcedure = editInPlace_ ? 0 : 1;
    }
    if (editInPlace_) {
      browse.AddEditControl(1, kTitle);
      browse.AddEditControl(2, kPath);
    }
    if (configure) configure(browse);
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
  uint8_t row[30] = {};
  Queue queue{row, sizeof row};
  std::unique_ptr<RuntimeListControl> list;
  Browse browse;
  StringStep thumb;
  StepLocator locator;
  int32_t vcr = 0;
  std::vector<Call> calls;
  std::function<int(int)> form;
  std::function<void(Browse&)> configure;  // settings made before the window's alerts are set

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

// Ends a test's window: its procedure stopped, the window closed, the procedure's queue freed,
// and the driver and procedure gone.
template <typename Procedure>
void EndWindow(Window& w, std::unique_ptr<Procedure>& proc, std::unique_ptr<UiDriver>& ui) {
  if (proc) {
    proc->Kill();
    w.Close();
    QueueFree(&proc->queue);
  }
  ui.reset();
  proc.reset();
}

class BrowseTest : public CatalogueFixture {
 protected:
  void SetUp() override {
    CatalogueFixture::SetUp();
    ASSERT_TRUE(StartEventRuntime());
  }
  void TearDown() override {
    EndWindow(w_, proc_, ui_);
    CatalogueFixture::TearDown();
  }
  // Opens the group's list and handles the opening.
  void Open(std::string_view group, bool buttons = true, bool allowUnfilled = false, bool editInPlace = false,
            std::function<void(Browse&)> configure = {}) {
    SelectGroup(group);
    proc_ = std::make_unique<MoviesProcedure>(w_, rw_, *movieFile_, *view_, movieRel_, groupRel_, buttons, allowUnfilled,
                                              editInPlace);
    proc_->configure = std::move(configure);
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

// --- The record highlighted after an update ---------------------------------------------------

class BrowseSameTitlesTest : public BrowseTest {
 protected:
  // A12 ... before six movies all titled "Same", Z.. after them.
  void OpenWithSameTitles() {
    AddGroup("G");
    for (int i = 1; i <= 12; ++i) AddMovie("G", "/m/a" + std::to_string(i), Titles(i, i)[0].replace(0, 1, "A"));
    for (int i = 1; i <= 6; ++i) AddMovie("G", "/m/same" + std::to_string(i), "Same");
    for (int i = 1; i <= 12; ++i) AddMovie("G", "/m/z" + std::to_string(i), Titles(i, i)[0].replace(0, 1, "Z"));
    Open("G");
  }
  std::string Path() const { return Text(*movieFile_, 20, 120); }
};

TEST_F(BrowseSameTitlesTest, AnInsertedRecordIsHighlightedItselfAmongEqualTitles) {
  OpenWithSameTitles();
  Key('S');  // the first "Same" on row 1
  Key(0x28);
  Key(0x28);
  ASSERT_EQ(Highlight(), 3);
  proc_->form = [&](int) {
    SetText(*movieFile_, 20, 120, "/m/same-new");
    SetText(*movieFile_, 140, 10, "Same");
    EXPECT_EQ(movies_.Insert(), 0);
    return response::kCompleted;
  };
  Key(0x2D);
  EXPECT_EQ(Path(), "/m/same-new");
  EXPECT_EQ(MovieTitle(), "Same");
  EXPECT_EQ(Highlight(), 3) << "the highlight keeps its row";
  EXPECT_EQ(B().ViewPosition(), B().RowPosition(Highlight()));
  proc_->Reset(true);  // a refill finds the same record again
  EXPECT_EQ(Path(), "/m/same-new");
}

TEST_F(BrowseSameTitlesTest, AChangedTitleTakesTheHighlightAlongAmongEqualTitles) {
  OpenWithSameTitles();
  proc_->form = [&](int) {
    SetText(*movieFile_, 140, 10, "Same");  // A02 becomes one more "Same"
    EXPECT_EQ(movieRel_.Update(), 0);
    return response::kCompleted;
  };
  Key(0x28);
  ASSERT_EQ(Path(), "/m/a2");
  ASSERT_TRUE(ui_->Click(kChange));
  Step();
  EXPECT_EQ(Path(), "/m/a2");
  EXPECT_EQ(MovieTitle(), "Same");
}

// --- Settings ------------------------------------------------------------------------------------

TEST_F(BrowseTest, HideSelectShowsTheHighlightOnlyWithTheFocus) {
  AddGroupWithMovies("G", 3);
  Open("G", true, false, false, [](Browse& b) { b.hideSelect = true; });
  EXPECT_EQ(w_.PropertyLong(PROP::HideSelect, kList), 1);
  ASSERT_TRUE(ui_->Click(kDelete));  // the focus leaves the list; its row stays the current one
  proc_->form = [](int) { return response::kCancelled; };
  Step();
  EXPECT_EQ(Highlight(), 1);
  EXPECT_EQ(MovieTitle(), "M01");
}

TEST_F(BrowseTest, HideSelectIsOffUnlessAsked) {
  AddGroupWithMovies("G", 3);
  Open("G");
  EXPECT_EQ(w_.PropertyLong(PROP::HideSelect, kList), 0);
}

TEST_F(BrowseTest, RecordStatusIsTheLevelOfTheLastRead) {
  AddGroupWithMovies("G", 40);
  Open("G");
  EXPECT_EQ(B().recordStatus, 0);
  Key(0x223);  // Ctrl+End: the last page, read backwards from the end
  EXPECT_EQ(B().recordStatus, 0);
  Key(0x22);   // nothing after it
  EXPECT_EQ(B().recordStatus, 5);
  EXPECT_EQ(MovieTitle(), "M40");
  Key(0x21);
  EXPECT_EQ(B().recordStatus, 0);
}

// --- Edit in place -------------------------------------------------------------------------------

class BrowseEditInPlaceTest : public BrowseTest {
 protected:
  void OpenEditing(int movies, std::function<void(Browse&)> configure = {}) {
    AddGroupWithMovies("G", movies);
    Open("G", true, false, true, std::move(configure));
  }
  bool Shown(int control) { return w_.PropertyLong(PROP::Visible, control) != 0; }
  // The editor lies over the list's cell.
  bool Over(int control, int row, int column) {
    std::optional<PixelRect> cell = w_.ListCellRect(kList, row, column);
    return cell && Shown(control) && w_.ControlRect(control) == cell;
  }
  int Focus() { return w_.FocusedControl(); }
  void Press(int control, uint32_t key) {
    ASSERT_TRUE(ui_->PressKey(control, key)) << key;
    Step();
  }
  void Edit(int row) {
    ASSERT_TRUE(ui_->SelectRow(kList, row));
    Step();
    ASSERT_TRUE(ui_->Click(kChange));
    Step();
  }
  using BrowseTest::Shown;
};

TEST_F(BrowseEditInPlaceTest, TheEditorsLieOverTheHighlightedRowOnlyWhileItIsEdited) {
  OpenEditing(4);
  EXPECT_FALSE(Shown(kTitle));
  EXPECT_FALSE(Shown(kPath));
  Edit(2);
  EXPECT_TRUE(Over(kTitle, 2, 1));
  EXPECT_TRUE(Over(kPath, 2, 2));
  EXPECT_EQ(Focus(), kTitle);
  Press(kTitle, 0x1B);
  EXPECT_FALSE(Shown(kTitle));
  EXPECT_FALSE(Shown(kPath));
  EXPECT_EQ(Focus(), kList);
  EXPECT_EQ(Highlight(), 2);
}

TEST_F(BrowseEditInPlaceTest, AnInsertOpensARowOfItsOwnUnderTheEditors) {
  OpenEditing(4);
  Key(0x28);
  ASSERT_TRUE(ui_->Click(kInsert));
  Step();
  EXPECT_EQ(Shown(), (std::vector<std::string>{"M01", "", "M02", "M03", "M04"}));
  EXPECT_EQ(Highlight(), 2);
  EXPECT_TRUE(Over(kTitle, 2, 1));
  EXPECT_EQ(MovieGroup(), "G");  // primed into the group
  // Esc takes the row away again.
  Press(kTitle, 0x1B);
  EXPECT_EQ(Shown(), Titles(1, 4));
  EXPECT_EQ(Highlight(), 2);
  EXPECT_EQ(MovieTitle(), "M02");
  // Typed and saved, the new record is highlighted where it sorts.
  ASSERT_TRUE(ui_->Click(kInsert));
  Step();
  ui_->AnswerMessageBox(box_button::kYes);
  ASSERT_TRUE(ui_->Type(kTitle, "M03b", false));
  ASSERT_TRUE(ui_->Type(kPath, "/m/new.avi", false));
  Press(kPath, 0x0D);
  ASSERT_EQ(ui_->MessageBoxesShown().size(), 1u);
  EXPECT_EQ(ui_->MessageBoxesShown()[0].title, "Save Record");
  EXPECT_EQ(Shown(), (std::vector<std::string>{"M01", "M02", "M03", "M03b", "M04"}));
  EXPECT_EQ(MovieTitle(), "M03b");
  EXPECT_EQ(Text(*movieFile_, 20, 120), "/m/new.avi");
  EXPECT_EQ(Shown()[static_cast<size_t>(Highlight() - 1)], "M03b");
  EXPECT_FALSE(Shown(kTitle));
}

TEST_F(BrowseEditInPlaceTest, TabMovesThroughTheColumnsAndEndsTheRowPastTheLast) {
  OpenEditing(4);
  Edit(2);
  Press(kTitle, 0x09);
  EXPECT_EQ(Focus(), kPath);
  EXPECT_TRUE(Over(kPath, 2, 2));
  Press(kPath, 0x109);  // Shift+Tab: back
  EXPECT_EQ(Focus(), kTitle);
  Press(kTitle, 0x09);
  Press(kPath, 0x09);  // past the last column: the row ends (unchanged: no question)
  EXPECT_FALSE(Shown(kPath));
  EXPECT_TRUE(ui_->MessageBoxesShown().empty());
  EXPECT_EQ(Highlight(), 2);
}

TEST_F(BrowseEditInPlaceTest, TabWithNextRowGoesOnInTheNextRow) {
  OpenEditing(4, [](Browse& b) { b.tabAction = edit_move::kNextRow; });
  Edit(2);
  Press(kTitle, 0x09);
  Press(kPath, 0x09);
  EXPECT_EQ(Focus(), kTitle);
  EXPECT_TRUE(Over(kTitle, 3, 1));
  EXPECT_EQ(MovieTitle(), "M03");
  Press(kTitle, 0x109);  // Shift+Tab in the first column: the last column of the row above
  EXPECT_EQ(Focus(), kPath);
  EXPECT_TRUE(Over(kPath, 2, 2));
  EXPECT_EQ(MovieTitle(), "M02");
}

TEST_F(BrowseEditInPlaceTest, TabWithEndRowEndsTheRowAtOnce) {
  OpenEditing(4, [](Browse& b) { b.tabAction = edit_move::kEndRow; });
  Edit(2);
  Press(kTitle, 0x09);
  EXPECT_FALSE(Shown(kTitle));
  EXPECT_EQ(Focus(), kList);
}

TEST_F(BrowseEditInPlaceTest, EnterEndsAnUnchangedRowAndWithNextRowEditsTheNextOne) {
  OpenEditing(4);
  Edit(1);
  Press(kTitle, 0x0D);
  EXPECT_FALSE(Shown(kTitle));
  EXPECT_EQ(Highlight(), 1);
  B().enterAction = edit_move::kNextRow;
  Edit(3);
  ASSERT_TRUE(ui_->PressKey(kTitle, 0x09));
  Step();
  Press(kPath, 0x0D);  // the same column of the next row
  EXPECT_EQ(Focus(), kPath);
  EXPECT_TRUE(Over(kPath, 4, 2));
  Press(kPath, 0x0D);  // the last row: nothing below, the edit ends
  EXPECT_FALSE(Shown(kPath));
  EXPECT_EQ(MovieTitle(), "M04");
}

TEST_F(BrowseEditInPlaceTest, ArrowKeysTakeWhatWasTypedBeforeTheyEndTheRow) {
  OpenEditing(4);
  Edit(2);
  ui_->AnswerMessageBox(box_button::kYes);
  ASSERT_TRUE(ui_->Type(kTitle, "M02x", false));
  Press(kTitle, 0x28);
  ASSERT_EQ(ui_->MessageBoxesShown().size(), 1u);
  EXPECT_EQ(Shown(), (std::vector<std::string>{"M01", "M02x", "M03", "M04"}));
  EXPECT_EQ(Highlight(), 3);  // the row ends and the highlight moves down
  EXPECT_EQ(MovieTitle(), "M03");
}

TEST_F(BrowseEditInPlaceTest, ArrowKeysWithNextRowEditTheRowAboveOrBelow) {
  OpenEditing(4, [](Browse& b) { b.arrowAction = edit_move::kNextRow; });
  Edit(2);
  Press(kTitle, 0x28);
  EXPECT_TRUE(Over(kTitle, 3, 1));
  EXPECT_EQ(MovieTitle(), "M03");
  Press(kTitle, 0x26);
  Press(kTitle, 0x26);
  EXPECT_TRUE(Over(kTitle, 1, 1));
  Press(kTitle, 0x26);  // nothing above the first row: the edit ends there
  EXPECT_FALSE(Shown(kTitle));
  EXPECT_EQ(Highlight(), 1);
}

TEST_F(BrowseEditInPlaceTest, ArrowKeysWithRemainStayWithTheEditor) {
  OpenEditing(4, [](Browse& b) { b.arrowAction = edit_move::kRemain; });
  Edit(2);
  EXPECT_EQ(w_.PropertyLong(PROP::Alert, kTitle, 5), 0);
  Press(kTitle, 0x28);
  EXPECT_TRUE(Over(kTitle, 2, 1));
  EXPECT_EQ(Focus(), kTitle);
}

TEST_F(BrowseEditInPlaceTest, LeavingTheEditorsEndsTheRowAsFocusLossActionSays) {
  // Default: "Save Record" is asked; No puts the row back.
  OpenEditing(4);
  Edit(2);
  ui_->AnswerMessageBox(box_button::kNo);
  ASSERT_TRUE(ui_->Type(kTitle, "Lost", false));
  ASSERT_TRUE(ui_->SelectRow(kList, 4));
  Step();
  ASSERT_EQ(ui_->MessageBoxesShown().size(), 1u);
  EXPECT_FALSE(Shown(kTitle));
  EXPECT_EQ(Shown(), Titles(1, 4));
  EXPECT_EQ(MovieTitle(), "M04");  // the click's row

  // Saved without a question.
  B().focusLossAction = edit_move::kSaveQuietly;
  Edit(2);
  ASSERT_TRUE(ui_->Type(kTitle, "M02q", false));
  ASSERT_TRUE(ui_->SelectRow(kList, 4));
  Step();
  EXPECT_EQ(ui_->MessageBoxesShown().size(), 1u);
  EXPECT_EQ(Shown(), (std::vector<std::string>{"M01", "M02q", "M03", "M04"}));

  // Put back without a question.
  B().focusLossAction = edit_move::kDiscard;
  Edit(3);
  ASSERT_TRUE(ui_->Type(kTitle, "Gone", false));
  ASSERT_TRUE(ui_->SelectRow(kList, 1));
  Step();
  EXPECT_EQ(ui_->MessageBoxesShown().size(), 1u);
  EXPECT_EQ(Shown(), (std::vector<std::string>{"M01", "M02q", "M03", "M04"}));
  EXPECT_FALSE(Shown(kTitle));

  // The edit stays open: the editors keep their row, the highlight too.
  B().focusLossAction = edit_move::kRemain;
  Edit(3);
  ASSERT_TRUE(ui_->SelectRow(kList, 1));
  Step();
  EXPECT_TRUE(Over(kTitle, 3, 1));
  EXPECT_EQ(Highlight(), 3);
  Press(kTitle, 0x1B);
  EXPECT_FALSE(Shown(kTitle));
}

// --- A numeric key --------------------------------------------------------------------------------

// Numbered records in the order of a numeric key, the thumb a numeric step table: by NUM:ID, or
// by NUM:NO descending within group "A" (a fixed range on NUM:GRP).
class NumbersProcedure : public WindowManager {
 public:
  NumbersProcedure(Window& w, RuntimeWindow& rw, FileControlBlock& data, View& view, RelationManager& numbers,
                   bool byGroup)
      : WindowManager(rw), w_(w), data_(data), view_(view), numbers_(numbers), byGroup_(byGroup) {}
  int Init() override {
    if (int r = WindowManager::Init(); r != 0) return r;
    using namespace cinevo::controls;
    WindowDefinition d;
    d.caption = "Numbers";
    d.width = 200;
    d.height = 120;
    d.controls.push_back(List("40R@n6@").At(4, 4, 150, 82));
    if (!w_.Open(d)) return level::kHandled;
    w_.BindQueue(kList, &queue, QueueRecordLayout({{TypeCode::kLong, 0}}));
    list = std::make_unique<RuntimeListControl>(w_, kList);
    browse.Init(kList, *list, *this, queue, view_, numbers_);
    thumb.Init(byGroup_ ? step::kDescending : 0);
    browse.AddSortOrder(&thumb, byGroup_ ? 1 : 0);
    if (byGroup_) {
      std::fill(group.begin(), group.end(), ' ');
      group[0] = 'A';
      browse.AddRange(kRangeFixed, {std::span(group)});
    }
    browse.AddField(std::span(data_.record).subspan(byGroup_ ? 12 : 0, 4), std::span(row));
    SetAlerts();
    return 0;
  }
  uint8_t row[4] = {};
  Queue queue{row, sizeof row};
  std::unique_ptr<RuntimeListControl> list;
  Browse browse;
  NumericStep thumb;
  std::array<uint8_t, 8> group{};

 private:
  Window& w_;
  FileControlBlock& data_;
  View& view_;
  RelationManager& numbers_;
  bool byGroup_;
};

class BrowseNumericTest : public CatalogueFixture {
 protected:
  void SetUp() override {
    CatalogueFixture::SetUp();
    ASSERT_TRUE(StartEventRuntime());
    numDecl_ = NumberedDecl(dir_);
    nums_ = std::make_unique<FileControlBlock>(numDecl_);
    numbers_.Init(*nums_, errors_);
    numbers_.AddKey(0, "NUM:KID");
    numbers_.AddKey(1, "NUM:KGRP");
    numRel_.Init(numbers_, false);
    ASSERT_EQ(numRel_.OpenAll(), 0);
  }
  void TearDown() override {
    EndWindow(w_, proc_, ui_);
    if (numView_) Close(numView_->block());
    numView_.reset();
    numRel_.CloseAll();
    numRel_.Kill();
    CatalogueFixture::TearDown();
  }
  void AddNumber(int32_t id, std::string_view group, int32_t no) {
    std::fill(nums_->record.begin(), nums_->record.end(), ' ');
    std::memcpy(nums_->record.data(), &id, 4);
    SetText(*nums_, 4, 8, group);
    std::memcpy(nums_->record.data() + 12, &no, 4);
    ASSERT_EQ(Add(*nums_), 0);
  }
  void Open(bool byGroup) {
    ViewDeclaration v;
    v.primary = nums_.get();
    v.key = byGroup ? 1 : 0;
    numView_ = std::make_unique<View>(v);
    proc_ = std::make_unique<NumbersProcedure>(w_, rw_, *nums_, *numView_, numRel_, byGroup);
    ASSERT_EQ(proc_->Init(), level::kContinue);
    ui_ = std::make_unique<UiDriver>(w_);
    Step();
  }
  void Step() {
    ui_->Run([this] { proc_->Dispatch(); });
  }
  void Drag(int position) {
    w_.SetProperty(PROP::Thumb, position, kList);
    ASSERT_TRUE(w_.Post(EVENT::ScrollDrag, kList));
    Step();
  }
  int32_t Long(size_t offset) const {
    int32_t v;
    std::memcpy(&v, nums_->record.data() + offset, 4);
    return v;
  }
  int32_t Shown(int row) {
    int32_t v;
    std::memcpy(&v, QueuePeekEntry(&proc_->queue, row), 4);
    return v;
  }

  FileDeclaration numDecl_;
  std::unique_ptr<FileControlBlock> nums_;
  FileManager numbers_;
  RelationManager numRel_;
  std::unique_ptr<View> numView_;
  Window w_;
  RuntimeWindow rw_{w_};
  std::unique_ptr<NumbersProcedure> proc_;
  std::unique_ptr<UiDriver> ui_;
};

TEST_F(BrowseNumericTest, TheThumbLandsOnTheFirstNumberAtItsStep) {
  for (int32_t id = 3; id <= 600; id += 3) AddNumber(id, "A", id);
  Open(false);
  EXPECT_EQ(proc_->thumb.Low(), 3);
  EXPECT_EQ(proc_->thumb.High(), 600);
  EXPECT_EQ(Long(0), 3);
  for (int p : {25, 50, 75, 99}) {
    Drag(p);
    // The first multiple of 3 at or above the step's value.
    const double at = std::strtod(proc_->thumb.GetValue(p).c_str(), nullptr);
    EXPECT_EQ(Long(0), static_cast<int32_t>(std::ceil(at / 3) * 3)) << p;
    EXPECT_EQ(Shown(proc_->browse.currentChoice), Long(0));
    EXPECT_EQ(w_.PropertyLong(PROP::Thumb, kList), p);
  }
  Drag(100);
  EXPECT_EQ(Long(0), 600);
  Drag(1);
  EXPECT_EQ(Long(0), 3);
  // Moves put the thumb where the record lies.
  ASSERT_TRUE(w_.Post(EVENT::ScrollBottom, kList));
  Step();
  EXPECT_EQ(w_.PropertyLong(PROP::Thumb, kList), 100);
}

TEST_F(BrowseNumericTest, ADescendingNumberInsideARangeMirrorsTheThumb) {
  for (int32_t no = 1; no <= 200; ++no) AddNumber(no, "A", no);
  for (int32_t no = 1; no <= 50; ++no) AddNumber(1000 + no, "B", no * 10);
  Open(true);
  EXPECT_EQ(Long(12), 200);  // the highest first
  EXPECT_EQ(w_.PropertyLong(PROP::Thumb, kList), 1);
  for (int p : {10, 25, 60}) {
    Drag(p);
    // The first number at or below the step's value, in group A.
    const double at = std::strtod(proc_->thumb.GetValue(p).c_str(), nullptr);
    EXPECT_EQ(Long(12), static_cast<int32_t>(std::floor(at))) << p;
    EXPECT_EQ(Text(*nums_, 4, 8), "A");
  }
  Drag(100);
  EXPECT_EQ(Long(12), 1);
  EXPECT_EQ(Text(*nums_, 4, 8), "A");
  Drag(1);
  EXPECT_EQ(Long(12), 200);
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
