// The window as a window manager sees it.
//
// A window manager (window_manager.h), its toolbar and its resizer reach the window they run
// only through this interface: the ACCEPT loop, posting, selecting and redisplaying controls,
// and the few numbered properties the class library reads or sets. The application's windows
// implement it over the runtime's windows and controls; tests implement it with a script.
//
// Control numbers are those of the window definition (1, 2, ... in definition order); the frame
// toolbar's buttons have the fixed numbers 2000 to 2012 (toolbar.h). 0 names the window itself.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace cinevo::classlib {

// The numbered properties the class library uses.
namespace prop {
inline constexpr int kDisabled = 0x7C5F;   // control: 1 when disabled
inline constexpr int kHandle = 0x7C96;     // window: its handle
inline constexpr int kAcceptAll = 0x7C9A;  // window: 1 while every control is being accepted
inline constexpr int kTip = 0x7CA0;        // control: its tip text
inline constexpr int kFocus = 0x7CA7;      // window: the control that has the focus
inline constexpr int kAlertKey = 0x7D06;   // window or control: alert keys (indexed)
}  // namespace prop

// A rectangle in window client coordinates.
struct ControlRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  friend bool operator==(const ControlRect&, const ControlRect&) = default;
};

class ManagedWindow {
 public:
  virtual ~ManagedWindow() = default;

  // --- The ACCEPT loop -----------------------------------------------------------------------
  // Waits for the next event and makes it current; false once the window is closed (or the loop
  // was left with ExitLoop). A CloseWindow or CloseDown event closes the window when the loop
  // resumes, unless CancelClose was called while it was handled.
  virtual bool Accept() = 0;
  virtual int Event() const = 0;         // language value of the current event; 0 when none
  virtual int Field() const = 0;         // its control; 0 for a window event
  virtual uint32_t KeyCode() const = 0;  // key code of the current event (11 bits)
  virtual void ExitLoop() = 0;
  virtual void CancelClose() = 0;
  virtual void Close() = 0;
  virtual bool IsOpen() const = 0;
  // Queues an event behind everything pending; false when nothing was posted.
  virtual bool Post(int event, int control = 0) = 0;

  // The calling thread's last key code, and clearing it (a window opened by a right click must
  // not see that click).
  virtual uint32_t LastKeyCode() const = 0;
  virtual void ClearLastKeyCode() = 0;

  // --- Controls --------------------------------------------------------------------------------
  // Gives `control` the focus. Select(0) accepts every control of the window in turn (each
  // checks its value) and, when all are valid, raises EVENT::Completed.
  virtual void Select(int control) = 0;
  // Shows the current values of the control's fields again (0: every control).
  virtual void Display(int control = 0) = 0;
  virtual bool Disabled(int control) const = 0;
  virtual void SetDisabled(int control, bool disabled) = 0;
  virtual std::string Tip(int control) const = 0;
  virtual void SetTip(int control, std::string_view tip) = 0;
  virtual int FocusedControl() const = 0;  // 0 when no control has the focus
  virtual bool AcceptingAll() const = 0;   // inside Select(0)
  // Registers a key that raises EVENT::AlertKey for the window.
  virtual void AddAlertKey(uint32_t keyCode) = 0;

  // --- Geometry (for the resizer) ---------------------------------------------------------------
  virtual std::vector<int> Controls() const = 0;  // the window's own controls, in order
  virtual ControlRect Rect(int control) const = 0;
  virtual void SetRect(int control, const ControlRect& rect) = 0;
  virtual ControlRect ClientRect() const = 0;  // x and y are 0
  virtual void SetMinimumSize(int width, int height) = 0;
  virtual void SetMaximumSize(int width, int height) = 0;  // 0 x 0: no limit
};

}  // namespace cinevo::classlib
