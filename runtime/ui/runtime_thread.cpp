#include "runtime/ui/runtime_thread.h"

#include <array>
#include <atomic>

namespace cinevo {
namespace {

std::array<ThreadState, kMaxRuntimeThreads + 1> g_threads;  // [0] unused
std::atomic<uint32_t> g_nextThread{1};
std::atomic<bool> g_shuttingDown{false};
thread_local uint32_t t_number = 0;

}  // namespace

std::recursive_mutex& RuntimeLock() {
  static std::recursive_mutex lock;
  return lock;
}

uint32_t CurrentThreadNumber() {
  if (t_number == 0) {
    uint32_t n = g_nextThread.fetch_add(1);
    t_number = n <= kMaxRuntimeThreads ? n : kMaxRuntimeThreads + 1;
  }
  return t_number <= kMaxRuntimeThreads ? t_number : 0;
}

ThreadState* ThreadStateFor(uint32_t number) {
  if (number == 0 || number > kMaxRuntimeThreads) return nullptr;
  return &g_threads[number];
}

ScopedThreadNumber::ScopedThreadNumber(uint32_t number) : saved_(CurrentThreadNumber()) {
  t_number = number;
}

ScopedThreadNumber::~ScopedThreadNumber() { t_number = saved_; }

bool ShuttingDown() { return g_shuttingDown.load(); }
void SetShuttingDown(bool on) { g_shuttingDown.store(on); }

}  // namespace cinevo
