// The browse: the records of a VIEW shown one page at a time in a list of a window.
//
// The list queue holds exactly the rows shown; the browse keeps, beside each row, the VIEW
// position of its record, and refills the queue from the VIEW when the user scrolls, pages,
// drags the thumb or types a locator key. The highlighted row stays on its record across
// refills. Insert, change, delete and select on the highlighted record come from the list's alert
// keys, its popup menu, the window's buttons and the frame toolbar; they run the update procedure
// (Ask) or edit the row in place.
//
// Paging (LASTITEMS rows shown):
//   ResetQueue   refills the page: from the first row shown (mode 1) or around the highlighted
//                record keeping its row number (mode 2); a page that ends early is filled
//                backwards unless ALLOWUNFILLED; the highlight goes back to its record, or to row 1
//                when that record is gone.
//   FetchRows    adds up to ITEMSTOFILL rows at one end, dropping as many at the other.
//   scroll events  ScrollUp/Down move the highlight, moving the page by one row at its edges;
//                PageUp/Down move the page; ScrollTop/Bottom show the first or last page;
//                ScrollDrag jumps to the key value of the thumb's step table. Each posts one
//                EVENT:NewSelection (never a second while one is pending).
//
// Invariants:
//  1. The list queue holds at most LASTITEMS entries, and positions_ one position per entry, in
//     the same order.
//  2. currentChoice is 0 only while the queue is empty.
//  3. After every move the primary file's record buffer holds the highlighted row's record (or
//     is cleared when there is none).
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "classlib/field_pairs.h"
#include "classlib/list_control.h"
#include "classlib/step_locator.h"
#include "classlib/thumb_step.h"
#include "classlib/toolbar.h"
#include "classlib/view_manager.h"
#include "classlib/window_items.h"
#include "classlib/window_manager.h"
#include "runtime/core/queue.h"

namespace cinevo::classlib {

// The browse's sort-order record: the view manager's, with the order's locator, its reset fields
// and its thumb step table.
struct BrowseSortOrder : SortOrder {
  StepLocator* locator = nullptr;
  std::unique_ptr<FieldPairs> resets;
  StepTable* thumb = nullptr;
};

// Alert slots of the list.
namespace browse_alert {
inline constexpr int kDoubleClick = 252;
inline constexpr int kChange = 253;
inline constexpr int kDelete = 254;
inline constexpr int kInsert = 255;
}  // namespace browse_alert

// Key codes the browse reacts to.
namespace browse_key {
inline constexpr uint32_t kLeftDouble = 5;
inline constexpr uint32_t kInsert = 0x2D;
inline constexpr uint32_t kCtrlEnter = 0x20D;
inline constexpr uint32_t kDelete = 0x2E;
}  // namespace browse_key

// The actions that end an edit in place: Tab, Shift+Tab, Enter, Esc, Down, Up.
enum EditAction : int {
  kEditNone = 0,
  kEditTab = 1,
  kEditShiftTab = 2,
  kEditEnter = 3,
  kEditEscape = 4,
  kEditDown = 5,
  kEditUp = 6,
};
// The ending action of a key code in an edit-in-place control (kEditNone for other keys).
EditAction EditActionOf(uint32_t keyCode);

// Where an edit in place goes after an ending key: the codes of the settings tabAction,
// enterAction, arrowAction and focusLossAction. "The row ends" means: a changed row asks "Save
// Record" (Yes writes it, No puts it back, Cancel stays on the row); an unchanged one is left.
//
//   tabAction (Tab, Shift+Tab)
//     kDefault   the next (previous) column; past the last (first) one the row ends
//     kNextRow   the same, but past the last (first) column the edit goes on in the first (last)
//                column of the next (previous) row
//     kEndRow    the row ends at once
//   enterAction
//     kDefault   the row ends; the highlight stays on it
//     kNextRow   the row ends and the edit goes on in the same column of the next row
//   arrowAction (Up, Down)
//     kDefault   the row ends and the highlight moves one row
//     kNextRow   the row ends and the edit goes on in the same column of the row above (below)
//     kRemain    the keys stay with the editor (they are not ending keys)
//   focusLossAction (a control other than the row's editors takes the focus)
//     kDefault       the row ends
//     kSaveQuietly   the row ends, a changed row written without asking
//     kDiscard       the row is put back as it was and ends
//     kRemain        the edit stays open until an ending key
// Esc always puts the row back and ends it. A code a setting does not list counts as kDefault.
namespace edit_move {
inline constexpr uint8_t kDefault = 0;
inline constexpr uint8_t kNextRow = 1;
inline constexpr uint8_t kEndRow = 2;
inline constexpr uint8_t kRemain = 3;
inline constexpr uint8_t kSaveQuietly = 4;
inline constexpr uint8_t kDiscard = 5;
}  // namespace edit_move

class Browse : public ViewManager, public BrowseItem {
 public:
  // --- Settings ---------------------------------------------------------------------------------
  bool activeInvisible = false;
  bool allowUnfilled = false;
  int askProcedure = 0;      // the update procedure; 0 edits in place
  int changeControl = 0;
  int deleteControl = 0;
  int insertControl = 0;
  int selectControl = 0;
  bool quickScan = false;
  bool retainRow = true;
  bool selecting = false;
  bool hideSelect = false;  // the highlight shows only while the list has the focus (SetAlerts)
  uint8_t tabAction = edit_move::kDefault;
  uint8_t enterAction = edit_move::kDefault;
  uint8_t arrowAction = edit_move::kDefault;
  uint8_t focusLossAction = edit_move::kDefault;

