// Movie windows on the offscreen platform: real frames rendered by the software path, windows
// placed in their parent's client area, and their life tied to the device.
#include "platform/media/movie_window.h"

#include <QPainter>
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QPointer>
#include <QThread>
#include <QWidget>

#include <chrono>
#include <filesystem>
#include <memory>
#include <set>
#include <thread>
#include <vector>

#include "platform/media/media_service.h"
#include "platform/media_command/media_result.h"

namespace cinevo::platform {
namespace {

namespace fs = std::filesystem;

// The application lives from before the first test to after the last one; it must be gone
// before the program's exit handlers run, which tear down Qt's own globals.
class AppEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { app_ = std::make_unique<QApplication>(argc_, argv_); }
  void TearDown() override { app_.reset(); }

 private:
  int argc_ = 1;
  char name_[18] = "movie_window_test";
  char* argv_[2] = {name_, nullptr};
  std::unique_ptr<QApplication> app_;
};
[[maybe_unused]] const auto* const kAppEnvironment =
    ::testing::AddGlobalTestEnvironment(new AppEnvironment);  // gtest owns it

// Runs the event loop until `done` holds or `ms` have passed.
template <typename Pred>
bool SpinUntil(Pred done, int ms) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > ms) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  return true;
}

// Number of distinct colours in a coarse sample of the image.
size_t Colours(const QImage& image) {
  std::set<QRgb> colours;
  for (int y = 0; y < image.height(); y += 7) {
    for (int x = 0; x < image.width(); x += 7) colours.insert(image.pixel(x, y) & 0xF0F0F0);
  }
  return colours.size();
}

class MovieWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    clip_ = (fs::path(CINEVO_TEST_MEDIA_DIR) / "clip.avi").string();
    if (!fs::exists(clip_)) GTEST_SKIP() << "test clips missing";
    main_ = std::make_unique<QWidget>();
    main_->resize(800, 600);
    main_->show();
    service_ = std::make_unique<MediaService>();
    service_->SetParentLookup([this](int handle) { return handle == 7 ? main_.get() : nullptr; });
  }
  void TearDown() override {
    service_.reset();
    main_.reset();
  }
  int Send(const std::string& command) {
    std::string ignored;
    return service_->Send(command, ignored);
  }
  std::string Ask(const std::string& command) {
    std::string reply;
    EXPECT_EQ(service_->Send(command, reply), kMediaOk) << command;
    return reply;
  }

  std::string clip_;
  std::unique_ptr<QWidget> main_;
  std::unique_ptr<MediaService> service_;
};

TEST_F(MovieWindowTest, PlayingMovieRendersRealFramesIntoItsWindow) {
  ASSERT_EQ(Send("open " + clip_ + " parent 7 "), kMediaOk);
  MediaDevice* device = service_->Find(clip_);
  ASSERT_NE(device, nullptr);
  MovieWindow* window = device->window();
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(window->parentWidget(), main_.get());
  EXPECT_FALSE(window->isVisible());  // hidden until "put ... window"
  EXPECT_EQ(window->VideoSize(), QSize(320, 240));

  ASSERT_EQ(Send("put " + clip_ + " window"), kMediaOk);
  EXPECT_TRUE(window->isVisible());
  ASSERT_EQ(Send("play " + clip_), kMediaOk);
  ASSERT_TRUE(SpinUntil([&] { return device->player().frames_rendered() >= 5; }, 3000));
  QImage frame = device->player().frame().copy();
  EXPECT_EQ(frame.size(), QSize(320, 240));
  EXPECT_GT(Colours(frame), 8u) << "the rendered frame looks blank";
  // An RGB32 frame is opaque in every pixel: a window surface with an alpha channel (Wayland)
  // would show it transparent otherwise.
  size_t transparent = 0;
  for (int y = 0; y < frame.height(); ++y) {
    const auto* row = reinterpret_cast<const uint32_t*>(frame.constScanLine(y));
    for (int x = 0; x < frame.width(); ++x) transparent += (row[x] >> 24) != 0xFF;
  }
  EXPECT_EQ(transparent, 0u);
  QImage on_alpha_surface(frame.size(), QImage::Format_ARGB32_Premultiplied);
  on_alpha_surface.fill(Qt::transparent);
  QPainter(&on_alpha_surface).drawImage(0, 0, frame);
  EXPECT_EQ(qAlpha(on_alpha_surface.pixel(160, 120)), 0xFF);
  // What the window shows is the frame, inside its border and caption.
  QImage shown = window->grab().toImage();
  QRect video = window->VideoRect();
  EXPECT_GT(Colours(shown.copy(video)), 8u);
}

