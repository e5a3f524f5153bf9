#include "app/group_form.h"

#include <cstddef>

#include "app/update_form_frame.h"
#include "app/movie_form.h"
#include "classlib/field_values.h"
#include "runtime/data/file_statements.h"
#include "runtime/ui/event_code.h"
#include "runtime/ui/property.h"
#include "runtime/ui/window_definition.h"

namespace cinevo::app {

namespace gf = group_form_control;
namespace lv = classlib::level;

int MovieIcon(std::string_view path) {
  if (path.find(".avi") != std::string_view::npos) return 1;
  if (path.find(".mpg") != std::string_view::npos) return 2;
  if (path.find(".mov") != std::string_view::npos) return 3;
  return 4;
}

void RegisterGroupForm() {
  using namespace cinevo::controls;
  // Dialog units: the name at the top, the movies under it taking the room, their buttons under
  // the list, OK, Cancel and Help in the bottom right corner. What lies across the middle of the
  // form stretches as it is sized, what lies in its right or bottom half follows that edge.
  RegisterWindowDefinition(UpdateFormDefinition(
      "FILMO003", "Update the Grupa File", 290, 200,
      {Image("~opened.ico").At(6, 6, 12, 12),
       Prompt("Group").At(22, 9, 30, 10),
       Entry("@s20").At(52, 7, 88, 12),
       Prompt("movies").At(6, 25, 60, 10),
       List("80L(2)|I@s120@", "Browsing Records").At(6, 35, 278, 100),
       Button("&Insert").At(6, 139, 42, 15),
       Button("&Change").At(52, 139, 42, 15),
       Button("&Delete").At(98, 139, 42, 15),
       Button("OK").At(152, 162, 42, 15),
       Button("Cancel").At(198, 162, 42, 15),
       Button("Help").At(244, 162, 40, 15)}));
}

// The browse of the group's movies; it gives every row the icon of its path.
class GroupFormManager::MovieBrowse : public classlib::Browse {
 public:
  MovieBrowse(FileControlBlock& group, FileControlBlock& movie, MovieRow& row)
      : group_(group), movie_(movie), row_(row) {}
  int ValidateRecord() override {
    // A group has a name: movies without one belong to no group, not to a group being added.
    if (LoadText(group_, gru::kSifra, gru::kSifraSize).empty()) return classlib::kLevelNotify;
    row_.icon = MovieIcon(LoadText(movie_, pod::kNaslov, pod::kNaslovSize));
    return 0;
  }

