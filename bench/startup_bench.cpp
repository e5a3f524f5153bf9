// Start-up: from starting a program to its main window shown on the screen.
//   StartToWindow/cinevo   build/app/cinevo with a fresh data folder, until the window captioned
//                          "Cinevo +" is mapped and viewable
//   StartToWindow/mpv      mpv --idle --force-window (when installed), until its window is
//                          mapped and viewable: another player doing the same, in the same run
// Each iteration starts the program, waits for the window (polled every 0.2 ms through the X
// server), then ends the program and waits for it. Run on a display:
//   xvfb-run -a -s '-screen 0 1280x800x24' build/bench/bench_startup
#include <benchmark/benchmark.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// Windows come and go while the tree is walked: a window destroyed between listing and asking
// is an X error that would end the program, so such errors are ignored (the walk then just
// skips that window).
int IgnoreXError(Display*, XErrorEvent*) { return 0; }

// True when `w` or one of its descendants is a viewable window that `match` accepts.
bool FindViewable(Display* d, Window w, const std::function<bool(Display*, Window)>& match) {
  XWindowAttributes a;
  if (XGetWindowAttributes(d, w, &a) != 0 && a.map_state == IsViewable && match(d, w)) return true;
  Window root = 0, parent = 0;
  Window* children = nullptr;
  unsigned int n = 0;
  if (XQueryTree(d, w, &root, &parent, &children, &n) == 0) return false;
  bool found = false;
  for (unsigned int i = 0; i < n && !found; ++i) found = FindViewable(d, children[i], match);
  if (children != nullptr) XFree(children);
  return found;
}

bool NameIs(Display* d, Window w, const char* name) {
  char* text = nullptr;
  bool same = XFetchName(d, w, &text) != 0 && text != nullptr && std::strcmp(text, name) == 0;
  if (text != nullptr) XFree(text);
  return same;
}

bool ClassIs(Display* d, Window w, const char* name) {
  XClassHint hint{};
  if (XGetClassHint(d, w, &hint) == 0) return false;
  bool same = hint.res_class != nullptr && strcasecmp(hint.res_class, name) == 0;
  if (hint.res_name != nullptr) XFree(hint.res_name);
  if (hint.res_class != nullptr) XFree(hint.res_class);
  return same;
}

// Starts `argv`, waits for a window `match` accepts, ends the program; the seconds to the window
// (negative when it did not appear within 10 s).
double TimeToWindow(Display* d, const std::vector<std::string>& argv,
                    const std::function<bool(Display*, Window)>& match) {
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  const Clock::time_point start = Clock::now();
  pid_t pid = 0;
  if (posix_spawn(&pid, args[0], nullptr, nullptr, args.data(), environ) != 0) return -1;
  double seconds = -1;
  while (Clock::now() - start < std::chrono::seconds(10)) {
    if (FindViewable(d, DefaultRootWindow(d), match)) {
      seconds = std::chrono::duration<double>(Clock::now() - start).count();
      break;
    }
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  kill(pid, SIGTERM);
  int status = 0;
  waitpid(pid, &status, 0);
  // Let the window go before the next start.
  while (FindViewable(d, DefaultRootWindow(d), match)) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return seconds;
}

void Run(benchmark::State& state, const std::vector<std::string>& argv,
         const std::function<bool(Display*, Window)>& match) {
  XSetErrorHandler(IgnoreXError);
  Display* d = XOpenDisplay(nullptr);
  if (d == nullptr) {
    state.SkipWithError("no display: run under xvfb-run");
    return;
  }
  for (auto _ : state) {
    double seconds = TimeToWindow(d, argv, match);
    if (seconds < 0) {
      state.SkipWithError("the window did not appear");
      break;
    }
    state.SetIterationTime(seconds);
  }
  XCloseDisplay(d);
}

void CinevoStart(benchmark::State& state) {
  fs::path data = fs::temp_directory_path() / ("bench_startup_" + std::to_string(getpid()));
  fs::create_directories(data);
  const std::string program = std::string(CINEVO_BUILD_DIR) + "/app/cinevo";
  Run(state, {program, "--data-dir", data.string()},
      [](Display* d, Window w) { return NameIs(d, w, "Cinevo +"); });
  fs::remove_all(data);
}

void MpvStart(benchmark::State& state) {
  if (!fs::exists("/usr/bin/mpv")) {
    state.SkipWithError("mpv is not installed");
    return;
  }
  Run(state, {"/usr/bin/mpv", "--idle", "--force-window", "--no-config"},
      [](Display* d, Window w) { return ClassIs(d, w, "mpv"); });
}

}  // namespace

BENCHMARK(CinevoStart)->Name("StartToWindow/cinevo")->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(MpvStart)->Name("StartToWindow/mpv")->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

BENCHMARK_MAIN();
