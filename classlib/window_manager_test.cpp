#include "classlib/window_manager.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "classlib/scripted_window.h"
#include "classlib/toolbar.h"
#include "classlib/window_resizer.h"
#include "runtime/ui/message_box.h"

namespace cinevo::classlib {
namespace {

namespace tb = toolbar_button;
using Posts = std::vector<std::pair<int, int>>;

// A record file in memory: a 20-byte record buffer, saved copies by id, records by position.
class MemoryFile : public FormFile {
 public:
  std::vector<uint8_t> record = std::vector<uint8_t>(20, ' ');
  std::map<int, std::vector<uint8_t>> copies;
  std::vector<std::vector<uint8_t>> stored;  // position n is stored[n - 1]
  int nextId = 1;
  int insertLevel = 0;  // what the next Insert returns
  int primes = 0;

  void Type(std::string_view text) {
    std::fill(record.begin(), record.end(), ' ');
    std::copy(text.begin(), text.end(), record.begin());
  }
  std::string Text() const { return std::string(record.begin(), record.end()); }

  int SaveBuffer() override {
    copies[nextId] = record;
    return nextId++;
  }
  void RestoreBuffer(int& id, bool restore) override {
    auto it = copies.find(id);
    if (id != 0 && it != copies.end()) {
      if (restore) record = it->second;
      copies.erase(it);
    }
    id = 0;
  }
  bool EqualBuffer(int id) override {
    auto it = copies.find(id);
    return it != copies.end() && it->second == record;
  }
  int PrimeRecord(bool keepBuffer) override {
    ++primes;
    if (!keepBuffer) std::fill(record.begin(), record.end(), ' ');
    return 0;
  }
  int Insert(bool) override {
    if (insertLevel != 0) return insertLevel;
    stored.push_back(record);
    return 0;
  }
  std::string GetPosition() override { return std::to_string(stored.size()); }
  int Fetch(std::string_view position) override {
    const size_t n = std::stoul(std::string(position));
    if (n == 0 || n > stored.size()) return 5;
    record = stored[n - 1];
    return 0;
  }
};

class MemoryRelation : public FormRelation {
 public:
  MemoryFile file;
  int updateLevel = 0;
  int deleteLevel = 0;
  int cancelLevel = 0;
  int updates = 0;
  int savedLinks = 0;
  int cancels = 0;
  std::vector<bool> deletes;  // the ask flag of each Delete
  bool lastDitto = false;

  FormFile& Me() override { return file; }
  void SaveLinks() override { ++savedLinks; }
  int Update(bool ditto) override {
    ++updates;
    lastDitto = ditto;
    return updateLevel;
  }
  int Delete(bool ask) override {
    deletes.push_back(ask);
    return deleteLevel;
  }
  int CancelAutoInc() override {
    ++cancels;
    return cancelLevel;
  }
};

// The form questions, shown through the runtime's message boxes as the error reporter shows
// them: title and text of the message, the exclamation icon.
class BoxMessages : public FormMessages {
 public:
  unsigned Ask(int id, unsigned buttons, unsigned defaultButton) override {
    return ShowMessageBox(Text(id), Title(id), box_icon::kExclamation, buttons, defaultButton);
  }
  int Throw(int id) override {
    const unsigned answer = ShowMessageBox(Text(id), Title(id), box_icon::kExclamation,
                                           box_button::kYes + box_button::kNo, box_button::kYes);
    return answer == box_button::kYes ? level::kContinue : level::kCancel;
  }
  static std::string Title(int id) {
    switch (id) {
      case 3: return "Changes will be lost!";
      case 21: return "Record Added";
      case 36: return "Save Record";
      default: return "?";
    }
  }
  static std::string Text(int id) {
    switch (id) {
      case 3: return "Are you sure you want to cancel?";
      case 21: return "This record has been added to the file. Do you want to add another record?";
      case 36: return "Do you want to save the changes to this record?";
      default: return "?";
    }
  }
};

// Control numbers of the test form.
constexpr int kEntry = 3;
constexpr int kOk = 6;
constexpr int kCancel = 7;
constexpr int kHelp = 8;

// An update form as the application writes one: one entry on the primary record, OK, Cancel,
// Help, the frame toolbar, the history key on the entry.
class TestForm : public WindowManager {
 public:
  TestForm(ScriptedWindow& w, MemoryRelation& rel, int32_t& vcr, int req, int del = 4)
      : WindowManager(w), w_(w), rel_(rel), vcr_(vcr), req_(req), del_(del), formTarget_(*this),
        resizer_(w) {}

