#include "runtime/ui/window.h"
#include "platform/window/native_window.h"
#include "runtime/ui/window_widgets.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include "platform/window/test_application.h"

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "platform/window/private_message.h"
#include "runtime/core/error.h"
#include "runtime/ui/event_record_payload.h"
#include "runtime/ui/events.h"
#include "runtime/ui/runtime_thread.h"

namespace cinevo {
namespace {

// Fatal reports are recorded instead of ending the test program.
class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(StartEventRuntime());
    SetFatalHandler([this](int code, const std::string&) { fatals.push_back(code); });
    SetShuttingDown(false);
    std::lock_guard lock(RuntimeLock());
    ThreadStateFor(CurrentThreadNumber())->press.Clear();
  }
  void TearDown() override {
    SetFatalHandler(nullptr);
    EXPECT_EQ(TopWindow(), nullptr) << "a loop left its window as the thread's top window";
  }

  // A simulated click: press and release queued behind whatever is already pending.
  static void QueueClick(QPushButton* button) {
    QPointF local(button->width() / 2.0, button->height() / 2.0);
    QPointF global = button->mapToGlobal(local);
    QCoreApplication::postEvent(button, new QMouseEvent(QEvent::MouseButtonPress, local, global,
                                                        Qt::LeftButton, Qt::LeftButton,
                                                        Qt::NoModifier));
    QCoreApplication::postEvent(button, new QMouseEvent(QEvent::MouseButtonRelease, local, global,
                                                        Qt::LeftButton, Qt::NoButton,
                                                        Qt::NoModifier));
  }

  std::vector<int> fatals;
};

WindowOptions Titled(const std::string& caption, int width = 320, int height = 200) {
  WindowOptions o;
  o.caption = caption;
  o.width = width;
  o.height = height;
  return o;
}

// Events of interest only: focus and activation events depend on the platform plugin.
bool Interesting(int e) {
  return e != EVENT::GainFocus && e != EVENT::LoseFocus && e != EVENT::Moved &&
         e != EVENT::Sized && e != EVENT::Suspend && e != EVENT::Resume;
}

TEST_F(WindowTest, FirstEventIsOpenWindowEvenWhenSomethingWasPostedBefore) {
  Window w;
  ASSERT_TRUE(w.Open(Titled("first")));
  EXPECT_TRUE(PostEvent(&w, EVENT::Notify));
  EXPECT_EQ(CurrentEvent(), 0);  // outside any event
  std::vector<int> seen;
  while (w.Accept()) {
    EXPECT_EQ(TopWindow(), &w);
    if (!Interesting(CurrentEvent())) continue;
    seen.push_back(CurrentEvent());
    if (CurrentEvent() == EVENT::Notify) w.Close();
  }
  EXPECT_EQ(seen, (std::vector<int>{EVENT::OpenWindow, EVENT::Notify}));
  EXPECT_EQ(CurrentEvent(), 0);
  EXPECT_EQ(CurrentField(), 0);
  EXPECT_TRUE(fatals.empty());
}

TEST_F(WindowTest, PostedEventsInterleaveInOrderWithSimulatedInput) {
  Window w;
  ASSERT_TRUE(w.Open(Titled("order", 200, 100)));
  int ok = w.AddButton("OK", 10, 10, 80, 30);
  int cancel = w.AddButton("Cancel", 100, 10, 80, 30);
  EXPECT_EQ(ok, 1);
  EXPECT_EQ(cancel, 2);
  std::vector<std::pair<int, int>> seen;
  while (w.Accept()) {
    int e = CurrentEvent();
    if (!Interesting(e)) continue;
    seen.emplace_back(e, CurrentField());
    if (e == EVENT::OpenWindow) {
      PostEvent(&w, EVENT::Completed);
      QueueClick(qobject_cast<QPushButton*>(ControlWidget(w, cancel)));
      PostEvent(&w, EVENT::Notify);
      QueueClick(qobject_cast<QPushButton*>(ControlWidget(w, ok)));
      PostEvent(&w, EVENT::Accepted, ok);  // a posted Accepted looks like a click
    }
    EXPECT_EQ(AcceptedField(), e == EVENT::Accepted ? CurrentField() : 0);
    if (seen.size() == 6) w.Close();
  }
  using P = std::pair<int, int>;
  EXPECT_EQ(seen, (std::vector<P>{P{EVENT::OpenWindow, 0}, P{EVENT::Completed, 0},
                                  P{EVENT::Accepted, cancel}, P{EVENT::Notify, 0},
                                  P{EVENT::Accepted, ok}, P{EVENT::Accepted, ok}}));
}

