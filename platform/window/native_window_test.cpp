#include "platform/window/native_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QImage>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <cstdio>

#include <gtest/gtest.h>

#include "platform/window/test_application.h"

#include <memory>
#include <vector>

#include "platform/window/private_message.h"
#include "platform/window/window_handle.h"
#include "platform/window/window_system.h"
#include "runtime/core/error.h"

namespace cinevo::platform {
namespace {

class Recorder : public WindowProcedure {
 public:
  void OnPrivateMessage(PrivateMessage& m) override {
    messages.push_back(m.message());
    params.push_back(m.param());
  }
  void OnCloseRequest() override { ++closeRequests; }
  void OnTimer(int number) override { timers.push_back(number); }
  std::vector<uint32_t> messages;
  std::vector<intptr_t> params;
  std::vector<int> timers;
  int closeRequests = 0;
};

// Counts its own destruction so tests can see whether a dropped payload was freed.
struct CountedPayload : MessagePayload {
  explicit CountedPayload(int* d) : destroyed(d) {}
  ~CountedPayload() override { ++*destroyed; }
  int* destroyed;
};

class NativeWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(StartWindowSystem());
    SetFatalHandler([](int, const std::string&) {});
  }
  void TearDown() override { SetFatalHandler(nullptr); }
  static void Pump() { QCoreApplication::processEvents(QEventLoop::AllEvents); }
};

TEST_F(NativeWindowTest, HandlesAreSmallPositiveAndMapBackUntilDestroyed) {
  Recorder proc;
  auto a = std::make_unique<NativeWindow>(&proc, nullptr);
  auto b = std::make_unique<NativeWindow>(&proc, a.get());
  WindowHandle ha = a->handle(), hb = b->handle();
  EXPECT_GT(ha, 0);
  EXPECT_GT(hb, 0);
  EXPECT_NE(ha, hb);
  EXPECT_EQ(WindowFromHandle(ha), a.get());
  EXPECT_EQ(ClientFromHandle(hb), b->client());
  EXPECT_EQ(b->owner(), a.get());
  EXPECT_TRUE(b->isWindow());
  b.reset();
  EXPECT_FALSE(IsWindow(hb));
  EXPECT_EQ(WindowFromHandle(hb), nullptr);
  EXPECT_EQ(WindowFromHandle(0), nullptr);
  EXPECT_EQ(WindowFromHandle(-5), nullptr);
  // A freed handle is not handed out again at once.
  auto c = std::make_unique<NativeWindow>(&proc, nullptr);
  EXPECT_NE(c->handle(), hb);
}

TEST_F(NativeWindowTest, PrivateMessagesArriveInOrderAndDeadTargetsDropTheirPayload) {
  Recorder proc;
  auto w = std::make_unique<NativeWindow>(&proc, nullptr);
  int destroyed = 0;
  EXPECT_TRUE(PostPrivateMessage(w->handle(), kMsgPostEvent, 1,
                                 std::make_unique<CountedPayload>(&destroyed)));
  EXPECT_TRUE(PostPrivateMessage(w->handle(), kMsgDrop, 2));
  EXPECT_TRUE(PostPrivateMessage(w->handle(), kMsgBringToTop, 3));
  Pump();
  EXPECT_EQ(proc.messages, (std::vector<uint32_t>{kMsgPostEvent, kMsgDrop, kMsgBringToTop}));
  EXPECT_EQ(proc.params, (std::vector<intptr_t>{1, 2, 3}));
  EXPECT_EQ(destroyed, 1);  // not taken by the procedure: freed with the message

  WindowHandle gone = w->handle();
  EXPECT_TRUE(PostPrivateMessage(gone, kMsgPostEvent, 0,
                                 std::make_unique<CountedPayload>(&destroyed)));
  w.reset();  // queued message dies with the window
  EXPECT_EQ(destroyed, 2);
  EXPECT_FALSE(PostPrivateMessage(gone, kMsgPostEvent, 0,
                                  std::make_unique<CountedPayload>(&destroyed)));
  EXPECT_EQ(destroyed, 3);
  Pump();
  EXPECT_EQ(proc.messages.size(), 3u);
}

