#include "classlib/window_manager.h"

#include <algorithm>
#include <cstring>

#include "classlib/toolbar.h"
#include "classlib/window_resizer.h"
#include "runtime/ui/event_code.h"
#include "runtime/ui/message_box.h"

namespace cinevo::classlib {

WindowManager::~WindowManager() = default;

// --- Items ------------------------------------------------------------------------------------

void WindowManager::AddItem(BrowseItem& browse) { browses_.push_back(&browse); }
void WindowManager::AddItem(FileDropItem& drop) { fileDrops_.push_back(&drop); }
void WindowManager::AddItem(Toolbar& toolbar) {
  toolbar_ = &toolbar;
  toolbar.Init();
}
void WindowManager::AddItem(WindowResizer& resizer) { resize_ = &resizer; }
void WindowManager::AddItem(WindowTranslator& translator) { translator_ = &translator; }
void WindowManager::AddItem(int control, int code) { buttons_.push_back({control, code}); }

void WindowManager::AddUpdateFile(FormFile& file) { files_.push_back({&file, 0}); }

void WindowManager::AddHistoryFile(std::span<uint8_t> record, std::span<uint8_t> copy) {
  historyRecord_ = record;
  historyCopy_ = copy;
}

void WindowManager::AddHistoryField(int control, size_t offset, size_t size) {
  history_.push_back({control, offset, size});
}

// --- Life -------------------------------------------------------------------------------------

int WindowManager::Init() {
  originalRequest = request;
  browses_.clear();
  buttons_.clear();
  fileDrops_.clear();
  // The click that opened this window is not the new window's to see.
  if (window_.LastKeyCode() == kRightButtonKey) window_.ClearLastKeyCode();
  insertAction = 2;
  deleteAction = 2;
  changeAction = 1;
  cancelAction = 3;
  autoToolbar = true;
  initialised_ = true;
  return level::kContinue;
}

int WindowManager::Run() {
  if (Init() == level::kContinue) Ask();
  Kill();
  if (window_.IsOpen()) window_.Close();
  const int result = response == response::kNone ? response::kCancelled : response;
  // A form that did not complete carries no navigation request back to its caller, however it
  // was closed.
  if (result != response::kCompleted && vcrRequest != nullptr) *vcrRequest = 0;
  return result;
}

int WindowManager::Ask() {
  if (dead) return level::kContinue;
  lastInsertedPosition.clear();
  while (window_.Accept()) {
    if (!Dispatch()) break;
  }
  return level::kContinue;
}

bool WindowManager::Dispatch() {
  const int event = window_.Event();
  const int result = TakeEvent();
  if (result == level::kStop) {
    window_.ExitLoop();
    return false;
  }
  if (result == level::kHandled && (event == EVENT::CloseWindow || event == EVENT::CloseDown)) {
    window_.CancelClose();  // the close was refused: the window stays open
  }
  return true;
}

int WindowManager::Kill() {
  if (dead || !initialised_) return level::kHandled;
  for (BrowseItem* b : browses_) b->Kill();
  browses_.clear();
  for (FileDropItem* d : fileDrops_) d->Kill();
  fileDrops_.clear();
  buttons_.clear();
  history_.clear();
  // A completed form leaves its record in the buffer for the caller; any other outcome puts back
  // what the caller had there.
  const bool restore = response != response::kCompleted;
  for (UpdateFile& f : files_) f.file->RestoreBuffer(f.savedId, restore);
  files_.clear();
  if (primary != nullptr) primary->Me().RestoreBuffer(saved, false);
  if (toolbar_ != nullptr) toolbar_->Kill();
  if (resize_ != nullptr) resize_->Kill();
  dead = true;
  return level::kContinue;
}

void WindowManager::Open() {
  if (translator_ != nullptr) translator_->TranslateWindow();
  Reset(false);
  inited |= 1u;
}

// --- Routing ----------------------------------------------------------------------------------

int WindowManager::TakeEvent() {
  int result = level::kContinue;
  const int field = window_.Field();
  if (field == 0) {
    result = TakeWindowEvent();
    if (result != level::kContinue) return result;
  }
  switch (window_.Event()) {
    case EVENT::Accepted:
      result = TakeAccepted();
      break;
    case EVENT::Rejected:
      result = TakeRejected();
      break;
    case EVENT::Selected:
      result = TakeSelected();
      break;
    case EVENT::NewSelection:
      result = TakeNewSelection();
      break;
    case EVENT::AlertKey:
      if (historyKey != 0 && window_.KeyCode() == historyKey) {
        RestoreField(window_.FocusedControl());
      }
      break;
    default:
      break;
  }
  if (result != level::kContinue) return result;
  if (field != 0) {
    result = TakeFieldEvent();
    if (result != level::kContinue) return result;
  }
  for (BrowseItem* b : browses_) {
    result = b->TakeEvent();
    if (result != level::kContinue) return result;
  }
  for (FileDropItem* d : fileDrops_) {
    result = d->TakeEvent();
    if (result != level::kContinue) return result;
  }
  return result;
}

int WindowManager::TakeWindowEvent() {
  switch (window_.Event()) {
    case EVENT::OpenWindow:
      if ((inited & 1u) == 0) Open();
      userControl_ = -1;
      openingSelect_ = firstField != 0;
      if (firstField != 0) window_.Select(firstField);
      break;
    case EVENT::LoseFocus:
      if (resetOnGainFocus) forcedReset = true;
      break;
    case EVENT::GainFocus:
      if ((inited & 1u) != 0) {
        Reset(false);
      } else {
        Open();
      }
      break;
    case EVENT::Sized:
      if (resize_ != nullptr) resize_->Resize();
      if ((inited & 2u) != 0) {
        Reset(false);
      } else {
        inited |= 2u;
      }
      break;
    case EVENT::Completed:
      return TakeCompleted();
    case EVENT::CloseWindow:
    case EVENT::CloseDown:
      return TakeCloseEvent();
    default:
      break;
  }
  return level::kContinue;
}

int WindowManager::TakeAccepted() {
  const int field = window_.Field();
  if (field >= toolbar_button::kFirst && field <= toolbar_button::kLast) {
    // The press serves the part the user turned to last, not one the program moved meanwhile
    // (a browse refilled while a name is typed posts NewSelection to its list).
    ServeUserControl();
  } else if (field != 0) {
    userControl_ = field;
    openingSelect_ = false;
    ServeUserControl();
  }
  if (toolbar_ != nullptr) {
    int32_t none = 0;
    toolbar_->TakeEvent(field, vcrRequest != nullptr ? *vcrRequest : none);
  }
  if (field == kHistoryButton) RestoreField(window_.FocusedControl());
  for (const ResponseButton& b : buttons_) {
    if (b.control == field) {
      SetResponse(b.response);
      return level::kHandled;
    }
  }
  if (okControl != 0 && field == okControl) PostCompleted();
  return level::kContinue;
}

int WindowManager::TakeFieldEvent() { return level::kContinue; }

// The toolbar serves the part of the window the user turned to last: the control selected or
// typed into last. Right after opening, before the user has turned anywhere, it follows the
// NewSelections the window's parts post, so a browse's list (which posts one when it is first
// filled) serves it although FIRSTFIELD has the focus.
void WindowManager::ServeUserControl() {
  if (!autoToolbar || toolbar_ == nullptr || userControl_ < 0) return;
  toolbar_->SetTarget(toolbar_->HasTarget(userControl_) ? userControl_ : 0);
}

int WindowManager::TakeSelected() {
  const int field = window_.Field();
  if (openingSelect_ && field == firstField) {
    openingSelect_ = false;  // the program's own selection at opening
    return level::kContinue;
  }
  openingSelect_ = false;
  userControl_ = field;
  ServeUserControl();
  return level::kContinue;
}

int WindowManager::TakeNewSelection() {
  if (!autoToolbar || toolbar_ == nullptr) return level::kContinue;
  const int field = window_.Field();
  if (userControl_ < 0) {
    toolbar_->SetTarget(toolbar_->HasTarget(field) ? field : 0);
  } else if (field == userControl_) {
    ServeUserControl();
  }
  return level::kContinue;
}

int WindowManager::TakeRejected() {
  window_.Display();
  window_.Select(window_.Field());
  return level::kContinue;
}

int WindowManager::PrimeFields() { return level::kContinue; }

// --- Responses --------------------------------------------------------------------------------

void WindowManager::SetResponse(int code) {
  response = code;
  window_.Post(EVENT::CloseWindow);
  if (code == response::kCancelled && vcrRequest != nullptr) *vcrRequest = 0;
}

void WindowManager::PostCompleted() {
  if (originalRequest == request::kInsert || originalRequest == request::kChange) {
    window_.Select(0);  // every control checks its value first
  } else {
    window_.Post(EVENT::Completed);
  }
}

int WindowManager::RunProcedure(int /*number*/, int /*request*/) { return response::kCancelled; }

// --- Reset and update -------------------------------------------------------------------------

void WindowManager::Reset(bool force) {
  if (window_.AcceptingAll()) return;
  force = force || forcedReset;
  forcedReset = false;
  for (BrowseItem* b : browses_) b->ResetSort(force);
  for (BrowseItem* b : browses_) b->ResetFromView();
  for (FileDropItem* d : fileDrops_) d->ResetQueue();
}

void WindowManager::Update() {
  for (BrowseItem* b : browses_) b->UpdateBuffer();
}

void WindowManager::SetAlerts() {
  for (BrowseItem* b : browses_) b->SetAlerts();
  if (historyKey != 0) window_.AddAlertKey(historyKey);
}

void WindowManager::ShowHelp() {
  std::string text = helpText;
  if (text.empty()) {
    text = "Fill in the fields and press OK to keep the record, or Cancel to leave it as it "
           "was.|The toolbar's arrows save the record and move to the next one.";
  }
  ShowMessageBox(text, "Help", box_icon::kAsterisk, box_button::kOk, box_button::kOk);
}

// --- History ----------------------------------------------------------------------------------

void WindowManager::RestoreField(int control) {
  for (const HistoryField& h : history_) {
    if (h.control != control) continue;
    if (h.offset > historyRecord_.size() || h.size > historyRecord_.size() - h.offset ||
        historyCopy_.size() < historyRecord_.size()) {
      continue;  // a field outside the record is never touched
    }
    std::memcpy(historyRecord_.data() + h.offset, historyCopy_.data() + h.offset, h.size);
    window_.Display(control);
  }
}

void WindowManager::SaveHistory() {
  if (historyRecord_.empty() || historyCopy_.size() < historyRecord_.size()) return;
  std::copy(historyRecord_.begin(), historyRecord_.end(), historyCopy_.begin());
}

// --- The update-form protocol -----------------------------------------------------------------

int WindowManager::PrimeUpdate() {
  if (primary != nullptr) primary->SaveLinks();
  for (UpdateFile& f : files_) f.savedId = f.file->SaveBuffer();
  if (request == request::kInsert && insertAction != 0) {
    response = response::kCompleted;
    PrimeFields();
    if (primary != nullptr) saved = primary->Me().SaveBuffer();
    if (response == response::kCancelled) return level::kStop;
    response = response::kCancelled;
    return level::kContinue;
  }
  if (request == request::kDelete && (deleteAction == 2 || deleteAction == 4)) {
    // The window is never shown: the record goes (after the question when asked) or stays.
    const int deleted =
        primary != nullptr ? primary->Delete(deleteAction == 2) : level::kHandled;
    response = deleted == level::kContinue ? response::kCompleted : response::kCancelled;
    return level::kStop;
  }
  if (primary != nullptr) saved = primary->Me().SaveBuffer();
  return level::kContinue;
}

int WindowManager::TakeCompleted() {
  if (primary == nullptr) return level::kContinue;
  switch (request) {
    case request::kInsert:
      return TakeInsertCompleted();
    case request::kChange:
      if (primary->Update(historyKey != 0) == level::kContinue) {
        SaveHistory();
        SetResponse(response::kCompleted);
      } else {
        // The managers have said why; the user corrects the value or cancels. A record that
        // another station changed has been read again: show it.
        window_.Display();
        if (firstField != 0) window_.Select(firstField);
      }
      return level::kContinue;
    case request::kDelete:
      if (primary->Delete(false) == level::kContinue) {
        SetResponse(response::kCompleted);
      } else if (firstField != 0) {
        window_.Select(firstField);
      }
      return level::kContinue;
    default:
      return level::kContinue;
  }
}

int WindowManager::TakeInsertCompleted() {
  if (primary->Me().Insert(true) != level::kContinue) {
    if (firstField != 0) window_.Select(firstField);
    return level::kContinue;  // reported by the file manager; the form stays open
  }
  SaveHistory();
  int action = insertAction;
  if (action == 4) {
    action = errors != nullptr && errors->Throw(form_message::kRecordAdded) == level::kContinue
                 ? 3
                 : 2;
  }
  if (action == 3) return PrimeForAnother();
  SetResponse(response::kCompleted);
  return level::kContinue;
}

int WindowManager::PrimeForAnother() {
  FormFile& file = primary->Me();
  lastInsertedPosition = file.GetPosition();
  // Back to the record as the caller primed it, keeping a fresh copy for the next cancel.
  for (UpdateFile& f : files_) {
    f.file->RestoreBuffer(f.savedId, true);
    f.savedId = f.file->SaveBuffer();
  }
  file.PrimeRecord(true);
  PrimeFields();
  file.RestoreBuffer(saved, false);
  saved = file.SaveBuffer();
  window_.Display();
  if (firstField != 0) window_.Select(firstField);
  return level::kContinue;
}

int WindowManager::TakeCloseEvent() {
  if (response == response::kCompleted || primary == nullptr) return level::kContinue;
  FormFile& file = primary->Me();
  if (cancelAction != 0 && (request == request::kInsert || request == request::kChange) &&
      !file.EqualBuffer(saved)) {
    if ((cancelAction & 3) == 3) {
      const unsigned answer =
          errors != nullptr
              ? errors->Ask(form_message::kSaveRecord,
                            box_button::kYes + box_button::kNo + box_button::kCancel,
                            box_button::kCancel)
              : box_button::kNo;
      if (answer == box_button::kYes) {
        if (okControl != 0) {
          window_.Post(EVENT::Accepted, okControl);
        } else {
          PostCompleted();
        }
        return level::kHandled;
      }
      if (answer != box_button::kNo) {  // Cancel, or the box closed: back to the form
        if (firstField != 0) window_.Select(firstField);
        return level::kHandled;
      }
    } else if ((cancelAction & 1) != 0) {
      if (okControl != 0) {
        window_.Post(EVENT::Accepted, okControl);
      } else {
        PostCompleted();
      }
      return level::kHandled;
    } else {
      const int answer =
          errors != nullptr ? errors->Throw(form_message::kChangesWillBeLost) : level::kContinue;
      if (answer == level::kCancel) {
        if (firstField != 0) window_.Select(firstField);
        return level::kHandled;
      }
    }
  }
  if (originalRequest == request::kInsert && response == response::kCancelled) {
    if (primary->CancelAutoInc() != level::kContinue) {
      if (firstField != 0) window_.Select(firstField);
      return level::kHandled;
    }
  }
  if (!lastInsertedPosition.empty() &&
      lastInsertedPosition.find_first_not_of(' ') != std::string::npos) {
    response = response::kCompleted;
    file.Fetch(lastInsertedPosition);
  }
  return level::kContinue;
}

}  // namespace cinevo::classlib
