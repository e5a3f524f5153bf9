// What a window manager asks of the objects added to its window besides the toolbar and the
// resizer: browses, file drops and a translator. Each kind derives from the interface here and
// is added with WindowManager::AddItem; the manager hands events, resets and tear-down to them
// in the order they were added.
#pragma once

namespace cinevo::classlib {

// A browse of the window's lists.
class BrowseItem {
 public:
  virtual ~BrowseItem() = default;
  // Reset: re-evaluates the sort order (and its range), refilling when forced or when the range
  // or the reset fields changed; then refreshes the rows on show.
  virtual void ResetSort(bool force) = 0;
  virtual void ResetFromView() = 0;
  // Copies the highlighted row back into the record buffers (before another procedure runs).
  virtual void UpdateBuffer() = 0;
  // Sees every event the window manager did not finish with; returns a level.
  virtual int TakeEvent() = 0;
  virtual void SetAlerts() = 0;
  virtual void Kill() = 0;
};

// A list filled from the files dropped on the window.
class FileDropItem {
 public:
  virtual ~FileDropItem() = default;
  virtual void ResetQueue() = 0;
  virtual int TakeEvent() = 0;
  virtual void Kill() = 0;
};

// Replaces the texts of the window's controls by those of the user's language.
class WindowTranslator {
 public:
  virtual ~WindowTranslator() = default;
  virtual void TranslateWindow() = 0;
};

}  // namespace cinevo::classlib