TEST_F(WindowTest, RecordForAnotherWindowIsDestroyedNotDelivered) {
  Window a, b;
  ASSERT_TRUE(a.Open(Titled("a")));
  ASSERT_TRUE(b.Open(Titled("b")));
  EventRecord stray;
  stray.target = b.Id();
  stray.code = InternalEventCode(EVENT::Notify);
  // B's record lands in A's queue.
  platform::PostPrivateMessage(a.Handle(), platform::kMsgPostEvent, 0,
                               std::make_unique<EventRecordPayload>(stray));
  PostEvent(&a, EVENT::Completed);
  std::vector<int> seen;
  while (a.Accept()) {
    if (!Interesting(CurrentEvent())) continue;
    seen.push_back(CurrentEvent());
    if (CurrentEvent() == EVENT::Completed) a.Close();
  }
  EXPECT_EQ(seen, (std::vector<int>{EVENT::OpenWindow, EVENT::Completed}));
  EXPECT_EQ(a.DestroyedRecords(), 1u);
  EXPECT_EQ(b.PendingCount(), 1u);  // only its own OpenWindow
}

TEST_F(WindowTest, RecordPostedBeforeReopeningIsNotDeliveredToTheNewOpening) {
  Window w;
  ASSERT_TRUE(w.Open());
  PostEvent(&w, EVENT::Notify);
  w.Close();
  ASSERT_TRUE(w.Open());
  PostEvent(&w, EVENT::Completed);
  std::vector<int> seen;
  while (w.Accept()) {
    if (!Interesting(CurrentEvent())) continue;
    seen.push_back(CurrentEvent());
    if (CurrentEvent() == EVENT::Completed) w.Close();
  }
  EXPECT_EQ(seen, (std::vector<int>{EVENT::OpenWindow, EVENT::Completed}));
}

TEST_F(WindowTest, TimerEventsHaveNoField) {
  Window w;
  ASSERT_TRUE(w.Open());
  int button = w.AddButton("x", 0, 0, 20, 20);
  w.SetTimer(1);
  int timers = 0;
  while (w.Accept()) {
    if (CurrentEvent() == EVENT::Timer) {
      EXPECT_EQ(CurrentField(), 0);
      EXPECT_EQ(AcceptedField(), 0);
      if (++timers == 2) w.Close();
    }
  }
  EXPECT_EQ(timers, 2);
  EXPECT_EQ(button, 1);
}

TEST_F(WindowTest, PostingToWhatIsNotAControlOrAfterShutdownDoesNothing) {
  Window w;
  ASSERT_TRUE(w.Open());
  int b = w.AddButton("x", 0, 0, 20, 20);
  EXPECT_FALSE(PostEvent(&w, EVENT::Accepted, b + 1));
  EXPECT_FALSE(PostEvent(&w, EVENT::Accepted, -3));
  EXPECT_TRUE(PostEvent(&w, EVENT::Accepted, b));
  SetShuttingDown(true);
  EXPECT_FALSE(PostEvent(&w, EVENT::Notify));
  SetShuttingDown(false);
  w.Close();
  EXPECT_FALSE(PostEvent(&w, EVENT::Notify));  // closed
  EXPECT_TRUE(fatals.empty());
  EXPECT_FALSE(PostEvent(nullptr, EVENT::Notify));
  EXPECT_FALSE(PostEvent(EVENT::Notify));  // no top window
  EXPECT_EQ(fatals, (std::vector<int>{536, 536}));
}

