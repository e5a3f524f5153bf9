// Runtime key codes.
//
// A key code fits 11 bits: the low byte is the key (the upper-case character for letters and
// digits, 0x0D Enter, 0x1B Esc, 0x08 Backspace, 0x09 Tab, 0x20 Space, 0x21..0x28 PgUp, PgDn,
// End, Home, Left, Up, Right, Down, 0x2D Insert, 0x2E Delete, 0x70.. F1..F24, else the
// character code when it is below 0x100) and three bits carry Shift (0x100), Ctrl (0x200) and
// Alt (0x400).
#pragma once

#include <cstdint>

namespace cinevo {

inline constexpr uint32_t kKeyCodeMask = 0x7FF;
inline constexpr uint32_t kShiftBit = 0x100;
inline constexpr uint32_t kCtrlBit = 0x200;
inline constexpr uint32_t kAltBit = 0x400;

// From a Qt key (Qt::Key), its modifiers (Qt::KeyboardModifiers) and text; 0 when unknown.
uint32_t KeyCodeFromQt(int qtKey, int qtModifiers, char16_t text);

// The Qt key, modifiers and text that type the character `c` (for PRESS).
struct QtKeystroke {
  int key = 0;
  int modifiers = 0;
  char16_t text = 0;
};
QtKeystroke QtKeystrokeFromChar(unsigned char c);

}  // namespace cinevo