  int Init() override {
    request = req_;
    int r = WindowManager::Init();
    if (r != 0) return r;
    firstField = kEntry;
    vcrRequest = &vcr_;
    errors = &messages_;
    AddItem(toolbar_);
    historyKey = kFormHistoryKey;
    AddHistoryFile(rel_.file.record, history);
    AddHistoryField(kEntry, 0, 10);
    AddUpdateFile(rel_.file);
    AddItem(kCancel, response::kCancelled);
    primary = &rel_;
    deleteAction = del_;
    okControl = kOk;
    if (insertActionSetting != 0) insertAction = insertActionSetting;
    if (cancelActionSetting >= 0) cancelAction = cancelActionSetting;
    if (PrimeUpdate() != 0) return level::kHandled;
    w_.Open();
    opened = true;
    resizer_.Init(WindowResizer::kKeepToEdges, true, false);
    AddItem(resizer_);
    formTarget_.request = request;
    formTarget_.history = historyKey != 0;
    formTarget_.helpButton = kHelp;
    toolbar_.AddTarget(formTarget_, 0);
    toolbar_.SetTarget(0);
    SetAlerts();
    return 0;
  }

  std::vector<uint8_t> history = std::vector<uint8_t>(20, ' ');
  int insertActionSetting = 0;
  int cancelActionSetting = -1;

 private:
  ScriptedWindow& w_;
  MemoryRelation& rel_;
  int32_t& vcr_;
  int req_;
  int del_;
  BoxMessages messages_;
  Toolbar toolbar_;
  ToolbarFormTarget formTarget_;
  WindowResizer resizer_;
};

class WindowManagerTest : public ::testing::Test {
 protected:
  WindowManagerTest() {
    for (int c : {kEntry, kOk, kCancel, kHelp}) w.AddControl(c);
  }
  // The user types `text` into the entry (and leaves it).
  void Type(std::string text) {
    w.User(EVENT::Accepted, kEntry, [this, text] { rel.file.Type(text); });
  }
  std::vector<std::string> Titles() const {
    std::vector<std::string> t;
    for (const MessageBoxRequest& r : boxes.Shown()) t.push_back(r.title);
    return t;
  }

