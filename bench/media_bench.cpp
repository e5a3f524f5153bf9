// Media playback costs on this machine, with the same software rendering path as the player:
//   OpenToFirstFrame   time from "open" to the first frame in the movie window (median of 20)
//   Concurrent/N       N clips playing at once: achieved frame rate of the slowest clip and the
//                      process CPU as a percentage of both cores
//   MemoryPerMovie     resident memory added by each further playing movie (8 movies)
//   AllPaused          CPU of 8 opened movies that are all paused
// Without a display the offscreen platform is used; rendering still happens (into images).
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
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

#include "platform/media/media_service.h"
#include "platform/media_command/media_result.h"

namespace {

namespace fs = std::filesystem;
using cinevo::platform::MediaService;

const fs::path kClip = fs::path(CINEVO_TEST_MEDIA_DIR) / "clip.avi";

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
  explicit Clips(int n) : dir_(fs::temp_directory_path() / ("media_bench_" + std::to_string(getpid()))) {
    fs::create_directories(dir_);
    for (int i = 0; i < n; ++i) {
      fs::path p = dir_ / ("clip" + std::to_string(i) + ".avi");
      if (!fs::exists(p)) fs::copy_file(kClip, p);
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
  // Opens, shows (tiled) and starts every clip.
  bool StartAll(const std::vector<std::string>& paths) {
    int i = 0;
    for (const auto& p : paths) {
      int x = (i % 4) * 330, y = (i / 4) * 270;
      if (Send("open " + p + " parent 1 ") != 0) return false;
      Send("put " + p + " window at " + std::to_string(x) + " " + std::to_string(y) + " 0 0");
      Send("put " + p + " window");
      Send("play " + p);
      ++i;
    }
    return true;
  }
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
    while (player.frames_rendered() == 0 && guard.elapsed() < 5000) {
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    }
    auto elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start);
    state.SetIterationTime(elapsed.count());
    stage.Send("close " + path);
  }
}
BENCHMARK(OpenToFirstFrame)->UseManualTime()->Iterations(1)->Repetitions(20)
    ->ReportAggregatesOnly(true)->Unit(benchmark::kMillisecond);

void Concurrent(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  Clips clips(n);
  for (auto _ : state) {
    Stage stage;
    if (!stage.StartAll(clips.paths())) {
      state.SkipWithError("open failed");
      break;
    }
    RunFor(400);  // let every clip get going
    std::vector<int64_t> frames0;
    for (const auto& p : clips.paths()) frames0.push_back(stage.service.Find(p)->player().frames_rendered());
    double cpu0 = CpuSeconds();
    QElapsedTimer wall;
    wall.start();
    RunFor(2000);  // the clips last 3 s
    double seconds = wall.elapsed() / 1000.0;
    double cpu = CpuSeconds() - cpu0;
    double slowest = 1e9;
    for (size_t i = 0; i < clips.paths().size(); ++i) {
      auto frames = stage.service.Find(clips.paths()[i])->player().frames_rendered() - frames0[i];
      slowest = std::min(slowest, frames / seconds);
    }
    state.counters["min_fps"] = slowest;
    state.counters["cpu_pct_of_2_cores"] = 100.0 * cpu / seconds / 2.0;
  }
}
BENCHMARK(Concurrent)->Arg(1)->Arg(4)->Arg(8)->Arg(12)->Arg(16)->Iterations(1)->Unit(benchmark::kMillisecond);

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

}  // namespace

int main(int argc, char** argv) {
  if (std::getenv("DISPLAY") == nullptr && std::getenv("WAYLAND_DISPLAY") == nullptr) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
  }
  QApplication app(argc, argv);
  if (!fs::exists(kClip)) {
    std::fprintf(stderr, "test clips missing: %s\n", kClip.c_str());
    return 1;
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
