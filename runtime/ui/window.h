// A runtime window and its ACCEPT loop.
//
// A Window is opened by a procedure, which then runs its ACCEPT loop:
//
//   Window w;
//   w.Open({.caption = "Movies"});
//   while (w.Accept()) {
//     if (CurrentEvent() == EVENT::Accepted && CurrentField() == ok) w.Close();
//   }
//
// Accept waits (blocking, in a nested Qt event loop) for the next event addressed to this
// window, makes it current and returns true so that the body runs once with it; the next call
// resumes the wait. It returns false when the window has been closed (by the body, by an inner
// procedure, by its owner closing) or after ExitLoop. A procedure called from a body opens its
// own window and runs its own loop; events for the outer window wait in the outer window's
// pending list meanwhile, so nested loops each see only their own events.
//
// Events reach a window three ways: posted (PostEvent: a private message through the window's Qt
// event queue, so posted events are ordered with all other input), put at the front of its
// pending list (PostFront), or sent directly (Send: run at once by the window's event handler
// when it has one, else delivered before everything pending). Opening puts EVENT::OpenWindow at
// the front, so it is the first event every loop sees. A close request from the user becomes
// EVENT::CloseWindow; unless the body calls CancelClose while handling it, the window closes
// when the loop resumes.
//
// Controls come from a window definition (window_definition.h), numbered in definition order,
// or are added one by one (AddButton). They raise their events into the pending list, and their
// numbered properties (property.h) are read and set through Property and SetProperty. Lists show
// a runtime queue (BindQueue); entries and strings show a variable (Bind) through their picture.
// After every event the window brings its lists up to date with their queues.
//
// A control that gets the keyboard focus raises EVENT::Selected with its number: from a click,
// Tab, the program's Select, or the focus that a newly shown window gives its first control. It
// comes after what leaving the previous control raised (the Accepted of a changed entry) and
// before the events of the action that moved the focus (a list's NewSelection, a button's
// Accepted). Focus that returns with its window when the window is activated again reaches the
// same control and raises nothing: the window's own GainFocus and LoseFocus (thread switches,
// sent directly) say that. There is no event for a control losing the focus.
//
// This header is free of Qt; window_widgets.h gives the window layer's own code and tests the Qt
// widgets behind a window.
//
// All members are for the GUI thread except Handle(), Id() and Post(), which any thread may use.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/window/window_handle.h"
#include "runtime/core/value_ref.h"
#include "runtime/ui/event_record.h"
#include "runtime/ui/format/queue_field.h"
#include "runtime/ui/pending_events.h"
#include "runtime/ui/window_definition.h"

class QAction;
class QWidget;

namespace cinevo {

namespace platform {
class NativeWindow;
class PrivateMessage;
}
class QueueListView;
struct Queue;
struct WindowQt;

// A rectangle in pixels; x and y from the top left of the client area.
struct PixelRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

struct WindowOptions {
  std::string caption;
  int x = -1;  // -1: placed by the system
  int y = -1;
  int width = 320;
  int height = 200;
  std::string iconFile;  // empty: no icon
  bool visible = true;
};

class Window {
 public:
  Window();
  ~Window();
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  // Opens the window (owned by `owner` when given). Raises 535 when already open, 536 when the
  // owner is not open, 529 when the system could not create it.
  bool Open(const WindowOptions& options = {}, Window* owner = nullptr);
  // Opens a window definition with its controls. Sizes are dialog units of its font.
  bool Open(const WindowDefinition& definition, Window* owner = nullptr);
  // Opens a registered definition by resource name and label; 529 (with the name) when there
  // is no such definition.
  bool Open(std::string_view resource, std::string_view label, Window* owner = nullptr);
  void Close();
  bool IsOpen() const;

  platform::WindowHandle Handle() const { return handle_.load(); }
  uint32_t Id() const { return id_.load(); }  // unique per opening; 0 while never opened
  uint32_t Thread() const { return thread_.load(); }

  void SetCaption(const std::string& caption);
  std::string Caption() const;
  bool SetIcon(const std::string& file);  // an icon name of the program or a picture file
  void SetPosition(int x, int y);
  void SetSize(int width, int height);
  void Show(bool visible);
  void SetValue(int32_t value) { value_.store(value); }  // copied into each record
  int32_t Value() const { return value_.load(); }
  // The window's timer in hundredths of a second (0 stops it); each tick posts EVENT::Timer.
  void SetTimer(int hundredths);
  // The cursor over the client area: by name ("Hand4.cur") or by number (0x7F03 busy); an
  // empty name or 0 restores the arrow.
  void SetCursor(std::string_view name);
  void SetCursor(int id);

  // A push button in the client area at pixel coordinates; returns its control number (after
  // the definition's controls), 0 on failure (536 window not open, 541 system modal). A click
  // raises EVENT::Accepted.
  int AddButton(const std::string& text, int x, int y, int width, int height);
  bool IsControl(int number) const;
  int ControlCount() const;
  std::optional<ControlKind> KindOf(int number) const;
  // The number of the first control of `kind` whose text (without "&") is `text`; 0 if none.
  int FindControl(ControlKind kind, std::string_view text) const;