  ScriptedWindow w;
  MemoryRelation rel;
  int32_t vcr = 0;
  ScriptedMessageBoxes boxes;
};

// --- Delete requests ----------------------------------------------------------------------------

TEST_F(WindowManagerTest, DeleteFormNeverOpensItsWindowAndAnswersByTheDelete) {
  {
    TestForm form(w, rel, vcr, request::kDelete, 4);  // without the question
    EXPECT_EQ(form.Run(), response::kCompleted);
  }
  EXPECT_EQ(rel.deletes, std::vector<bool>{false});
  EXPECT_TRUE(w.seen.empty());
  EXPECT_FALSE(w.IsOpen());

  rel.deleteLevel = level::kHandled;  // the user said No to "Confirm Delete", or it failed
  TestForm asking(w, rel, vcr, request::kDelete, 2);
  EXPECT_EQ(asking.Run(), response::kCancelled);
  EXPECT_EQ(rel.deletes, (std::vector<bool>{false, true}));
  EXPECT_TRUE(w.seen.empty());
}

TEST_F(WindowManagerTest, DeleteFormShownForAnotherDeleteActionDeletesOnOk) {
  TestForm form(w, rel, vcr, request::kDelete, 1);
  w.User(EVENT::Accepted, kOk);
  EXPECT_EQ(form.Run(), response::kCompleted);
  EXPECT_EQ(rel.deletes, std::vector<bool>{false});
  // Nothing was checked: the record is not edited.
  EXPECT_TRUE(std::find(w.selects.begin(), w.selects.end(), 0) == w.selects.end());
  for (int b = tb::kInsert; b <= tb::kHistory; ++b) EXPECT_FALSE(w.Enabled(b)) << b;
}

// --- Cancel -------------------------------------------------------------------------------------

TEST_F(WindowManagerTest, CancelButtonClosesWithResponseTwoAndClearsTheNavigationRequest) {
  rel.file.Type("Old name");
  TestForm form(w, rel, vcr, request::kChange);
  w.User(EVENT::Accepted, kCancel, [this] { vcr = tb::kDown; });
  EXPECT_EQ(form.Run(), response::kCancelled);
  EXPECT_EQ(vcr, 0);
  EXPECT_TRUE(boxes.Shown().empty());  // nothing changed, nothing asked
  EXPECT_EQ(rel.updates, 0);
  EXPECT_FALSE(w.IsOpen());
}

TEST_F(WindowManagerTest, SaveRecordYesSavesTheChangedRecord) {
  rel.file.Type("Old name");
  TestForm form(w, rel, vcr, request::kChange);
  Type("New name");
  w.User(EVENT::Accepted, kCancel);
  boxes.Answer(box_button::kYes);
  EXPECT_EQ(form.Run(), response::kCompleted);
  ASSERT_EQ(boxes.Shown().size(), 1u);
  const MessageBoxRequest& box = boxes.Shown()[0];
  EXPECT_EQ(box.title, "Save Record");
  EXPECT_EQ(box.buttons, 70u);
  EXPECT_EQ(box.defaultButton, 64u);
  EXPECT_EQ(rel.updates, 1);
  EXPECT_TRUE(rel.lastDitto);  // the form has a history key
  EXPECT_EQ(rel.file.Text().substr(0, 8), "New name");
  // The written value is what the history key recalls next time.
  EXPECT_EQ(std::string(form.history.begin(), form.history.begin() + 8), "New name");
}

TEST_F(WindowManagerTest, SaveRecordNoCancelsAndPutsTheCallersRecordBack) {
  rel.file.Type("Old name");
  TestForm form(w, rel, vcr, request::kChange);
  Type("New name");
  w.User(EVENT::Accepted, kCancel);
  boxes.Answer(box_button::kNo);
  EXPECT_EQ(form.Run(), response::kCancelled);
  EXPECT_EQ(rel.updates, 0);
  EXPECT_EQ(rel.file.Text().substr(0, 8), "Old name");
  EXPECT_TRUE(rel.file.copies.empty());  // every saved copy was released
}

TEST_F(WindowManagerTest, SaveRecordCancelReturnsToTheFirstFieldAndTheFormGoesOn) {
  rel.file.Type("Old name");
  TestForm form(w, rel, vcr, request::kChange);
  Type("New name");
  w.User(EVENT::CloseWindow);  // the window's close box
  w.User(EVENT::Accepted, kOk);
  boxes.Answer(box_button::kCancel);
  EXPECT_EQ(form.Run(), response::kCompleted);
  EXPECT_EQ(Titles(), std::vector<std::string>{"Save Record"});
  EXPECT_EQ(w.selects.front(), kEntry);  // on opening
  EXPECT_GE(std::count(w.selects.begin(), w.selects.end(), kEntry), 2);
  EXPECT_EQ(rel.updates, 1);
}

TEST_F(WindowManagerTest, CancelActionsSaveWithoutAskingOrWarnThatChangesAreLost) {
  {  // 1: save without asking
    rel.file.Type("Old");
    TestForm form(w, rel, vcr, request::kChange);
    form.cancelActionSetting = 1;
    Type("New");
    w.User(EVENT::Accepted, kCancel);
    EXPECT_EQ(form.Run(), response::kCompleted);
    EXPECT_TRUE(boxes.Shown().empty());
    EXPECT_EQ(rel.updates, 1);
  }
  {  // 2: "Changes will be lost!"; No keeps the form, Yes cancels
    ScriptedWindow w2;
    rel.file.Type("Old");
    TestForm form(w2, rel, vcr, request::kChange);
    form.cancelActionSetting = 2;
    w2.User(EVENT::Accepted, kEntry, [this] { rel.file.Type("New"); });
    w2.User(EVENT::Accepted, kCancel);
    w2.User(EVENT::Accepted, kCancel);
    boxes.Answer(box_button::kNo);
    boxes.Answer(box_button::kYes);
    EXPECT_EQ(form.Run(), response::kCancelled);
    EXPECT_EQ(Titles(), (std::vector<std::string>{"Changes will be lost!", "Changes will be lost!"}));
    EXPECT_EQ(rel.file.Text().substr(0, 3), "Old");
  }
  {  // 0: nothing asked at all
    boxes.Clear();
    ScriptedWindow w3;
    TestForm form(w3, rel, vcr, request::kChange);
    form.cancelActionSetting = 0;
    w3.User(EVENT::Accepted, kEntry, [this] { rel.file.Type("Other"); });
    w3.User(EVENT::Accepted, kCancel);
    EXPECT_EQ(form.Run(), response::kCancelled);
    EXPECT_TRUE(boxes.Shown().empty());
  }
}

// --- Insert -------------------------------------------------------------------------------------

TEST_F(WindowManagerTest, InsertCompletesOnOkAndCancelledInsertRemovesItsNumberedRecord) {
  {
    TestForm form(w, rel, vcr, request::kInsert);
    Type("First");
    w.User(EVENT::Accepted, kOk);
    EXPECT_EQ(form.Run(), response::kCompleted);
    ASSERT_EQ(rel.file.stored.size(), 1u);
    EXPECT_EQ(rel.cancels, 0);
    EXPECT_EQ(rel.file.Text().substr(0, 5), "First");  // the caller sees the new record
  }
  ScriptedWindow w2;
  TestForm form(w2, rel, vcr, request::kInsert);
  w2.User(EVENT::Accepted, kCancel);
  EXPECT_EQ(form.Run(), response::kCancelled);
  EXPECT_EQ(rel.cancels, 1);
}

TEST_F(WindowManagerTest, InsertActionFourAsksRecordAddedYesPrimesAnotherNoCloses) {
  TestForm form(w, rel, vcr, request::kInsert);
  form.insertActionSetting = 4;
  rel.file.Type("Primed");
  Type("One");
  w.User(EVENT::Accepted, kOk);
  // Yes: the form stays, primed again from the caller's record.
  w.User(EVENT::Accepted, kEntry, [this] {
    EXPECT_EQ(rel.file.Text().substr(0, 6), "Primed");
    rel.file.Type("Two");
  });
  w.User(EVENT::Accepted, kOk);
  boxes.Answer(box_button::kYes);
  boxes.Answer(box_button::kNo);
  EXPECT_EQ(form.Run(), response::kCompleted);
  EXPECT_EQ(Titles(), (std::vector<std::string>{"Record Added", "Record Added"}));
  ASSERT_EQ(rel.file.stored.size(), 2u);
  EXPECT_EQ(rel.file.primes, 1);
}

TEST_F(WindowManagerTest, InsertActionThreeStaysOpenAndCancelKeepsTheLastAddedRecord) {
  TestForm form(w, rel, vcr, request::kInsert);
  form.insertActionSetting = 3;
  Type("One");
  w.User(EVENT::Accepted, kOk);
  Type("Two");
  w.User(EVENT::Accepted, kOk);
  Type("Three, not kept");
  w.User(EVENT::Accepted, kCancel);
  boxes.Answer(box_button::kNo);  // "Save Record": no
  EXPECT_EQ(form.Run(), response::kCompleted);  // records were added
  EXPECT_EQ(rel.file.stored.size(), 2u);
  EXPECT_EQ(rel.cancels, 1);  // the number primed for the third is given back
  EXPECT_EQ(rel.file.Text().substr(0, 3), "Two");  // the last added record is in the buffer
  EXPECT_TRUE(form.lastInsertedPosition == "2");
}

TEST_F(WindowManagerTest, FailedWritesKeepTheFormOpen) {
  rel.file.insertLevel = level::kHandled;  // a duplicate key, say: reported by the manager
  TestForm form(w, rel, vcr, request::kInsert);
  Type("Dup");
  w.User(EVENT::Accepted, kOk);
  w.User(EVENT::Accepted, kOk, [this] { rel.file.insertLevel = 0; });
  EXPECT_EQ(form.Run(), response::kCompleted);
  EXPECT_EQ(rel.file.stored.size(), 1u);
  EXPECT_EQ(std::count(w.seen.begin(), w.seen.end(), EVENT::Completed), 2);

  ScriptedWindow w2;
  rel.updateLevel = 1;  // changed by another station: read again, the form stays
  TestForm change(w2, rel, vcr, request::kChange);
  w2.User(EVENT::Accepted, kOk);
  w2.User(EVENT::Accepted, kCancel);
  EXPECT_EQ(change.Run(), response::kCancelled);
  EXPECT_EQ(rel.updates, 1);
  EXPECT_GE(w2.displays, 1);
}

TEST_F(WindowManagerTest, CheckFailureOnCompletionSelectsTheRejectedControlInsteadOfSaving) {
  TestForm form(w, rel, vcr, request::kChange);
  w.rejectOnAcceptAll = kEntry;
  w.User(EVENT::Accepted, kOk);
  w.User(EVENT::Accepted, kCancel);
  EXPECT_EQ(form.Run(), response::kCancelled);
  EXPECT_EQ(rel.updates, 0);
  EXPECT_EQ(w.selects, (std::vector<int>{kEntry, 0, kEntry}));
}

// --- Navigation ---------------------------------------------------------------------------------

TEST_F(WindowManagerTest, NextInAChangeFormSavesAndLeavesNextInTheNavigationRequest) {
  TestForm form(w, rel, vcr, request::kChange);
  Type("Changed");
  w.User(EVENT::Accepted, tb::kDown);
  EXPECT_EQ(form.Run(), response::kCompleted);
  EXPECT_EQ(vcr, tb::kDown);
  EXPECT_EQ(rel.updates, 1);
  EXPECT_TRUE(boxes.Shown().empty());
}

TEST_F(WindowManagerTest, NavigationThatCouldNotSaveIsForgottenWhenTheFormIsCancelled) {
  rel.updateLevel = level::kHandled;
  TestForm form(w, rel, vcr, request::kChange);
  w.User(EVENT::Accepted, tb::kDown);  // the save fails; the form stays open
  // then the user closes the window without saving; the script's end closes it
  boxes.Answer(box_button::kNo);
  EXPECT_EQ(form.Run(), response::kCancelled);
  EXPECT_EQ(vcr, 0);  // the caller must not move on to the next record
}

// --- Routing and life -------------------------------------------------------------------------

TEST_F(WindowManagerTest, WindowOpenedByARightClickDoesNotSeeThatClick) {
  w.lastKeyCode = kRightButtonKey;
  TestForm form(w, rel, vcr, request::kChange);
  form.Run();
  EXPECT_EQ(w.lastKeyCode, 0u);

  ScriptedWindow w2;
  w2.lastKeyCode = 5;  // a double click is left alone
  TestForm other(w2, rel, vcr, request::kChange);
  other.Run();
  EXPECT_EQ(w2.lastKeyCode, 5u);
}

TEST_F(WindowManagerTest, KillTwiceDoesNothingTheSecondTimeAndKillWithoutInitNothingAtAll) {
  WindowManager never(w);
  EXPECT_EQ(never.Kill(), level::kHandled);
  EXPECT_FALSE(never.dead);

  TestForm form(w, rel, vcr, request::kChange);
  ASSERT_EQ(form.Init(), 0);
  EXPECT_FALSE(rel.file.copies.empty());
  EXPECT_EQ(form.Kill(), level::kContinue);
  EXPECT_TRUE(form.dead);
  EXPECT_TRUE(rel.file.copies.empty());
  rel.file.Type("after");
  EXPECT_EQ(form.Kill(), level::kHandled);
  EXPECT_EQ(rel.file.Text().substr(0, 5), "after");  // nothing restored a second time
  EXPECT_EQ(form.Ask(), level::kContinue);          // a dead manager runs no loop
  EXPECT_TRUE(w.seen.empty());
}

TEST_F(WindowManagerTest, HistoryKeyAndHistoryButtonRestoreTheFocusedFieldFromTheCopy) {
  TestForm form(w, rel, vcr, request::kChange);
  std::fill(form.history.begin(), form.history.end(), 'h');
  Type("typed");
  w.User(EVENT::AlertKey, kEntry, nullptr, kFormHistoryKey);
  w.User(EVENT::Accepted, kCancel);
  boxes.Answer(box_button::kYes);
  form.Run();
  // Only the field's ten bytes came back; the rest of the record is as typed.
  EXPECT_EQ(rel.file.Text().substr(0, 10), "hhhhhhhhhh");
  EXPECT_EQ(rel.file.Text().substr(10, 10), std::string(10, ' '));
  EXPECT_EQ(w.alertKeys, std::vector<uint32_t>{kFormHistoryKey});

  ScriptedWindow w2;
  w2.AddControl(kEntry);
  rel.file.Type("x");
  TestForm again(w2, rel, vcr, request::kChange);
  std::fill(again.history.begin(), again.history.end(), 'k');
  w2.User(EVENT::AlertKey, kEntry, nullptr, 0x2DF);  // another key: nothing
  w2.User(EVENT::Accepted, kHistoryButton);
  w2.User(EVENT::Accepted, kCancel);
  boxes.Answer(box_button::kNo);
  w2.focus = kEntry;
  again.Run();
  EXPECT_EQ(w2.Ctl(kEntry).displays, 1);
}

// Records every call, to check the routing order.
class RecordingManager : public WindowManager {
 public:
  using WindowManager::WindowManager;
  std::vector<std::string> calls;
  int stopOn = 0;

