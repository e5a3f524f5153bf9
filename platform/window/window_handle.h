// Small window handles.
//
// Every window of the runtime is known by a handle that fits a signed 16-bit number (1..32767;
// 0 means "no window"). Handles are what other services receive as a window reference (the
// media interface takes one as the parent of a movie window). The table maps a handle back to
// its window; a closed window's handle stops resolving at once. New handles are handed out
// round-robin so that a just-freed number is not reused while stale references may still exist.
//
// The table may be read from any thread; the windows themselves live on the GUI thread, so a
// pointer obtained here may only be used on the GUI thread.
#pragma once

#include <cstdint>

class QWidget;

namespace cinevo::platform {

using WindowHandle = int16_t;
inline constexpr WindowHandle kNoWindow = 0;
inline constexpr WindowHandle kMaxWindowHandle = 0x7FFF;

class NativeWindow;

// The window of `handle`, or nullptr when the handle is not (or no longer) a window.
NativeWindow* NativeWindowFromHandle(WindowHandle handle);

// The top-level widget of the window, or nullptr.
QWidget* WindowFromHandle(WindowHandle handle);

// The client area of the window (the widget that holds controls and child windows), or nullptr.
QWidget* ClientFromHandle(WindowHandle handle);

// True while `handle` names an existing window.
bool IsWindow(WindowHandle handle);

// Number of live handles (for diagnostics and tests).
int LiveWindowCount();

namespace detail {
// Used by NativeWindow only: claim a handle (kNoWindow when all 32,767 are in use) and free it.
WindowHandle ClaimHandle(NativeWindow* window);
void ReleaseHandle(WindowHandle handle);
}  // namespace detail

}  // namespace cinevo::platform
