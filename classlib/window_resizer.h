// The window resizer: keeps a window's controls in their places as the window is resized.
//
// The layout the window opened with is the reference. Along each axis a control keeps its
// distance to the edge it lies near: one in the first half stays where it is, one in the second
// half moves with the far edge, and one that reaches across the middle stretches with the window
// (an entry or a list across the form grows, OK and Cancel in a corner stay in the corner).
#pragma once

#include <utility>
#include <vector>

#include "classlib/managed_window.h"

namespace cinevo::classlib {

class WindowResizer {
 public:
  // Strategies.
  static constexpr int kNone = 0;          // controls stay where they are
  static constexpr int kKeepToEdges = 2;   // as described above

  explicit WindowResizer(ManagedWindow& window) : window_(window) {}

  // Takes the open window's layout as the reference. With `minimumIsOpening` the window cannot
  // be made smaller than it opened; with `maximumIsOpening` not larger.
  void Init(int strategy, bool minimumIsOpening, bool maximumIsOpening);
  // Places every control for the window's present size (the window manager calls it whenever
  // the window has been sized).
  void Resize();
  void Kill();

  // The place of a control whose reference place was `rect` in a window whose reference size
  // was `from`, now that it is `to`.
  static ControlRect Place(const ControlRect& rect, const ControlRect& from, const ControlRect& to);

 private:
  ManagedWindow& window_;
  int strategy_ = kNone;
  bool captured_ = false;
  ControlRect reference_;
  std::vector<std::pair<int, ControlRect>> controls_;
};

}  // namespace cinevo::classlib
