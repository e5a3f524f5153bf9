// Media playback costs on this machine, with the same software rendering path as the player:
//   OpenToFirstFrame   time from "open" to the first frame in the movie window (median of 20)
//   Concurrent/N/F     N clips of F frames per second playing at once in movie windows, measured
//                      on what reaches the screen, not on what is rendered into images:
//                        painted_pct   distinct frames painted by the slowest window, as a share
//                                      of the frames its clip had due in that time (100 = all)
//                        paint_gap_ms  longest time any window went between two new frames
//                        event_gap_ms  longest time the GUI thread went without handling an
//                                      event (a 1 ms timer's longest wait); input waits as long
//                        cpu_pct_of_2_cores  process CPU as a share of both cores
//   MemoryPerMovie     resident memory added by each further playing movie (8 movies)
//   AllPaused          CPU of 8 opened movies that are all paused
//   DropOfEight        a drop of 8 clips played by the application's player (its commands open,
//                      put window, play, status mode for each name), to the first frame of each:
//                        last_first_frame_ms  from the drop to the last window's first frame
//                        median_first_frame_ms  the same for the median window
//                        commands_ms  until the player has sent every command
//                        cpu_ms  process CPU until the last first frame (all threads)
//                      prepared:1 is the player as it is, naming the drop's movies to the
//                      service first; prepared:0 sends the commands alone, one movie after the
//                      other
// Run it on a display (xvfb-run -a bench_media) to include the cost of putting frames on the
// screen; without one the offscreen platform is used and frames are painted into images.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QEventLoop>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "app/media_link.h"
#include "app/player.h"
#include "platform/media/media_service.h"
#include "platform/media_command/media_result.h"

namespace {

namespace fs = std::filesystem;
using cinevo::platform::MediaDevice;
using cinevo::platform::MediaService;
using cinevo::platform::MpvPlayer;

const fs::path kClip = fs::path(CINEVO_TEST_MEDIA_DIR) / "clip.avi";      // 25 frames per second
const fs::path kClip30 = fs::path(CINEVO_TEST_MEDIA_DIR) / "clip30.avi";  // 30 frames per second

double CpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double ResidentMegabytes() {
  long pages = 0, resident = 0;
  std::ifstream("/proc/self/statm") >> pages >> resident;
  return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// Lets the event loop run for `ms` without spinning.
void RunFor(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

// N copies of the clip under distinct names, removed at the end.
class Clips {
 public:
  explicit Clips(int n, const fs::path& source = kClip)
      : dir_(fs::temp_directory_path() / ("media_bench_" + std::to_string(getpid()))) {
    fs::create_directories(dir_);
    for (int i = 0; i < n; ++i) {
      fs::path p = dir_ / ("clip" + std::to_string(i) + ".avi");
      fs::copy_file(source, p, fs::copy_options::overwrite_existing);
      paths_.push_back(p.string());
    }
  }
  ~Clips() { fs::remove_all(dir_); }
  const std::vector<std::string>& paths() const { return paths_; }

 private:
  fs::path dir_;
  std::vector<std::string> paths_;
};

struct Stage {
  QWidget parent;
  MediaService service;
  Stage() {
    parent.resize(1400, 1000);
    parent.show();
    service.SetParentLookup([this](int) { return &parent; });
  }
  ~Stage() { service.CloseAll(); }
  int Send(const std::string& c) {
    std::string r;
    return service.Send(c, r);
  }
  // Opens and shows (tiled) every clip; with `play`, starts each one as it is shown.
  bool ShowAll(const std::vector<std::string>& paths, bool play) {
    int i = static_cast<int>(service.device_count());
    for (const auto& p : paths) {
      int x = (i % 4) * 330, y = (i / 4) * 270;
      if (Send("open " + p + " parent 1 ") != 0) return false;
      Send("put " + p + " window at " + std::to_string(x) + " " + std::to_string(y) + " 0 0");
      Send("put " + p + " window");
      if (play) Send("play " + p);
      ++i;
    }
    return true;
  }
  bool StartAll(const std::vector<std::string>& paths) { return ShowAll(paths, true); }
};

void OpenToFirstFrame(benchmark::State& state) {
  Stage stage;
  Clips clips(1);
  const std::string& path = clips.paths()[0];
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    if (stage.Send("open " + path + " parent 1 ") != 0) {
      state.SkipWithError("open failed");
      break;
    }
    stage.Send("put " + path + " window");
    stage.Send("play " + path);
    auto& player = stage.service.Find(path)->player();
    QElapsedTimer guard;
    guard.start();
    while (player.frame_number() == 0 && guard.elapsed() < 5000) {
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    }
    auto elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start);
    state.SetIterationTime(elapsed.count());
    stage.Send("close " + path);
  }
}
BENCHMARK(OpenToFirstFrame)->UseManualTime()->Iterations(1)->Repetitions(20)
    ->ReportAggregatesOnly(true)->Unit(benchmark::kMillisecond);

// Watches the paint events of one movie window: a paint that shows a frame number not shown
// before counts as a painted frame.
class PaintCounter : public QObject {
 public:
  PaintCounter(QWidget* window, const MpvPlayer* player) : player_(player) {
    window->installEventFilter(this);
  }
  void Start() {
    painted_ = 0;
    longest_gap_ms_ = 0;
    since_last_.start();
  }
  int64_t painted() const { return painted_; }
  double longest_gap_ms() const { return longest_gap_ms_; }

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() != QEvent::Paint) return false;
    int64_t shown = player_->frame_number();  // the number of the frame this paint draws
    if (shown == last_shown_) return false;
    last_shown_ = shown;
    if (since_last_.isValid()) {
      ++painted_;
      longest_gap_ms_ = std::max(longest_gap_ms_, since_last_.nsecsElapsed() / 1e6);
      since_last_.start();
    }
    return false;
  }

 private:
  const MpvPlayer* player_;
  int64_t last_shown_ = -1;
  int64_t painted_ = 0;
  double longest_gap_ms_ = 0;
  QElapsedTimer since_last_;  // invalid until Start()
};

