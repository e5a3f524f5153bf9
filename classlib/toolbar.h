// The frame toolbar and its targets.
//
// The frame toolbar has one fixed set of buttons (numbers below; they are also the values of the
// shared navigation request). What a press does depends on the part of the window that has the
// user's attention, its *target*: a browse scrolls its list, an update form saves its record and
// leaves the button's number in the navigation request for its caller, a relation tree moves its
// selection. Toolbar keeps the window's targets sorted by their control number; the current one
// gives the buttons their tips and states and receives the presses.
#pragma once

#include <cstdint>
#include <vector>

namespace cinevo::classlib {

class BrowseItem;
class ManagedWindow;
class WindowManager;

namespace toolbar_button {
inline constexpr int kInsert = 2000;
inline constexpr int kChange = 2001;
inline constexpr int kDelete = 2002;
inline constexpr int kSelect = 2003;
inline constexpr int kBottom = 2004;  // last
inline constexpr int kTop = 2005;     // first
inline constexpr int kPageDown = 2006;
inline constexpr int kPageUp = 2007;
inline constexpr int kDown = 2008;  // next
inline constexpr int kUp = 2009;    // previous
inline constexpr int kLocate = 2010;
inline constexpr int kHistory = 2011;
inline constexpr int kHelp = 2012;
inline constexpr int kFirst = kInsert;
inline constexpr int kLast = kHelp;
}  // namespace toolbar_button

// One part of a window that the toolbar can serve. The button fields name the window's own
// buttons that the toolbar's insert, change, delete, select and help buttons stand for (0 = none).
class ToolbarTarget {
 public:
  explicit ToolbarTarget(WindowManager& owner) : owner_(owner) {}
  virtual ~ToolbarTarget() = default;

  int control = 0;  // set by Toolbar::AddTarget
  int helpButton = 0;
  int insertButton = 0;
  int changeButton = 0;
  int deleteButton = 0;
  int selectButton = 0;

  // Enables the toolbar's buttons for this target.
  virtual void DisplayButtons();
  // Gives the buttons this target's tips, then its states.
  virtual void Activate();
  // True when the target takes the toolbar now (it has then activated itself).
  virtual bool TryActivate();
  // Carries out a press of toolbar button `button`; `request` is the shared navigation request.
  virtual void TakeToolbar(int button, int32_t& request);

 protected:
  ManagedWindow& window() const;
  WindowManager& owner() const { return owner_; }
  void Enable(int first, int last, bool on) const;

 private:
  WindowManager& owner_;
};

// A browse's list.
class ToolbarBrowseTarget : public ToolbarTarget {
 public:
  ToolbarBrowseTarget(WindowManager& owner, BrowseItem* browse) : ToolbarTarget(owner), browse(browse) {}
  BrowseItem* browse;

  void DisplayButtons() override;
  void Activate() override;
  bool TryActivate() override;
  void TakeToolbar(int button, int32_t& request) override;
};

// An update form.
class ToolbarFormTarget : public ToolbarTarget {
 public:
  using ToolbarTarget::ToolbarTarget;
  int request = 0;       // the form's request (1 insert, 2 change, ...)
  bool history = false;  // the form has a history key

  void DisplayButtons() override;
  void Activate() override;
  bool TryActivate() override;
  void TakeToolbar(int button, int32_t& request) override;
};

// A relation tree; its window overrides TakeToolbar to move the tree's selection.
class ToolbarTreeTarget : public ToolbarTarget {
 public:
  using ToolbarTarget::ToolbarTarget;

  void DisplayButtons() override;
  void Activate() override;
  bool TryActivate() override;
};

class Toolbar {
 public:
  void Init();
  void Kill();
  // Adds `target` for `control` (targets stay sorted by control number).
  void AddTarget(ToolbarTarget& target, int control);
  // Makes the target of `control` current and activates it; with 0, asks every target in order
  // whether it takes the toolbar, and the last that does becomes current.
  void SetTarget(int control);
  // Hands the press of toolbar button `button` to the current target.
  void TakeEvent(int button, int32_t& request);
  ToolbarTarget* Current() const;
  bool HasTarget(int control) const;

 private:
  struct Entry {
    int id;
    ToolbarTarget* item;
  };
  std::vector<Entry> list_;
  int current_ = -1;  // index into list_
};

}  // namespace cinevo::classlib
