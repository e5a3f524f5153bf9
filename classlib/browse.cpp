#include "classlib/browse.h"

#include <algorithm>
#include <cstring>

#include "runtime/core/locale_tables.h"
#include "runtime/data/file_statements.h"
#include "runtime/ui/event_code.h"
#include "runtime/ui/message_box.h"
#include "runtime/ui/mouse_cursor.h"
#include "runtime/ui/popup_menu.h"

namespace cinevo::classlib {

namespace tb = toolbar_button;

namespace {
constexpr int kBackwards = 1;
constexpr int kForwards = 2;
constexpr int kRetainMode = 2;
constexpr uint32_t kEnterKey = 0x0D;

// Two key values alike as a key without case compares them (trailing blanks do not count).
bool EqualIgnoringCase(std::string_view a, std::string_view b) {
  auto trimmed = [](std::string_view t) {
    while (!t.empty() && t.back() == ' ') t.remove_suffix(1);
    return t;
  };
  a = trimmed(a);
  b = trimmed(b);
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return ToUpperChar(static_cast<uint8_t>(x)) == ToUpperChar(static_cast<uint8_t>(y));
         });
}

// Shows the busy cursor while it lives.
class BusyCursor {
 public:
  BusyCursor() : previous_(MouseCursor()) { SetMouseCursor(kCursorBusy); }
  ~BusyCursor() { SetMouseCursor(previous_); }

 private:
  int previous_;
};
}  // namespace

EditAction EditActionOf(uint32_t keyCode) {
  switch (keyCode) {
    case 0x09: return kEditTab;
    case 0x109: return kEditShiftTab;
    case 0x0D: return kEditEnter;
    case 0x1B: return kEditEscape;
    case 0x28: return kEditDown;
    case 0x26: return kEditUp;
    default: return kEditNone;
  }
}

// --- Set-up ----------------------------------------------------------------------------------------

void Browse::Init(int listControl, ListControl& list, WindowManager& window, Queue& listQueue, View& view,
                  RelationManager& primary) {
  listControl_ = listControl;
  list_ = &list;
  window_ = &window;
  queue_ = &listQueue;
  retainRow = true;
  ViewManager::Init(view, primary);
  window.AddItem(static_cast<BrowseItem&>(*this));
}

int Browse::AddSortOrder(StepTable* thumb, int key) {
  const int n = ViewManager::AddSortOrder(key);
  BrowseSortOrder& o = CurrentBrowseOrder();
  o.thumb = thumb;
  o.resets = std::make_unique<FieldPairs>();
  return n;
}

void Browse::AddLocator(StepLocator& locator) {
  if (OrderCount() == 0) return;
  CurrentBrowseOrder().locator = &locator;
}

void Browse::AddField(std::span<uint8_t> viewField, std::span<uint8_t> queueField) {
  fields_.AddPair(viewField, queueField);
}

void Browse::AddResetField(std::span<uint8_t> field) {
  if (OrderCount() == 0) return;
  BrowseSortOrder& o = CurrentBrowseOrder();
  o.resets->AddPair(field, field);
  o.resets->AssignLeftToBuffer();
}

void Browse::AddToolbarTarget(Toolbar& toolbar) {
  toolbarItem_ = std::make_unique<ToolbarBrowseTarget>(*window_, this);
  toolbarItem_->insertButton = insertControl;
  toolbarItem_->changeButton = changeControl;
  toolbarItem_->deleteButton = deleteControl;
  toolbarItem_->selectButton = selectControl;
  toolbar.AddTarget(*toolbarItem_, listControl_);
}

void Browse::AddEditControl(int column, int control) { editList_.push_back({column, control}); }

void Browse::Kill() {
  ClearRows();
  currentChoice = 0;
  loaded = false;
  ViewManager::Kill();
}