// The longest wait between the ticks of a 1 ms timer: how long the GUI thread was kept from
// handling events.
class EventGapMeter : public QObject {
 public:
  EventGapMeter() {
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, this, [this] {
      longest_ms_ = std::max(longest_ms_, since_last_.nsecsElapsed() / 1e6);
      since_last_.start();
    });
  }
  void Start() {
    longest_ms_ = 0;
    since_last_.start();
    timer_.start(1);
  }
  double longest_ms() const { return longest_ms_; }

 private:
  QTimer timer_;
  QElapsedTimer since_last_;
  double longest_ms_ = 0;
};

void Concurrent(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const int fps = static_cast<int>(state.range(1));
  Clips clips(n, fps == 30 ? kClip30 : kClip);
  for (auto _ : state) {
    Stage stage;
    if (!stage.ShowAll(clips.paths(), false)) {
      state.SkipWithError("open failed");
      break;
    }
    std::vector<std::unique_ptr<PaintCounter>> counters;
    for (const auto& p : clips.paths()) {
      MediaDevice* device = stage.service.Find(p);
      counters.push_back(std::make_unique<PaintCounter>(device->window(), &device->player()));
    }
    stage.Send("play all");
    RunFor(500);  // let every clip get going
    for (auto& c : counters) c->Start();
    EventGapMeter events;
    events.Start();
    double cpu0 = CpuSeconds();
    QElapsedTimer wall;
    wall.start();
    RunFor(2000);  // the clips last 3 s
    double seconds = wall.nsecsElapsed() / 1e9;
    double cpu = CpuSeconds() - cpu0;
    double slowest = 1e9, longest_gap = 0;
    for (auto& c : counters) {
      slowest = std::min(slowest, static_cast<double>(c->painted()));
      longest_gap = std::max(longest_gap, c->longest_gap_ms());
    }
    state.counters["painted_pct"] = 100.0 * slowest / (fps * seconds);
    state.counters["paint_gap_ms"] = longest_gap;
    state.counters["event_gap_ms"] = events.longest_ms();
    state.counters["cpu_pct_of_2_cores"] = 100.0 * cpu / seconds / 2.0;
  }
}
BENCHMARK(Concurrent)
    ->ArgNames({"clips", "fps"})
    ->ArgsProduct({{1, 4, 8}, {25, 30}})
    ->Args({12, 25})
    ->Args({16, 25})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

