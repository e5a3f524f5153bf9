#include "runtime/ui/events.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QTimer>

#include <vector>

#include "platform/window/private_message.h"
#include "platform/window/window_system.h"
#include "runtime/core/error.h"
#include "runtime/core/error_codes.h"
#include "runtime/ui/key_code.h"
#include "runtime/ui/runtime_error_box.h"
#include "runtime/ui/runtime_thread.h"
#include "runtime/ui/window.h"

namespace cinevo {
namespace {

MessageHook g_messageHook;  // GUI thread only

// Watches all input of the application and keeps the keyboard state of the runtime thread that
// is reading it, so that records made later carry the key and mouse position of their moment;
// then offers every message to the installed message hook.
class InputTracker : public QObject {
 public:
  explicit InputTracker(QObject* parent) : QObject(parent) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    switch (event->type()) {
      case QEvent::KeyPress:
      case QEvent::KeyRelease: {
        auto* k = static_cast<QKeyEvent*>(event);
        QString text = k->text();
        char16_t ch = text.isEmpty() ? 0 : text.at(0).unicode();
        uint32_t code = KeyCodeFromQt(k->key(), static_cast<int>(k->modifiers()), ch);
        std::lock_guard lock(RuntimeLock());
        if (ThreadState* ts = ThreadStateFor(CurrentThreadNumber())) {
          if (code != 0 && event->type() == QEvent::KeyPress) ts->keyboard.keyCode = code;
          ts->keyboard.keyState[0] = static_cast<uint8_t>(code >> 8);
          ts->keyboard.keyState[1] = event->type() == QEvent::KeyPress ? 1 : 0;
        }
        break;
      }
      case QEvent::MouseMove:
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonRelease: {
        QPointF p = static_cast<QMouseEvent*>(event)->globalPosition();
        std::lock_guard lock(RuntimeLock());
        if (ThreadState* ts = ThreadStateFor(CurrentThreadNumber())) {
          ts->keyboard.mouseX = static_cast<int32_t>(p.x());
          ts->keyboard.mouseY = static_cast<int32_t>(p.y());
        }
        break;
      }
      default:
        break;
    }
    if (g_messageHook && g_messageHook(watched, event)) return true;
    return QObject::eventFilter(watched, event);
  }
};

bool g_trackerInstalled = false;  // GUI thread only
QPointer<QTimer> g_applicationTimer;

const EventRecord* CurrentRecord(Window** window) {
  Window* top = TopWindow();
  if (window) *window = top;
  return top ? top->Current() : nullptr;
}

}  // namespace

bool StartEventRuntime() {
  if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) return false;
  if (!platform::WindowSystemStarted()) {
    // The first start makes fatal reports show the error box; a handler installed later (by a
    // test, say) stays in force on later starts.
    InstallRuntimeErrorBox();
    if (!platform::StartWindowSystem()) {
      RuntimeFatal(kErrInternalEvents, "WSLDIAL");
      return false;
    }
  }
  if (!g_trackerInstalled) {
    QCoreApplication::instance()->installEventFilter(new InputTracker(QCoreApplication::instance()));
    g_trackerInstalled = true;
  }
  return true;
}

void ShutdownEvents() {
  SetShuttingDown(true);
  std::vector<platform::WindowHandle> waiting;
  {
    std::lock_guard lock(RuntimeLock());
    for (uint32_t t = 2; t <= kMaxRuntimeThreads; ++t) {
      ThreadState* ts = ThreadStateFor(t);
      if (ts->top != nullptr) waiting.push_back(ts->top->Handle());
    }
  }
  for (platform::WindowHandle h : waiting) {
    platform::PostPrivateMessage(h, platform::kMsgQueryContinueThread);
  }
  // Every loop of the main thread ends when it next resumes on its closed window.
  Window::CloseThreadWindows(1);
}

void SetMessageHook(MessageHook hook) { g_messageHook = std::move(hook); }

void SetApplicationTimer(int hundredths, std::function<void()> handler) {
  if (g_applicationTimer) {
    // Deleted later, as a timeout may be running it; stopped and cut off now, so that the
    // handler being replaced is never called again.
    g_applicationTimer->stop();
    g_applicationTimer->disconnect();
    g_applicationTimer->deleteLater();
  }
  g_applicationTimer.clear();
  if (hundredths <= 0 || !handler || QCoreApplication::instance() == nullptr) return;
  auto* timer = new QTimer(QCoreApplication::instance());  // owned by the application object
  QObject::connect(timer, &QTimer::timeout, timer, std::move(handler));
  timer->start(hundredths * 10);
  g_applicationTimer = timer;
}

Window* TopWindow() {
  std::lock_guard lock(RuntimeLock());
  ThreadState* ts = ThreadStateFor(CurrentThreadNumber());
  return ts ? ts->top : nullptr;
}

int CurrentEvent() {
  const EventRecord* r = CurrentRecord(nullptr);
  return r ? LanguageEventCode(r->code) : 0;
}

int CurrentField() {
  Window* w = nullptr;
  CurrentRecord(&w);
  return w ? w->Field() : 0;
}

int AcceptedField() { return CurrentEvent() == EVENT::Accepted ? CurrentField() : 0; }

uint32_t CurrentKeyCode() {
  if (const EventRecord* r = CurrentRecord(nullptr)) return r->keyCode & kKeyCodeMask;
  std::lock_guard lock(RuntimeLock());
  ThreadState* ts = ThreadStateFor(CurrentThreadNumber());
  return ts ? ts->keyboard.keyCode & kKeyCodeMask : 0;
}

bool PostEvent(Window* target, int event, int control) {
  if (target == nullptr) {
    RuntimeFatal(kErrWindowNotOpen, "");
    return false;
  }
  return target->Post(event, control);
}

bool PostEvent(int event, int control) { return PostEvent(TopWindow(), event, control); }

bool Press(std::string_view keys) {
  platform::WindowHandle wake = platform::kNoWindow;
  bool ok = true;
  {
    std::lock_guard lock(RuntimeLock());
    ThreadState* ts = ThreadStateFor(CurrentThreadNumber());
    if (ts == nullptr) return false;
    for (char c : keys) {
      if (!ts->press.Push(static_cast<unsigned char>(c))) {
        ok = false;
        break;
      }
    }
    if (ts->top != nullptr) wake = ts->top->Handle();
  }
  if (wake != platform::kNoWindow) platform::PostPrivateMessage(wake, platform::kMsgWakeUp);
  if (!ok) RuntimeFatal(kErrTooManyKeystrokes, "");
  return ok;
}

}  // namespace cinevo
