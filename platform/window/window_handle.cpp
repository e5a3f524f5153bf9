#include "platform/window/window_handle.h"

#include <array>
#include <mutex>

#include "platform/window/native_window.h"

namespace cinevo::platform {
namespace {

// Slot i holds the window of handle i (slot 0 unused). `next` is where the round-robin search
// for a free handle starts. Guarded by `mutex`, which PostPrivateMessage also holds while it
// queues, so that a window cannot be destroyed between lookup and posting.
struct HandleTable {
  std::array<NativeWindow*, kMaxWindowHandle + 1> entries{};
  int next = 1;
  int live = 0;
};

HandleTable& Table() {
  static HandleTable table;
  return table;
}

}  // namespace

namespace detail {

std::recursive_mutex& HandleMutex() {
  static std::recursive_mutex mutex;
  return mutex;
}

WindowHandle ClaimHandle(NativeWindow* window) {
  std::lock_guard lock(HandleMutex());
  HandleTable& t = Table();
  for (int i = 0; i < kMaxWindowHandle; ++i) {
    int h = (t.next - 1 + i) % kMaxWindowHandle + 1;
    if (t.entries[h] == nullptr) {
      t.entries[h] = window;
      t.next = h % kMaxWindowHandle + 1;
      ++t.live;
      return static_cast<WindowHandle>(h);
    }
  }
  return kNoWindow;
}

void ReleaseHandle(WindowHandle handle) {
  if (handle <= 0) return;
  std::lock_guard lock(HandleMutex());
  HandleTable& t = Table();
  if (t.entries[handle] != nullptr) {
    t.entries[handle] = nullptr;
    --t.live;
  }
}

}  // namespace detail

NativeWindow* NativeWindowFromHandle(WindowHandle handle) {
  if (handle <= 0) return nullptr;
  std::lock_guard lock(detail::HandleMutex());
  return Table().entries[handle];
}

QWidget* WindowFromHandle(WindowHandle handle) { return NativeWindowFromHandle(handle); }

QWidget* ClientFromHandle(WindowHandle handle) {
  NativeWindow* w = NativeWindowFromHandle(handle);
  return w ? w->client() : nullptr;
}

bool IsWindow(WindowHandle handle) { return NativeWindowFromHandle(handle) != nullptr; }

int LiveWindowCount() {
  std::lock_guard lock(detail::HandleMutex());
  return Table().live;
}

}  // namespace cinevo::platform