void Browse::SetAlerts() {
  list_->SetHideSelect(hideSelect);
  // The editors of an edit in place show only while a row is edited.
  if (editRequest_ == 0) HideEditors();
  list_->SetAlert(browse_alert::kDoubleClick, browse_key::kLeftDouble);
  for (size_t n = 1; n <= OrderCount(); ++n) {
    auto& o = static_cast<BrowseSortOrder&>(Order(static_cast<int>(n)));
    if (o.locator != nullptr) o.locator->SetAlerts(*list_);
  }
  popup_.clear();
  if (insertControl != 0) {
    list_->SetAlert(browse_alert::kInsert, browse_key::kInsert);
    popup_.push_back({"&Insert", insertControl});
  }
  if (changeControl != 0) {
    list_->SetAlert(browse_alert::kChange, browse_key::kCtrlEnter);
    popup_.push_back({"&Change", changeControl});
  }
  if (deleteControl != 0) {
    list_->SetAlert(browse_alert::kDelete, browse_key::kDelete);
    popup_.push_back({"&Delete", deleteControl});
  }
  if (selectControl != 0) popup_.push_back({"&Select", selectControl});
}

std::string Browse::PopupText() const {
  std::string text;
  for (const PopupEntry& e : popup_) {
    if (!text.empty()) text += '|';
    text += e.text;
  }
  return text;
}

// --- Rows --------------------------------------------------------------------------------------------

void Browse::TakeRow(bool atTop, const std::string& position) {
  fields_.AssignLeftToRight();
  if (atTop) {
    QueueAddAt(queue_, 1);
    positions_.insert(positions_.begin(), position);
  } else {
    QueueAdd(queue_);
    positions_.push_back(position);
  }
}

void Browse::DropRow(bool top) {
  if (positions_.empty()) return;
  if (top) {
    QueueDeleteAt(queue_, 1);
    positions_.erase(positions_.begin());
  } else {
    QueueDeleteAt(queue_, Rows());
    positions_.pop_back();
  }
}

void Browse::ClearRows() {
  if (queue_ != nullptr) QueueFree(queue_);
  positions_.clear();
}

bool Browse::ResetViewTo(const std::string& position) {
  return !position.empty() && cinevo::Reset(view().block(), position) == 0;
}

// --- Filling -------------------------------------------------------------------------------------------

void Browse::FetchRows(int direction) {
  if (itemsToFill <= 0) return;  // nothing to read: the VIEW is not even put at the edge
  const bool forward = direction == kForwards;
  std::string edge;
  if (!positions_.empty()) {
    edge = forward ? positions_.back() : positions_.front();
    // The first read gives the edge row again (unless it is gone); it is recognised and passed.
    if (!ResetViewTo(edge)) return;
  }
  bool atEdge = !edge.empty();
  // Quick-scan lets the driver read ahead while the rows come one after another; the VIEW reads
  // no further ahead than the rows wanted (and the edge row read again).
  const bool scanning = quickScan && itemsToFill > 0;
  if (scanning) primary().SetQuickScan(true);
  view().ExpectReads(itemsToFill + (atEdge ? 1 : 0));
  while (itemsToFill > 0) {
    const int r = forward ? Next() : Previous();
    recordStatus = r;
    if (r != kLevelBenign) break;  // the end of the set, or a read error (reported)
    std::string position = cinevo::Position(view().block());
    if (atEdge) {
      atEdge = false;
      if (position == edge) continue;
    }
    if (Rows() >= lastItems) DropRow(forward);
    TakeRow(!forward, position);
    --itemsToFill;
  }
  view().ExpectReads(0);
  if (scanning) primary().SetQuickScan(false);
}

void Browse::ResetQueue(int mode) {
  lastItems = std::max(1, list_->RowsShown());
  if (!activeInvisible && !list_->Visible()) return;
  loaded = true;
  BusyCursor busy;
  Open();

  std::string remembered;
  if (currentChoice >= 1 && currentChoice <= Rows()) remembered = positions_[static_cast<size_t>(currentChoice - 1)];
  if (mode == kRetainMode && !remembered.empty()) {
    // Around the highlighted record: it is read first, the rows above it afterwards.
    Refill(remembered, retainRow ? currentChoice - 1 : 0, remembered);
  } else {
    Refill(positions_.empty() ? std::string() : positions_.front(), 0, remembered);
  }
}

