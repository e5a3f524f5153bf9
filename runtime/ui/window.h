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
// All members are for the GUI thread except Handle(), Id() and Post(), which any thread may use.
#pragma once

#include <QPointer>

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/window/native_window.h"
#include "runtime/ui/event_record.h"
#include "runtime/ui/pending_events.h"

class QPushButton;

namespace cinevo {

struct WindowOptions {
  std::string caption;
  int x = -1;  // -1: placed by the system
  int y = -1;
  int width = 320;
  int height = 200;
  std::string iconFile;  // empty: no icon
  bool visible = true;
};

class Window : private platform::WindowProcedure {
 public:
  Window();
  ~Window() override;
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  // Opens the window (owned by `owner` when given). Raises 535 when already open, 536 when the
  // owner is not open, 529 when the system could not create it.
  bool Open(const WindowOptions& options = {}, Window* owner = nullptr);
  void Close();
  bool IsOpen() const { return !native_.isNull(); }

  platform::WindowHandle Handle() const { return handle_.load(); }
  uint32_t Id() const { return id_.load(); }  // unique per opening; 0 while never opened
  uint32_t Thread() const { return thread_.load(); }
  platform::NativeWindow* Native() const { return native_.data(); }
  QWidget* Client() const;

  void SetCaption(const std::string& caption);
  std::string Caption() const;
  bool SetIcon(const std::string& file);
  void SetPosition(int x, int y);
  void SetSize(int width, int height);
  void Show(bool visible);
  void SetValue(int32_t value) { value_.store(value); }  // copied into each record
  int32_t Value() const { return value_.load(); }
  // The window's timer in hundredths of a second (0 stops it); each tick posts EVENT::Timer.
  void SetTimer(int hundredths);

  // A push button in the client area; returns its control number (1, 2, ... in definition
  // order), 0 on failure (536 window not open, 541 system modal). A click raises EVENT::Accepted.
  int AddButton(const std::string& text, int x, int y, int width, int height);
  bool IsControl(int number) const;
  QPushButton* Button(int number) const;

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

  EventRecord MakeRecord(int event, int control) const;
  void Deliver(const EventRecord& record);  // appends to the pending list
  void LeaveLoop();
  void CheckFocus();
  void Wake();

  // platform::WindowProcedure
  void OnPrivateMessage(platform::PrivateMessage& message) override;
  void OnCloseRequest() override;
  void OnTimer(int timerNumber) override;
  void OnActivated() override;
  void OnMoved() override;
  void OnSized() override;

  QPointer<platform::NativeWindow> native_;
  QMetaObject::Connection nativeDestroyed_;
  std::atomic<platform::WindowHandle> handle_{platform::kNoWindow};
  std::atomic<uint32_t> id_{0};
  std::atomic<int32_t> value_{0};
  std::atomic<uint32_t> thread_{0};
  std::vector<QPointer<QPushButton>> controls_;  // control n is controls_[n - 1]
  PendingEventList pending_;
  std::deque<EventRecord> urgent_;  // direct sends waiting for the loop
  std::optional<EventRecord> current_;
  EventHandler handler_;
  Window* savedTop_ = nullptr;  // the thread's top window before this loop started
  bool inLoop_ = false;
  bool closeCancelled_ = false;
  bool openDelivered_ = false;  // move/size events are raised only after EVENT::OpenWindow
  bool suspended_ = false;
  uint64_t destroyedRecords_ = 0;
};

}  // namespace cinevo
