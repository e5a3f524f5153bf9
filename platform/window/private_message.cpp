#include "platform/window/private_message.h"

#include <QCoreApplication>

#include <atomic>
#include <mutex>

#include "platform/window/native_window.h"

namespace cinevo::platform {
namespace detail {
std::recursive_mutex& HandleMutex();
}

namespace {
std::atomic<int> g_messageType{QEvent::None};
}

PrivateMessage::PrivateMessage(uint32_t message, intptr_t param,
                               std::unique_ptr<MessagePayload> payload)
    : QEvent(Type()), message_(message), param_(param), payload_(std::move(payload)) {}

QEvent::Type PrivateMessage::Type() { return static_cast<QEvent::Type>(g_messageType.load()); }

bool RegisterPrivateMessageType() {
  static std::mutex mutex;
  std::lock_guard lock(mutex);
  if (g_messageType.load() != QEvent::None) return true;
  int type = QEvent::registerEventType();
  if (type < 0) return false;
  g_messageType.store(type);
  return true;
}

bool PostPrivateMessage(WindowHandle handle, uint32_t message, intptr_t param,
                        std::unique_ptr<MessagePayload> payload) {
  if (PrivateMessage::Type() == QEvent::None) return false;
  // Held across postEvent: the window's destructor releases its handle under the same lock
  // before QObject removes its queued events, so the receiver is alive while we queue.
  std::lock_guard lock(detail::HandleMutex());
  NativeWindow* window = NativeWindowFromHandle(handle);
  if (window == nullptr) return false;
  QCoreApplication::postEvent(window, new PrivateMessage(message, param, std::move(payload)));
  return true;
}

}  // namespace cinevo::platform