TEST_F(WindowTest, RuntimeErrorsOfWindowsAndLoops) {
  Window w;
  EXPECT_FALSE(w.Accept());  // never opened
  EXPECT_EQ(fatals, (std::vector<int>{537}));
  EXPECT_EQ(w.AddButton("x", 0, 0, 1, 1), 0);
  EXPECT_EQ(fatals.back(), 536);
  ASSERT_TRUE(w.Open());
  EXPECT_FALSE(w.Open());
  EXPECT_EQ(fatals.back(), 535);
  EXPECT_TRUE(w.IsOpen());  // the failed second opening left the first alone
  Window::SetSystemModal(true);
  EXPECT_EQ(w.AddButton("x", 0, 0, 1, 1), 0);
  Window::SetSystemModal(false);
  EXPECT_EQ(fatals.back(), 541);
  Window closedOwner, owned;
  EXPECT_FALSE(owned.Open(WindowOptions{}, &closedOwner));
  EXPECT_EQ(fatals.back(), 536);
  w.Close();
  EXPECT_FALSE(w.Accept());
  EXPECT_EQ(fatals.back(), 537);
}

TEST_F(WindowTest, WindowThatGetsNoHandleIsNotOpened) {
  platform::NativeWindow holder(nullptr, nullptr);
  std::vector<platform::WindowHandle> claimed;
  for (auto h = platform::detail::ClaimHandle(&holder); h != platform::kNoWindow;
       h = platform::detail::ClaimHandle(&holder)) {
    claimed.push_back(h);
  }
  Window w;
  EXPECT_FALSE(w.Open());
  for (auto h : claimed) platform::detail::ReleaseHandle(h);
  EXPECT_EQ(fatals, (std::vector<int>{529}));
  EXPECT_FALSE(w.IsOpen());
  EXPECT_TRUE(w.Open());  // handles are free again
}

TEST_F(WindowTest, HandlerClosingItsWindowFromInsideQtDispatchIsSafe) {
  Window w;
  ASSERT_TRUE(w.Open());
  platform::WindowHandle h = w.Handle();
  QPointer<platform::NativeWindow> native(NativeOf(w));
  w.SetEventHandler([&](Window& self) {
    if (self.Event() == EVENT::Timer) {
      self.Close();  // runs inside the window's own message dispatch
      EXPECT_FALSE(platform::IsWindow(h));
    }
  });
  int runs = 0;
  while (w.Accept()) {
    ++runs;
    if (CurrentEvent() == EVENT::OpenWindow) {
      platform::PostPrivateMessage(h, platform::kMsgTimerToTop);
    }
  }
  EXPECT_GE(runs, 1);
  EXPECT_FALSE(w.IsOpen());
  EXPECT_TRUE(native.isNull());  // deleted by the wait once the dispatch was over
}

TEST_F(WindowTest, MessageHookSeesAndMayConsumeMessages) {
  Window w;
  ASSERT_TRUE(w.Open());
  int b = w.AddButton("x", 0, 0, 40, 20);
  int hooked = 0;
  // Compared as a plain QObject*: the hook also sees events while the button is being destroyed,
  // when it is no longer a QPushButton.
  const QObject* button = qobject_cast<QPushButton*>(ControlWidget(w, b));
  SetMessageHook([&](QObject* receiver, QEvent* e) {
    if (receiver == button && e->type() == QEvent::MouseButtonPress) {
      ++hooked;
      return true;  // the button never sees the press: no click
    }
    return false;
  });
  std::vector<int> seen;
  while (w.Accept()) {
    if (!Interesting(CurrentEvent())) continue;
    seen.push_back(CurrentEvent());
    if (CurrentEvent() == EVENT::OpenWindow) {
      QueueClick(qobject_cast<QPushButton*>(ControlWidget(w, b)));
      PostEvent(&w, EVENT::Notify);
    } else {
      w.Close();
    }
  }
  SetMessageHook(nullptr);
  EXPECT_EQ(hooked, 1);
  EXPECT_EQ(seen, (std::vector<int>{EVENT::OpenWindow, EVENT::Notify}));
}

TEST_F(WindowTest, ApplicationTimerRunsWithoutAWindowTimer) {
  Window w;
  ASSERT_TRUE(w.Open());
  int ticks = 0;
  SetApplicationTimer(1, [&] {
    if (++ticks == 3) PostEvent(&w, EVENT::Notify);
  });
  while (w.Accept()) {
    EXPECT_NE(CurrentEvent(), EVENT::Timer);
    if (CurrentEvent() == EVENT::Notify) w.Close();
  }
  SetApplicationTimer(0, nullptr);
  EXPECT_GE(ticks, 3);
}

