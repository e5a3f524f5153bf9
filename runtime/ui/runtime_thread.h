// Runtime threads and their state.
//
// The runtime numbers its threads 1..64. Each has its own top window (the window whose ACCEPT
// loop runs), keyboard state and PRESS buffer. Windows live on the GUI thread; a runtime
// thread whose windows run there is told apart by ScopedThreadNumber. The table and the active
// thread number are process-wide and guarded by the runtime lock; posting from any OS thread
// reads the keyboard state under that lock.
#pragma once

#include <cstdint>
#include <mutex>

#include "runtime/ui/press_buffer.h"

namespace cinevo {

class Window;

inline constexpr uint32_t kMaxRuntimeThreads = 64;

// Last input seen by the thread: copied into every record it raises.
struct KeyboardState {
  uint32_t keyCode = 0;           // runtime key code (see key_code.h)
  uint8_t keyState[2] = {0, 0};   // [0] modifier bits, [1] 1 while a key is down
  int32_t mouseX = 0;
  int32_t mouseY = 0;
};

struct ThreadState {
  Window* top = nullptr;
  KeyboardState keyboard;
  PressBuffer press;
};

std::recursive_mutex& RuntimeLock();

// The runtime number of the calling OS thread, assigned on first use; 0 once all 64 are taken.
uint32_t CurrentThreadNumber();

// The state of thread `number` (1..64), or nullptr. Use under RuntimeLock().
ThreadState* ThreadStateFor(uint32_t number);

// Makes the calling OS thread act as runtime thread `number` while the scope lives.
class ScopedThreadNumber {
 public:
  explicit ScopedThreadNumber(uint32_t number);
  ~ScopedThreadNumber();
  ScopedThreadNumber(const ScopedThreadNumber&) = delete;
  ScopedThreadNumber& operator=(const ScopedThreadNumber&) = delete;

 private:
  uint32_t saved_;
};

// Shutdown: once begun, nothing more is posted.
bool ShuttingDown();
void SetShuttingDown(bool on);

}  // namespace cinevo