void Browse::Refill(const std::string& anchor, int skip, const std::string& remembered) {
  skip = std::clamp(skip, 0, lastItems - 1);
  const bool started = ResetViewTo(anchor);
  if (!started) {
    skip = 0;
    ResetToStart();
  }

  ClearRows();
  itemsToFill = lastItems - skip;
  FetchRows(kForwards);
  const int read = Rows();

  // The remembered record among the rows read; row 1 when it is not there (deleted, or out of
  // the range now).
  int found = 0;
  if (!remembered.empty()) {
    auto at = std::find(positions_.begin(), positions_.end(), remembered);
    if (at != positions_.end()) found = static_cast<int>(at - positions_.begin()) + 1;
  }
  if (read == 0) ResetToStart();

  // Rows above: the skipped ones, and when the page ended early those missing at the bottom.
  const int missing = allowUnfilled ? 0 : std::max(0, lastItems - skip - read);
  itemsToFill = skip + missing;
  const int before = Rows();
  FetchRows(kBackwards);
  const int above = Rows() - before;
  if (found != 0) found += above;
  // Near the start of the set fewer rows lie above; the page is filled up at the bottom.
  if (!allowUnfilled && Rows() < lastItems && Rows() > 0) {
    itemsToFill = lastItems - Rows();
    FetchRows(kForwards);
  }
  while (Rows() > lastItems) DropRow(false);

  currentChoice = Rows() == 0 ? 0 : (found != 0 ? found : 1);
  refillFound_ = found != 0;
  AfterMove();
}

// --- Moves -----------------------------------------------------------------------------------------------

void Browse::LoadCurrent() {
  if (currentChoice >= 1 && currentChoice <= Rows()) {
    const std::string& position = positions_[static_cast<size_t>(currentChoice - 1)];
    view().ExpectReads(1);
    const bool read = ResetViewTo(position) && cinevo::Next(view().block()) == 0;
    view().ExpectReads(0);
    if (read) {
      viewPosition_ = position;
      return;
    }
  }
  viewPosition_.clear();
  ClearRecordBuffer(primary().Me().File());
}

void Browse::PostNewSelection() {
  if (newSelectPosted) return;
  newSelectPosted = window_->window().Post(EVENT::NewSelection, listControl_);
}

void Browse::UpdateThumb() {
  if (OrderCount() == 0 || currentChoice == 0) return;
  StepTable* thumb = CurrentBrowseOrder().thumb;
  if (thumb != nullptr) list_->SetThumb(thumb->GetPercentile(FreeElementText()));
}

void Browse::SetThumbLimits() {
  if (OrderCount() == 0) return;
  StepTable* thumb = CurrentBrowseOrder().thumb;
  if (thumb == nullptr || !thumb->UsesRuntimeTable()) return;
  std::string low, high;
  ResetToStart();
  view().ExpectReads(1);
  if (ViewManager::Next() == kLevelBenign) low = FreeElementText();
  ResetToStart();
  view().ExpectReads(1);
  if (ViewManager::Previous() == kLevelBenign) high = FreeElementText();
  view().ExpectReads(0);
  ResetToStart();
  thumb->SetLimits(low, high);
}

void Browse::AfterMove() {
  if (currentChoice > Rows()) currentChoice = Rows();
  if (currentChoice == 0 && Rows() > 0) currentChoice = 1;
  list_->SetSelected(currentChoice);
  PostNewSelection();
  LoadCurrent();
  UpdateThumb();
}

void Browse::ScrollOne(bool down) {
  if (Rows() == 0) return;
  lastChoice = currentChoice;
  if (down) {
    if (currentChoice < Rows()) {
      ++currentChoice;
    } else {
      itemsToFill = 1;
      FetchRows(kForwards);
      currentChoice = Rows();
    }
  } else {
    if (currentChoice > 1) {
      --currentChoice;
    } else {
      itemsToFill = 1;
      FetchRows(kBackwards);
      currentChoice = 1;
    }
  }
  AfterMove();
}

void Browse::ScrollPage(bool down) {
  if (Rows() == 0) return;
  lastChoice = currentChoice;
  lastItems = std::max(1, list_->RowsShown());
  itemsToFill = lastItems;
  FetchRows(down ? kForwards : kBackwards);
  const int missing = itemsToFill;
  currentChoice = down ? std::min(currentChoice + missing, Rows()) : std::max(currentChoice - missing, 1);
  AfterMove();
}

void Browse::ScrollEnd(bool bottom) {
  lastChoice = currentChoice;
  lastItems = std::max(1, list_->RowsShown());
  ClearRows();
  ResetToStart();
  itemsToFill = lastItems;
  FetchRows(bottom ? kBackwards : kForwards);
  currentChoice = bottom ? Rows() : std::min(1, Rows());
  AfterMove();
}

