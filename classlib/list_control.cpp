#include "classlib/list_control.h"

#include <algorithm>

#include "runtime/ui/property.h"
#include "runtime/ui/window.h"

namespace cinevo::classlib {

RuntimeListControl::RuntimeListControl(Window& window, int control) : window_(window), control_(control) {
  window_.SetProperty(PROP::Paged, 1, control_);
}

int RuntimeListControl::RowsShown() const { return std::max(1, window_.PropertyLong(PROP::Items, control_)); }
bool RuntimeListControl::Visible() const { return window_.PropertyLong(PROP::Visible, control_) != 0; }
int RuntimeListControl::Selected() const { return window_.PropertyLong(PROP::Selected, control_); }
void RuntimeListControl::SetSelected(int row) { window_.SetProperty(PROP::Selected, row, control_); }
void RuntimeListControl::SetAlert(int slot, uint32_t keyCode) {
  window_.SetProperty(PROP::Alert, static_cast<int32_t>(keyCode), control_, slot);
}
void RuntimeListControl::SetControlAlert(int control, int slot, uint32_t keyCode) {
  window_.SetProperty(PROP::Alert, static_cast<int32_t>(keyCode), control, slot);
}
void RuntimeListControl::SetThumb(int position) { window_.SetProperty(PROP::Thumb, position, control_); }
int RuntimeListControl::Thumb() const { return window_.PropertyLong(PROP::Thumb, control_); }
void RuntimeListControl::Redisplay() { window_.Display(control_); }
void RuntimeListControl::SetHideSelect(bool on) { window_.SetProperty(PROP::HideSelect, on ? 1 : 0, control_); }

bool RuntimeListControl::PlaceOverCell(int control, int row, int column) {
  window_.Display(control_);  // the page as the browse left it, so that the row is where it shows
  const std::optional<PixelRect> cell = window_.ListCellRect(control_, row, column);
  if (!cell || !window_.SetControlRect(control, *cell)) return false;
  return window_.SetProperty(PROP::Visible, 1, control);
}

void RuntimeListControl::HideControl(int control) { window_.SetProperty(PROP::Visible, 0, control); }

}  // namespace cinevo::classlib
