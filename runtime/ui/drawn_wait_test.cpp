// A long call on a helper thread while the GUI thread keeps handling timers and painting but no
// user input.
#include "runtime/ui/drawn_wait.h"

#include <QApplication>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/window/test_application.h"

namespace cinevo {
namespace {

TEST(RunWhileDrawingTest, TimersRunDuringTheCallAndItsResultComesBack) {
  int ticks = 0;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&ticks] { ++ticks; });
  timer.start(10);
  std::thread::id gui = std::this_thread::get_id();
  std::thread::id worker;
  int rc = RunWhileDrawing([&worker] {
    worker = std::this_thread::get_id();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    return 42;
  });
  EXPECT_EQ(rc, 42);
  EXPECT_NE(worker, gui);
  EXPECT_GE(ticks, 5) << "the GUI thread did not handle its timer while waiting";
}

TEST(RunWhileDrawingTest, MessagesPostedDuringTheCallAreHandledBeforeItEnds) {
  QObject target;
  std::atomic<bool> handled{false};
  bool handled_before_end = false;
  RunWhileDrawing([&] {
    QMetaObject::invokeMethod(&target, [&handled] { handled = true; }, Qt::QueuedConnection);
    for (int i = 0; i < 200 && !handled; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    handled_before_end = handled;
    return 0;
  });
  EXPECT_TRUE(handled_before_end);
}

TEST(RunWhileDrawingTest, ACallThatReturnsAtOnceDoesNotHang) {
  for (int i = 0; i < 50; ++i) EXPECT_EQ(RunWhileDrawing([i] { return i; }), i);
}

}  // namespace
}  // namespace cinevo
