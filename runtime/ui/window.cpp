#include "runtime/ui/window.h"

#include <QApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QPushButton>
#include <QThread>
#include <QVBoxLayout>

#include <algorithm>
#include <memory>

#include "platform/window/window_system.h"
#include "runtime/core/error.h"
#include "runtime/core/error_codes.h"
#include "runtime/ui/event_code.h"
#include "runtime/ui/event_record_payload.h"
#include "runtime/ui/events.h"
#include "runtime/ui/key_code.h"
#include "runtime/ui/runtime_thread.h"
#include "runtime/ui/icons.h"
#include "runtime/ui/window_qt.h"
#include "runtime/ui/window_widgets.h"

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
  if (!OpenNative(options, owner)) return false;
  // First event of every loop, ahead of anything showing the window may raise.
  PostFront(EVENT::OpenWindow);
  if (options.visible) qt_->native->show();
  return true;
}

bool Window::Open(const WindowDefinition& definition, Window* owner) {
  WindowOptions options;
  options.caption = definition.caption;
  options.visible = false;
  if (!OpenNative(options, owner)) return false;
  qt_->Build(definition);
  PostFront(EVENT::OpenWindow);
  qt_->native->show();
  return true;
}

bool Window::Open(std::string_view resource, std::string_view label, Window* owner) {
  const WindowDefinition* definition = FindWindowDefinition(resource, label);
  if (definition == nullptr) {
    RuntimeFatal(kErrOpenWindow, std::string(resource) + " " + std::string(label));
    return false;
  }
  return Open(*definition, owner);
}

bool Window::OpenNative(const WindowOptions& options, Window* owner) {
  if (IsOpen()) {
    RuntimeFatal(kErrWindowAlreadyOpen, "");
    return false;
  }
  if (owner != nullptr && !owner->IsOpen()) {
    RuntimeFatal(kErrWindowNotOpen, "");
    return false;
  }
  if (!StartEventRuntime()) {
    RuntimeFatal(kErrOpenWindow, "no window system");
    return false;
  }
  auto qt = std::make_unique<WindowQt>(*this);
  platform::WindowProcedure* procedure = qt.get();
  auto created =
      std::make_unique<platform::NativeWindow>(procedure, owner ? NativeOf(*owner) : nullptr);
  if (created->handle() == platform::kNoWindow) {
    created->DetachProcedure();
    RuntimeFatal(kErrOpenWindow, "no free window handle");
    return false;
  }
  qt_ = std::move(qt);
  // From here on the widget is deleted by Close(), or by Qt together with its owner.
  qt_->native = created.release();
  handle_.store(qt_->native->handle());
  // Qt deletes an owned window with its owner; the handle then goes at once. Disconnected by
  // Close(), so a retired widget deleted later never reaches a Window that is gone.
  qt_->nativeDestroyed =
      QObject::connect(qt_->native.data(), &QObject::destroyed, [this] { handle_.store(0); });
  id_.store(g_nextWindowId.fetch_add(1));
  thread_ = CurrentThreadNumber();
  pending_.Clear();
  urgent_.clear();
  texts_.clear();
  current_.reset();
  currentText_.clear();
  openDelivered_ = false;
  suspended_ = false;

  platform::NativeWindow* native = qt_->native.data();
  native->SetCaption(options.caption);
  if (!options.iconFile.empty()) SetIcon(options.iconFile);
  native->resize(std::max(options.width, 1), std::max(options.height, 1));
  if (options.x >= 0 && options.y >= 0) native->move(options.x, options.y);
  return true;
}

bool Window::IsOpen() const { return qt_ != nullptr && !qt_->native.isNull(); }

void Window::Close() {
  if (!IsOpen()) {
    handle_.store(0);
    qt_.reset();
    return;
  }
  platform::NativeWindow* w = qt_->native.data();
  QObject::disconnect(qt_->nativeDestroyed);
  qt_->native.clear();
  handle_.store(0);
  w->DetachProcedure();
  DestroyNative(w);
  qt_.reset();
  pending_.Clear();
  urgent_.clear();
  texts_.clear();
}

