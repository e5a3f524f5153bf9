// Event throughput of the ACCEPT loop and the CPU cost of an idle window.
//
// Run: ./build/bench/bench_events   (uses Qt's offscreen platform when no display is set)
#include <QApplication>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <chrono>
#include <cstdlib>

#include "runtime/ui/events.h"
#include "runtime/ui/pending_events.h"
#include "runtime/ui/window.h"
#include "platform/window/native_window.h"
#include "runtime/ui/window_widgets.h"

namespace {

double ProcessCpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// 1,000,000 events posted through the window's message queue and delivered by the loop, in
// batches (a batch must stay below the pending list's limit of 16,000).
void BM_PostAndDeliverMillion(benchmark::State& state) {
  const int batch = static_cast<int>(state.range(0));
  constexpr int kTotal = 1'000'000;
  for (auto _ : state) {
    cinevo::Window w;
    cinevo::WindowOptions options;
    options.visible = false;
    w.Open(options);
    int delivered = 0;
    int posted = 0;
    int inBatch = 0;
    while (w.Accept()) {
      int e = cinevo::CurrentEvent();
      if (e == cinevo::EVENT::Notify) {
        ++delivered;
        --inBatch;
      }
      if (delivered == kTotal) {
        w.Close();
      } else if (inBatch == 0) {
        for (int i = 0; i < batch && posted < kTotal; ++i, ++posted, ++inBatch) {
          cinevo::PostEvent(&w, cinevo::EVENT::Notify);
        }
      }
    }
    benchmark::DoNotOptimize(delivered);
  }
  state.SetItemsProcessed(state.iterations() * kTotal);
}
BENCHMARK(BM_PostAndDeliverMillion)->Arg(1)->Arg(1000)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

void BM_PendingListAppendPop(benchmark::State& state) {
  cinevo::PendingEventList list;
  cinevo::EventRecord r;
  for (auto _ : state) {
    for (int i = 0; i < 1000; ++i) list.Append(r);
    while (auto x = list.PopFront()) benchmark::DoNotOptimize(x);
  }
  state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(BM_PendingListAppendPop);

// Process CPU use while one open window waits ten seconds for an event that never comes.
void BM_IdleWindowCpu(benchmark::State& state) {
  for (auto _ : state) {
    cinevo::Window w;
    cinevo::WindowOptions options;
    options.caption = "idle";
    w.Open(options);
    double cpuBefore = 0;
    auto wallBefore = std::chrono::steady_clock::now();
    while (w.Accept()) {
      if (cinevo::CurrentEvent() == cinevo::EVENT::OpenWindow) {
        QTimer::singleShot(10'000, cinevo::NativeOf(w), [&w] { w.Close(); });
        cpuBefore = ProcessCpuSeconds();
        wallBefore = std::chrono::steady_clock::now();
      }
    }
    double cpu = ProcessCpuSeconds() - cpuBefore;
    double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - wallBefore).count();
    state.counters["cpu_percent"] = 100.0 * cpu / wall;
    state.counters["idle_seconds"] = wall;
  }
}
BENCHMARK(BM_IdleWindowCpu)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv) {
  if (std::getenv("DISPLAY") == nullptr && std::getenv("WAYLAND_DISPLAY") == nullptr) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
  }
  QApplication app(argc, argv);
  if (!cinevo::StartEventRuntime()) return 1;
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  cinevo::ShutdownEvents();
  return 0;
}