  // Geometry. A control the definition gives a position and a width is placed by the program
  // (PlacedControls lists them, with AddButton's buttons); the others sit in the window's layout,
  // which keeps them in place as the window is sized, and SetControlRect leaves them alone.
  std::vector<int> PlacedControls() const;
  std::optional<PixelRect> ControlRect(int control) const;  // nullopt: no such control or no widget
  bool SetControlRect(int control, const PixelRect& rect);
  PixelRect ClientRect() const;  // x and y are 0; empty while closed
  // The cell of a list's row (1-based, of its queue) and column (1-based) in the coordinates of
  // ControlRect, for a control laid over it; nullopt when the row is not in sight.
  std::optional<PixelRect> ListCellRect(int list, int row, int column) const;
  // The client area cannot be sized below the minimum or above the maximum (0: no limit).
  void SetClientSizeLimits(int minWidth, int minHeight, int maxWidth, int maxHeight);

  // Numbered properties (property.h); control 0 is the window. Property gives "" for what the
  // window or control does not have; SetProperty returns false then.
  std::string Property(int property, int control = 0, int index = 0) const;
  int32_t PropertyLong(int property, int control = 0, int index = 0) const;
  bool SetProperty(int property, std::string_view value, int control = 0, int index = 0);
  bool SetProperty(int property, int32_t value, int control = 0, int index = 0);

  // Contents. A list shows `queue` (which must outlive the window or be bound again), its
  // fields described by `fields` in declaration order. An entry or string shows `value` through
  // its picture, and an accepted entry stores what was typed into it.
  bool BindQueue(int list, Queue* queue, std::vector<QueueField> fields);
  bool Bind(int control, ValueRef value);
  // Redisplays the control (0: every control) from its variable or queue.
  void Display(int control = 0);
  // Gives the control the keyboard focus.
  void Select(int control);
  // The control that has the keyboard focus within the window (even while the window is not
  // active); 0 when none has.
  int FocusedControl() const;

  // The drop text of the current EVENT::Drop: the full paths of the dropped files joined by
  // commas. Empty for any other event.
  const std::string& DropText() const { return currentText_; }

  // The ACCEPT loop step (see above). Raises 537 when the window is not open on entry.
  bool Accept();
  void ExitLoop();    // the body leaves the loop; the window stays open
  void CancelClose();  // while handling EVENT::CloseWindow: keep the window open
  bool InLoop() const { return inLoop_; }

  // The record being handled (or nullptr) and its language event value / control number.
  const EventRecord* Current() const { return current_ ? &*current_ : nullptr; }
  int Event() const;
  int Field() const;

  // Queues an event record through the window's message queue. False when nothing was posted:
  // the runtime shuts down, the window is not open, or `control` is not a control of it.
  bool Post(int event, int control = 0);
  // Puts a record at the front of the pending list and wakes the wait.
  void PostFront(int event, int control = 0);
  // Direct send: see above.
  void Send(int event, int control = 0);
  using EventHandler = std::function<void(Window&)>;
  void SetEventHandler(EventHandler handler) { handler_ = std::move(handler); }

  size_t PendingCount() const { return pending_.size(); }
  uint64_t DestroyedRecords() const { return destroyedRecords_; }  // misaddressed or stale
  bool Suspended() const { return suspended_; }

  // Closes every open window of runtime thread `thread` (used at shutdown).
  static void CloseThreadWindows(uint32_t thread);

  // Process-wide switches.
  static void SetSystemModal(bool on);
  static bool SystemModal();

 private:
  friend void SetActiveThread(uint32_t);
  friend bool FeedKeystroke(Window&);
  friend struct WindowQt;
  friend platform::NativeWindow* NativeOf(const Window&);
  friend QWidget* ClientOf(const Window&);
  friend QWidget* ControlWidget(const Window&, int);
  friend QAction* ControlAction(const Window&, int);
  friend QueueListView* ListOf(const Window&, int);

  bool OpenNative(const WindowOptions& options, Window* owner);
  EventRecord MakeRecord(int event, int control) const;
  void Deliver(const EventRecord& record);  // appends to the pending list
  // A control's event: the thread's key code becomes `keyCode` first unless it is kKeepKey.
  static constexpr uint32_t kKeepKey = 0xFFFFFFFF;
  void Raise(int event, int control, uint32_t keyCode = kKeepKey);
  void DeliverDrop(std::string text);
  void MakeCurrent(const EventRecord& record);
  void LeaveLoop();
  void CheckFocus();
  void Wake();

  // From the native window.
  void OnPrivateMessage(platform::PrivateMessage& message);
  void OnCloseRequest();
  void OnTimer(int timerNumber);
  void OnActivated();
  void OnMoved();
  void OnSized();

  std::unique_ptr<WindowQt> qt_;  // the widgets; present while open
  std::atomic<platform::WindowHandle> handle_{platform::kNoWindow};
  std::atomic<uint32_t> id_{0};
  std::atomic<int32_t> value_{0};
  std::atomic<uint32_t> thread_{0};
  PendingEventList pending_;
  std::deque<EventRecord> urgent_;  // direct sends waiting for the loop
  std::optional<EventRecord> current_;
  std::map<uint32_t, std::string> texts_;  // drop texts of records not yet delivered, by id
  uint32_t nextTextId_ = 1;
  std::string currentText_;
  EventHandler handler_;
  Window* savedTop_ = nullptr;  // the thread's top window before this loop started
  bool inLoop_ = false;
  bool closeCancelled_ = false;
  bool openDelivered_ = false;  // move/size events are raised only after EVENT::OpenWindow
  bool suspended_ = false;
  uint64_t destroyedRecords_ = 0;
};

}  // namespace cinevo
