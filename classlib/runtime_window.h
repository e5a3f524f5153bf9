// The window manager's view of a runtime window (runtime/ui/window.h).
//
// RuntimeWindow passes the ACCEPT loop, posting and the numbered properties through to the
// runtime window. The frame toolbar's buttons 2000 to 2012 are the buttons of a toolbar in the
// window's own definition once MapToolbarButtons names the first of them; a press of one of
// them is seen by the window manager as a press of 2000 + n. Until a window maps them (or when
// it has no toolbar), their states and tips are kept here, so that the toolbar logic behaves
// the same either way. Controls the window shows take their disabled state and tip from the
// window itself; alert keys become the window's alert slots 1, 2, ... in the order added.
// For the resizer, the controls are those the window places at positions of their own; the
// others sit in the window's layout, which keeps them in place as the window is sized.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "classlib/managed_window.h"

namespace cinevo {
class Window;
}

namespace cinevo::classlib {

class RuntimeWindow : public ManagedWindow {
 public:
  explicit RuntimeWindow(Window& window) : w_(window) {}

  Window& runtime() const { return w_; }
  // The window's controls first, first + 1, ... first + 12 are the toolbar's 2000 ... 2012.
  void MapToolbarButtons(int first) { toolbarFirst_ = first; }
  const std::vector<uint32_t>& AlertKeys() const { return alertKeys_; }

  bool Accept() override;
  int Event() const override;
  int Field() const override;
  uint32_t KeyCode() const override;
  void ExitLoop() override;
  void CancelClose() override;
  void Close() override;
  bool IsOpen() const override;
  bool Post(int event, int control = 0) override;
  uint32_t LastKeyCode() const override;
  void ClearLastKeyCode() override;
  void Select(int control) override;
  void Display(int control = 0) override;
  bool Disabled(int control) const override;
  void SetDisabled(int control, bool disabled) override;
  std::string Tip(int control) const override;
  void SetTip(int control, std::string_view tip) override;
  int FocusedControl() const override;
  bool AcceptingAll() const override { return acceptingAll_; }
  void AddAlertKey(uint32_t keyCode) override;
  std::vector<int> Controls() const override;
  ControlRect Rect(int control) const override;
  void SetRect(int control, const ControlRect& rect) override;
  ControlRect ClientRect() const override;
  void SetMinimumSize(int width, int height) override;
  void SetMaximumSize(int width, int height) override;

 private:
  struct KeptButton {
    bool disabled = false;
    std::string tip;
  };
  // The window's control for `control` (toolbar numbers mapped); 0 when it has none.
  int WindowControl(int control) const;
  // True when the open window has control `target`; its states and tips then live there.
  bool Shows(int target) const;

  Window& w_;
  int toolbarFirst_ = 0;
  std::map<int, KeptButton> kept_;
  std::vector<uint32_t> alertKeys_;
  bool acceptingAll_ = false;
  ControlRect minimum_;  // client size limits; 0 x 0 for none
  ControlRect maximum_;
};

}  // namespace cinevo::classlib