void Browse::Locate(std::string_view value) {
  lastChoice = currentChoice;
  lastItems = std::max(1, list_->RowsShown());
  if (PositionAtValue(value) != kLevelBenign) {
    ScrollEnd(true);  // nothing at or after the value: the last page
    return;
  }
  FillFromHere();
}

bool Browse::ShowRecord(std::string_view value, int64_t pointer) {
  lastChoice = currentChoice;
  lastItems = std::max(1, list_->RowsShown());
  if (pointer <= 0 || PositionAtValue(value) != kLevelBenign) return false;
  // Records with equal key values follow one another from there; the one at `pointer` is it.
  FileControlBlock& file = primary().Me().File();
  std::string position;
  while (ViewManager::Next() == kLevelBenign) {
    if (!EqualIgnoringCase(FreeElementText(), value)) break;
    if (cinevo::Pointer(file) == pointer) {
      position = cinevo::Position(view().block());
      break;
    }
  }
  if (position.empty()) return false;
  // The highlight keeps its row number where the rows above allow it.
  Refill(position, std::max(currentChoice, 1) - 1, position);
  return refillFound_;
}

void Browse::FillFromHere() {
  ClearRows();
  itemsToFill = lastItems;
  FetchRows(kForwards);
  currentChoice = Rows() == 0 ? 0 : 1;
  if (!allowUnfilled && Rows() < lastItems) {
    if (Rows() == 0) ResetToStart();
    const int before = Rows();
    itemsToFill = lastItems - Rows();
    FetchRows(kBackwards);
    currentChoice += Rows() - before;
    if (before == 0) currentChoice = Rows();
  }
  AfterMove();
}

void Browse::ScrollDrag() {
  if (Rows() == 0) return;
  const int p = list_->Thumb();
  StepTable* thumb = OrderCount() ? CurrentBrowseOrder().thumb : nullptr;
  if (p <= 1 || (thumb == nullptr && p < 50)) return ScrollEnd(false);
  if (p >= 100 || thumb == nullptr) return ScrollEnd(true);
  Locate(thumb->GetValue(p));
  list_->SetThumb(p);  // the thumb stays where the user dropped it
}

void Browse::Navigate(int button) {
  switch (button) {
    case tb::kDown: ScrollOne(true); break;
    case tb::kUp: ScrollOne(false); break;
    case tb::kPageDown: ScrollPage(true); break;
    case tb::kPageUp: ScrollPage(false); break;
    case tb::kTop: ScrollEnd(false); break;
    case tb::kBottom: ScrollEnd(true); break;
    default: break;
  }
}

// --- Updates ---------------------------------------------------------------------------------------------

void Browse::Ask(int request) {
  int32_t none = 0;
  int32_t& vcr = window_->vcrRequest != nullptr ? *window_->vcrRequest : none;
  ManagedWindow& w = window_->window();
  while (true) {
    vcr = 0;
    if (request == request::kInsert) {
      PrimeRecord();
    } else {
      if (Rows() == 0) return;  // nothing to change or delete
      LoadCurrent();
    }
    if (w.LastKeyCode() == kRightButtonKey) w.ClearLastKeyCode();
    if (askProcedure != 0) {
      const int response = window_->RunProcedure(askProcedure, request);
      TakeResponse(request, response);
    } else {
      EditInPlace(request);
    }
    const int navigation = vcr;
    if (navigation == 0) return;
    // The form asked to move on: make the move, then open the form again on the record there.
    Navigate(navigation);
    request = navigation == tb::kInsert ? request::kInsert : request::kChange;
  }
}

void Browse::TakeResponse(int request, int response) {
  // The record written is the primary file's current record: its key value and its place in
  // the file find it when it is not where the highlight was (a new record, or a changed key),
  // even among records with the same key value.
  const std::string value = FreeElementText();
  const int64_t pointer = request == request::kDelete ? 0 : cinevo::Pointer(primary().Me().File());
  const bool completed = response == response::kCompleted;
  if (completed && request == request::kInsert) {
    if (!ShowRecord(value, pointer)) Locate(value);
    return;
  }
  ResetQueue(kRetainMode);
  if (completed && request == request::kChange && !refillFound_ && !ShowRecord(value, pointer)) Locate(value);
}