TEST_F(NativeWindowTest, CloseRequestIsLeftToTheProcedure) {
  Recorder proc;
  NativeWindow w(&proc, nullptr);
  w.show();
  EXPECT_FALSE(w.close());
  EXPECT_EQ(proc.closeRequests, 1);
  EXPECT_TRUE(w.isVisible());
  EXPECT_TRUE(IsWindow(w.handle()));
}

TEST_F(NativeWindowTest, CaptionKeepsBytesAndBadIconIsRefused) {
  Recorder proc;
  NativeWindow w(&proc, nullptr);
  w.SetCaption("Plain");
  EXPECT_EQ(w.windowTitle(), QStringLiteral("Plain"));
  w.SetCaption("Caf\xC3\xA9");
  EXPECT_EQ(w.windowTitle(), QString::fromUtf8("Caf\xC3\xA9"));
  w.SetCaption("Caf\xE9");  // not UTF-8: shown byte for byte
  EXPECT_EQ(w.windowTitle(), QString::fromLatin1("Caf\xE9"));
  EXPECT_EQ(w.Caption(), "Caf\xE9");
  EXPECT_FALSE(w.SetIconFile("/nonexistent/icon.ico"));
}

TEST_F(NativeWindowTest, NumberedTimerReachesProcedureAndStops) {
  Recorder proc;
  NativeWindow w(&proc, nullptr);
  w.SetTimer(2, 1);
  EXPECT_TRUE(w.HasTimer(2));
  QEventLoop loop;
  while (proc.timers.empty()) loop.processEvents(QEventLoop::WaitForMoreEvents);
  EXPECT_EQ(proc.timers.front(), 2);
  w.SetTimer(2, 0);
  EXPECT_FALSE(w.HasTimer(2));
}

TEST_F(NativeWindowTest, DetachedProcedureReceivesNothing) {
  Recorder proc;
  NativeWindow w(&proc, nullptr);
  PostPrivateMessage(w.handle(), kMsgDrop);
  w.DetachProcedure();
  Pump();
  w.close();
  EXPECT_TRUE(proc.messages.empty());
  EXPECT_EQ(proc.closeRequests, 0);
}

TEST_F(NativeWindowTest, NoHandleIsGivenWhenAllAreInUse) {
  Recorder proc;
  NativeWindow holder(&proc, nullptr);
  std::vector<WindowHandle> claimed;
  for (WindowHandle h = detail::ClaimHandle(&holder); h != kNoWindow;
       h = detail::ClaimHandle(&holder)) {
    claimed.push_back(h);
  }
  EXPECT_EQ(LiveWindowCount(), kMaxWindowHandle);
  {
    NativeWindow extra(&proc, nullptr);
    EXPECT_EQ(extra.handle(), kNoWindow);
    EXPECT_FALSE(PostPrivateMessage(extra.handle(), kMsgDrop));
  }
  for (WindowHandle h : claimed) detail::ReleaseHandle(h);
  EXPECT_EQ(WindowFromHandle(holder.handle()), &holder);  // its own handle survived
  NativeWindow again(&proc, nullptr);
  EXPECT_NE(again.handle(), kNoWindow);
}

TEST_F(NativeWindowTest, IconIsTakenFromAPictureFile) {
  Recorder proc;
  NativeWindow w(&proc, nullptr);
  QImage picture(16, 16, QImage::Format_RGB32);
  picture.fill(Qt::red);
  std::string path = ::testing::TempDir() + "native_window_icon.png";
  ASSERT_TRUE(picture.save(QString::fromStdString(path)));
  EXPECT_TRUE(w.SetIconFile(path));
  EXPECT_FALSE(w.windowIcon().isNull());
  std::remove(path.c_str());
}

}  // namespace
}  // namespace cinevo::platform