void Window::SetCaption(const std::string& caption) {
  if (!IsOpen()) return RuntimeFatal(kErrWindowNotOpen, "");
  qt_->native->SetCaption(caption);
}

std::string Window::Caption() const { return IsOpen() ? qt_->native->Caption() : std::string(); }

bool Window::SetIcon(const std::string& file) {
  if (!IsOpen()) {
    RuntimeFatal(kErrWindowNotOpen, "");
    return false;
  }
  QIcon icon = IconForName(file);
  if (icon.isNull()) return false;
  qt_->native->setWindowIcon(icon);
  return true;
}

void Window::SetPosition(int x, int y) {
  if (!IsOpen()) return RuntimeFatal(kErrWindowNotOpen, "");
  qt_->native->move(x, y);
}

void Window::SetSize(int width, int height) {
  if (!IsOpen()) return RuntimeFatal(kErrWindowNotOpen, "");
  qt_->native->resize(std::max(width, 1), std::max(height, 1));
}

void Window::Show(bool visible) {
  if (!IsOpen()) return RuntimeFatal(kErrWindowNotOpen, "");
  qt_->native->setVisible(visible);
}

void Window::SetTimer(int hundredths) {
  if (!IsOpen()) return RuntimeFatal(kErrWindowNotOpen, "");
  qt_->native->SetTimer(2, hundredths > 0 ? hundredths * 10 : 0);
}

void Window::SetCursor(std::string_view name) {
  if (!IsOpen()) return RuntimeFatal(kErrWindowNotOpen, "");
  qt_->native->client()->setCursor(CursorForName(std::string(name)));
}

void Window::SetCursor(int id) {
  if (!IsOpen()) return RuntimeFatal(kErrWindowNotOpen, "");
  qt_->native->client()->setCursor(CursorForId(id));
}

int Window::AddButton(const std::string& text, int x, int y, int width, int height) {
  if (!IsOpen()) {
    RuntimeFatal(kErrWindowNotOpen, "");
    return 0;
  }
  if (SystemModal()) {
    RuntimeFatal(kErrCreateControlModal, "");
    return 0;
  }
  Control& c = qt_->Add(ControlKind::kButton, 0);
  c.def.text = text;
  auto* button = new QPushButton(platform::BytesToQString(text), qt_->native->client());  // Qt-owned
  button->setGeometry(x, y, std::max(width, 1), std::max(height, 1));
  button->show();
  c.widget = button;
  c.placed = true;
  const int number = c.number;
  QObject::connect(button, &QPushButton::clicked, button, [this, number] {
    if (IsOpen()) Raise(EVENT::Accepted, number);
  });
  return number;
}

std::vector<int> Window::PlacedControls() const {
  std::vector<int> numbers;
  if (!qt_) return numbers;
  for (const auto& c : qt_->controls) {
    if (c->placed && !c->widget.isNull()) numbers.push_back(c->number);
  }
  return numbers;
}

std::optional<PixelRect> Window::ControlRect(int control) const {
  const Control* c = qt_ ? qt_->Find(control) : nullptr;
  if (c == nullptr || c->widget.isNull()) return std::nullopt;
  const QRect r = c->widget->geometry();
  return PixelRect{r.x(), r.y(), r.width(), r.height()};
}

bool Window::SetControlRect(int control, const PixelRect& rect) {
  Control* c = qt_ ? qt_->Find(control) : nullptr;
  // A control the layout places would be put back by the layout at once.
  if (c == nullptr || c->widget.isNull() || !c->placed) return false;
  c->widget->setGeometry(rect.x, rect.y, std::max(rect.width, 1), std::max(rect.height, 1));
  return true;
}

std::optional<PixelRect> Window::ListCellRect(int list, int row, int column) const {
  const Control* c = qt_ ? qt_->Find(list) : nullptr;
  if (c == nullptr || !c->list || c->widget.isNull()) return std::nullopt;
  const QRect cell = c->list->CellRect(row, column - 1);
  if (cell.isEmpty()) return std::nullopt;
  // Clipped to the list's viewport, then in the coordinates of the list's parent.
  const QRect shown = cell.intersected(c->list->viewport()->rect());
  if (shown.isEmpty()) return std::nullopt;
  const QPoint at = c->list->viewport()->mapTo(c->widget->parentWidget(), shown.topLeft());
  return PixelRect{at.x(), at.y(), shown.width(), shown.height()};
}

