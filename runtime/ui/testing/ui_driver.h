// The UI test driver: acts on a window's controls as a user would and runs the window's ACCEPT
// loop to see the events that come of it. Offscreen, through Qt Test.
//
//   Window w;
//   w.Open(definition);
//   UiDriver ui(w);
//   ui.Run();                         // EVENT::OpenWindow and whatever opening raised
//   ui.Click(18);
//   std::vector<SeenEvent> e = ui.Run();   // {Accepted, 18}
//
// While the driver lives, message boxes, file dialogs and popup menus shown anywhere are not
// shown but answered from its scripts (AnswerMessageBox, AnswerFileDialog, AnswerPopup; with an
// empty script a box gets its default answer, a dialog and a popup are cancelled), and what each
// showed is recorded.
//
// This header is free of Qt.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/ui/file_dialog.h"
#include "runtime/ui/message_box.h"

namespace cinevo {

class Window;

struct SeenEvent {
  int event = 0;
  int control = 0;
  uint32_t keyCode = 0;
  std::string dropText;
  friend bool operator==(const SeenEvent&, const SeenEvent&) = default;
};

// "EVENT:Accepted 18 key 2" and the like, for the messages of failed tests.
std::string Describe(const SeenEvent& e);
std::string Describe(const std::vector<SeenEvent>& events);

class UiDriver {
 public:
  explicit UiDriver(Window& window);
  ~UiDriver();
  UiDriver(const UiDriver&) = delete;
  UiDriver& operator=(const UiDriver&) = delete;

  // Runs the ACCEPT loop until every event raised so far (and every event the body raises
  // meanwhile) has been handled, calling `body` once per event while it is current. Returns the
  // events in order. Focus, move, size, suspend and resume events are left out unless
  // `everything` is set, because the window system raises them at its own pace.
  std::vector<SeenEvent> Run(const std::function<void()>& body = {}, bool everything = false);

  // Actions; each returns false when the control is not of a kind that takes it, is disabled
  // or hidden.
  bool Click(int control);                  // push button, toolbar button, menu item
  bool ChooseMenu(int item);                // a menu item, through its menu
  // Types into an entry (replacing what it shows) or on a list (its locator, the keys right
  // after one another); accept: press Enter after the text.
  bool Type(int entry, std::string_view text, bool accept = true);
  bool SelectRow(int list, int row);        // left click on row (1-based)
  bool RightClickRow(int list, int row);
  bool DoubleClickRow(int list, int row);
  bool ClickExpander(int list, int row);    // the "+"/"-" box of a tree row
  // Clicks the trough of the bar under a column that scrolls on its own ("S"; column 1-based)
  // `pages` times, to the right when positive; false when the column has no such bar.
  bool ScrollColumn(int list, int column, int pages);
  bool PressKey(int control, uint32_t keyCode);  // a runtime key code, to the control
  bool DropFiles(const std::vector<std::string>& paths);  // dragged from the desktop
  bool CloseWindow();                       // the user closes the window

  // Scripted answers.
  void AnswerMessageBox(unsigned button) { boxes_.Answer(button); }
  const std::vector<MessageBoxRequest>& MessageBoxesShown() const { return boxes_.Shown(); }
  void AnswerFileDialog(std::string chosen) { dialogs_.Choose(std::move(chosen)); }
  void CancelFileDialog() { dialogs_.Cancel(); }
  const std::vector<FileDialogRequest>& FileDialogsShown() const { return dialogs_.Shown(); }
  void AnswerPopup(int item);
  const std::vector<std::string>& PopupsShown() const;

 private:
  struct Scripts;
  Window& window_;
  ScriptedMessageBoxes boxes_;
  ScriptedFileDialogs dialogs_;
  std::unique_ptr<Scripts> scripts_;
};

}  // namespace cinevo