TEST_F(MovieWindowTest, PlacementIsInParentClientCoordinatesAndResizesTheRenderer) {
  ASSERT_EQ(Send("open " + clip_ + " parent 7"), kMediaOk);
  MediaDevice* device = service_->Find(clip_);
  ASSERT_EQ(Send("put " + clip_ + " window at 30 40 400 300"), kMediaOk);
  MovieWindow* window = device->window();
  EXPECT_EQ(window->geometry(), QRect(30, 40, 400, 300));
  EXPECT_EQ(Ask("where " + clip_ + " destination"), "0 0 396 278");
  ASSERT_EQ(Send("play " + clip_), kMediaOk);
  ASSERT_TRUE(SpinUntil([&] { return device->player().frame().size() == QSize(396, 278); }, 3000));
  // A user resize shows in "where" too.
  window->resize(204, 172);
  EXPECT_EQ(Ask("where " + clip_ + " destination"), "0 0 200 150");
}

TEST_F(MovieWindowTest, CloseDestroysTheWindowAndAClosedParentDoesNoHarm) {
  ASSERT_EQ(Send("open " + clip_ + " parent 7"), kMediaOk);
  QPointer<MovieWindow> window = service_->Find(clip_)->window();
  ASSERT_EQ(Send("close " + clip_), kMediaOk);
  EXPECT_TRUE(window.isNull());

  ASSERT_EQ(Send("open " + clip_ + " parent 7"), kMediaOk);
  ASSERT_EQ(Send("play " + clip_), kMediaOk);
  main_.reset();  // the parent takes the movie window with it
  EXPECT_EQ(service_->Find(clip_)->window(), nullptr);
  EXPECT_EQ(Ask("status " + clip_ + " mode"), "playing");
  SpinUntil([] { return false; }, 100);  // frames keep arriving with no window to show them
  EXPECT_EQ(Send("close all"), kMediaOk);
}

// Movies prepared on helper threads play like any other: their players belong to the GUI
// thread, which handles their events while they wait to be opened, and frames reach the windows.
TEST_F(MovieWindowTest, PreparedMoviesBelongToTheGuiThreadAndShowFrames) {
  const std::string clip30 = (fs::path(CINEVO_TEST_MEDIA_DIR) / "clip30.avi").string();
  service_->Prepare({clip_, clip30});
  SpinUntil([] { return false; }, 300);  // their engines post events before they are opened
  for (const std::string& clip : {clip_, clip30}) {
    ASSERT_EQ(Send("open " + clip + " parent 7 "), kMediaOk) << clip;
    ASSERT_EQ(Send("put " + clip + " window"), kMediaOk);
    ASSERT_EQ(Send("play " + clip), kMediaOk);
  }
  for (const std::string& clip : {clip_, clip30}) {
    MediaDevice* device = service_->Find(clip);
    EXPECT_EQ(device->player().thread(), QThread::currentThread());
    ASSERT_NE(device->window(), nullptr);
    EXPECT_EQ(device->window()->parentWidget(), main_.get());
    ASSERT_TRUE(SpinUntil([&] { return device->player().frame_number() >= 3; }, 3000)) << clip;
    EXPECT_GT(Colours(device->player().frame()), 8u);
  }
  EXPECT_EQ(Send("close all"), kMediaOk);
  EXPECT_EQ(service_->prepared_count(), 0u);
}

// Counts the paint events of a movie window that show a frame number not painted before.
class PaintedFrames : public QObject {
 public:
  PaintedFrames(QWidget* window, const MpvPlayer& player) : player_(player) {
    window->installEventFilter(this);
  }
  int64_t count() const { return count_; }

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint && player_.frame_number() != last_) {
      last_ = player_.frame_number();
      ++count_;
    }
    return false;
  }

 private:
  const MpvPlayer& player_;
  int64_t last_ = -1;
  int64_t count_ = 0;
};