 private:
  FileControlBlock& group_;
  FileControlBlock& movie_;
  MovieRow& row_;
};

GroupFormManager::GroupFormManager(Globals& globals, MovieFormProcedure movieForm)
    : WindowManager(managed),
      globals_(globals),
      movieForm_(std::move(movieForm)),
      file_(globals.catalogue->Groups()),
      relation_(globals.catalogue->GroupRelations()),
      errors_(globals.errors),
      formTarget_(*this),
      resizer_(managed) {}

classlib::Browse& GroupFormManager::browse() { return *browse_; }

GroupFormManager::~GroupFormManager() {
  Kill();
  QueueFree(&queue_);
}

int GroupFormManager::Init() {
  Catalogue& catalogue = *globals_.catalogue;
  FileControlBlock& group = catalogue.GroupFile();
  FileControlBlock& movie = catalogue.MovieFile();
  request = globals_.globalRequest;
  if (int rc = WindowManager::Init(); rc != lv::kContinue) return rc;
  firstField = gf::kName;
  vcrRequest = &globals_.vcrRequest;
  errors = &errors_;
  AddItem(toolbar_);
  globals_.globalRequest = kNoRequest;
  globals_.globalResponse = kNoResponse;
  if (globals_.groupHistory.size() != group.record.size()) globals_.groupHistory.assign(group.record.size(), ' ');
  historyKey = classlib::kFormHistoryKey;
  AddHistoryFile(group.record, globals_.groupHistory);
  AddHistoryField(gf::kName, gru::kSifra, gru::kSifraSize);
  AddUpdateFile(file_);
  AddItem(gf::kCancel, classlib::response::kCancelled);
  if (catalogue.GroupRelations().OpenAll() != 0) return lv::kHandled;  // reported by the manager
  filesOpened_ = true;
  if (catalogue.Groups().EnsureOpen() != 0) return lv::kHandled;
  primary = &relation_;
  okControl = gf::kOk;
  helpText =
      "Type the group's name. Renaming a group renames its movies with it.|Insert, Change and "
      "Delete under the list edit the group's movies.|OK keeps the group, Cancel leaves it as it "
      "was.";
  if (PrimeUpdate() != lv::kContinue) return lv::kHandled;
  RegisterGroupForm();
  if (!win.Open("filmo$FILMO003", "P1$QUICKWINDOW")) return lv::kHandled;
  win.Bind(gf::kName, classlib::FieldRef(group.declaration->fields[0], group.record));
  managed.MapToolbarButtons(gf::kFirstToolbarButton);
  opened = true;

  // The movies of the group being edited, in key order.
  win.BindQueue(gf::kMovies, &queue_,
                QueueRecordLayout({{TypeCode::kString, 120},
                                   {TypeCode::kLong, 4},
                                   {TypeCode::kString, 20},
                                   {TypeCode::kString, 10}}));
  int icon = 1;
  for (const char* name : {"~1f1.ico", "~1f2.ico", "~1f3.ico", "~1f4.ico"}) {
    win.SetProperty(PROP::IconList, name, gf::kMovies, icon++);
  }
  ViewDeclaration v;
  v.primary = &movie;
  v.key = 0;
  view_ = std::make_unique<View>(v);
  list_ = std::make_unique<classlib::RuntimeListControl>(win, gf::kMovies);
  browse_ = std::make_unique<MovieBrowse>(group, movie, row_);
  browse_->Init(gf::kMovies, *list_, *this, queue_, *view_, catalogue.MovieRelations());
  thumb_.Init(classlib::step::kLetters | classlib::step::kDigits, classlib::LookupMode::kRuntime);
  browse_->AddSortOrder(&thumb_, 0);
  browse_->AddRelationRange(catalogue.MovieRelations(), catalogue.GroupRelations());
  browse_->AddLocator(locator_);
  std::span<uint8_t> rec(movie.record);
  auto bytes = [this](size_t offset, size_t size) {
    return std::span(reinterpret_cast<uint8_t*>(&row_) + offset, size);
  };
  browse_->AddField(rec.subspan(pod::kNaslov, pod::kNaslovSize), bytes(offsetof(MovieRow, naslov), 120));
  browse_->AddField(rec.subspan(pod::kSifra, pod::kSifraSize), bytes(offsetof(MovieRow, sifra), 20));
  browse_->AddField(rec.subspan(pod::kNaslov2, pod::kNaslov2Size), bytes(offsetof(MovieRow, naslov2), 10));
  browse_->insertControl = gf::kInsert;
  browse_->changeControl = gf::kChange;
  browse_->deleteControl = gf::kDelete;
  browse_->askProcedure = 1;
  browse_->AddToolbarTarget(toolbar_);

  resizer_.Init(classlib::WindowResizer::kKeepToEdges, true, false);
  AddItem(resizer_);
  formTarget_.helpButton = gf::kHelp;
  formTarget_.request = request;
  formTarget_.history = true;
  toolbar_.AddTarget(formTarget_, 0);
  toolbar_.SetTarget(0);
  SetAlerts();
  return lv::kContinue;
}

int GroupFormManager::Kill() {
  const int rc = WindowManager::Kill();
  if (view_) {
    Close(view_->block());
    view_.reset();
  }
  if (filesOpened_) globals_.catalogue->GroupRelations().CloseAll();
  filesOpened_ = false;
  return rc;
}

void GroupFormManager::SetAlerts() {
  WindowManager::SetAlerts();
  managed.AddAlertKey(kEscapeKey);
}

int GroupFormManager::TakeEvent() {
  // Esc leaves the form as its Cancel button does.
  if (managed.Event() == EVENT::AlertKey && managed.KeyCode() == kEscapeKey) {
    managed.Post(EVENT::Accepted, gf::kCancel);
    return lv::kContinue;
  }
  return WindowManager::TakeEvent();
}

int GroupFormManager::TakeWindowEvent() {
  if (managed.Event() == EVENT::OpenWindow) {
    if (originalRequest == classlib::request::kInsert) win.SetCaption("Add group");
    if (originalRequest == classlib::request::kChange) win.SetCaption("Change group");
  }
  return WindowManager::TakeWindowEvent();
}

int GroupFormManager::TakeAccepted() {
  const int field = managed.Field();
  const int rc = WindowManager::TakeAccepted();
  if (rc == lv::kContinue && field == gf::kHelp) ShowHelp();
  return rc;
}

bool GroupFormManager::StoreNewGroup() {
  classlib::FormFile& file = primary->Me();
  if (file.Insert(true) != lv::kContinue) {
    managed.Select(gf::kName);  // reported by the file manager: the user corrects the name
    return false;
  }
  SaveHistory();
  // From here on the form changes the stored group: OK renames it (with its movies), and however
  // the form ends the caller learns that a group was added.
  lastInsertedPosition = file.GetPosition();
  file.Fetch(lastInsertedPosition);
  request = classlib::request::kChange;
  primary->SaveLinks();
  file.RestoreBuffer(saved, false);
  saved = file.SaveBuffer();
  formTarget_.request = request;
  win.SetCaption("Change group");
  return true;
}

int GroupFormManager::RunProcedure(int /*number*/, int procedureRequest) {
  // A movie needs its group: a group being added is stored before its first movie.
  if (request == classlib::request::kInsert && !StoreNewGroup()) return kRequestCancelled;
  globals_.globalRequest = static_cast<uint8_t>(procedureRequest);
  if (movieForm_) {
    movieForm_(globals_);
  } else {
    globals_.globalResponse = kRequestCancelled;
  }
  return globals_.globalResponse;
}

void RunGroupForm(Globals& globals, const MovieFormProcedure& movieForm) {
  GroupFormManager form(globals, movieForm);
  globals.globalResponse = static_cast<uint8_t>(form.Run());
}

void RunGroupForm(Globals& globals) { RunGroupForm(globals, [](Globals& g) { RunMovieForm(g); }); }

}  // namespace cinevo::app
