// The group form "filmo$FILMO003": one GRUPA record, the group's name, over a list of the
// group's movies from which movies are inserted, changed and deleted through the movie form.
//
// It is an update form like the movie form (movie_form.h): GlobalRequest in, GlobalResponse out.
// Renaming a group renames its movies with it; a delete never shows the window, asks "Confirm
// Delete" and takes the group's movies with it. A group being added is stored as soon as a movie
// is added to it through the list, and the form then goes on as a change of that group. The list shows one row per movie of the group
// being edited, in key order (the first ten characters of the path), each with the icon of its
// kind: ".avi", ".mpg", ".mov" in the path (as written, in lower case), any other file.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "app/main_routine.h"
#include "app/player_windows.h"
#include "classlib/browse.h"
#include "classlib/form_adapters.h"
#include "classlib/list_control.h"
#include "classlib/step_locator.h"
#include "classlib/thumb_step.h"
#include "classlib/toolbar.h"
#include "classlib/window_manager.h"
#include "classlib/window_resizer.h"
#include "runtime/core/queue.h"
#include "runtime/data/view/view.h"

namespace cinevo::app {

// Control numbers of the group form; the frame toolbar follows them.
namespace group_form_control {
inline constexpr int kPicture = 1, kNamePrompt = 2, kName = 3, kListPrompt = 4, kMovies = 5,
                     kInsert = 6, kChange = 7, kDelete = 8, kOk = 9, kCancel = 10, kHelp = 11,
                     kToolbar = 12, kFirstToolbarButton = 13;
}

// Icon number of a movie's list row: 1 ".avi", 2 ".mpg", 3 ".mov" anywhere in the path (exactly
// so: ".AVI" is none of them), else 4.
int MovieIcon(std::string_view path);

// One row of the movies list: POD:NASLOV, its icon, POD:SIFRA, POD:NASLOV2.
struct MovieRow {
  uint8_t naslov[120];
  int32_t icon;
  uint8_t sifra[20];
  uint8_t naslov2[10];
};

// The window definition, registered under "filmo$FILMO003" / "P1$QUICKWINDOW".
void RegisterGroupForm();

// The procedure the group form runs for its list's Insert, Change and Delete: it reads
// globals.globalRequest and leaves globals.globalResponse, like RunMovieForm.
using MovieFormProcedure = std::function<void(Globals&)>;

// The group form's manager; RunGroupForm runs it, tests step it.
class GroupFormManager : private detail::WindowParts, public classlib::WindowManager {
 public:
  GroupFormManager(Globals& globals, MovieFormProcedure movieForm);
  ~GroupFormManager() override;
  int Init() override;
  int Kill() override;
  void SetAlerts() override;
  int TakeEvent() override;
  int TakeWindowEvent() override;
  int TakeAccepted() override;
  // Runs the movie form with `request`; returns its response.
  int RunProcedure(int number, int request) override;

  Window& runtime() { return win; }
  classlib::Browse& browse();
  Queue& rows() { return queue_; }

 private:
  class MovieBrowse;

  // Stores the group the form is adding, so that movies can be added to it; the form then
  // changes that group. False when it could not be stored (the user has been told why).
  bool StoreNewGroup();

  Globals& globals_;
  MovieFormProcedure movieForm_;
  classlib::FileForm file_;
  classlib::RelationForm relation_;
  classlib::ErrorForm errors_;
  classlib::Toolbar toolbar_;
  classlib::ToolbarFormTarget formTarget_;
  classlib::WindowResizer resizer_;
  MovieRow row_{};
  Queue queue_{&row_, sizeof row_};
  std::unique_ptr<View> view_;
  std::unique_ptr<MovieBrowse> browse_;
  std::unique_ptr<classlib::RuntimeListControl> list_;
  classlib::StringStep thumb_;
  classlib::StepLocator locator_;
  bool filesOpened_ = false;
};

// Runs the group form for globals.globalRequest; leaves the response in globals.globalResponse.
// Its list runs the movie form.
void RunGroupForm(Globals& globals);
// The same with another procedure for the list's movies (tests).
void RunGroupForm(Globals& globals, const MovieFormProcedure& movieForm);

}  // namespace cinevo::app
