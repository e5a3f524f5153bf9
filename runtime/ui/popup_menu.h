// Popup menus from a text.
//
// The text lists the items separated by "|": "&Play group|-|&Insert|&Change|&Delete". A "-" is a
// separator, "&" marks an accelerator, a leading "~" shows the item disabled and a leading "+"
// shows it checked. Items are numbered 1, 2, ... in order; separators take no number. The menu
// is shown at the mouse and the chosen item's number is returned (0 when none was chosen).
//
// This header is free of Qt. Tests answer popups with a ScriptedPopups object.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace cinevo {

struct PopupItem {
  std::string text;  // with its "&" markers
  int number = 0;    // 0 for a separator
  bool enabled = true;
  bool checked = false;
};

std::vector<PopupItem> PopupItems(std::string_view text);

// At the mouse, or at screen position (x, y).
int PopupMenu(std::string_view text);
int PopupMenu(std::string_view text, int x, int y);

// Replaces how popups are answered; an empty function restores the real menu. Returns the one
// it replaced.
using PopupResponder = std::function<int(std::string_view text)>;
PopupResponder SetPopupResponder(PopupResponder responder);

// While it lives, every popup is recorded and answered from the script (in order; 0, no choice,
// when the script is empty).
class ScriptedPopups {
 public:
  explicit ScriptedPopups(std::vector<int> answers = {});
  ~ScriptedPopups();
  ScriptedPopups(const ScriptedPopups&) = delete;
  ScriptedPopups& operator=(const ScriptedPopups&) = delete;

  void Answer(int item) { answers_.push_back(item); }
  const std::vector<std::string>& Shown() const { return shown_; }

 private:
  std::deque<int> answers_;
  std::vector<std::string> shown_;
  PopupResponder previous_;
};

}  // namespace cinevo
