// The favourites window "filmo$FILMO004": the catalogue as a tree (app/favourites_tree.h), from
// which a whole group is played and groups and movies are inserted, changed and deleted through
// the group form and the movie form.
//
// The tree list (control 1) raises:
//   a right click        the popup "&Play group|-|&Insert|&Change|&Delete|-|E&xpand All|Co&ntract All"
//   a double click       Change
//   Ctrl+Right, Ctrl+Left, the "+"/"-" boxes and keys: Expand and Contract of the selected group
// and the frame toolbar's arrows (2004 to 2009) move the selection: next parent, parent, next
// and previous line of the same level, next line (expanding a group first), previous line.
//
// An edit runs the form with GlobalRequest set (1 insert, 2 change, 3 delete) and the record read
// (or primed) first; when the form completes, the tree is loaded again with the groups that were
// expanded still expanded, and the line edited (or inserted) selected. A form closed with one of
// the toolbar's arrows (VCRRequest) moves the selection and runs the same edit on the new line;
// its "insert" moves to the line's parent and inserts there. The tree is loaded again, keeping
// the selection, whenever the window gains the focus: another program may have changed the files.
//
// Play group plays every movie of the selected line's group (the group's own line or one of its
// movies) through the player, in key order, as the main window plays a dropped movie.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "app/favourites_tree.h"
#include "app/main_routine.h"
#include "app/player.h"
#include "app/player_windows.h"
#include "classlib/toolbar.h"
#include "classlib/window_manager.h"

namespace cinevo::app {

// The forms the window runs. Each reads globals.globalRequest with the record in its buffer and
// leaves globals.globalResponse; an empty one is the program's own (RunGroupForm, RunMovieForm).
struct FavouritesCalls {
  std::function<void(Globals&)> group_form;
  std::function<void(Globals&)> movie_form;
};

// The popup items, numbered as the popup numbers them. The last two exchange groups with the
// play-list files other players read and write (M3U, XSPF).
namespace favourites_item {
inline constexpr int kPlayGroup = 1, kInsert = 2, kChange = 3, kDelete = 4, kExpandAll = 5,
                     kContractAll = 6, kExportGroup = 7, kImportList = 8;
}
inline constexpr const char* kFavouritesPopup =
    "&Play group|-|&Insert|&Change|&Delete|-|E&xpand All|Co&ntract All"
    "|-|Expor&t group...|Import play &list...";

// Alert keys of the tree list, and the slots they take.
namespace favourites_key {
inline constexpr uint32_t kCtrlRight = 0x227, kCtrlLeft = 0x225, kDoubleClick = 5;
inline constexpr int kCtrlRightSlot = 255, kCtrlLeftSlot = 254, kDoubleClickSlot = 253;
}

class FavouritesManager : private detail::WindowParts, public classlib::WindowManager {
 public:
  FavouritesManager(Globals& globals, Player& player, const FavouritesCalls& calls);
  int Init() override;
  int Kill() override;
  int TakeWindowEvent() override;
  int TakeNewSelection() override;
  int TakeFieldEvent() override;

  // The popup's work, on the selected line.
  void PlayGroup();
  void ExpandAll();
  void ContractAll();
  // The selected line's group written to a play-list file the user names; a play-list file the
  // user chooses stored as a new group, which is then selected. Each tells the user how it went.
  void ExportGroup();
  void ImportList();
  // Insert, change or delete (request 1, 2, 3) with the toolbar's navigation between edits.
  void EditLoop(int action);
  // Moves the selection for a navigation request (2004 to 2009) from the current choice.
  void Navigate(int request);

  FavouritesTree& tree() { return tree_; }
  int32_t Selection() const;
  void SetSelection(int32_t row);

 private:
  // The frame toolbar's target for the tree: its arrows move the selection.
  class TreeTarget : public classlib::ToolbarTreeTarget {
   public:
    explicit TreeTarget(FavouritesManager& owner) : ToolbarTreeTarget(owner), manager_(owner) {}
    void TakeToolbar(int button, int32_t& request) override;

   private:
    FavouritesManager& manager_;
  };

  void Expand();
  void Contract();
  void Insert();
  void ChangeOrDelete(int action);
  // Runs a form with `request`; true when it completed.
  bool RunForm(const std::function<void(Globals&)>& form, int request);
  // Loads the tree again and selects the line of (newItemLevel_, newItemPosition_).
  void ReloadKeepingSelection();
  // A load that failed closes the window.
  void Loaded(TreeRead result);
  void TakeSelectionAsNewItem();
  // The name of the selected line's group; empty for the root, or when the line's record has
  // gone (the tree is then read again).
  std::string SelectedGroupName();

  Globals& globals_;
  Player& player_;
  FavouritesCalls calls_;
  FavouritesTree tree_;
  classlib::Toolbar toolbar_;
  TreeTarget treeTarget_{*this};
  bool filesOpened_ = false;
  bool focusLost_ = false;
  int32_t currentChoice_ = 0;
  int editAction_ = 0;
  int32_t newItemLevel_ = 0;
  std::string newItemPosition_;
};

// Runs the favourites window over the catalogue of `globals` until the user closes it.
void RunFavouritesWindow(Globals& globals, Player& player, const FavouritesCalls& calls = {});

}  // namespace cinevo::app
