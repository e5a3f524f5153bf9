#include "classlib/toolbar.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "classlib/scripted_window.h"
#include "classlib/window_items.h"
#include "classlib/window_manager.h"
#include "runtime/ui/message_box.h"

namespace cinevo::classlib {
namespace {

namespace tb = toolbar_button;

// The toolbar buttons enabled in `w`, in number order.
std::vector<int> EnabledButtons(const ScriptedWindow& w) {
  std::vector<int> on;
  for (int b = tb::kFirst; b <= tb::kLast; ++b) {
    if (w.Enabled(b)) on.push_back(b);
  }
  return on;
}

class CountingBrowse : public BrowseItem {
 public:
  void ResetSort(bool) override {}
  void ResetFromView() override {}
  void UpdateBuffer() override { ++updates; }
  int TakeEvent() override { return 0; }
  void SetAlerts() override {}
  void Kill() override {}
  int updates = 0;
};

class ToolbarTest : public ::testing::Test {
 protected:
  ToolbarTest() : manager(w), form(manager), browse(manager, &rows), tree(manager) {
    manager.Init();
    manager.vcrRequest = &vcr;
    manager.AddItem(toolbar);
    manager.AddItem(rows);
    w.Open();
    // Every toolbar button starts enabled, so that a rule that forgets one shows up.
    for (int b = tb::kFirst; b <= tb::kLast; ++b) w.SetDisabled(b, false);
  }