void Browse::EditInPlace(int request, int column) {
  RelationManager& rel = primary();
  if (request == request::kDelete) {
    rel.Delete(true);
    ResetQueue(kRetainMode);
    return;
  }
  if (editList_.empty()) return;
  // The editors show the record's fields; the user's keys end the edit (TakeEditKey).
  std::span<uint8_t> record = rel.Me().File().record;
  editSaved_.assign(record.begin(), record.end());
  editRequest_ = request;
  editColumn_ = std::clamp(column, 0, static_cast<int>(editList_.size()) - 1);
  editNewRow_ = 0;
  if (request == request::kInsert) {
    // The new record gets a row of its own, above the highlighted one, keeping the page's size.
    lastItems = std::max(1, list_->RowsShown());
    editFromChoice_ = currentChoice;
    int at = std::max(currentChoice, 1);
    fields_.AssignLeftToRight();
    QueueAddAt(queue_, at);
    positions_.insert(positions_.begin() + (at - 1), std::string());
    if (Rows() > lastItems) {
      if (at < Rows()) {
        DropRow(false);
      } else {
        DropRow(true);
        --at;
      }
    }
    editNewRow_ = at;
    currentChoice = at;
    list_->SetSelected(at);
  }
  SetEditAlerts();
  ManagedWindow& w = window_->window();
  w.Display();
  for (const EditControl& e : editList_) list_->PlaceOverCell(e.control, std::max(currentChoice, 1), e.column);
  w.Select(editList_[static_cast<size_t>(editColumn_)].control);
}

void Browse::SetEditAlerts() {
  // The six ending keys reach the browse from every editor; the arrow keys stay with the editor
  // when they end nothing.
  const bool arrows = arrowAction != edit_move::kRemain;
  for (const EditControl& e : editList_) {
    int slot = 1;
    for (uint32_t key : {0x09u, 0x109u, 0x0Du, 0x1Bu, 0x28u, 0x26u}) {
      const bool arrow = key == 0x28u || key == 0x26u;
      list_->SetControlAlert(e.control, slot++, arrow && !arrows ? 0 : key);
    }
  }
}

void Browse::HideEditors() {
  for (const EditControl& e : editList_) list_->HideControl(e.control);
}

bool Browse::IsEditControl(int control) const {
  return std::any_of(editList_.begin(), editList_.end(), [&](const EditControl& e) { return e.control == control; });
}

bool Browse::EditFocusLeft() const {
  const int focus = window_->window().FocusedControl();
  return focus != 0 && !IsEditControl(focus);
}

int Browse::AskSaveRow(bool changed, int request) {
  if (!changed) return kLevelBenign;
  FileManager& me = primary().Me();
  const unsigned answer = me.Errors().Ask(form_message::kSaveRecord,
                                         box_button::kYes | box_button::kNo | box_button::kCancel,
                                         box_button::kYes);
  if (answer == box_button::kYes) {
    const int r = request == request::kInsert ? me.Insert() : primary().Update();
    return r == 0 ? kLevelBenign : kLevelCancel;
  }
  if (answer == box_button::kNo) {
    std::span<uint8_t> record = me.File().record;
    std::copy(editSaved_.begin(), editSaved_.end(), record.begin());
    return kLevelBenign;
  }
  return kLevelCancel;
}

bool Browse::EndEditRow(RowEnd how) {
  ManagedWindow& w = window_->window();
  FileManager& me = primary().Me();
  std::span<uint8_t> record = me.File().record;
  const bool changed = !std::equal(record.begin(), record.end(), editSaved_.begin(), editSaved_.end());
  // The edit is taken off first: the editor loses the focus while a question is shown, and that
  // must not end the row a second time.
  const int request = editRequest_;
  editRequest_ = 0;
  int level = kLevelBenign;
  if (how == RowEnd::kDiscard) {
    std::copy(editSaved_.begin(), editSaved_.end(), record.begin());
  } else if (how == RowEnd::kQuiet) {
    if (changed) level = request == request::kInsert ? me.Insert() : primary().Update();
  } else {
    level = AskSaveRow(changed, request);
  }
  if (level != kLevelBenign) {
    editRequest_ = request;
    w.Select(editList_[static_cast<size_t>(editColumn_)].control);
    return false;  // stays on the row
  }
  // Written when the record still differs from the row as it was (No and Esc put it back).
  const bool written = !std::equal(record.begin(), record.end(), editSaved_.begin(), editSaved_.end());
  HideEditors();
  if (editNewRow_ != 0) {
    // The insert's own row goes; the page is read again around the row highlighted before it.
    if (editNewRow_ <= Rows()) {
      QueueDeleteAt(queue_, editNewRow_);
      positions_.erase(positions_.begin() + (editNewRow_ - 1));
    }
    currentChoice = std::min(editFromChoice_, Rows());
    editNewRow_ = 0;
  }
  w.Display();
  w.Select(listControl_);
  if (written) {
    TakeResponse(request, response::kCompleted);
  } else {
    ResetQueue(kRetainMode);
  }
  return true;
}

