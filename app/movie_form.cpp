#include "app/movie_form.h"

#include <algorithm>
#include <cctype>

#include "app/update_form_frame.h"
#include "classlib/field_values.h"
#include "runtime/data/file_statements.h"
#include "runtime/ui/event_code.h"
#include "runtime/ui/message_box.h"
#include "runtime/ui/property.h"
#include "runtime/ui/window_definition.h"

namespace cinevo::app {

namespace mf = movie_form_control;
namespace lv = classlib::level;

void RegisterMovieForm() {
  using namespace cinevo::controls;
  // Dialog units: the path across the form with "..." at its end, the group's name under it,
  // OK, Cancel and Help in the bottom right corner. What lies across the middle of the form
  // stretches as it is sized, what lies in its right or bottom half follows that edge.
  RegisterWindowDefinition(UpdateFormDefinition(
      "FILMO002", "Update the PodGru File", 276, 96,
      {Prompt("Group").At(6, 30, 32, 10),
       Prompt("Movie").At(6, 10, 32, 10),
       Entry("@s120").At(40, 8, 204, 12),
       Button("...", "Choose the movie's file").At(248, 7, 22, 14),
       Entry("@s20").At(40, 28, 90, 12),
       Button("OK").At(146, 52, 40, 15),
       Button("Cancel").At(190, 52, 40, 15),
       Button("Help").At(234, 52, 36, 15)}));
}

MovieFormManager::MovieFormManager(Globals& globals)
    : WindowManager(managed),
      globals_(globals),
      file_(globals.catalogue->Movies()),
      relation_(globals.catalogue->MovieRelations()),
      errors_(globals.errors),
      formTarget_(*this),
      resizer_(managed) {}

int MovieFormManager::Init() {
  Catalogue& catalogue = *globals_.catalogue;
  FileControlBlock& movie = catalogue.MovieFile();
  request = globals_.globalRequest;
  if (int rc = WindowManager::Init(); rc != lv::kContinue) return rc;
  firstField = mf::kPath;
  vcrRequest = &globals_.vcrRequest;
  errors = &errors_;
  AddItem(toolbar_);
  globals_.globalRequest = kNoRequest;
  globals_.globalResponse = kNoResponse;
  // The history copy lives as long as the program; it starts blank.
  if (globals_.movieHistory.size() != movie.record.size()) globals_.movieHistory.assign(movie.record.size(), ' ');
  historyKey = classlib::kFormHistoryKey;
  AddHistoryFile(movie.record, globals_.movieHistory);
  AddHistoryField(mf::kPath, pod::kNaslov, pod::kNaslovSize);
  AddHistoryField(mf::kGroup, pod::kSifra, pod::kSifraSize);
  AddUpdateFile(file_);
  AddItem(mf::kCancel, classlib::response::kCancelled);
  if (catalogue.MovieRelations().OpenAll() != 0) return lv::kHandled;  // reported by the manager
  filesOpened_ = true;
  primary = &relation_;
  deleteAction = 4;  // a movie goes without a question
  okControl = mf::kOk;
  helpText =
      "Type the movie's full path or choose its file with \"...\", and the name of the group it "
      "belongs to.|OK keeps the movie, Cancel leaves the catalogue as it was.|Ctrl+' brings back "
      "the value last kept in the field that has the focus.";
  if (PrimeUpdate() != lv::kContinue) return lv::kHandled;
  RegisterMovieForm();
  if (!win.Open("filmo$FILMO002", "P1$QUICKWINDOW")) return lv::kHandled;
  const FileDeclaration& decl = *movie.declaration;
  win.Bind(mf::kPath, classlib::FieldRef(decl.fields[1], movie.record));
  win.Bind(mf::kGroup, classlib::FieldRef(decl.fields[0], movie.record));
  managed.MapToolbarButtons(mf::kFirstToolbarButton);
  opened = true;
  resizer_.Init(classlib::WindowResizer::kKeepToEdges, true, false);
  AddItem(resizer_);
  formTarget_.helpButton = mf::kHelp;
  formTarget_.request = request;
  formTarget_.history = true;
  toolbar_.AddTarget(formTarget_, 0);
  toolbar_.SetTarget(0);
  chooser_.Init();
  chooser_.AddMask("Avi", "*.AVI");
  chooser_.AddMask("Mpg", "*.MPG");
  chooser_.AddMask("Mov", "*.MOV");
  chooser_.AddMask("All", "*.*");
  chooser_.windowTitle = "Choose movie";
  SetAlerts();
  return lv::kContinue;
}

int MovieFormManager::Kill() {
  const int rc = WindowManager::Kill();
  if (filesOpened_) globals_.catalogue->MovieRelations().CloseAll();
  filesOpened_ = false;
  return rc;
}

void MovieFormManager::SetAlerts() {
  WindowManager::SetAlerts();
  managed.AddAlertKey(kEscapeKey);
}

int MovieFormManager::TakeEvent() {
  // Esc leaves the form as its Cancel button does.
  if (managed.Event() == EVENT::AlertKey && managed.KeyCode() == kEscapeKey) {
    managed.Post(EVENT::Accepted, mf::kCancel);
    return lv::kContinue;
  }
  return WindowManager::TakeEvent();
}

int MovieFormManager::TakeWindowEvent() {
  if (managed.Event() == EVENT::OpenWindow) {
    actionMessage_ = originalRequest == classlib::request::kInsert   ? "Add movie"
                     : originalRequest == classlib::request::kChange ? "Change movie"
                                                                     : "";
    if (!actionMessage_.empty()) win.SetCaption(actionMessage_);
  }
  return WindowManager::TakeWindowEvent();
}

int MovieFormManager::TakeAccepted() {
  const int field = managed.Field();
  FileControlBlock& movie = globals_.catalogue->MovieFile();
  const int rc = WindowManager::TakeAccepted();
  if (rc != lv::kContinue) return rc;
  if (field == mf::kHelp) {
    ShowHelp();
  } else if (field == mf::kChoose) {
    Update();
    // The dialog's answer replaces the whole path; a cancelled dialog leaves it empty. A path
    // longer than the field would be kept cut short, naming no file: it is refused instead, and
    // the field keeps what it had.
    const std::string chosen = chooser_.Ask(true);
    if (chosen.size() > pod::kNaslovSize) {
      ShowMessageBox("This movie's path is longer than " + std::to_string(pod::kNaslovSize) +
                         " characters, the most a favourite holds.||" + chosen,
                     "Choose movie", box_icon::kExclamation);
    } else {
      StoreText(movie, pod::kNaslov, pod::kNaslovSize, chosen);
    }
    win.Display();
  }
  return rc;
}

bool MovieFormManager::GroupKnown(const std::string& name) const {
  if (name.empty()) return false;
  auto same = [](std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
             return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
           });
  };
  // The caller's current group: stored, or being added by the group form that runs this form.
  FileControlBlock& current = globals_.catalogue->GroupFile();
  if (same(LoadText(current, gru::kSifra, gru::kSifraSize), name)) return true;
  // Any stored group, looked up without disturbing the caller's record and position.
  FileControlBlock lookup(*current.declaration);
  if (cinevo::Open(lookup, 0x42) != 0) return true;  // cannot tell: the write itself will report
  StoreText(lookup, gru::kSifra, gru::kSifraSize, name);
  const bool found = cinevo::Get(lookup, 0) == 0;
  cinevo::Close(lookup);
  return found;
}

