// The list control of a browse, as the browse sees it.
//
// A browse loads one page of rows at a time into its list queue and moves the page and the
// highlight itself; the list shows the queue, reports how many rows it shows and raises the
// scroll events. The browse reaches the list only through this interface: RuntimeListControl
// over a control of a runtime window, a script in tests.
#pragma once

#include <cstdint>

namespace cinevo {
class Window;
}

namespace cinevo::classlib {

class ListControl {
 public:
  virtual ~ListControl() = default;
  virtual int RowsShown() const = 0;        // rows the list shows at its size (at least 1)
  virtual bool Visible() const = 0;
  virtual int Selected() const = 0;         // the highlighted row, 1-based; 0 none
  virtual void SetSelected(int row) = 0;
  virtual void SetAlert(int slot, uint32_t keyCode) = 0;  // slot 1 ... 255; 0 frees it
  // An alert key of another control of the list's window (the browse's edit-in-place controls).
  virtual void SetControlAlert(int control, int slot, uint32_t keyCode) = 0;
  virtual void SetThumb(int position) = 0;  // 1 ... 100
  virtual int Thumb() const = 0;            // where the user dropped the thumb
  virtual void Redisplay() = 0;             // show the queue's current rows now
  // Shows the highlight only while the list has the focus (or always).
  virtual void SetHideSelect(bool /*on*/) {}
  // Lays another control of the window over the cell of `row` (1-based, of the page) and
  // `column` (1-based) and shows it; false when the cell is not in sight.
  virtual bool PlaceOverCell(int /*control*/, int /*row*/, int /*column*/) { return false; }
  virtual void HideControl(int /*control*/) {}
};

// A list control of a runtime window; the list is switched to paged mode.
class RuntimeListControl : public ListControl {
 public:
  RuntimeListControl(Window& window, int control);
  int RowsShown() const override;
  bool Visible() const override;
  int Selected() const override;
  void SetSelected(int row) override;
  void SetAlert(int slot, uint32_t keyCode) override;
  void SetControlAlert(int control, int slot, uint32_t keyCode) override;
  void SetThumb(int position) override;
  int Thumb() const override;
  void Redisplay() override;
  void SetHideSelect(bool on) override;
  bool PlaceOverCell(int control, int row, int column) override;
  void HideControl(int control) override;

 private:
  Window& window_;
  int control_;
};

}  // namespace cinevo::classlib