void Browse::ContinueEdit(bool down, int column) {
  const std::string before = viewPosition_;
  ScrollOne(down);
  if (viewPosition_.empty() || viewPosition_ == before) return;  // no row there
  EditInPlace(request::kChange, column);
}

void Browse::TakeFocusLoss() {
  if (focusLossAction == edit_move::kRemain) return;
  // A click on another row of the list takes the highlight there once the row has ended.
  const bool toList = window_->window().FocusedControl() == listControl_;
  const int clicked = toList ? list_->Selected() : 0;
  const RowEnd how = focusLossAction == edit_move::kSaveQuietly ? RowEnd::kQuiet
                     : focusLossAction == edit_move::kDiscard   ? RowEnd::kDiscard
                                                                : RowEnd::kAsk;
  if (!EndEditRow(how)) return;
  if (clicked >= 1 && clicked <= Rows() && clicked != currentChoice) {
    lastChoice = currentChoice;
    currentChoice = clicked;
    AfterMove();
  }
}

bool Browse::TakeEditKey(int control, uint32_t keyCode, bool accepted) {
  if (editRequest_ == 0 || editList_.empty()) return false;
  ManagedWindow& w = window_->window();
  if (accepted) {
    // An editor's value was taken: because it lost the focus, or before one of the ending keys
    // (which follows as its own event). Another editor of the row taking the focus moves the
    // edit to its column; any other control ends the row as focusLossAction says.
    const int focus = w.FocusedControl();
    if (focus == control) return true;
    for (size_t i = 0; i < editList_.size(); ++i) {
      if (editList_[i].control == focus) {
        editColumn_ = static_cast<int>(i);
        return true;
      }
    }
    if (EditFocusLeft()) TakeFocusLoss();
    return true;
  }
  const EditAction action = EditActionOf(keyCode);
  const int columns = static_cast<int>(editList_.size());
  const int column = editColumn_;
  switch (action) {
    case kEditTab:
    case kEditShiftTab: {
      const bool forward = action == kEditTab;
      if (tabAction != edit_move::kEndRow) {
        const int next = column + (forward ? 1 : -1);
        if (next >= 0 && next < columns) {
          editColumn_ = next;
          w.Select(editList_[static_cast<size_t>(next)].control);
          return true;
        }
      }
      if (EndEditRow(RowEnd::kAsk) && tabAction == edit_move::kNextRow) {
        ContinueEdit(forward, forward ? 0 : columns - 1);
      }
      return true;
    }
    case kEditEnter:
      if (EndEditRow(RowEnd::kAsk) && enterAction == edit_move::kNextRow) ContinueEdit(true, column);
      return true;
    case kEditEscape:
      EndEditRow(RowEnd::kDiscard);
      return true;
    case kEditDown:
    case kEditUp: {
      if (arrowAction == edit_move::kRemain) return false;
      const bool down = action == kEditDown;
      if (!EndEditRow(RowEnd::kAsk)) return true;
      if (arrowAction == edit_move::kNextRow) {
        ContinueEdit(down, column);
      } else {
        ScrollOne(down);
      }
      return true;
    }
    default: return false;
  }
}

// --- Events ------------------------------------------------------------------------------------------------

void Browse::PopupChoice() {
  const std::string text = PopupText();
  if (text.empty()) return;
  const int n = PopupMenu(text);
  if (n < 1 || n > static_cast<int>(popup_.size())) return;
  PressButton(popup_[static_cast<size_t>(n - 1)].control);
}

void Browse::PressButton(int control) {
  ManagedWindow& w = window_->window();
  if (control == 0 || w.Disabled(control)) return;
  if (!w.Post(EVENT::Accepted, control)) TakeButton(control);
}

