#include "classlib/window_resizer.h"

#include <algorithm>

namespace cinevo::classlib {
namespace {

// One axis: a control from `start` with `length` in an extent that grew by `delta` (which may
// be negative).
void PlaceAxis(int& start, int& length, int extent, int delta) {
  const int end = start + length;
  if (2 * end <= extent) return;  // in the near half: stays
  if (2 * start >= extent) {      // in the far half: follows the far edge
    start = std::max(0, start + delta);
    return;
  }
  length = std::max(1, length + delta);  // across the middle: stretches
}

}  // namespace

void WindowResizer::Init(int strategy, bool minimumIsOpening, bool maximumIsOpening) {
  strategy_ = strategy;
  reference_ = window_.ClientRect();
  controls_.clear();
  for (int c : window_.Controls()) controls_.emplace_back(c, window_.Rect(c));
  captured_ = true;
  if (minimumIsOpening) window_.SetMinimumSize(reference_.width, reference_.height);
  if (maximumIsOpening) window_.SetMaximumSize(reference_.width, reference_.height);
}

ControlRect WindowResizer::Place(const ControlRect& rect, const ControlRect& from,
                                 const ControlRect& to) {
  ControlRect r = rect;
  PlaceAxis(r.x, r.width, from.width, to.width - from.width);
  PlaceAxis(r.y, r.height, from.height, to.height - from.height);
  return r;
}

void WindowResizer::Resize() {
  if (!captured_ || strategy_ == kNone) return;
  const ControlRect now = window_.ClientRect();
  for (const auto& [control, rect] : controls_) {
    const ControlRect placed = Place(rect, reference_, now);
    if (placed != window_.Rect(control)) window_.SetRect(control, placed);
  }
}

void WindowResizer::Kill() {
  controls_.clear();
  captured_ = false;
}

}  // namespace cinevo::classlib