  // --- State ------------------------------------------------------------------------------------
  int currentChoice = 0;
  int currentEvent = 0;
  int itemsToFill = 0;
  int lastChoice = 0;
  int lastItems = 0;
  bool loaded = false;
  bool newSelectPosted = false;
  // The level of the last read of a row: 0 a record, 5 the end of the set, 3 a read error.
  int recordStatus = 0;

  // Stores the references, makes the first sort-order list, adds the browse to the window.
  void Init(int listControl, ListControl& list, WindowManager& window, Queue& listQueue, View& view,
            RelationManager& primary);
  // A sort order on `key` (0-based; -1 none) with its thumb step table (or none); its number.
  int AddSortOrder(StepTable* thumb, int key);
  using ViewManager::AddSortOrder;
  void AddLocator(StepLocator& locator);
  // A field copied into the list queue for every row: bytes of a VIEW file's record, and the bytes
  // of the queue's record buffer they go to.
  void AddField(std::span<uint8_t> viewField, std::span<uint8_t> queueField);
  // A field of the current sort order whose change refills the list from the start.
  void AddResetField(std::span<uint8_t> field);
  void AddToolbarTarget(Toolbar& toolbar);
  void AddEditControl(int column, int control);

  // --- The browse's operations ------------------------------------------------------------------
  void Kill() override;
  void SetAlerts() override;
  virtual void ResetQueue(int mode);
  virtual void FetchRows(int direction);  // 1 backwards, 2 forwards
  // Runs the update of the highlighted record (1 insert, 2 change, 3 delete), again for every
  // navigation request the update procedure leaves.
  virtual void Ask(int request);
  // What follows an update procedure: the list is refilled, an inserted record highlighted.
  virtual void TakeResponse(int request, int response);
  // Insert or change in the list itself (no update procedure): the edit controls are laid over
  // the highlighted row's cells (a new row is opened for an insert) and `column` (0-based, of the
  // edit controls) gets the focus.
  virtual void EditInPlace(int request, int column = 0);
  // Leaving a changed row of an edit (1 insert, 2 change): asks "Save Record" and writes the row
  // for Yes, puts it back for No; the level says whether to leave the row (0) or stay on it (4).
  virtual int AskSaveRow(bool changed, int request);
  // Moves for the scroll events and the toolbar's navigation buttons.
  virtual void ScrollOne(bool down);
  virtual void ScrollPage(bool down);
  virtual void ScrollEnd(bool bottom);
  virtual void ScrollDrag();
  virtual void Locate(std::string_view value);
  // Shows the record at `pointer` of the primary file, whose free key element is `value`, with
  // the highlight on it; false when the view does not hold it.
  virtual bool ShowRecord(std::string_view value, int64_t pointer);
  // The highlighted row's record into the record buffers (cleared when there is no row).
  virtual void LoadCurrent();

