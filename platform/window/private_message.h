// Private messages between the runtime and its windows.
//
// A window's message queue is the Qt event queue of its widget. The runtime's private messages
// travel as one custom event type carrying a message number, an integer parameter and an
// optional owned payload. Posting is safe from any thread; a message for a window that has
// gone is dropped together with its payload.
#pragma once

#include <QEvent>

#include <cstdint>
#include <memory>

#include "platform/window/window_handle.h"

namespace cinevo::platform {

// Message numbers used by the runtime.
inline constexpr uint32_t kMsgBringToTop = 0x2415;         // bring the active thread's top window up
inline constexpr uint32_t kMsgTimerToTop = 0x2416;         // send a timer event to the top window
inline constexpr uint32_t kMsgControl17 = 0x2417;          // reserved for the control library
inline constexpr uint32_t kMsgDrop = 0x2418;               // post a drop event to the window
inline constexpr uint32_t kMsgControl1A = 0x241A;          // reserved for the control library
inline constexpr uint32_t kMsgPostEvent = 0x241B;          // payload: one event record
inline constexpr uint32_t kMsgQueryContinueThread = 0x241C;  // let a waiting thread go on
inline constexpr uint32_t kMsgQueryEditDone = 0x241D;      // an edit has finished
inline constexpr uint32_t kMsgWakeUp = 0x2400;             // empty message that only ends a wait

// Owned data attached to a message; destroyed with the message when not taken.
class MessagePayload {
 public:
  virtual ~MessagePayload() = default;
};

class PrivateMessage : public QEvent {
 public:
  PrivateMessage(uint32_t message, intptr_t param, std::unique_ptr<MessagePayload> payload);

  uint32_t message() const { return message_; }
  intptr_t param() const { return param_; }
  MessagePayload* payload() const { return payload_.get(); }
  std::unique_ptr<MessagePayload> TakePayload() { return std::move(payload_); }

  // The Qt event type of private messages; QEvent::None until RegisterPrivateMessageType succeeded.
  static QEvent::Type Type();

 private:
  uint32_t message_;
  intptr_t param_;
  std::unique_ptr<MessagePayload> payload_;
};

// Registers the event type once per process; false when Qt has no user event type left.
bool RegisterPrivateMessageType();

// Queues a message for the window. False (and the payload destroyed) when the handle is not a
// window or the message type is not registered. Thread-safe.
bool PostPrivateMessage(WindowHandle handle, uint32_t message, intptr_t param = 0,
                        std::unique_ptr<MessagePayload> payload = nullptr);

}  // namespace cinevo::platform
