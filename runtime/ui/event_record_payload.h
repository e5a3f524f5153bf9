// An event record on its way through a window's message queue (private message 0x241B).
#pragma once

#include "platform/window/private_message.h"
#include "runtime/ui/event_record.h"

namespace cinevo {

struct EventRecordPayload : platform::MessagePayload {
  explicit EventRecordPayload(const EventRecord& r) : record(r) {}
  EventRecord record;
};

}  // namespace cinevo