TEST_F(WindowTest, ThousandTwentyFifthPressedKeystrokeRaises534) {
  EXPECT_TRUE(Press(std::string(1000, 'a')));
  EXPECT_TRUE(Press(std::string(24, 'b')));
  EXPECT_TRUE(fatals.empty());
  EXPECT_FALSE(Press("c"));
  EXPECT_EQ(fatals, (std::vector<int>{534}));
}

TEST_F(WindowTest, PressedKeystrokesAreTypedIntoTheWindow) {
  Window w;
  ASSERT_TRUE(w.Open());
  int b = w.AddButton("go", 0, 0, 40, 20);
  qobject_cast<QPushButton*>(ControlWidget(w, b))->setFocus();
  std::vector<int> fields;
  while (w.Accept()) {
    if (CurrentEvent() == EVENT::OpenWindow) Press("  ");  // space presses the focused button
    if (CurrentEvent() == EVENT::Accepted) {
      fields.push_back(CurrentField());
      EXPECT_EQ(CurrentKeyCode(), 0x20u);  // the key of the moment the click was raised
      if (fields.size() == 2) w.Close();
    }
  }
  EXPECT_EQ(fields, (std::vector<int>{b, b}));
}

TEST_F(WindowTest, RecordKeepsTheKeyOfItsMomentNotOfItsHandling) {
  Window w;
  ASSERT_TRUE(w.Open());
  auto type = [&](Qt::Key key, Qt::KeyboardModifiers mods, const QString& text) {
    QKeyEvent press(QEvent::KeyPress, key, mods, text);
    QApplication::sendEvent(NativeOf(w), &press);
  };
  std::vector<uint32_t> keys;
  while (w.Accept()) {
    if (CurrentEvent() == EVENT::OpenWindow) {
      type(Qt::Key_A, Qt::ControlModifier, QString());
      PostEvent(&w, EVENT::Notify);
      type(Qt::Key_F1, Qt::NoModifier, QString());
      PostEvent(&w, EVENT::Completed);
      type(Qt::Key_Escape, Qt::NoModifier, QString());
    } else if (CurrentEvent() == EVENT::Notify || CurrentEvent() == EVENT::Completed) {
      keys.push_back(CurrentKeyCode());
      if (keys.size() == 2) w.Close();
    }
  }
  EXPECT_EQ(keys, (std::vector<uint32_t>{0x241, 0x70}));
  EXPECT_EQ(CurrentKeyCode(), 0x1Bu);  // no current event: the thread's last key
}

// An inner procedure: its own window, its own loop, closes on its second own event.
std::vector<int> InnerProcedure(Window& outer) {
  Window inner;
  std::vector<int> seen;
  inner.Open(Titled("inner"), &outer);
  while (inner.Accept()) {
    if (!Interesting(CurrentEvent())) continue;
    EXPECT_EQ(TopWindow(), &inner);
    seen.push_back(CurrentEvent());
    if (CurrentEvent() == EVENT::OpenWindow) {
      PostEvent(&outer, EVENT::Completed);  // waits for the outer loop
      PostEvent(&inner, EVENT::Notify);
    } else {
      inner.Close();
    }
  }
  return seen;
}

TEST_F(WindowTest, NestedProceduresEachSeeOnlyTheirOwnEventsAndReturnToTheOuterLoop) {
  Window outer;
  ASSERT_TRUE(outer.Open(Titled("outer")));
  std::vector<int> outerSeen;
  std::vector<int> innerSeen;
  while (outer.Accept()) {
    if (!Interesting(CurrentEvent())) continue;
    EXPECT_EQ(TopWindow(), &outer);
    outerSeen.push_back(CurrentEvent());
    if (CurrentEvent() == EVENT::OpenWindow) {
      PostEvent(&outer, EVENT::Notify);
      innerSeen = InnerProcedure(outer);
      EXPECT_EQ(CurrentEvent(), EVENT::OpenWindow);  // the outer event is current again
    } else if (CurrentEvent() == EVENT::Completed) {
      outer.Close();
    }
  }
  EXPECT_EQ(innerSeen, (std::vector<int>{EVENT::OpenWindow, EVENT::Notify}));
  EXPECT_EQ(outerSeen, (std::vector<int>{EVENT::OpenWindow, EVENT::Notify, EVENT::Completed}));
}

