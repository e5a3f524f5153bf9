#include "classlib/runtime_window.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

#include <algorithm>
#include <mutex>
#include <vector>

#include "classlib/toolbar.h"
#include "classlib/window_resizer.h"
#include "classlib/window_manager.h"
#include "platform/window/test_application.h"
#include "runtime/core/error.h"
#include "runtime/ui/events.h"
#include "runtime/ui/runtime_thread.h"
#include "runtime/ui/window.h"
#include "runtime/ui/window_definition.h"

namespace cinevo::classlib {
namespace {

// A procedure on a real window: two buttons, OK (1) and Cancel (2), Cancel registered as a
// response button. Its Init opens the window and queues what the test's user does.
class ButtonsProcedure : public WindowManager {
 public:
  ButtonsProcedure(Window& w, RuntimeWindow& rw, std::vector<std::pair<int, int>> user)
      : WindowManager(rw), w_(w), user_(std::move(user)) {}

  int Init() override {
    int r = WindowManager::Init();
    if (r != 0) return r;
    vcrRequest = &vcr;
    WindowOptions o;
    o.caption = "procedure";
    o.visible = false;
    if (!w_.Open(o)) return level::kHandled;
    ok = w_.AddButton("OK", 10, 10, 80, 24);
    cancel = w_.AddButton("Cancel", 100, 10, 80, 24);
    AddItem(cancel, response::kCancelled);
    okControl = ok;
    opened = true;
    for (auto [event, control] : user_) PostEvent(&w_, event, control == -1 ? cancel : control);
    return 0;
  }
  int TakeEvent() override {
    seen.push_back(window().Event());
    return WindowManager::TakeEvent();
  }
  int TakeCompleted() override {
    SetResponse(response::kCompleted);
    return 0;
  }

  int32_t vcr = tb_next;
  int ok = 0;
  int cancel = 0;
  std::vector<int> seen;
  static constexpr int tb_next = toolbar_button::kDown;

 private:
  Window& w_;
  std::vector<std::pair<int, int>> user_;
};

class RuntimeWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(StartEventRuntime());
    SetShuttingDown(false);
  }
};

TEST_F(RuntimeWindowTest, CancelButtonEndsTheLoopWithResponseTwoAndClearsTheRequest) {
  Window w;
  RuntimeWindow rw(w);
  ButtonsProcedure p(w, rw, {{EVENT::Accepted, -1}});
  EXPECT_EQ(p.Run(), response::kCancelled);
  EXPECT_EQ(p.vcr, 0);
  EXPECT_FALSE(w.IsOpen());
  ASSERT_FALSE(p.seen.empty());
  EXPECT_EQ(p.seen.front(), EVENT::OpenWindow);
  EXPECT_EQ(p.seen.back(), EVENT::CloseWindow);
  EXPECT_EQ(TopWindow(), nullptr);
}

TEST_F(RuntimeWindowTest, OkCompletesThroughTheCompletedEvent) {
  Window w;
  RuntimeWindow rw(w);
  ButtonsProcedure p(w, rw, {{EVENT::Accepted, 1}});
  EXPECT_EQ(p.Run(), response::kCompleted);
  EXPECT_EQ(p.vcr, ButtonsProcedure::tb_next);  // a completed form keeps the request
  EXPECT_NE(std::find(p.seen.begin(), p.seen.end(), EVENT::Completed), p.seen.end());
}

TEST_F(RuntimeWindowTest, ToolbarButtonsMapToTheWindowsOwnControlsOrAreKeptAside) {
  Window w;
  WindowOptions o;
  o.visible = false;
  ASSERT_TRUE(w.Open(o));
  RuntimeWindow rw(w);
  // Not mapped: states and tips are kept, nothing can be posted to them.
  rw.SetDisabled(toolbar_button::kDown, true);
  rw.SetTip(toolbar_button::kDown, "Save record and add another");
  EXPECT_TRUE(rw.Disabled(toolbar_button::kDown));
  EXPECT_EQ(rw.Tip(toolbar_button::kDown), "Save record and add another");
  EXPECT_FALSE(rw.Post(EVENT::Accepted, toolbar_button::kDown));

  for (int i = 0; i < 13; ++i) w.AddButton("b", 0, 0, 10, 10);
  rw.MapToolbarButtons(1);
  EXPECT_TRUE(rw.Post(EVENT::Accepted, toolbar_button::kDown));  // control 9
  ASSERT_TRUE(rw.Accept());  // OpenWindow
  ASSERT_TRUE(rw.Accept());
  EXPECT_EQ(w.Field(), 9);
  EXPECT_EQ(rw.Field(), toolbar_button::kDown);
  rw.ExitLoop();
  w.Close();
}

TEST_F(RuntimeWindowTest, TheLastKeyCodeIsTheThreadsAndCanBeCleared) {
  Window w;
  RuntimeWindow rw(w);
  {
    std::lock_guard lock(RuntimeLock());
    ThreadStateFor(CurrentThreadNumber())->keyboard.keyCode = 2;
  }
  EXPECT_EQ(rw.LastKeyCode(), 2u);
  rw.ClearLastKeyCode();
  EXPECT_EQ(rw.LastKeyCode(), 0u);
}

// A form whose entry reaches across the window, whose OK button sits in the bottom right corner
// and whose prompt sits in the layout: the resizer takes the first two and leaves the third to
// the layout.
TEST_F(RuntimeWindowTest, TheResizerKeepsPlacedControlsToTheEdgesOfARealWindow) {
  using namespace cinevo::controls;
  WindowDefinition form;
  form.caption = "form";
  form.width = 200;
  form.height = 100;
  form.controls = {Entry("@s40").At(10, 10, 180, 12), Button("OK").At(150, 80, 40, 14),
                   Prompt("in the layout")};
  Window w;
  ASSERT_TRUE(w.Open(form));
  RuntimeWindow rw(w);
  EXPECT_EQ(rw.Controls(), (std::vector<int>{1, 2}));

  WindowResizer resizer(rw);
  resizer.Init(WindowResizer::kKeepToEdges, true, false);
  const ControlRect client = rw.ClientRect();
  const ControlRect entry = rw.Rect(1);
  const ControlRect ok = rw.Rect(2);
  ASSERT_GT(client.width, 0);
  ASSERT_GT(entry.width, 0);

  const ControlRect prompt = rw.Rect(3);
  rw.SetRect(3, ControlRect{1, 1, 5, 5});  // the layout's control is not moved by hand
  EXPECT_EQ(rw.Rect(3), prompt);

  w.SetSize(1, 1);  // not below the size it opened with
  QCoreApplication::processEvents();
  EXPECT_GE(rw.ClientRect().width, client.width);
  EXPECT_GE(rw.ClientRect().height, client.height);

  w.SetSize(client.width + 400, client.height + 300);
  QCoreApplication::processEvents();
  const ControlRect grown = rw.ClientRect();
  ASSERT_GT(grown.width, client.width);
  ASSERT_GT(grown.height, client.height);
  resizer.Resize();
  EXPECT_EQ(rw.Rect(1).x, entry.x);  // across the middle: stretches
  EXPECT_EQ(rw.Rect(1).width, entry.width + (grown.width - client.width));
  EXPECT_EQ(rw.Rect(1).y, entry.y);  // in the top half: stays
  EXPECT_EQ(rw.Rect(2).x, ok.x + (grown.width - client.width));  // bottom right: follows the corner
  EXPECT_EQ(rw.Rect(2).y, ok.y + (grown.height - client.height));
  EXPECT_EQ(rw.Rect(2).width, ok.width);
  w.Close();
}

}  // namespace
}  // namespace cinevo::classlib