  int TakeWindowEvent() override {
    calls.push_back("window");
    return WindowManager::TakeWindowEvent();
  }
  int TakeAccepted() override {
    calls.push_back("accepted");
    return window().Field() == stopOn ? level::kStop : WindowManager::TakeAccepted();
  }
  int TakeFieldEvent() override {
    calls.push_back("field");
    return 0;
  }
  int TakeSelected() override {
    calls.push_back("selected");
    return WindowManager::TakeSelected();
  }
  int TakeNewSelection() override {
    calls.push_back("new-selection");
    return WindowManager::TakeNewSelection();
  }
  void Reset(bool force) override {
    calls.push_back(force ? "reset-forced" : "reset");
    WindowManager::Reset(force);
  }
};

class LoggingBrowse : public BrowseItem {
 public:
  explicit LoggingBrowse(std::vector<std::string>& log) : log_(log) {}
  void ResetSort(bool force) override { log_.push_back(force ? "sort-forced" : "sort"); }
  void ResetFromView() override { log_.push_back("view"); }
  void UpdateBuffer() override { log_.push_back("buffer"); }
  int TakeEvent() override {
    log_.push_back("browse");
    return 0;
  }
  void SetAlerts() override { log_.push_back("alerts"); }
  void Kill() override { log_.push_back("kill"); }