int MovieFormManager::TakeCompleted() {
  FileControlBlock& movie = globals_.catalogue->MovieFile();
  if (request == classlib::request::kInsert || request == classlib::request::kChange) {
    // A movie is shown only under its group: one without a group would be kept where no window
    // ever finds it again.
    const std::string group = LoadText(movie, pod::kSifra, pod::kSifraSize);
    if (!GroupKnown(group)) {
      ShowMessageBox(group.empty() ? std::string("A movie belongs to a group: type the group's name.")
                                   : "There is no group " + group +
                                         ". A movie belongs to a group: type the name of one.",
                     actionMessage_.empty() ? "Update the PodGru File" : actionMessage_,
                     box_icon::kExclamation);
      if (vcrRequest != nullptr) *vcrRequest = 0;
      managed.Select(mf::kGroup);
      return lv::kContinue;
    }
  }
  if (request == classlib::request::kInsert) {
    // The key's second part: the path's first ten characters, taken once when the movie is
    // added (by OK or by a toolbar button that saves), never again on a change.
    StoreText(movie, pod::kNaslov2, pod::kNaslov2Size,
              LoadText(movie, pod::kNaslov, pod::kNaslovSize).substr(0, pod::kNaslov2Size));
  }
  return WindowManager::TakeCompleted();
}

void RunMovieForm(Globals& globals) {
  MovieFormManager form(globals);
  globals.globalResponse = static_cast<uint8_t>(form.Run());
}

}  // namespace cinevo::app
