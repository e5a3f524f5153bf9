#include "runtime/ui/window.h"

#include <QApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QPushButton>
#include <QThread>

#include <algorithm>
#include <memory>

#include "platform/window/window_system.h"
#include "runtime/core/error.h"
#include "runtime/ui/event_code.h"
#include "runtime/ui/event_record_payload.h"
#include "runtime/ui/events.h"
#include "runtime/ui/key_code.h"
#include "runtime/ui/runtime_thread.h"

namespace cinevo {
namespace {

std::atomic<uint32_t> g_nextWindowId{1};
std::atomic<bool> g_systemModal{false};

// Process-wide focus bookkeeping, under the runtime lock: the active thread, and the active
// thread as of the last focus check of a wait.
uint32_t g_activeThread = 0;
uint32_t g_focusChecked = 0;

// Every live Window, so that a destroyed one can be unlinked from the chains of saved top
// windows. Under the runtime lock.
std::vector<Window*>& LiveWindows() {
  static std::vector<Window*> windows;
  return windows;
}

Window* TopOf(uint32_t thread) {
  std::lock_guard lock(RuntimeLock());
  ThreadState* ts = ThreadStateFor(thread);
  return ts ? ts->top : nullptr;
}

// Native windows that were closed while Qt was dispatching one of their events (a direct send
// run from inside it). They are retired at once and deleted by the next wait, outside dispatch.
std::vector<QPointer<platform::NativeWindow>>& Retired() {
  static std::vector<QPointer<platform::NativeWindow>> retired;  // GUI thread only
  return retired;
}

void ReapRetired() {
  auto& retired = Retired();
  std::erase_if(retired, [](QPointer<platform::NativeWindow>& w) {
    if (w.isNull()) return true;  // deleted by Qt with its owner
    if (w->InDispatch()) return false;
    std::unique_ptr<platform::NativeWindow> owned(w.data());
    return true;
  });
}

void DestroyNative(platform::NativeWindow* w) {
  if (w == nullptr) return;
  w->Retire();
  if (w->InDispatch()) {
    Retired().emplace_back(w);
  } else {
    std::unique_ptr<platform::NativeWindow> owned(w);  // we own top-level and owned windows alike
  }
}

}  // namespace

Window::Window() {
  std::lock_guard lock(RuntimeLock());
  LiveWindows().push_back(this);
}

Window::~Window() {
  Close();
  std::lock_guard lock(RuntimeLock());
  auto& live = LiveWindows();
  live.erase(std::remove(live.begin(), live.end(), this), live.end());
  for (Window* w : live) {
    if (w->savedTop_ == this) w->savedTop_ = savedTop_;
  }
  for (uint32_t t = 1; t <= kMaxRuntimeThreads; ++t) {
    ThreadState* ts = ThreadStateFor(t);
    if (ts->top == this) ts->top = savedTop_;
  }
}

void Window::CloseThreadWindows(uint32_t thread) {
  std::vector<Window*> open;
  {
    std::lock_guard lock(RuntimeLock());
    for (Window* w : LiveWindows()) {
      if (w->IsOpen() && w->thread_ == thread) open.push_back(w);
    }
  }
  // Owned windows go with their owners; Close() on an already closed window does nothing.
  for (Window* w : open) w->Close();
  ReapRetired();
}

void Window::SetSystemModal(bool on) { g_systemModal.store(on); }
bool Window::SystemModal() { return g_systemModal.load(); }

bool Window::Open(const WindowOptions& options, Window* owner) {
  if (IsOpen()) {
    RuntimeFatal(535, "");
    return false;
  }
  if (owner != nullptr && !owner->IsOpen()) {
    RuntimeFatal(536, "");
    return false;
  }
  if (!StartEventRuntime()) {
    RuntimeFatal(529, "no window system");
    return false;
  }
  platform::WindowProcedure* procedure = this;
  auto created =
      std::make_unique<platform::NativeWindow>(procedure, owner ? owner->Native() : nullptr);
  if (created->handle() == platform::kNoWindow) {
    created->DetachProcedure();
    RuntimeFatal(529, "no free window handle");
    return false;
  }
  // From here on the widget is deleted by Close(), or by Qt together with its owner.
  native_ = created.release();
  handle_.store(native_->handle());
  // Qt deletes an owned window with its owner; the handle then goes at once. Disconnected by
  // Close(), so a retired widget deleted later never reaches a Window that is gone.
  nativeDestroyed_ =
      QObject::connect(native_.data(), &QObject::destroyed, [this] { handle_.store(0); });
  id_.store(g_nextWindowId.fetch_add(1));
  thread_ = CurrentThreadNumber();
  controls_.clear();
  pending_.Clear();
  urgent_.clear();
  current_.reset();
  openDelivered_ = false;
  suspended_ = false;

  native_->SetCaption(options.caption);
  if (!options.iconFile.empty()) native_->SetIconFile(options.iconFile);
  native_->resize(std::max(options.width, 1), std::max(options.height, 1));
  if (options.x >= 0 && options.y >= 0) native_->move(options.x, options.y);
  // First event of every loop, ahead of anything showing the window may raise.
  PostFront(EVENT::OpenWindow);
  if (options.visible) native_->show();
  return true;
}

void Window::Close() {
  if (native_.isNull()) {
    handle_.store(0);
    return;
  }
  platform::NativeWindow* w = native_.data();
  QObject::disconnect(nativeDestroyed_);
  native_.clear();
  handle_.store(0);
  DestroyNative(w);
  controls_.clear();
  pending_.Clear();
  urgent_.clear();
}

QWidget* Window::Client() const { return native_ ? native_->client() : nullptr; }

void Window::SetCaption(const std::string& caption) {
  if (!native_) return RuntimeFatal(536, "");
  native_->SetCaption(caption);
}

std::string Window::Caption() const { return native_ ? native_->Caption() : std::string(); }

bool Window::SetIcon(const std::string& file) {
  if (!native_) {
    RuntimeFatal(536, "");
    return false;
  }
  return native_->SetIconFile(file);
}

void Window::SetPosition(int x, int y) {
  if (!native_) return RuntimeFatal(536, "");
  native_->move(x, y);
}

void Window::SetSize(int width, int height) {
  if (!native_) return RuntimeFatal(536, "");
  native_->resize(std::max(width, 1), std::max(height, 1));
}

void Window::Show(bool visible) {
  if (!native_) return RuntimeFatal(536, "");
  native_->setVisible(visible);
}

void Window::SetTimer(int hundredths) {
  if (!native_) return RuntimeFatal(536, "");
  native_->SetTimer(2, hundredths > 0 ? hundredths * 10 : 0);
}

int Window::AddButton(const std::string& text, int x, int y, int width, int height) {
  if (!native_) {
    RuntimeFatal(536, "");
    return 0;
  }
  if (SystemModal()) {
    RuntimeFatal(541, "");
    return 0;
  }
  auto* button = new QPushButton(platform::BytesToQString(text), native_->client());  // Qt-owned
  button->setGeometry(x, y, std::max(width, 1), std::max(height, 1));
  button->show();
  controls_.emplace_back(button);
  int number = static_cast<int>(controls_.size());
  QObject::connect(button, &QPushButton::clicked, button, [this, number] {
    if (IsOpen()) Deliver(MakeRecord(EVENT::Accepted, number));
  });
  return number;
}

bool Window::IsControl(int number) const {
  return number >= 1 && number <= static_cast<int>(controls_.size()) &&
         !controls_[static_cast<size_t>(number - 1)].isNull();
}

QPushButton* Window::Button(int number) const {
  return IsControl(number) ? controls_[static_cast<size_t>(number - 1)].data() : nullptr;
}

int Window::Event() const { return current_ ? LanguageEventCode(current_->code) : 0; }

int Window::Field() const {
  if (!current_ || !IsControl(current_->control)) return 0;
  return current_->control;
}

EventRecord Window::MakeRecord(int event, int control) const {
  EventRecord r;
  r.target = id_.load();
  r.code = InternalEventCode(event);
  const uint32_t thread = thread_.load();
  r.thread = thread;
  r.control = control;
  r.windowValue = value_.load();
  std::lock_guard lock(RuntimeLock());
  if (ThreadState* ts = ThreadStateFor(thread)) {
    r.keyCode = ts->keyboard.keyCode;
    r.keyState[0] = ts->keyboard.keyState[0];
    r.keyState[1] = ts->keyboard.keyState[1];
    r.mouseX = ts->keyboard.mouseX;
    r.mouseY = ts->keyboard.mouseY;
  }
  return r;
}

void Window::Deliver(const EventRecord& record) { pending_.Append(record); }

bool Window::Post(int event, int control) {
  if (ShuttingDown()) return false;
  platform::WindowHandle h = handle_.load();
  if (h == platform::kNoWindow) return false;
  bool guiThread = QCoreApplication::instance() != nullptr &&
                   QThread::currentThread() == QCoreApplication::instance()->thread();
  // Off the GUI thread the control list cannot be read; the receiving window checks instead.
  if (control != 0 && guiThread && !IsControl(control)) return false;
  return platform::PostPrivateMessage(h, platform::kMsgPostEvent, 0,
                                      std::make_unique<EventRecordPayload>(MakeRecord(event, control)));
}

void Window::PostFront(int event, int control) {
  if (!native_) return;
  pending_.PushFront(MakeRecord(event, control));
  Wake();
}

void Window::Send(int event, int control) {
  if (!native_) return;
  EventRecord r = MakeRecord(event, control);
  if (handler_) {
    // Current only while handled. The runtime lock is not held here: the handler may run whole
    // nested loops, and other threads must still be able to post meanwhile.
    std::optional<EventRecord> saved = current_;
    current_ = r;
    EventHandler handler = handler_;  // the handler may replace itself
    handler(*this);
    current_ = saved;
    return;
  }
  urgent_.push_back(r);
  Wake();
}

void Window::Wake() { platform::PostPrivateMessage(handle_.load(), platform::kMsgWakeUp); }

void Window::ExitLoop() {
  if (inLoop_) LeaveLoop();
}

void Window::CancelClose() { closeCancelled_ = true; }

void Window::LeaveLoop() {
  inLoop_ = false;
  current_.reset();
  std::lock_guard lock(RuntimeLock());
  ThreadState* ts = ThreadStateFor(thread_);
  if (ts != nullptr && ts->top == this) ts->top = savedTop_;
  savedTop_ = nullptr;
}

void Window::CheckFocus() {
  Window* loser = nullptr;
  Window* gainer = nullptr;
  {
    std::lock_guard lock(RuntimeLock());
    if (g_activeThread == g_focusChecked) return;
    uint32_t previous = g_focusChecked;
    g_focusChecked = g_activeThread;
    if (ThreadState* ts = ThreadStateFor(previous)) loser = ts->top;
    if (ThreadState* ts = ThreadStateFor(g_activeThread)) gainer = ts->top;
  }
  if (loser != nullptr) loser->Send(EVENT::LoseFocus);
  if (gainer != nullptr) gainer->Send(EVENT::GainFocus);
}

bool FeedKeystroke(Window& w) {
  std::optional<uint16_t> key;
  {
    std::lock_guard lock(RuntimeLock());
    if (ThreadState* ts = ThreadStateFor(w.thread_)) key = ts->press.Pop();
  }
  if (!key) return false;
  // The window's focus widget (kept even while the window is not active), else the window.
  QWidget* target = w.Native()->focusWidget();
  if (target == nullptr) target = w.Native();
  QtKeystroke s = QtKeystrokeFromChar(static_cast<unsigned char>(*key));
  auto mods = Qt::KeyboardModifiers(s.modifiers);
  QString text = s.text ? QString(QChar(s.text)) : QString();
  QKeyEvent press(QEvent::KeyPress, s.key, mods, text);
  QKeyEvent release(QEvent::KeyRelease, s.key, mods, text);
  QPointer<QWidget> guard(target);
  QApplication::sendEvent(target, &press);
  if (guard) QApplication::sendEvent(target, &release);
  return true;
}

bool Window::Accept() {
  if (!inLoop_) {
    if (!IsOpen()) {
      RuntimeFatal(537, "");
      return false;
    }
    inLoop_ = true;
    std::lock_guard lock(RuntimeLock());
    ThreadState* ts = ThreadStateFor(thread_);
    savedTop_ = ts ? ts->top : nullptr;
    if (ts) ts->top = this;
  } else if (current_ && current_->code == InternalEventCode(EVENT::CloseWindow) &&
             !closeCancelled_) {
    Close();
  }
  current_.reset();
  closeCancelled_ = false;
  for (;;) {
    if (!Retired().empty()) ReapRetired();
    if (!IsOpen()) {
      LeaveLoop();
      return false;
    }
    if (TopOf(thread_) == this) CheckFocus();
    if (!urgent_.empty()) {
      current_ = urgent_.front();
      urgent_.pop_front();
      return true;
    }
    if (std::optional<EventRecord> r = pending_.PopFront()) {
      current_ = *r;
      if (r->code == InternalEventCode(EVENT::OpenWindow)) openDelivered_ = true;
      return true;
    }
    if (FeedKeystroke(*this)) continue;
    // Blocks until something arrives; an idle window costs no CPU here.
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
}

void Window::OnPrivateMessage(platform::PrivateMessage& m) {
  switch (m.message()) {
    case platform::kMsgPostEvent: {
      std::unique_ptr<platform::MessagePayload> payload = m.TakePayload();
      auto* rp = dynamic_cast<EventRecordPayload*>(payload.get());
      if (rp == nullptr) return;
      const EventRecord& r = rp->record;
      // A record for another window (or an earlier opening of this one), or for a control that
      // is not a real control, is destroyed here.
      if (r.target != id_.load() || (r.control != 0 && !IsControl(r.control))) {
        ++destroyedRecords_;
        return;
      }
      Deliver(r);
      return;
    }
    case platform::kMsgBringToTop: {
      Window* top = TopOf(ActiveThread());
      if (top != nullptr && top->Native() != nullptr) {
        top->Native()->raise();
        top->Native()->activateWindow();
      }
      return;
    }
    case platform::kMsgTimerToTop: {
      if (Window* top = TopOf(thread_)) top->Send(EVENT::Timer);
      return;
    }
    case platform::kMsgDrop:
      Deliver(MakeRecord(EVENT::Drop, 0));
      return;
    default:  // wake-up, continue-thread and edit-done only end the wait
      return;
  }
}

void Window::OnCloseRequest() { Deliver(MakeRecord(EVENT::CloseWindow, 0)); }

void Window::OnTimer(int timerNumber) {
  if (timerNumber == 2) Post(EVENT::Timer);
}

void Window::OnActivated() { SetActiveThread(thread_); }

void Window::OnMoved() {
  if (openDelivered_) Deliver(MakeRecord(EVENT::Moved, 0));
}

void Window::OnSized() {
  if (openDelivered_) Deliver(MakeRecord(EVENT::Sized, 0));
}

// ---- Process-wide active thread ----

void SetActiveThread(uint32_t thread) {
  Window* suspend = nullptr;
  Window* resume = nullptr;
  {
    std::lock_guard lock(RuntimeLock());
    if (thread == g_activeThread) return;
    uint32_t previous = g_activeThread;
    g_activeThread = thread;
    if (ThreadState* ts = ThreadStateFor(previous); ts && ts->top) {
      suspend = ts->top;
      suspend->suspended_ = true;
    }
    if (ThreadState* ts = ThreadStateFor(thread); ts && ts->top && ts->top->suspended_) {
      resume = ts->top;
      resume->suspended_ = false;
    }
  }
  if (suspend != nullptr) suspend->Send(EVENT::Suspend);
  if (resume != nullptr) resume->Send(EVENT::Resume);
}

uint32_t ActiveThread() {
  std::lock_guard lock(RuntimeLock());
  return g_activeThread;
}

}  // namespace cinevo
