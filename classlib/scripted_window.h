// A window for tests of window managers: the user's actions come from a script, and everything
// the manager does to the window is recorded.
//
// Accept delivers, in this order: what was posted (OpenWindow first after Open), then the next
// scripted user action. A user action may first run a step (for example typing into the record
// buffer) before its event is raised. When the script is used up the user closes the window
// (EVENT::CloseWindow); if the manager keeps it open, the loop ends there, as if the test
// window were destroyed.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "classlib/managed_window.h"
#include "runtime/ui/event_code.h"

namespace cinevo::classlib {

class ScriptedWindow : public ManagedWindow {
 public:
  struct Action {
    int event = 0;
    int control = 0;
    uint32_t keyCode = 0;
    std::function<void()> step;  // runs before the event is raised
  };
  struct Control {
    bool disabled = false;
    std::string tip;
    ControlRect rect;
    int displays = 0;
  };

  // --- Test side -------------------------------------------------------------------------------
  void Open() {
    open_ = true;
    closing_ = false;
    posted_.push_front({EVENT::OpenWindow, 0, lastKeyCode, nullptr});
  }
  void User(int event, int control = 0, std::function<void()> step = nullptr,
            uint32_t keyCode = 0) {
    script_.push_back({event, control, keyCode, std::move(step)});
  }
  void AddControl(int number, ControlRect rect = {}) {
    controls_[number].rect = rect;
    order_.push_back(number);
  }
  Control& Ctl(int number) { return controls_[number]; }
  bool Enabled(int number) const {
    auto it = controls_.find(number);
    return it == controls_.end() || !it->second.disabled;
  }

  std::vector<std::pair<int, int>> posts;  // (event, control) as posted by the manager
  std::vector<int> selects;                // controls selected (0: accept all)
  std::vector<int> seen;                   // events delivered, in order
  std::vector<uint32_t> alertKeys;
  int displays = 0;                        // Display() of the whole window
  int rejectOnAcceptAll = 0;               // a control that fails the check of Select(0)
  uint32_t lastKeyCode = 0;
  int focus = 0;
  bool acceptingAll = false;
  ControlRect client{0, 0, 400, 300};
  ControlRect minimum;
  ControlRect maximum;

  // --- ManagedWindow ----------------------------------------------------------------------------
  bool Accept() override {
    if (exited_) return false;
    if (current_.event == EVENT::CloseWindow || current_.event == EVENT::CloseDown) {
      if (!closeCancelled_) open_ = false;
    }
    closeCancelled_ = false;
    current_ = {};
    if (!open_) return false;
    if (!posted_.empty()) {
      current_ = posted_.front();
      posted_.pop_front();
    } else if (!script_.empty()) {
      current_ = script_.front();
      script_.pop_front();
      if (current_.step) current_.step();
    } else if (!closing_) {
      closing_ = true;
      current_ = {EVENT::CloseWindow, 0, 0, nullptr};
    } else {
      open_ = false;
      return false;
    }
    if (current_.event == EVENT::Selected && current_.control != 0) focus = current_.control;
    seen.push_back(current_.event);
    return true;
  }
  int Event() const override { return current_.event; }
  int Field() const override { return current_.control; }
  uint32_t KeyCode() const override { return current_.keyCode; }
  void ExitLoop() override { exited_ = true; }
  void CancelClose() override { closeCancelled_ = true; }
  void Close() override { open_ = false; }
  bool IsOpen() const override { return open_; }
  bool Post(int event, int control = 0) override {
    posts.emplace_back(event, control);
    if (!open_) return false;
    posted_.push_back({event, control, lastKeyCode, nullptr});
    return true;
  }
  uint32_t LastKeyCode() const override { return lastKeyCode; }
  void ClearLastKeyCode() override { lastKeyCode = 0; }
  void Select(int control) override {
    selects.push_back(control);
    if (control != 0) {
      focus = control;
      return;
    }
    if (rejectOnAcceptAll != 0) {
      posted_.push_back({EVENT::Rejected, rejectOnAcceptAll, 0, nullptr});
    } else {
      posted_.push_back({EVENT::Completed, 0, 0, nullptr});
    }
  }
  void Display(int control = 0) override {
    if (control == 0) {
      ++displays;
    } else {
      ++controls_[control].displays;
    }
  }
  bool Disabled(int control) const override { return !Enabled(control); }
  void SetDisabled(int control, bool disabled) override { controls_[control].disabled = disabled; }
  std::string Tip(int control) const override {
    auto it = controls_.find(control);
    return it == controls_.end() ? std::string() : it->second.tip;
  }
  void SetTip(int control, std::string_view tip) override { controls_[control].tip = tip; }
  int FocusedControl() const override { return focus; }
  bool AcceptingAll() const override { return acceptingAll; }
  void AddAlertKey(uint32_t keyCode) override { alertKeys.push_back(keyCode); }
  std::vector<int> Controls() const override { return order_; }
  ControlRect Rect(int control) const override {
    auto it = controls_.find(control);
    return it == controls_.end() ? ControlRect{} : it->second.rect;
  }
  void SetRect(int control, const ControlRect& rect) override { controls_[control].rect = rect; }
  ControlRect ClientRect() const override { return client; }
  void SetMinimumSize(int width, int height) override { minimum = {0, 0, width, height}; }
  void SetMaximumSize(int width, int height) override { maximum = {0, 0, width, height}; }

 private:
  std::deque<Action> posted_;
  std::deque<Action> script_;
  Action current_;
  std::map<int, Control> controls_;
  std::vector<int> order_;
  bool open_ = false;
  bool closing_ = false;
  bool closeCancelled_ = false;
  bool exited_ = false;
};

}  // namespace cinevo::classlib