void MemoryPerMovie(benchmark::State& state) {
  const int n = 8;
  Clips clips(n);
  for (auto _ : state) {
    Stage stage;
    // One movie first, so that one-time costs (libraries, first engine) are not counted.
    std::vector<std::string> first(clips.paths().begin(), clips.paths().begin() + 1);
    std::vector<std::string> rest(clips.paths().begin() + 1, clips.paths().end());
    stage.StartAll(first);
    RunFor(500);
    double before = ResidentMegabytes();
    stage.StartAll(rest);
    RunFor(1000);
    double after = ResidentMegabytes();
    state.counters["MB_per_movie"] = (after - before) / (n - 1);
  }
}
BENCHMARK(MemoryPerMovie)->Iterations(1)->Unit(benchmark::kMillisecond);

void AllPaused(benchmark::State& state) {
  Clips clips(8);
  for (auto _ : state) {
    Stage stage;
    stage.StartAll(clips.paths());
    RunFor(300);
    stage.Send("pause all");
    RunFor(300);  // let the engines settle
    double cpu0 = CpuSeconds();
    QElapsedTimer wall;
    wall.start();
    RunFor(2000);
    double seconds = wall.elapsed() / 1000.0;
    state.counters["cpu_pct_of_2_cores"] = 100.0 * (CpuSeconds() - cpu0) / seconds / 2.0;
  }
}
BENCHMARK(AllPaused)->Iterations(1)->Unit(benchmark::kMillisecond);

// The application's line to the stage's service.
class StageLink final : public cinevo::app::MediaLink {
 public:
  StageLink(MediaService& service, bool prepare) : service_(service), prepare_(prepare) {}
  int Send(std::string_view command, std::string& reply) override { return service_.Send(command, reply); }
  int PlaySound(std::string_view) override { return cinevo::platform::kMediaCannotPlay; }
  void Prepare(const std::vector<std::string>& paths) override {
    if (prepare_) service_.Prepare(paths);
  }

 private:
  MediaService& service_;
  bool prepare_;
};

void DropOfEight(benchmark::State& state) {
  Clips clips(8);
  std::vector<double> last_ms, median_ms, sent_ms, cpu_ms;
  for (auto _ : state) {
    Stage stage;
    const double cpu0 = CpuSeconds();
    StageLink link(stage.service, state.range(0) != 0);
    cinevo::app::Player player(link);
    player.set_main_window_handle(1);
    const auto start = std::chrono::steady_clock::now();
    player.PlayNames(clips.paths());
    if (player.play_list().Count() != static_cast<int32_t>(clips.paths().size())) {
      state.SkipWithError("not every clip was played");
      break;
    }
    sent_ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    std::vector<double> first(clips.paths().size(), -1.0);
    QElapsedTimer guard;
    guard.start();
    size_t seen = 0;
    while (seen < first.size() && guard.elapsed() < 10000) {
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 2);
      for (size_t i = 0; i < first.size(); ++i) {
        MediaDevice* d = stage.service.Find(clips.paths()[i]);
        if (first[i] < 0 && d != nullptr && d->player().frame_number() > 0) {
          first[i] = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
          ++seen;
        }
      }
    }
    if (seen < first.size()) {
      state.SkipWithError("not every clip showed a frame within 10 s");
      break;
    }
    cpu_ms.push_back((CpuSeconds() - cpu0) * 1000.0);
    std::sort(first.begin(), first.end());
    last_ms.push_back(first.back());
    median_ms.push_back(first[first.size() / 2]);
  }
  if (!last_ms.empty()) {
    std::sort(last_ms.begin(), last_ms.end());
    std::sort(median_ms.begin(), median_ms.end());
    state.counters["last_first_frame_ms"] = last_ms[last_ms.size() / 2];
    state.counters["median_first_frame_ms"] = median_ms[median_ms.size() / 2];
    std::sort(sent_ms.begin(), sent_ms.end());
    state.counters["commands_ms"] = sent_ms[sent_ms.size() / 2];
    std::sort(cpu_ms.begin(), cpu_ms.end());
    state.counters["cpu_ms"] = cpu_ms[cpu_ms.size() / 2];
  }
}
BENCHMARK(DropOfEight)->ArgName("prepared")->Arg(1)->Arg(0)->Iterations(5)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (std::getenv("DISPLAY") == nullptr && std::getenv("WAYLAND_DISPLAY") == nullptr) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
  }
  QApplication app(argc, argv);
  for (const fs::path& clip : {kClip, kClip30}) {
    if (!fs::exists(clip)) {
      std::fprintf(stderr, "test clips missing: %s\n", clip.c_str());
      return 1;
    }
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