// Frames are rendered as they fall due, whatever the GUI thread is doing.
TEST_F(MovieWindowTest, FramesAreRenderedWhileTheGuiThreadIsBusy) {
  ASSERT_EQ(Send("open " + clip_ + " parent 7"), kMediaOk);
  MpvPlayer& player = service_->Find(clip_)->player();
  ASSERT_EQ(Send("put " + clip_ + " window"), kMediaOk);
  ASSERT_EQ(Send("play " + clip_), kMediaOk);
  ASSERT_TRUE(SpinUntil([&] { return player.frame_number() >= 2; }, 3000));

  // The clip plays at 25 frames per second; 400 ms without events is 10 frames.
  int64_t before = player.frames_rendered();
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  int64_t during = player.frames_rendered() - before;
  EXPECT_GE(during, 4) << "frames are rendered only when the GUI thread gets round to it";
  // Once the GUI thread runs again it shows the newest of them.
  EXPECT_TRUE(SpinUntil([&] { return player.frame_number() >= before + during; }, 1000));
}

// Four movies at once: every frame that falls due in each window is painted, none is replaced
// before it was shown.
TEST_F(MovieWindowTest, FourMoviesAtOncePaintEveryFrame) {
  std::vector<std::unique_ptr<PaintedFrames>> painted;
  std::vector<std::string> names;
  int x = 0;
  for (const char* file : {"clip.avi", "clip30.avi", "clip.mpg", "clip.mov"}) {
    std::string name = (fs::path(CINEVO_TEST_MEDIA_DIR) / file).string();
    ASSERT_EQ(Send("open " + name + " parent 7"), kMediaOk) << file;
    ASSERT_EQ(Send("put " + name + " window at " + std::to_string(x) + " 0 0 0"), kMediaOk);
    ASSERT_EQ(Send("put " + name + " window"), kMediaOk);
    MediaDevice* device = service_->Find(name);
    painted.push_back(std::make_unique<PaintedFrames>(device->window(), device->player()));
    names.push_back(name);
    x += 200;
  }
  ASSERT_EQ(Send("play all"), kMediaOk);
  SpinUntil([] { return false; }, 500);
  std::vector<int64_t> at_start;
  for (const auto& p : painted) at_start.push_back(p->count());
  QElapsedTimer clock;
  clock.start();
  SpinUntil([] { return false; }, 1500);
  double seconds = clock.nsecsElapsed() / 1e9;
  for (size_t i = 0; i < names.size(); ++i) {
    double due = service_->Find(names[i])->player().info().fps * seconds;
    double shown = static_cast<double>(painted[i]->count() - at_start[i]);
    // A loaded machine may miss a few; missing one frame in three is the fault.
    EXPECT_GE(shown, 0.8 * due) << names[i] << ": " << shown << " of " << due << " frames painted";
  }
}

// A paused movie shows its current frame at whatever size the window is given.
TEST_F(MovieWindowTest, PausedMovieIsRedrawnAtItsNewSize) {
  ASSERT_EQ(Send("open " + clip_ + " parent 7"), kMediaOk);
  MpvPlayer& player = service_->Find(clip_)->player();
  ASSERT_EQ(Send("put " + clip_ + " window"), kMediaOk);
  ASSERT_TRUE(SpinUntil([&] { return player.frame().size() == QSize(320, 240); }, 3000));
  ASSERT_EQ(Send("put " + clip_ + " window at 0 0 204 172"), kMediaOk);
  ASSERT_TRUE(SpinUntil([&] { return player.frame().size() == QSize(200, 150); }, 3000));
  EXPECT_GT(Colours(player.frame()), 8u);
  EXPECT_EQ(Ask("status " + clip_ + " mode"), "stopped");
}