bool Browse::TakeButton(int control) {
  if (control == 0) return false;
  if (control == insertControl) {
    Ask(request::kInsert);
  } else if (control == changeControl) {
    Ask(request::kChange);
  } else if (control == deleteControl) {
    Ask(request::kDelete);
  } else if (control == selectControl) {
    window_->Update();
    window_->SetResponse(response::kCompleted);
  } else {
    return false;
  }
  return true;
}

bool Browse::HandleAlertKey(uint32_t keyCode) {
  switch (keyCode) {
    case browse_key::kLeftDouble:
      PressButton(selecting && selectControl != 0 ? selectControl : changeControl);
      return true;
    case browse_key::kInsert: PressButton(insertControl); return true;
    case browse_key::kCtrlEnter: PressButton(changeControl); return true;
    case browse_key::kDelete: PressButton(deleteControl); return true;
    default: break;
  }
  if (OrderCount() == 0) return false;
  StepLocator* locator = CurrentBrowseOrder().locator;
  if (locator == nullptr) return false;
  const std::string value = locator->TakeKey(keyCode);
  if (value.empty()) return false;
  Locate(value);
  return true;
}

int Browse::TakeEvent() {
  ManagedWindow& w = window_->window();
  const int event = w.Event();
  const int field = w.Field();
  // A row being edited whose editors lost the focus to another control (a click elsewhere) is
  // ended before that control's event is taken.
  if (editRequest_ != 0 && !IsEditControl(field) && EditFocusLeft()) TakeFocusLoss();
  if (field == 0) return level::kContinue;
  if (field != listControl_) {
    if (event == EVENT::Accepted && TakeButton(field)) return level::kContinue;
    for (const EditControl& e : editList_) {
      if (e.control == field && (event == EVENT::AlertKey || event == EVENT::Accepted)) {
        TakeEditKey(field, w.KeyCode(), event == EVENT::Accepted);
        break;
      }
    }
    return level::kContinue;
  }
  currentEvent = event;
  // The page and the highlight stay under the editors while a row is edited.
  if (editRequest_ != 0) {
    if (event == EVENT::NewSelection) {
      newSelectPosted = false;
      list_->SetSelected(currentChoice);
    }
    return level::kContinue;
  }
  switch (event) {
    case EVENT::ScrollUp: ScrollOne(false); break;
    case EVENT::ScrollDown: ScrollOne(true); break;
    case EVENT::PageUp: ScrollPage(false); break;
    case EVENT::PageDown: ScrollPage(true); break;
    case EVENT::ScrollTop: ScrollEnd(false); break;
    case EVENT::ScrollBottom: ScrollEnd(true); break;
    case EVENT::ScrollDrag: ScrollDrag(); break;
    case EVENT::Locate: w.Select(listControl_); break;
    case EVENT::NewSelection: {
      newSelectPosted = false;
      const int selected = list_->Selected();
      if (selected >= 1 && selected <= Rows() && selected != currentChoice) {
        lastChoice = currentChoice;
        currentChoice = selected;
        LoadCurrent();
        UpdateThumb();
      }
      break;
    }
    case EVENT::AlertKey: HandleAlertKey(w.KeyCode()); break;
    case EVENT::Accepted:
      if (w.KeyCode() == kRightButtonKey) {
        PopupChoice();
      } else if (w.KeyCode() == kEnterKey || w.KeyCode() == browse_key::kLeftDouble) {
        HandleAlertKey(browse_key::kLeftDouble);
      }
      break;
    default: break;
  }
  return level::kContinue;
}

// --- Resets ----------------------------------------------------------------------------------------------------

void Browse::ResetSort(bool force) {
  if (OrderCount() == 0) return;
  Open();
  const bool rangeChanged = RefreshRange() != 0;
  BrowseSortOrder& o = CurrentBrowseOrder();
  bool resetsChanged = false;
  if (o.resets && o.resets->Size() != 0 && !o.resets->EqualLeftBuffer()) {
    o.resets->AssignLeftToBuffer();
    resetsChanged = true;
  }
  if (!loaded || rangeChanged || resetsChanged) {
    // Another set of rows: from the start, with the thumb's limits read afresh.
    ClearRows();
    currentChoice = 0;
    SetThumbLimits();
    ResetQueue(1);
  } else if (force) {
    ResetQueue(kRetainMode);
  }
}

void Browse::ResetFromView() { UpdateThumb(); }

void Browse::UpdateBuffer() { LoadCurrent(); }

}  // namespace cinevo::classlib