TEST_F(WindowTest, ClosingTheOwnerFromAnInnerLoopEndsBothLoops) {
  Window outer;
  ASSERT_TRUE(outer.Open());
  bool innerEnded = false;
  int outerRuns = 0;
  while (outer.Accept()) {
    ++outerRuns;
    if (CurrentEvent() != EVENT::OpenWindow) continue;
    Window inner;
    inner.Open(WindowOptions{}, &outer);
    while (inner.Accept()) {
      if (CurrentEvent() == EVENT::OpenWindow) outer.Close();  // takes the owned window along
    }
    innerEnded = true;
    EXPECT_FALSE(inner.IsOpen());
  }
  EXPECT_TRUE(innerEnded);
  EXPECT_EQ(outerRuns, 1);
}

TEST_F(WindowTest, UserCloseRequestEndsTheLoopUnlessCancelled) {
  Window w;
  ASSERT_TRUE(w.Open());
  int closeRequests = 0;
  while (w.Accept()) {
    if (CurrentEvent() == EVENT::OpenWindow) NativeOf(w)->close();
    if (CurrentEvent() == EVENT::CloseWindow) {
      if (++closeRequests == 1) {
        w.CancelClose();
        NativeOf(w)->close();
      }
    }
  }
  EXPECT_EQ(closeRequests, 2);
  EXPECT_FALSE(w.IsOpen());
}

TEST_F(WindowTest, BodyLeavingTheLoopRestoresTheTopWindow) {
  Window w;
  ASSERT_TRUE(w.Open());
  while (w.Accept()) {
    if (CurrentEvent() == EVENT::OpenWindow) {
      w.ExitLoop();
      break;
    }
  }
  EXPECT_EQ(TopWindow(), nullptr);
  EXPECT_TRUE(w.IsOpen());
  PostEvent(&w, EVENT::Notify);
  while (w.Accept()) {  // a second loop on the same window goes on with its events
    if (CurrentEvent() == EVENT::Notify) w.Close();
  }
}

TEST_F(WindowTest, ThreadSwitchSendsSuspendThenFocusLossBeforeGain) {
  std::vector<std::string> log;
  Window a;
  ASSERT_TRUE(a.Open(Titled("thread 1")));
  a.SetEventHandler([&](Window& w) { log.push_back("a " + std::to_string(w.Event())); });
  SetActiveThread(a.Thread());
  const uint32_t other = a.Thread() + 1;
  while (a.Accept()) {
    if (CurrentEvent() != EVENT::OpenWindow) continue;
    ScopedThreadNumber second(other);
    Window b;
    b.Open(Titled("thread 2"));
    b.SetEventHandler([&](Window& w) { log.push_back("b " + std::to_string(w.Event())); });
    while (b.Accept()) {
      if (CurrentEvent() == EVENT::OpenWindow) {
        SetActiveThread(other);  // b's window became active
        PostEvent(&b, EVENT::Notify);
      } else if (CurrentEvent() == EVENT::Notify) {
        b.Close();
      }
    }
    a.Close();
  }
  auto s = [](const char* w, int e) { return std::string(w) + " " + std::to_string(e); };
  // Sent events run in the handlers at once; the focus pair comes from b's next wait.
  std::vector<std::string> expected = {s("a", EVENT::Suspend), s("a", EVENT::LoseFocus),
                                       s("b", EVENT::GainFocus)};
  std::vector<std::string> filtered;
  for (const auto& e : log) {
    if (filtered.size() < 3 && (e == expected[0] || e == expected[1] || e == expected[2])) {
      filtered.push_back(e);
    }
  }
  EXPECT_EQ(filtered, expected);
  EXPECT_TRUE(a.Suspended());
  SetActiveThread(a.Thread());
}

TEST_F(WindowTest, DirectSendWithoutHandlerComesBeforePendingEvents) {
  Window w;
  ASSERT_TRUE(w.Open());
  std::vector<int> seen;
  while (w.Accept()) {
    if (!Interesting(CurrentEvent()) && CurrentEvent() != EVENT::Suspend) continue;
    seen.push_back(CurrentEvent());
    if (CurrentEvent() == EVENT::OpenWindow) {
      PostEvent(&w, EVENT::Notify);
      w.Send(EVENT::Suspend);
      w.PostFront(EVENT::Completed);
    }
    if (CurrentEvent() == EVENT::Notify) w.Close();
  }
  EXPECT_EQ(seen, (std::vector<int>{EVENT::OpenWindow, EVENT::Suspend, EVENT::Completed,
                                    EVENT::Notify}));
}