PixelRect Window::ClientRect() const {
  if (!IsOpen()) return {};
  const QWidget* client = qt_->native->client();
  return PixelRect{0, 0, client->width(), client->height()};
}

void Window::SetClientSizeLimits(int minWidth, int minHeight, int maxWidth, int maxHeight) {
  if (!IsOpen()) return RuntimeFatal(kErrWindowNotOpen, "");
  QWidget* client = qt_->native->client();
  client->setMinimumSize(std::max(minWidth, 0), std::max(minHeight, 0));
  client->setMaximumSize(maxWidth > 0 ? maxWidth : QWIDGETSIZE_MAX, maxHeight > 0 ? maxHeight : QWIDGETSIZE_MAX);
}

bool Window::IsControl(int number) const { return qt_ != nullptr && qt_->Find(number) != nullptr; }

int Window::ControlCount() const { return qt_ ? static_cast<int>(qt_->controls.size()) : 0; }

std::optional<ControlKind> Window::KindOf(int number) const {
  const Control* c = qt_ ? qt_->Find(number) : nullptr;
  if (c == nullptr) return std::nullopt;
  return c->def.kind;
}

int Window::FindControl(ControlKind kind, std::string_view text) const {
  if (!qt_) return 0;
  for (const auto& c : qt_->controls) {
    if (c && c->def.kind == kind && StripAccelerator(c->def.text) == StripAccelerator(text)) {
      return c->number;
    }
  }
  return 0;
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

void Window::Raise(int event, int control, uint32_t keyCode) {
  if (!IsOpen()) return;
  if (keyCode != kKeepKey) {
    std::lock_guard lock(RuntimeLock());
    if (ThreadState* ts = ThreadStateFor(thread_.load())) ts->keyboard.keyCode = keyCode;
  }
  Deliver(MakeRecord(event, control));
}

void Window::DeliverDrop(std::string text) {
  EventRecord r = MakeRecord(EVENT::Drop, 0);
  r.textId = nextTextId_++;
  if (r.textId == 0) r.textId = nextTextId_++;
  texts_[r.textId] = std::move(text);
  Deliver(r);
}

void Window::MakeCurrent(const EventRecord& record) {
  current_ = record;
  currentText_.clear();
  if (record.textId != 0) {
    auto it = texts_.find(record.textId);
    if (it != texts_.end()) {
      currentText_ = std::move(it->second);
      texts_.erase(it);
    }
  }
}

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
  if (!IsOpen()) return;
  pending_.PushFront(MakeRecord(event, control));
  Wake();
}

void Window::Send(int event, int control) {
  if (!IsOpen()) return;
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
  QWidget* target = NativeOf(w)->focusWidget();
  if (target == nullptr) target = NativeOf(w);
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
      RuntimeFatal(kErrAcceptNeedsWindow, "");
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
  currentText_.clear();
  // The body may have changed what the controls show.
  if (IsOpen()) Display();
  closeCancelled_ = false;
  for (;;) {
    if (!Retired().empty()) ReapRetired();
    if (!IsOpen()) {
      LeaveLoop();
      return false;
    }
    if (TopOf(thread_) == this) CheckFocus();
    if (!urgent_.empty()) {
      MakeCurrent(urgent_.front());
      urgent_.pop_front();
      return true;
    }
    if (std::optional<EventRecord> r = pending_.PopFront()) {
      MakeCurrent(*r);
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
      if (top != nullptr && NativeOf(*top) != nullptr) {
        NativeOf(*top)->raise();
        NativeOf(*top)->activateWindow();
      }
      return;
    }
    case platform::kMsgTimerToTop: {
      if (Window* top = TopOf(thread_)) top->Send(EVENT::Timer);
      return;
    }
    case platform::kMsgDrop:
      DeliverDrop({});
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