  ScriptedWindow w;
  WindowManager manager;
  Toolbar toolbar;
  CountingBrowse rows;
  ToolbarFormTarget form;
  ToolbarBrowseTarget browse;
  ToolbarTreeTarget tree;
  int32_t vcr = 0;
};

TEST_F(ToolbarTest, InsertFormEnablesOnlyAddAnotherAndNextBothWithTheAddAnotherTip) {
  form.request = request::kInsert;
  toolbar.AddTarget(form, 0);
  toolbar.SetTarget(0);
  EXPECT_EQ(EnabledButtons(w), (std::vector<int>{tb::kInsert, tb::kDown}));
  EXPECT_EQ(w.Tip(tb::kInsert), "Save record and add another");
  EXPECT_EQ(w.Tip(tb::kDown), "Save record and add another");
  // Every button was shown again with its new state.
  for (int b = tb::kFirst; b <= tb::kLast; ++b) EXPECT_GE(w.Ctl(b).displays, 1) << b;
}

TEST_F(ToolbarTest, ChangeFormEnablesNavigationAndInsertHistoryAndHelpAsTheFormHasThem) {
  w.AddControl(8);  // the form's Help button
  form.request = request::kChange;
  form.history = true;
  form.helpButton = 8;
  toolbar.AddTarget(form, 0);
  toolbar.SetTarget(0);
  EXPECT_EQ(EnabledButtons(w), (std::vector<int>{2000, 2004, 2005, 2006, 2007, 2008, 2009,
                                                  tb::kHistory, tb::kHelp}));
  EXPECT_EQ(w.Tip(2008), "Save changes and go to next record");
  EXPECT_EQ(w.Tip(2000), "Save this record and add a new one");

  // A disabled Help button disables the toolbar's help; no history key, no history button.
  w.SetDisabled(8, true);
  form.history = false;
  form.Activate();
  EXPECT_FALSE(w.Enabled(tb::kHelp));
  EXPECT_FALSE(w.Enabled(tb::kHistory));
}

TEST_F(ToolbarTest, FormForAnyOtherRequestDisablesEveryNavigationAndEditButton) {
  w.SetTip(2008, "before");
  form.request = request::kDelete;
  form.history = true;
  toolbar.AddTarget(form, 0);
  toolbar.SetTarget(0);
  for (int b = tb::kInsert; b <= tb::kHistory; ++b) EXPECT_FALSE(w.Enabled(b)) << b;
  EXPECT_EQ(w.Tip(2008), "before");  // no tip table for such a form
}

TEST_F(ToolbarTest, FormTargetNavigationSavesTheFormAndLeavesTheButtonInTheRequest) {
  manager.originalRequest = request::kChange;
  form.request = request::kChange;
  toolbar.AddTarget(form, 0);
  toolbar.SetTarget(0);
  for (int b : {2000, 2004, 2005, 2006, 2007, 2008, 2009}) {
    w.selects.clear();
    vcr = 0;
    toolbar.TakeEvent(b, vcr);
    EXPECT_EQ(vcr, b);
    // Completing a changing form checks every control first (Select with no control).
    EXPECT_EQ(w.selects, std::vector<int>{0}) << b;
  }
  // Locate and history are not the form's: nothing is saved, the request stays.
  vcr = 0;
  w.selects.clear();
  toolbar.TakeEvent(tb::kLocate, vcr);
  EXPECT_EQ(vcr, 0);
  EXPECT_TRUE(w.selects.empty());
}

TEST_F(ToolbarTest, EditButtonsPressTheWindowsOwnButtonsAndHelpShowsTheWindowsText) {
  form.request = request::kChange;
  form.insertButton = 6;
  form.deleteButton = 8;
  toolbar.AddTarget(form, 0);
  toolbar.TakeEvent(tb::kChange, vcr);  // no window button for change: nothing
  toolbar.TakeEvent(tb::kDelete, vcr);
  EXPECT_EQ(w.posts, (std::vector<std::pair<int, int>>{{EVENT::Accepted, 8}}));

  manager.helpText = "Type the movie's path.";
  ScriptedMessageBoxes boxes;
  toolbar.TakeEvent(tb::kHelp, vcr);
  ASSERT_EQ(boxes.Shown().size(), 1u);
  EXPECT_EQ(boxes.Shown()[0].title, "Help");
  EXPECT_EQ(boxes.Shown()[0].text, "Type the movie's path.");
}

TEST_F(ToolbarTest, BrowseTargetScrollsItsListSelectsAndFollowsTheWindowsButtons) {
  w.AddControl(5);
  w.AddControl(6);
  w.AddControl(7);
  w.SetDisabled(7, true);
  browse.insertButton = 6;
  browse.changeButton = 7;  // disabled on the window
  toolbar.AddTarget(browse, 5);
  toolbar.SetTarget(5);
  EXPECT_EQ(EnabledButtons(w), (std::vector<int>{2000, 2004, 2005, 2006, 2007, 2008, 2009, 2010}));
  EXPECT_EQ(w.Tip(2004), "Go to the Last Page");

  const std::pair<int, int> moves[] = {{2004, EVENT::ScrollBottom}, {2005, EVENT::ScrollTop},
                                       {2006, EVENT::PageDown},     {2007, EVENT::PageUp},
                                       {2008, EVENT::ScrollDown},   {2009, EVENT::ScrollUp},
                                       {2010, EVENT::Locate}};
  for (auto [button, event] : moves) {
    w.posts.clear();
    toolbar.TakeEvent(button, vcr);
    EXPECT_EQ(w.posts, (std::vector<std::pair<int, int>>{{event, 5}})) << button;
  }
  w.posts.clear();
  toolbar.TakeEvent(tb::kSelect, vcr);
  EXPECT_EQ(rows.updates, 1);
  EXPECT_EQ(manager.response, response::kCompleted);
  EXPECT_EQ(w.posts, (std::vector<std::pair<int, int>>{{EVENT::CloseWindow, 0}}));
}

TEST_F(ToolbarTest, TreeTargetEnablesItsSixMovesAndNeverTakesTheToolbarByItself) {
  toolbar.AddTarget(tree, 1);
  w.focus = 1;
  toolbar.SetTarget(0);
  EXPECT_EQ(toolbar.Current(), &tree);  // added last, still current: nobody took over
  EXPECT_TRUE(w.Tip(2008).empty());     // and it was not activated
  toolbar.SetTarget(1);
  EXPECT_EQ(w.Tip(2005), "Go to parent record");
  EXPECT_FALSE(w.Enabled(tb::kHistory));
  for (int b = 2004; b <= 2009; ++b) EXPECT_TRUE(w.Enabled(b)) << b;
  EXPECT_FALSE(w.Enabled(tb::kInsert));  // no window button behind it
}

TEST_F(ToolbarTest, CurrentTargetFollowsTheFocusAndTheLastTakerWins) {
  form.request = request::kChange;
  toolbar.AddTarget(browse, 5);
  toolbar.AddTarget(form, 0);  // sorted before the browse
  w.focus = 3;
  toolbar.SetTarget(0);
  EXPECT_EQ(toolbar.Current(), &form);
  EXPECT_EQ(w.Tip(2008), "Save changes and go to next record");
  w.focus = 5;
  toolbar.SetTarget(0);
  EXPECT_EQ(toolbar.Current(), &browse);
  EXPECT_EQ(w.Tip(2008), "Go to the Next Record");
  // A press goes to the current target only, and only toolbar buttons are passed on.
  toolbar.TakeEvent(2008, vcr);
  EXPECT_EQ(vcr, 0);
  EXPECT_EQ(w.posts.back(), (std::pair<int, int>{EVENT::ScrollDown, 5}));
  const size_t posted = w.posts.size();
  toolbar.TakeEvent(5, vcr);
  toolbar.TakeEvent(2013, vcr);
  EXPECT_EQ(w.posts.size(), posted);
  // A control without a target leaves the current one.
  toolbar.SetTarget(9);
  EXPECT_EQ(toolbar.Current(), &browse);
  toolbar.Kill();
  EXPECT_EQ(toolbar.Current(), nullptr);
  toolbar.TakeEvent(2008, vcr);  // no targets: nothing happens
}

}  // namespace
}  // namespace cinevo::classlib