TEST_F(WindowTest, PostingFromAnotherThreadArrivesInOrder) {
  Window w;
  ASSERT_TRUE(w.Open());
  std::vector<int> seen;
  while (w.Accept()) {
    if (CurrentEvent() == EVENT::OpenWindow) {
      std::thread poster([&w] {
        for (int i = 0; i < 100; ++i) w.Post(EVENT::Notify);
        w.Post(EVENT::Completed);
      });
      poster.join();
    } else if (CurrentEvent() == EVENT::Notify) {
      seen.push_back(CurrentEvent());
    } else if (CurrentEvent() == EVENT::Completed) {
      w.Close();
    }
  }
  EXPECT_EQ(seen.size(), 100u);
}

TEST_F(WindowTest, PrivateMessagesRaiseDropAndTimerWithoutAField) {
  Window w;
  ASSERT_TRUE(w.Open());
  std::vector<int> seen;
  while (w.Accept()) {
    int e = CurrentEvent();
    if (e == EVENT::OpenWindow) {
      platform::PostPrivateMessage(w.Handle(), platform::kMsgDrop);
      platform::PostPrivateMessage(w.Handle(), platform::kMsgTimerToTop);
      platform::PostPrivateMessage(w.Handle(), platform::kMsgWakeUp);
      platform::PostPrivateMessage(w.Handle(), platform::kMsgQueryEditDone);
      PostEvent(&w, EVENT::Notify);
    } else if (e == EVENT::Drop || e == EVENT::Timer || e == EVENT::Notify) {
      seen.push_back(e);
      EXPECT_EQ(CurrentField(), 0);
      if (e == EVENT::Notify) w.Close();
    }
  }
  // The timer is a direct send and may overtake the drop; the drop keeps its queue order.
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen.back(), EVENT::Notify);
  EXPECT_NE(std::find(seen.begin(), seen.end(), EVENT::Drop), seen.end());
  EXPECT_NE(std::find(seen.begin(), seen.end(), EVENT::Timer), seen.end());
}

TEST_F(WindowTest, ResizingAnOpenWindowRaisesSized) {
  Window w;
  ASSERT_TRUE(w.Open(Titled("sized", 200, 100)));
  bool sized = false;
  while (w.Accept()) {
    if (CurrentEvent() == EVENT::OpenWindow) {
      w.SetSize(300, 150);
      QTimer::singleShot(2000, NativeOf(w), [&w] { w.Close(); });  // guard against a hang
    } else if (CurrentEvent() == EVENT::Sized) {
      sized = true;
      w.Close();
    }
  }
  EXPECT_TRUE(sized);
}

TEST_F(WindowTest, ShutdownClosesEveryWindowOfTheMainThreadAndStopsPosting) {
  Window outer;
  ASSERT_TRUE(outer.Open());
  int outerRuns = 0;
  while (outer.Accept()) {
    ++outerRuns;
    Window inner;
    inner.Open();
    while (inner.Accept()) {
      if (CurrentEvent() == EVENT::OpenWindow) ShutdownEvents();
    }
    EXPECT_FALSE(PostEvent(&outer, EVENT::Notify));
  }
  EXPECT_EQ(outerRuns, 1);
  EXPECT_FALSE(outer.IsOpen());
}

TEST_F(WindowTest, HandleMapsBackToTheWindowAndItsClientArea) {
  Window w;
  ASSERT_TRUE(w.Open());
  platform::WindowHandle h = w.Handle();
  EXPECT_GT(h, 0);
  EXPECT_EQ(platform::WindowFromHandle(h), NativeOf(w));
  EXPECT_EQ(platform::ClientFromHandle(h), ClientOf(w));
  w.SetCaption("Movies");
  EXPECT_EQ(w.Caption(), "Movies");
  w.Close();
  EXPECT_EQ(w.Handle(), platform::kNoWindow);
  EXPECT_FALSE(platform::IsWindow(h));
  w.SetCaption("closed");
  EXPECT_EQ(fatals, (std::vector<int>{536}));
}

}  // namespace
}  // namespace cinevo
