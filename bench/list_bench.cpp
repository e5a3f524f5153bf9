// Opening a list over a queue of 10,000 and of 1,000,000 entries, scrolling it a page, and the
// memory the open list costs beyond the queue itself.
//
// Run: ./build/bench/bench_list   (uses Qt's offscreen platform when no display is set)
// Goal: both sizes open in under 50 ms, and the list's memory does not grow with the queue.
#include <QApplication>
#include <QKeyEvent>

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "runtime/core/queue.h"
#include "runtime/ui/events.h"
#include "runtime/ui/queue_list_view.h"
#include "runtime/ui/window.h"
#include "runtime/ui/window_definition.h"
#include "runtime/ui/window_widgets.h"

namespace {

using namespace cinevo;
using namespace cinevo::controls;

// Resident memory now, in KB.
long ResidentKb() {
  long pages = 0, resident = 0;
  FILE* f = std::fopen("/proc/self/statm", "r");
  if (f == nullptr) return 0;
  if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
  std::fclose(f);
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// The play list's layout: a path and a mode, and an icon number.
struct Movies {
  uint8_t record[262] = {};
  Queue queue{record, sizeof record};
  std::vector<QueueField> fields =
      QueueRecordLayout({{TypeCode::kString, 255}, {TypeCode::kShort, 0}, {TypeCode::kLong, 0}});

  explicit Movies(int n) {
    for (int i = 1; i <= n; ++i) {
      std::memset(record, ' ', 255);
      std::string path = "/home/films/archive/movie_" + std::to_string(i) + ".avi , playing";
      std::memcpy(record, path.data(), path.size());
      int16_t icon = static_cast<int16_t>(i % 4 + 1);
      std::memcpy(record + 255, &icon, 2);
      QueueAdd(&queue);
    }
  }
  ~Movies() { QueueFree(&queue); }
};

WindowDefinition PlayListWindow() {
  WindowDefinition d;
  d.caption = "Play list";
  d.width = 400;
  d.height = 240;
  d.controls = {List("1020L|I@s255@", "Right click for options")};
  return d;
}

// Open: the window is opened, the list bound to the queue and drawn once.
void BM_OpenList(benchmark::State& state) {
  Movies movies(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    Window w;
    w.Open(PlayListWindow());
    w.BindQueue(1, &movies.queue, movies.fields);
    w.SetProperty(0x7D07, "~1f1.ico", 1, 1);
    ListOf(w, 1)->viewport()->repaint();
    benchmark::DoNotOptimize(w.PropertyLong(0x7C8E, 1));
    w.Close();
  }
}
BENCHMARK(BM_OpenList)->Arg(10'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);

// One page down, drawn.
void BM_ScrollPage(benchmark::State& state) {
  Movies movies(static_cast<int>(state.range(0)));
  Window w;
  w.Open(PlayListWindow());
  w.BindQueue(1, &movies.queue, movies.fields);
  QueueListView* list = ListOf(w, 1);
  list->SetSelected(1);
  for (auto _ : state) {
    QKeyEvent down(QEvent::KeyPress, Qt::Key_PageDown, Qt::NoModifier);
    QApplication::sendEvent(list, &down);
    list->viewport()->repaint();
    if (list->Selected() >= QueuePeekRecords(&movies.queue) - 50) list->SetSelected(1);
  }
  state.counters["rows_shown"] = list->RowsInSight();
  w.Close();
}
BENCHMARK(BM_ScrollPage)->Arg(10'000)->Arg(1'000'000)->Unit(benchmark::kMicrosecond);

// Typing on a list what no row's locator column begins with: the whole search until it gives up,
// and the longest the window went without handling its events (one turn of the search). The
// second argument 0 types "q" (every row is refused by its first byte), 1 types "/q" (every row
// begins with "/": each is read in full).
void BM_LocateNothing(benchmark::State& state) {
  Movies movies(static_cast<int>(state.range(0)));
  WindowDefinition d = PlayListWindow();
  d.controls = {List("1020L?|I@s255@")};
  Window w;
  w.Open(d);
  w.BindQueue(1, &movies.queue, movies.fields);
  QueueListView* list = ListOf(w, 1);
  list->SetSelected(1);
  using Clock = std::chrono::steady_clock;
  double longestTurnMs = 0;
  for (auto _ : state) {
    state.PauseTiming();
    usleep(2000);
    QApplication::setKeyboardInputInterval(0);  // the first key starts a new text
    state.ResumeTiming();
    if (state.range(1) == 1) {
      QKeyEvent slash(QEvent::KeyPress, Qt::Key_Slash, Qt::NoModifier, "/");
      QApplication::sendEvent(list, &slash);
      list->SetSelected(1);
      QApplication::setKeyboardInputInterval(400);  // and the next adds to it
    }
    auto turn = Clock::now();
    QKeyEvent q(QEvent::KeyPress, Qt::Key_Q, Qt::NoModifier, "q");
    QApplication::sendEvent(list, &q);
    for (;;) {
      longestTurnMs = std::max(longestTurnMs,
                               std::chrono::duration<double, std::milli>(Clock::now() - turn).count());
      if (!list->LocatePending()) break;
      turn = Clock::now();
      QCoreApplication::processEvents();
    }
  }
  if (list->Selected() != 1) state.SkipWithError("a row was found");
  state.counters["longest_turn_ms"] = longestTurnMs;
  QApplication::setKeyboardInputInterval(400);
  w.Close();
}
BENCHMARK(BM_LocateNothing)
    ->Args({10'000, 0})
    ->Args({1'000'000, 0})
    ->Args({1'000'000, 1})
    ->Unit(benchmark::kMillisecond);

// Memory of an open, drawn list beyond its queue: resident KB after opening minus before.
void BM_ListMemory(benchmark::State& state) {
  Movies movies(static_cast<int>(state.range(0)));
  long extra = 0;
  for (auto _ : state) {
    std::unique_ptr<Window> warm = std::make_unique<Window>();  // Qt's own first-use costs
    warm->Open(PlayListWindow());
    warm->BindQueue(1, &movies.queue, movies.fields);
    ListOf(*warm, 1)->viewport()->repaint();
    warm->Close();
    QCoreApplication::processEvents();
    const long before = ResidentKb();
    Window w;
    w.Open(PlayListWindow());
    w.BindQueue(1, &movies.queue, movies.fields);
    QueueListView* list = ListOf(w, 1);
    for (int page = 0; page < 20; ++page) {
      QKeyEvent down(QEvent::KeyPress, Qt::Key_PageDown, Qt::NoModifier);
      QApplication::sendEvent(list, &down);
      list->viewport()->repaint();
    }
    extra = ResidentKb() - before;
    w.Close();
  }
  state.counters["list_kb"] = static_cast<double>(extra);
  state.counters["queue_entries"] = static_cast<double>(state.range(0));
}
BENCHMARK(BM_ListMemory)->Arg(10'000)->Arg(1'000'000)->Iterations(1)->Unit(benchmark::kMillisecond);

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
