#include "app/favourites_window.h"

#include <algorithm>

#include "app/group_form.h"
#include "app/movie_form.h"
#include "app/play_list_exchange.h"
#include "classlib/runtime_window.h"
#include "runtime/data/file_statements.h"
#include "runtime/ui/event_code.h"
#include "runtime/ui/file_dialog.h"
#include "runtime/ui/message_box.h"
#include "runtime/ui/popup_menu.h"
#include "runtime/ui/property.h"

namespace cinevo::app {

namespace lv = classlib::level;
namespace tb = classlib::toolbar_button;
namespace fc = favourites_control;

FavouritesManager::FavouritesManager(Globals& globals, Player& player, const FavouritesCalls& calls)
    : WindowManager(managed), globals_(globals), player_(player), calls_(calls), tree_(*globals.catalogue) {
  if (!calls_.group_form) calls_.group_form = [](Globals& g) { RunGroupForm(g); };
  if (!calls_.movie_form) calls_.movie_form = [](Globals& g) { RunMovieForm(g); };
}

int FavouritesManager::Init() {
  request = globals_.globalRequest;
  int rc = WindowManager::Init();
  if (rc != lv::kContinue) return rc;
  firstField = fc::kTree;
  vcrRequest = &globals_.vcrRequest;
  AddItem(toolbar_);
  globals_.globalRequest = kNoRequest;
  globals_.globalResponse = kNoResponse;
  Catalogue& catalogue = *globals_.catalogue;
  const bool filesOpen = catalogue.GroupRelations().OpenAll() == 0;
  filesOpened_ = true;
  // A catalogue that cannot be read has been reported by the file managers; the window closes.
  const TreeRead loaded = filesOpen ? tree_.ContractAll() : TreeRead::kFailed;
  if (!win.Open("filmo$FILMO004", "P1$WINDOW")) return lv::kStop;
  opened = true;
  managed.MapToolbarButtons(fc::kFirstToolbarButton);
  win.BindQueue(fc::kTree, &tree_.Lines(), FavouritesTree::LineFields());
  toolbar_.AddTarget(treeTarget_, fc::kTree);
  for (int button = tb::kFirst; button <= tb::kLast; ++button) {
    if (button < tb::kBottom || button > tb::kUp) {
      win.SetProperty(PROP::Visible, 0, fc::kFirstToolbarButton + (button - tb::kFirst));
    }
  }
  treeTarget_.Activate();
  for (size_t i = 0; i < kTreeIconNames.size(); ++i) {
    win.SetProperty(PROP::IconList, kTreeIconNames[i], fc::kTree, static_cast<int>(i + 1));
  }
  win.SetProperty(PROP::Selected, 1, fc::kTree);
  namespace fk = favourites_key;
  win.SetProperty(PROP::Alert, static_cast<int32_t>(fk::kCtrlRight), fc::kTree, fk::kCtrlRightSlot);
  win.SetProperty(PROP::Alert, static_cast<int32_t>(fk::kCtrlLeft), fc::kTree, fk::kCtrlLeftSlot);
  win.SetProperty(PROP::Alert, static_cast<int32_t>(fk::kDoubleClick), fc::kTree, fk::kDoubleClickSlot);
  SetAlerts();
  Loaded(loaded);
  return lv::kContinue;
}

int FavouritesManager::Kill() {
  int rc = WindowManager::Kill();
  if (filesOpened_) globals_.catalogue->GroupRelations().CloseAll();
  filesOpened_ = false;
  return rc;
}

int32_t FavouritesManager::Selection() const {
  return win.IsOpen() ? win.PropertyLong(PROP::Selection, fc::kTree) : 0;
}

void FavouritesManager::SetSelection(int32_t row) {
  if (row < 1) return;
  win.SetProperty(PROP::Selection, std::min(row, tree_.Count()), fc::kTree);
}

void FavouritesManager::Loaded(TreeRead result) {
  win.Display(fc::kTree);
  if (result == TreeRead::kFailed) managed.Post(EVENT::CloseWindow);
}

void FavouritesManager::TakeSelectionAsNewItem() {
  const TreeLine line = tree_.Line(std::max(Selection(), 1));
  newItemLevel_ = line.AbsLevel();
  newItemPosition_ = line.position;
}

void FavouritesManager::ReloadKeepingSelection() {
  const int32_t before = std::max(Selection(), 1);
  const TreeRead loaded = tree_.Load();
  win.Display(fc::kTree);
  int32_t row = newItemLevel_ != 0 ? tree_.Find(newItemLevel_, newItemPosition_) : 0;
  // The line that was there is gone (deleted): the one that took its place is selected.
  SetSelection(row != 0 ? row : before);
  Loaded(loaded);
}

// --- Events ------------------------------------------------------------------------------------

int FavouritesManager::TakeWindowEvent() {
  const int event = managed.Event();
  int rc = WindowManager::TakeWindowEvent();
  if (rc != lv::kContinue) return rc;
  if (event == EVENT::LoseFocus) focusLost_ = true;
  // Whatever changed the files did so while the window was without the focus (the window's own
  // edits reload the tree when they complete), so the first focus after opening reads nothing.
  if (event == EVENT::GainFocus && focusLost_) {
    focusLost_ = false;
    TakeSelectionAsNewItem();
    ReloadKeepingSelection();
  }
  return rc;
}

int FavouritesManager::TakeNewSelection() {
  int rc = WindowManager::TakeNewSelection();
  if (rc != lv::kContinue) return rc;
  if (managed.Field() != fc::kTree || managed.KeyCode() != classlib::kRightButtonKey) return rc;
  switch (PopupMenu(kFavouritesPopup)) {
    case favourites_item::kPlayGroup: PlayGroup(); break;
    case favourites_item::kInsert: EditLoop(classlib::request::kInsert); break;
    case favourites_item::kChange: EditLoop(classlib::request::kChange); break;
    case favourites_item::kDelete: EditLoop(classlib::request::kDelete); break;
    case favourites_item::kExpandAll: ExpandAll(); break;
    case favourites_item::kContractAll: ContractAll(); break;
    case favourites_item::kExportGroup: ExportGroup(); break;
    case favourites_item::kImportList: ImportList(); break;
    default: break;
  }
  return rc;
}

int FavouritesManager::TakeFieldEvent() {
  if (managed.Field() != fc::kTree) return WindowManager::TakeFieldEvent();
  const int event = managed.Event();
  if (event == EVENT::AlertKey) {
    switch (managed.KeyCode()) {
      case favourites_key::kCtrlRight:
        win.Select(fc::kTree);
        managed.Post(EVENT::Expanded, fc::kTree);
        break;
      case favourites_key::kCtrlLeft:
        managed.Post(EVENT::Contracted, fc::kTree);
        break;
      case favourites_key::kDoubleClick:
        EditLoop(classlib::request::kChange);
        break;
      default:
        break;
    }
  }
  int rc = WindowManager::TakeFieldEvent();
  if (rc != lv::kContinue) return rc;
  if (event == EVENT::Expanded) Expand();
  if (event == EVENT::Contracted) Contract();
  return rc;
}

// --- Expanding and contracting -------------------------------------------------------------------

void FavouritesManager::Expand() {
  const int32_t row = Selection();
  if (row < 1) return;
  if (tree_.Expand(row) == TreeRead::kFailed) {
    // The group is gone or the files cannot be read: show what the files hold now.
    TakeSelectionAsNewItem();
    ReloadKeepingSelection();
    return;
  }
  win.Display(fc::kTree);
}

void FavouritesManager::Contract() {
  const int32_t row = Selection();
  if (row < 1) return;
  tree_.Contract(row);
  win.Display(fc::kTree);
}

void FavouritesManager::ExpandAll() {
  TakeSelectionAsNewItem();
  const TreeRead loaded = tree_.ExpandAll();
  win.Display(fc::kTree);
  const int32_t row = tree_.Find(newItemLevel_, newItemPosition_);
  SetSelection(row != 0 ? row : 1);
  Loaded(loaded);
}

void FavouritesManager::ContractAll() {
  // A movie that is selected will be hidden: its group is selected instead.
  const int32_t selected = std::max(Selection(), 1);
  const int32_t groupRow = tree_.GroupLine(selected);
  SetSelection(groupRow != 0 ? groupRow : selected);
  TakeSelectionAsNewItem();
  const TreeRead loaded = tree_.ContractAll();
  win.Display(fc::kTree);
  int32_t row = tree_.Find(newItemLevel_, newItemPosition_);
  SetSelection(row != 0 ? row : 1);
  Loaded(loaded);
}

// --- Play group ----------------------------------------------------------------------------------

// --- Play-list files --------------------------------------------------------------------------

namespace {

constexpr const char* kListFilter = "M3U|*.m3u;*.m3u8|XSPF|*.xspf|All|*.*";

void TellHowItWent(const ListExchangeResult& result) {
  ShowMessageBox(result.message, "Favorites", result.ok ? box_icon::kAsterisk : box_icon::kExclamation);
}

}  // namespace

std::string FavouritesManager::SelectedGroupName() {
  const int32_t row = Selection();
  if (row < 1 || tree_.Line(row).AbsLevel() == tree_level::kRoot) return {};
  std::string group = tree_.GroupNameOf(row);
  if (group.empty()) {
    // The line's record has gone since the tree was read.
    TakeSelectionAsNewItem();
    ReloadKeepingSelection();
  }
  return group;
}

void FavouritesManager::ExportGroup() {
  const std::string group = SelectedGroupName();
  if (group.empty()) return;
  std::string path = FitGroupName(group, group.size()) + ".m3u";
  std::replace(path.begin(), path.end(), '/', '-');  // a group name is no folder
  if (!FileDialog("Export group", path, kListFilter, file_dialog_flag::kSave | file_dialog_flag::kKeepDirectory)) {
    return;
  }
  Catalogue& catalogue = *globals_.catalogue;
  TellHowItWent(app::ExportGroup(catalogue.GroupFile(), catalogue.MovieFile(), group, path));
}

void FavouritesManager::ImportList() {
  std::string path;
  if (!FileDialog("Import play list", path, kListFilter, file_dialog_flag::kKeepDirectory)) return;
  Catalogue& catalogue = *globals_.catalogue;
  DirectFavouritesWriter writer(catalogue.GroupFile(), catalogue.MovieFile());
  const ListExchangeResult result = ImportPlayList(path, writer);
  if (result.ok) {
    // The new group is the line to select: it is found by its name once the tree is read again.
    newItemLevel_ = 0;
    ReloadKeepingSelection();
    for (int32_t row = 1, n = tree_.Count(); row <= n; ++row) {
      const TreeLine line = tree_.Line(row);
      if (line.AbsLevel() == tree_level::kGroup && line.display == result.group) {
        SetSelection(row);
        break;
      }
    }
  }
  TellHowItWent(result);
}

void FavouritesManager::PlayGroup() {
  const std::string group = SelectedGroupName();
  if (group.empty()) return;
  std::vector<std::string> paths;
  tree_.MoviesOf(group, paths);  // a failed read ends the group early
  player_.PrepareMovies(paths);
  for (const std::string& path : paths) player_.PlayMovieFile(path);
}

// --- Edits ---------------------------------------------------------------------------------------

bool FavouritesManager::RunForm(const std::function<void(Globals&)>& form, int request) {
  Update();
  globals_.globalRequest = static_cast<uint8_t>(request);
  globals_.globalResponse = kNoResponse;
  form(globals_);
  Reset(false);
  return globals_.globalResponse == kRequestCompleted;
}

void FavouritesManager::Insert() {
  Catalogue& catalogue = *globals_.catalogue;
  const TreeLine line = tree_.Line(currentChoice_);
  if (line.AbsLevel() == tree_level::kRoot) {
    catalogue.Groups().PrimeRecord();
    if (!RunForm(calls_.group_form, classlib::request::kInsert)) return;
    newItemLevel_ = tree_level::kGroup;
    newItemPosition_ = Position(catalogue.GroupFile());
    ReloadKeepingSelection();
    return;
  }
  const int32_t groupRow = tree_.GroupLine(currentChoice_);
  if (groupRow == 0 || !tree_.ReadRecord(groupRow)) {
    // The group is gone: nothing is inserted into a group that no longer exists.
    TakeSelectionAsNewItem();
    ReloadKeepingSelection();
    return;
  }
  FileControlBlock& movies = catalogue.MovieFile();
  std::fill(movies.record.begin(), movies.record.end(), ' ');
  Release(movies);
  StoreText(movies, pod::kSifra, pod::kSifraSize,
            LoadText(catalogue.GroupFile(), gru::kSifra, gru::kSifraSize));
  catalogue.Movies().PrimeRecord(true);
  if (!RunForm(calls_.movie_form, classlib::request::kInsert)) return;
  // The group is opened, so that the new movie can be shown selected.
  tree_.MarkExpanded(tree_level::kGroup, tree_.Line(groupRow).position);
  newItemLevel_ = tree_level::kMovie;
  newItemPosition_ = Position(movies);
  ReloadKeepingSelection();
}

void FavouritesManager::ChangeOrDelete(int action) {
  Catalogue& catalogue = *globals_.catalogue;
  const TreeLine line = tree_.Line(currentChoice_);
  const int32_t level = line.AbsLevel();
  if (level == tree_level::kRoot) return;  // the root is not editable
  FileControlBlock& file = level == tree_level::kGroup ? catalogue.GroupFile() : catalogue.MovieFile();
  Watch(file);
  if (!tree_.ReadRecord(currentChoice_)) {
    // Never run a form over whatever record the buffer holds: the line's record is gone.
    TakeSelectionAsNewItem();
    ReloadKeepingSelection();
    return;
  }
  const auto& form = level == tree_level::kGroup ? calls_.group_form : calls_.movie_form;
  if (!RunForm(form, action)) return;
  if (action == classlib::request::kChange) {
    newItemLevel_ = level;
    newItemPosition_ = Position(file);
  }
  ReloadKeepingSelection();
}

void FavouritesManager::EditLoop(int action) {
  editAction_ = action;
  int32_t& vcr = globals_.vcrRequest;
  for (;;) {
    vcr = 0;
    currentChoice_ = std::max(Selection(), 1);
    if (editAction_ == classlib::request::kInsert) {
      Insert();
    } else {
      ChangeOrDelete(editAction_);
    }
    const int32_t navigation = vcr;
    if (navigation == 0) break;
    currentChoice_ = std::max(Selection(), 1);
    if (navigation >= tb::kBottom && navigation <= tb::kUp) {
      Navigate(navigation);
    } else if (navigation == tb::kInsert) {
      // "Add a new one": a group is added on the root, a movie on its group.
      const int32_t level = tree_.Line(currentChoice_).AbsLevel();
      SetSelection(level == tree_level::kMovie ? tree_.GroupLine(currentChoice_) : 1);
      editAction_ = classlib::request::kInsert;
    }
  }
  vcr = 0;
}

// --- Navigation ----------------------------------------------------------------------------------

void FavouritesManager::Navigate(int request) {
  const int32_t row = currentChoice_;
  const int32_t count = tree_.Count();
  if (row < 1 || row > count) return;
  const int32_t level = tree_.Line(row).AbsLevel();
  auto find = [&](int32_t from, int step, int32_t wanted) -> int32_t {
    for (int32_t r = from; r >= 1 && r <= count; r += step) {
      if (tree_.Line(r).AbsLevel() == wanted) return r;
    }
    return 0;
  };
  int32_t target = 0;
  switch (request) {
    case tb::kBottom:  // next parent
      if (level > tree_level::kGroup) target = find(row + 1, 1, level - 1);
      break;
    case tb::kTop:  // parent
      if (level > tree_level::kGroup) target = find(row - 1, -1, level - 1);
      break;
    case tb::kPageDown:  // next similar
      target = find(row + 1, 1, level);
      break;
    case tb::kPageUp:  // previous similar
      target = find(row - 1, -1, level);
      break;
    case tb::kDown:  // next, opening a group on the way
      if (tree_.Expand(row) == TreeRead::kFailed) {
        TakeSelectionAsNewItem();
        ReloadKeepingSelection();
        return;
      }
      win.Display(fc::kTree);
      if (row < tree_.Count()) target = row + 1;
      break;
    case tb::kUp:  // previous
      if (row > 1) target = row - 1;
      break;
    default:
      break;
  }
  if (target != 0) SetSelection(target);
}

void FavouritesManager::TreeTarget::TakeToolbar(int button, int32_t& request) {
  if (button >= tb::kBottom && button <= tb::kUp) {
    manager_.currentChoice_ = std::max(manager_.Selection(), 1);
    manager_.Navigate(button);
    return;
  }
  ToolbarTreeTarget::TakeToolbar(button, request);
}

void RunFavouritesWindow(Globals& globals, Player& player, const FavouritesCalls& calls) {
  FavouritesManager manager(globals, player, calls);
  manager.Run();
}

}  // namespace cinevo::app
