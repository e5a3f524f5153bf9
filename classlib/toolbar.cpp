#include "classlib/toolbar.h"

#include <algorithm>

#include "classlib/managed_window.h"
#include "classlib/tip_tables.h"
#include "classlib/window_manager.h"
#include "runtime/ui/event_code.h"

namespace cinevo::classlib {

namespace tb = toolbar_button;

// --- ToolbarTarget ----------------------------------------------------------------------------

ManagedWindow& ToolbarTarget::window() const { return owner_.window(); }

void ToolbarTarget::Enable(int first, int last, bool on) const {
  for (int b = first; b <= last; ++b) window().SetDisabled(b, !on);
}

void ToolbarTarget::DisplayButtons() {
  // A toolbar button works only while the window button it stands for exists and works.
  const struct {
    int toolbarButton;
    int windowButton;
  } pairs[] = {{tb::kSelect, selectButton},
               {tb::kDelete, deleteButton},
               {tb::kChange, changeButton},
               {tb::kInsert, insertButton},
               {tb::kHelp, helpButton}};
  for (const auto& p : pairs) {
    const bool on = p.windowButton != 0 && !window().Disabled(p.windowButton);
    window().SetDisabled(p.toolbarButton, !on);
  }
}

void ToolbarTarget::Activate() { DisplayButtons(); }

bool ToolbarTarget::TryActivate() { return false; }

void ToolbarTarget::TakeToolbar(int button, int32_t& /*request*/) {
  switch (button) {
    case tb::kHelp:
      owner_.ShowHelp();
      break;
    case tb::kInsert:
      if (insertButton != 0) window().Post(EVENT::Accepted, insertButton);
      break;
    case tb::kChange:
      if (changeButton != 0) window().Post(EVENT::Accepted, changeButton);
      break;
    case tb::kDelete:
      if (deleteButton != 0) window().Post(EVENT::Accepted, deleteButton);
      break;
    default:
      break;
  }
}

// --- Browse -----------------------------------------------------------------------------------

void ToolbarBrowseTarget::DisplayButtons() {
  Enable(tb::kHistory, tb::kHistory, false);
  Enable(tb::kBottom, tb::kLocate, true);
  ToolbarTarget::DisplayButtons();
}

void ToolbarBrowseTarget::Activate() {
  SetTips(window(), kBrowseTips);
  DisplayButtons();
}

bool ToolbarBrowseTarget::TryActivate() {
  if (window().FocusedControl() != control) return false;
  Activate();
  return true;
}

void ToolbarBrowseTarget::TakeToolbar(int button, int32_t& request) {
  int event = 0;
  switch (button) {
    case tb::kSelect:
      owner().Update();
      owner().SetResponse(response::kCompleted);
      return;
    case tb::kBottom: event = EVENT::ScrollBottom; break;
    case tb::kTop: event = EVENT::ScrollTop; break;
    case tb::kPageDown: event = EVENT::PageDown; break;
    case tb::kPageUp: event = EVENT::PageUp; break;
    case tb::kDown: event = EVENT::ScrollDown; break;
    case tb::kUp: event = EVENT::ScrollUp; break;
    case tb::kLocate: event = EVENT::Locate; break;
    default:
      ToolbarTarget::TakeToolbar(button, request);
      return;
  }
  window().Post(event, control);
}

// --- Form -------------------------------------------------------------------------------------

void ToolbarFormTarget::DisplayButtons() {
  if (request == request::kInsert) {
    Enable(tb::kDown, tb::kDown, true);
    Enable(tb::kInsert, tb::kInsert, true);
    Enable(tb::kChange, tb::kPageUp, false);
    Enable(tb::kUp, tb::kLocate, false);
  } else if (request == request::kChange) {
    Enable(tb::kBottom, tb::kUp, true);
    Enable(tb::kInsert, tb::kInsert, true);
    Enable(tb::kChange, tb::kSelect, false);
    Enable(tb::kLocate, tb::kLocate, false);  // a form has nothing to locate
  } else {
    Enable(tb::kInsert, tb::kHistory, false);
  }
  if (request == request::kInsert || request == request::kChange) {
    Enable(tb::kHelp, tb::kHelp, helpButton != 0 && !window().Disabled(helpButton));
    Enable(tb::kHistory, tb::kHistory, history);
  }
  for (int b = tb::kFirst; b <= tb::kLast; ++b) window().Display(b);
}

void ToolbarFormTarget::Activate() {
  if (request == request::kInsert) {
    SetTips(window(), kFormInsertTips);
  } else if (request == request::kChange) {
    SetTips(window(), kFormChangeTips);
  }
  DisplayButtons();
}

bool ToolbarFormTarget::TryActivate() {
  Activate();
  return true;
}

void ToolbarFormTarget::TakeToolbar(int button, int32_t& navigation) {
  if (button == tb::kInsert || (button >= tb::kBottom && button <= tb::kUp)) {
    // The caller carries out the move (or the new insert) once the form has completed.
    navigation = button;
    owner().PostCompleted();
    return;
  }
  ToolbarTarget::TakeToolbar(button, navigation);
}

// --- Tree -------------------------------------------------------------------------------------

void ToolbarTreeTarget::DisplayButtons() {
  Enable(tb::kHistory, tb::kHistory, false);
  Enable(tb::kBottom, tb::kUp, true);
  ToolbarTarget::DisplayButtons();
}

void ToolbarTreeTarget::Activate() {
  SetTips(window(), kTreeTips);
  DisplayButtons();
}

bool ToolbarTreeTarget::TryActivate() { return false; }

// --- Toolbar ----------------------------------------------------------------------------------

void Toolbar::Init() {
  list_.clear();
  current_ = -1;
}

void Toolbar::Kill() {
  list_.clear();
  current_ = -1;
}

void Toolbar::AddTarget(ToolbarTarget& target, int control) {
  target.control = control;
  auto at = std::upper_bound(list_.begin(), list_.end(), control,
                             [](int id, const Entry& e) { return id < e.id; });
  // Like an added queue entry, the new target becomes the current one (not yet activated).
  const auto added = list_.insert(at, Entry{control, &target});
  current_ = static_cast<int>(added - list_.begin());
}

void Toolbar::SetTarget(int control) {
  if (control != 0) {
    for (size_t i = 0; i < list_.size(); ++i) {
      if (list_[i].id == control) {
        current_ = static_cast<int>(i);
        list_[i].item->Activate();
        return;
      }
    }
    return;
  }
  for (size_t i = 0; i < list_.size(); ++i) {
    if (list_[i].item->TryActivate()) current_ = static_cast<int>(i);
  }
}

void Toolbar::TakeEvent(int button, int32_t& request) {
  if (button < tb::kFirst || button > tb::kLast) return;  // not a toolbar button
  if (ToolbarTarget* target = Current()) target->TakeToolbar(button, request);
}

ToolbarTarget* Toolbar::Current() const {
  if (current_ < 0 || current_ >= static_cast<int>(list_.size())) return nullptr;
  return list_[static_cast<size_t>(current_)].item;
}

bool Toolbar::HasTarget(int control) const {
  return std::any_of(list_.begin(), list_.end(), [&](const Entry& e) { return e.id == control; });
}

}  // namespace cinevo::classlib
