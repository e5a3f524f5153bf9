// The movie form "filmo$FILMO002": one PODGRU record, the movie's path (typed, or chosen with the
// "..." button's file dialog) and its group's name.
//
// It is an update form: the caller sets GlobalRequest (1 insert with the record primed, 2 change
// or 3 delete with the record read), runs the form and reads GlobalResponse (1 completed,
// 2 cancelled). A delete never shows the window and asks nothing. Inserting copies the first ten
// characters of the path into POD:NASLOV2, the second part of the movie key; a change leaves it
// as it was. A movie is written only into a group that exists (or that the calling group form
// is adding): one without a group would be shown nowhere. The frame toolbar's arrows save the record and leave their number in VCRRequest for
// the caller to move on; Ctrl+' (and the toolbar's history button) brings back the value the
// form last wrote into the focused field.
#pragma once

#include <cstdint>
#include <string>

#include "app/main_routine.h"
#include "app/player_windows.h"
#include "classlib/file_chooser.h"
#include "classlib/form_adapters.h"
#include "classlib/toolbar.h"
#include "classlib/window_manager.h"
#include "classlib/window_resizer.h"

namespace cinevo::app {

// Control numbers of the movie form; the frame toolbar follows them.
namespace movie_form_control {
inline constexpr int kGroupPrompt = 1, kPathPrompt = 2, kPath = 3, kChoose = 4, kGroup = 5, kOk = 6,
                     kCancel = 7, kHelp = 8, kToolbar = 9, kFirstToolbarButton = 10;
}

// The form's window definition, registered under "filmo$FILMO002" / "P1$QUICKWINDOW".
void RegisterMovieForm();

// The movie form's manager; RunMovieForm runs it, tests step it.
class MovieFormManager : private detail::WindowParts, public classlib::WindowManager {
 public:
  explicit MovieFormManager(Globals& globals);
  int Init() override;
  int Kill() override;
  void SetAlerts() override;
  int TakeEvent() override;
  int TakeWindowEvent() override;
  int TakeAccepted() override;
  // Before the record is written: its group must be known (see GroupKnown), and a new movie
  // gets the first ten characters of its path as the key's second part.
  int TakeCompleted() override;

  Window& runtime() { return win; }
  classlib::FileChooser& chooser() { return chooser_; }
  // The caption the form shows for its request ("" for a delete: the window's own stays).
  const std::string& actionMessage() const { return actionMessage_; }

 private:
  Globals& globals_;
  classlib::FileForm file_;
  classlib::RelationForm relation_;
  classlib::ErrorForm errors_;
  classlib::Toolbar toolbar_;
  classlib::ToolbarFormTarget formTarget_;
  classlib::WindowResizer resizer_;
  // True when `name` is the caller's current group (in GRUPA's record buffer, stored or being
  // added) or a stored group.
  bool GroupKnown(const std::string& name) const;

  classlib::FileChooser chooser_;
  std::string actionMessage_;
  bool filesOpened_ = false;
};

// Runs the movie form for globals.globalRequest; leaves the response in globals.globalResponse.
void RunMovieForm(Globals& globals);

}  // namespace cinevo::app
