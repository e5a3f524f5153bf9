// The event record: one queued event.
//
// A record is made when an event is raised and copies everything the handler may ask about, so
// the key code and mouse position seen while handling an event are those of the moment it was
// raised. The queue owns a record until it is delivered; it is destroyed when the next one is
// delivered.
#pragma once

#include <cstdint>

namespace cinevo {

struct EventRecord {
  // Identity of the target window (Window::Id(); ids are never reused). A record is only ever
  // delivered to the window whose id it carries.
  uint32_t target = 0;
  uint32_t code = 0;       // internal value: language value + kEventBias
  uint32_t thread = 0;     // runtime thread number owning the target window
  int32_t control = 0;     // control number; 0 for a window event
  int32_t windowValue = 0; // the target's per-window value when the record was made
  uint32_t keyCode = 0;    // keyboard state when the record was made
  uint8_t keyState[2] = {0, 0};
  int32_t mouseX = 0;      // mouse position (screen coordinates) when the record was made
  int32_t mouseY = 0;
  uint32_t textId = 0;     // a drop record's text, kept by the target window until delivered
};

}  // namespace cinevo
