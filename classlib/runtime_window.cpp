#include "classlib/runtime_window.h"

#include <mutex>

#include "classlib/toolbar.h"
#include "runtime/ui/event_code.h"
#include "runtime/ui/key_code.h"
#include "runtime/ui/property.h"
#include "runtime/ui/runtime_thread.h"
#include "runtime/ui/window.h"

namespace cinevo::classlib {

namespace tb = toolbar_button;

int RuntimeWindow::WindowControl(int control) const {
  if (control >= tb::kFirst && control <= tb::kLast) {
    return toolbarFirst_ != 0 ? toolbarFirst_ + (control - tb::kFirst) : 0;
  }
  return control;
}

bool RuntimeWindow::Accept() { return w_.Accept(); }
int RuntimeWindow::Event() const { return w_.Event(); }

int RuntimeWindow::Field() const {
  const int field = w_.Field();
  if (toolbarFirst_ != 0 && field >= toolbarFirst_ && field <= toolbarFirst_ + (tb::kLast - tb::kFirst)) {
    return tb::kFirst + (field - toolbarFirst_);
  }
  return field;
}

uint32_t RuntimeWindow::KeyCode() const {
  const EventRecord* r = w_.Current();
  return r != nullptr ? (r->keyCode & kKeyCodeMask) : 0;
}

void RuntimeWindow::ExitLoop() { w_.ExitLoop(); }
void RuntimeWindow::CancelClose() { w_.CancelClose(); }
void RuntimeWindow::Close() { w_.Close(); }
bool RuntimeWindow::IsOpen() const { return w_.IsOpen(); }

bool RuntimeWindow::Post(int event, int control) {
  const int target = WindowControl(control);
  if (control != 0 && target == 0) return false;  // a toolbar button the window does not show
  return w_.Post(event, target);
}

uint32_t RuntimeWindow::LastKeyCode() const {
  std::lock_guard lock(RuntimeLock());
  const ThreadState* ts = ThreadStateFor(CurrentThreadNumber());
  return ts != nullptr ? (ts->keyboard.keyCode & kKeyCodeMask) : 0;
}

void RuntimeWindow::ClearLastKeyCode() {
  std::lock_guard lock(RuntimeLock());
  if (ThreadState* ts = ThreadStateFor(CurrentThreadNumber())) ts->keyboard.keyCode = 0;
}

void RuntimeWindow::Select(int control) {
  if (control != 0) {
    if (const int target = WindowControl(control); target != 0) w_.Select(target);
    return;
  }
  // Every control's value is checked when entered; completing needs no further pass here.
  acceptingAll_ = true;
  w_.Post(EVENT::Completed);
  acceptingAll_ = false;
}

void RuntimeWindow::Display(int control) {
  if (control == 0) {
    w_.Display(0);
  } else if (const int target = WindowControl(control); target != 0) {
    w_.Display(target);
  }
}

bool RuntimeWindow::Shows(int target) const { return target != 0 && w_.IsOpen() && w_.IsControl(target); }

bool RuntimeWindow::Disabled(int control) const {
  if (const int target = WindowControl(control); Shows(target)) {
    return w_.PropertyLong(PROP::Disable, target) != 0;
  }
  auto it = kept_.find(control);
  return it != kept_.end() && it->second.disabled;
}

void RuntimeWindow::SetDisabled(int control, bool disabled) {
  kept_[control].disabled = disabled;
  if (const int target = WindowControl(control); Shows(target)) {
    w_.SetProperty(PROP::Disable, disabled ? 1 : 0, target);
  }
}

std::string RuntimeWindow::Tip(int control) const {
  if (const int target = WindowControl(control); Shows(target)) return w_.Property(PROP::Tip, target);
  auto it = kept_.find(control);
  return it == kept_.end() ? std::string() : it->second.tip;
}

void RuntimeWindow::SetTip(int control, std::string_view tip) {
  kept_[control].tip = tip;
  if (const int target = WindowControl(control); Shows(target)) w_.SetProperty(PROP::Tip, tip, target);
}

int RuntimeWindow::FocusedControl() const { return w_.FocusedControl(); }

void RuntimeWindow::AddAlertKey(uint32_t keyCode) {
  alertKeys_.push_back(keyCode);
  // The window's alert slots are numbered from 1, in the order the keys were added.
  if (w_.IsOpen()) {
    w_.SetProperty(PROP::Alert, static_cast<int32_t>(keyCode), 0, static_cast<int>(alertKeys_.size()));
  }
}

// Only the controls the program places itself are the resizer's: the others sit in the window's
// layout, which keeps them in place already.
std::vector<int> RuntimeWindow::Controls() const { return w_.PlacedControls(); }

ControlRect RuntimeWindow::Rect(int control) const {
  const std::optional<PixelRect> r = w_.ControlRect(WindowControl(control));
  return r ? ControlRect{r->x, r->y, r->width, r->height} : ControlRect{};
}

void RuntimeWindow::SetRect(int control, const ControlRect& rect) {
  w_.SetControlRect(WindowControl(control), PixelRect{rect.x, rect.y, rect.width, rect.height});
}

ControlRect RuntimeWindow::ClientRect() const {
  const PixelRect r = w_.ClientRect();
  return ControlRect{0, 0, r.width, r.height};
}

void RuntimeWindow::SetMinimumSize(int width, int height) {
  minimum_ = {0, 0, width, height};
  if (w_.IsOpen()) w_.SetClientSizeLimits(minimum_.width, minimum_.height, maximum_.width, maximum_.height);
}

void RuntimeWindow::SetMaximumSize(int width, int height) {
  maximum_ = {0, 0, width, height};
  if (w_.IsOpen()) w_.SetClientSizeLimits(minimum_.width, minimum_.height, maximum_.width, maximum_.height);
}

}  // namespace cinevo::classlib