  // --- BrowseItem -------------------------------------------------------------------------------
  void ResetSort(bool force) override;
  void ResetFromView() override;
  void UpdateBuffer() override;
  int TakeEvent() override;

  int Rows() const { return static_cast<int>(positions_.size()); }
  const std::string& RowPosition(int row) const { return positions_[static_cast<size_t>(row - 1)]; }
  const std::string& ViewPosition() const { return viewPosition_; }
  int ListControlNumber() const { return listControl_; }
  BrowseSortOrder& CurrentBrowseOrder() const { return static_cast<BrowseSortOrder&>(CurrentOrder()); }
  // The popup text of the buttons present ("" when none).
  std::string PopupText() const;

 protected:
  std::unique_ptr<SortOrder> MakeSortOrder() override { return std::make_unique<BrowseSortOrder>(); }

 private:
  struct EditControl {
    int column;
    int control;
  };
  struct PopupEntry {
    std::string text;
    int control;
  };

  // Takes the row just read into a new list entry at the top or the bottom.
  void TakeRow(bool atTop, const std::string& position);
  void DropRow(bool top);
  void ClearRows();
  bool ResetViewTo(const std::string& position);
  // Fills the page from the row the next read gives, highlighting it; near the end of the set
  // the page is filled backwards (unless ALLOWUNFILLED).
  void FillFromHere();
  // The refill of ResetQueue: reading from `anchor` (the start of the set when empty or gone)
  // with up to `skip` rows above it, the highlight on the row at `remembered` when it is read.
  void Refill(const std::string& anchor, int skip, const std::string& remembered);
  // After a move: the list's highlight, one NewSelection, the locator and the thumb.
  void AfterMove();
  void PostNewSelection();
  void UpdateThumb();
  void SetThumbLimits();
  void Navigate(int button);
  void PopupChoice();
  // A button of the browse: pressed through the window (so its own handling runs first), or
  // carried out at once when the window has no such control.
  void PressButton(int control);
  bool TakeButton(int control);
  bool HandleAlertKey(uint32_t keyCode);
  // A key that ends or moves an edit in place (`accepted`: the control was left or Enter
  // pressed); false when no edit is under way.
  bool TakeEditKey(int control, uint32_t keyCode, bool accepted);
  enum class RowEnd { kAsk, kQuiet, kDiscard };
  // Ends the row being edited; false when the edit stays on it (Cancel, a failed write).
  bool EndEditRow(RowEnd how);
  // After a row ended: the edit goes on in `column` of the next (previous) row, when there is one.
  void ContinueEdit(bool down, int column);
  // Another control than the row's editors has the focus.
  bool EditFocusLeft() const;
  void TakeFocusLoss();
  bool IsEditControl(int control) const;
  void SetEditAlerts();
  void HideEditors();

  int listControl_ = 0;
  ListControl* list_ = nullptr;
  WindowManager* window_ = nullptr;
  Queue* queue_ = nullptr;
  FieldPairs fields_;
  std::vector<std::string> positions_;
  std::string viewPosition_;
  std::vector<EditControl> editList_;
  std::vector<PopupEntry> popup_;
  std::unique_ptr<ToolbarBrowseTarget> toolbarItem_;
  std::vector<uint8_t> editSaved_;  // the row's record as it was before the edit
  int editRequest_ = 0;              // the edit in place under way (0 none)
  int editColumn_ = 0;
  bool refillFound_ = false;  // the last refill found the highlighted record again
  int editNewRow_ = 0;        // an insert's own row on the page (0 none)
  int editFromChoice_ = 0;    // the row highlighted before that row was opened
};

}  // namespace cinevo::classlib
