// Event codes.
//
// An event code is a 16-bit number. Code works with the language value (what CurrentEvent
// returns and PostEvent takes); event records store the internal value, language value +
// kEventBias, which is also what the trace prints. Field events (about one control) are 0x01 to
// 0x1E, EVENT::Selected is 0x101, window events are 0x201 and above.
#pragma once

#include <cstdint>
#include <string_view>

namespace cinevo {

inline constexpr uint32_t kEventBias = 0x1400;

constexpr uint32_t InternalEventCode(int languageValue) {
  return static_cast<uint32_t>(languageValue) + kEventBias;
}
constexpr int LanguageEventCode(uint32_t internalValue) {
  return static_cast<int>(internalValue - kEventBias);
}

// True for the events about one control (0x01..0x1E and Selected).
constexpr bool IsFieldEvent(int languageValue) {
  return (languageValue >= 0x01 && languageValue <= 0x1E) || languageValue == 0x101;
}

namespace EVENT {
inline constexpr int Accepted = 0x01;
inline constexpr int NewSelection = 0x02;
inline constexpr int ScrollUp = 0x03;
inline constexpr int ScrollDown = 0x04;
inline constexpr int PageUp = 0x05;
inline constexpr int PageDown = 0x06;
inline constexpr int ScrollTop = 0x07;
inline constexpr int ScrollBottom = 0x08;
inline constexpr int Locate = 0x09;
inline constexpr int MouseUp = 0x0A;
inline constexpr int MouseIn = 0x0B;
inline constexpr int MouseOut = 0x0C;
inline constexpr int MouseMove = 0x0D;
inline constexpr int VBXevent = 0x0E;
inline constexpr int AlertKey = 0x0F;
inline constexpr int PreAlert = 0x10;
inline constexpr int Dragging = 0x11;
inline constexpr int Drag = 0x12;
inline constexpr int Drop = 0x13;
inline constexpr int ScrollDrag = 0x14;
inline constexpr int TabChanging = 0x15;
inline constexpr int Expanding = 0x16;
inline constexpr int Contracting = 0x17;
inline constexpr int Expanded = 0x18;
inline constexpr int Contracted = 0x19;
inline constexpr int Rejected = 0x1A;
inline constexpr int DroppingDown = 0x1B;
inline constexpr int DroppedDown = 0x1C;
inline constexpr int ScrollTrack = 0x1D;
inline constexpr int ColumnResize = 0x1E;
inline constexpr int Selected = 0x101;
inline constexpr int CloseWindow = 0x201;
inline constexpr int CloseDown = 0x202;
inline constexpr int OpenWindow = 0x203;
inline constexpr int OpenFailed = 0x204;
inline constexpr int LoseFocus = 0x205;
inline constexpr int GainFocus = 0x206;
inline constexpr int Suspend = 0x208;
inline constexpr int Resume = 0x209;
inline constexpr int Notify = 0x20A;
inline constexpr int Timer = 0x20B;
inline constexpr int DDErequest = 0x20C;
inline constexpr int DDEadvise = 0x20D;
inline constexpr int DDEdata = 0x20E;
inline constexpr int DDEexecute = 0x20F;
inline constexpr int DDEpoke = 0x210;
inline constexpr int DDEclosed = 0x211;
inline constexpr int Move = 0x220;
inline constexpr int Size = 0x221;
inline constexpr int Restore = 0x222;
inline constexpr int Maximize = 0x223;
inline constexpr int Iconize = 0x224;
inline constexpr int Completed = 0x225;
inline constexpr int Moved = 0x230;
inline constexpr int Sized = 0x231;
inline constexpr int Restored = 0x232;
inline constexpr int Maximized = 0x233;
inline constexpr int Iconized = 0x234;
inline constexpr int BuildFile = 0x240;
inline constexpr int BuildKey = 0x241;
inline constexpr int BuildDone = 0x242;
}  // namespace EVENT

// The trace name of an internal code: an event ("EVENT:Accepted"), one of the runtime's private
// messages, or a system message; an empty view when the code has no name.
std::string_view EventName(uint32_t internalCode);

}  // namespace cinevo