// Devices closed at any moment of their playing, several at once, never hang or crash.
TEST_F(MovieWindowTest, ClosingPlayingMoviesAtAnyMomentIsSafe) {
  for (int round = 0; round < 4; ++round) {
    for (const char* file : {"clip.avi", "clip30.avi", "clip.mov"}) {
      std::string name = (fs::path(CINEVO_TEST_MEDIA_DIR) / file).string();
      ASSERT_EQ(Send("open " + name + " parent 7"), kMediaOk) << round << " " << file;
      ASSERT_EQ(Send("put " + name + " window"), kMediaOk);
      ASSERT_EQ(Send("play " + name), kMediaOk);
    }
    SpinUntil([] { return false; }, round * 60);
    QElapsedTimer closing;
    closing.start();
    ASSERT_EQ(Send("close all"), kMediaOk);
    EXPECT_LT(closing.elapsed(), 3000) << "round " << round;
    EXPECT_EQ(service_->device_count(), 0u);
  }
}

TEST_F(MovieWindowTest, UnknownParentHandleIsRefusedAndZeroGivesATopLevelWindow) {
  EXPECT_EQ(Send("open " + clip_ + " parent 8"), kMediaBadWindow);
  EXPECT_EQ(service_->device_count(), 0u);
  ASSERT_EQ(Send("open " + clip_ + " parent 0"), kMediaOk);
  MovieWindow* window = service_->Find(clip_)->window();
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(window->isWindow());
  EXPECT_EQ(window->caption(), "clip.avi");
}

TEST_F(MovieWindowTest, MovieWithoutVideoHasNoWindow) {
  std::string wav = (fs::path(CINEVO_TEST_MEDIA_DIR) / "short.wav").string();
  ASSERT_EQ(Send("open " + wav + " parent 7"), kMediaOk);
  EXPECT_EQ(service_->Find(wav)->window(), nullptr);
  EXPECT_EQ(Send("put " + wav + " window"), kMediaNoVideo);
  EXPECT_EQ(Send("where " + wav + " destination"), kMediaNoVideo);
  EXPECT_EQ(Send("set " + wav + " time format frames"), kMediaNoVideo);
  EXPECT_EQ(Ask("capability " + wav + " has audio"), "true");
  EXPECT_EQ(Ask("status " + wav + " length"), "300");
}

// Sends a left-button drag from `from` to `to` (window coordinates) through the window.
void Drag(QWidget& w, QPoint from, QPoint to) {
  QPointF global_from = w.mapToGlobal(QPointF(from));
  QPointF global_to = global_from + QPointF(to - from);
  QMouseEvent press(QEvent::MouseButtonPress, QPointF(from), global_from, Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&w, &press);
  QMouseEvent move(QEvent::MouseMove, QPointF(to), global_to, Qt::NoButton, Qt::LeftButton,
                   Qt::NoModifier);
  QApplication::sendEvent(&w, &move);
  QMouseEvent release(QEvent::MouseButtonRelease, QPointF(to), global_to, Qt::LeftButton,
                      Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(&w, &release);
}

TEST(MovieWindowFrame, CaptionMovesCornerResizesVideoAreaDoesNeither) {
  QWidget parent;
  parent.resize(600, 400);
  QImage frame;
  MovieWindow w(&parent, "a.avi", &frame);
  w.setGeometry(10, 10, 324, 262);
  w.show();
  EXPECT_EQ(w.VideoRect(), QRect(2, 20, 320, 240));

  Drag(w, QPoint(50, 8), QPoint(80, 28));  // the caption bar
  EXPECT_EQ(w.geometry(), QRect(40, 30, 324, 262));
  Drag(w, QPoint(100, 100), QPoint(150, 150));  // the picture
  EXPECT_EQ(w.geometry(), QRect(40, 30, 324, 262));
  Drag(w, QPoint(320, 258), QPoint(300, 238));  // the bottom-right corner
  EXPECT_EQ(w.geometry(), QRect(40, 30, 304, 242));
  EXPECT_EQ(w.VideoSize(), QSize(300, 220));
  Drag(w, QPoint(300, 238), QPoint(-500, -500));  // never smaller than its frame
  EXPECT_EQ(w.size(), QSize(MovieWindow::kExtraWidth + 1, MovieWindow::kExtraHeight + 1));
}

}  // namespace
}  // namespace cinevo::platform