 private:
  std::vector<std::string>& log_;
};

TEST_F(WindowManagerTest, EventsGoToTheHandlersInOrderThenToTheBrowses) {
  RecordingManager m(w);
  LoggingBrowse browse(m.calls);
  m.Init();
  m.AddItem(browse);
  m.firstField = 2;
  m.stopOn = 9;
  w.Open();
  m.SetAlerts();
  w.User(EVENT::Accepted, 4);
  w.User(EVENT::Selected, 4);
  w.User(EVENT::Timer);
  w.User(EVENT::Accepted, 9);  // the handler says stop
  w.User(EVENT::Accepted, 4);  // never delivered
  m.Ask();
  m.Kill();
  EXPECT_EQ(m.calls, (std::vector<std::string>{
                         "alerts",
                         "window", "reset", "sort", "view", "browse",  // OpenWindow
                         "accepted", "field", "browse",
                         "selected", "field", "browse",
                         "window", "browse",  // Timer
                         "accepted",          // stop
                         "kill"}));
  EXPECT_EQ(w.selects, std::vector<int>{2});  // FIRSTFIELD on opening
}

TEST_F(WindowManagerTest, FocusChangesResetAndAForcedResetWaitsForTheNextOne) {
  RecordingManager m(w);
  LoggingBrowse browse(m.calls);
  m.Init();
  m.AddItem(browse);
  m.resetOnGainFocus = true;
  w.Open();
  w.User(EVENT::LoseFocus);
  w.User(EVENT::GainFocus);
  w.User(EVENT::Sized);  // first sizing: only noted
  w.User(EVENT::Sized);
  m.Ask();
  std::vector<std::string> resets;
  for (const std::string& c : m.calls) {
    if (c.rfind("reset", 0) == 0 || c.rfind("sort", 0) == 0) resets.push_back(c);
  }
  EXPECT_EQ(resets, (std::vector<std::string>{"reset", "sort",                 // opening
                                              "reset", "sort-forced",          // after focus loss
                                              "reset", "sort"}));              // second sizing
  m.calls.clear();
  w.acceptingAll = true;
  m.Reset(true);
  EXPECT_EQ(m.calls, std::vector<std::string>{"reset-forced"});  // browses untouched meanwhile
  m.calls.clear();
  m.Update();
  EXPECT_EQ(m.calls, std::vector<std::string>{"buffer"});
}

TEST_F(WindowManagerTest, RejectedControlIsRedisplayedAndSelectedAgain) {
  WindowManager m(w);
  m.Init();
  w.Open();
  w.User(EVENT::Rejected, kEntry);
  m.Ask();
  EXPECT_EQ(w.displays, 1);
  EXPECT_EQ(w.selects, std::vector<int>{kEntry});
}

TEST_F(WindowManagerTest, RunWithoutFormSettingsEndsCancelledAndBaseRunProcedureCancels) {
  WindowManager m(w);
  EXPECT_EQ(m.RunProcedure(1, request::kInsert), response::kCancelled);
  // Init never opened anything: the loop sees no window and the response stays unset.
  EXPECT_EQ(m.Run(), response::kCancelled);
  EXPECT_EQ(m.response, response::kNone);
}

TEST_F(WindowManagerTest, ResizerKeepsControlsToTheirEdgesWhenTheWindowIsSized) {
  ScriptedWindow sized;
  sized.client = {0, 0, 400, 300};
  sized.AddControl(kEntry, {10, 10, 300, 20});   // across the middle: stretches
  sized.AddControl(kOk, {250, 260, 60, 24});     // bottom right: follows the corner
  sized.AddControl(kCancel, {10, 260, 60, 24});  // bottom left: follows the bottom only
  TestForm form(sized, rel, vcr, request::kChange);
  sized.User(EVENT::Sized, 0, [&] { sized.client = {0, 0, 400, 300}; });
  sized.User(EVENT::Sized, 0, [&] { sized.client = {0, 0, 500, 350}; });
  sized.User(EVENT::Accepted, kCancel);
  form.Run();
  EXPECT_EQ(sized.minimum, (ControlRect{0, 0, 400, 300}));
  EXPECT_EQ(sized.Rect(kEntry), (ControlRect{10, 10, 400, 20}));
  EXPECT_EQ(sized.Rect(kOk), (ControlRect{350, 310, 60, 24}));
  EXPECT_EQ(sized.Rect(kCancel), (ControlRect{10, 310, 60, 24}));
}

TEST(WindowResizerTest, PlacesControlsByTheHalfTheyLieIn) {
  const ControlRect from{0, 0, 200, 100};
  const ControlRect to{0, 0, 150, 160};
  // Near half: stays. Far half: moves by the change. Across: stretches, never below 1.
  EXPECT_EQ(WindowResizer::Place({5, 5, 50, 20}, from, to), (ControlRect{5, 5, 50, 20}));
  EXPECT_EQ(WindowResizer::Place({120, 10, 40, 20}, from, to), (ControlRect{70, 10, 40, 20}));
  EXPECT_EQ(WindowResizer::Place({90, 40, 20, 20}, from, to), (ControlRect{90, 40, 1, 80}));
}

}  // namespace
}  // namespace cinevo::classlib
