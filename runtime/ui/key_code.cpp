#include "runtime/ui/key_code.h"

#include <Qt>

#include <array>
#include <utility>

namespace cinevo {
namespace {

constexpr std::array<std::pair<int, uint32_t>, 16> kNamedKeys = {{
    {Qt::Key_Return, 0x0D},   {Qt::Key_Enter, 0x0D},    {Qt::Key_Escape, 0x1B},
    {Qt::Key_Backspace, 0x08}, {Qt::Key_Tab, 0x09},     {Qt::Key_PageUp, 0x21},
    {Qt::Key_PageDown, 0x22}, {Qt::Key_End, 0x23},      {Qt::Key_Home, 0x24},
    {Qt::Key_Left, 0x25},     {Qt::Key_Up, 0x26},       {Qt::Key_Right, 0x27},
    {Qt::Key_Down, 0x28},     {Qt::Key_Insert, 0x2D},
    // Shift+Tab arrives as Backtab (with Shift): Tab with the Shift bit.
    {Qt::Key_Backtab, 0x09},
    // The apostrophe key (the forms' history key is Ctrl with it).
    {Qt::Key_Apostrophe, 0xDE},
}};

uint32_t ModifierBits(int m) {
  uint32_t bits = 0;
  if (m & Qt::ShiftModifier) bits |= kShiftBit;
  if (m & Qt::ControlModifier) bits |= kCtrlBit;
  if (m & Qt::AltModifier) bits |= kAltBit;
  return bits;
}

}  // namespace

uint32_t KeyCodeFromQt(int key, int modifiers, char16_t text) {
  uint32_t base = 0;
  if (key >= Qt::Key_A && key <= Qt::Key_Z) {
    base = static_cast<uint32_t>(key);  // Qt uses the upper-case character
  } else if (key >= Qt::Key_0 && key <= Qt::Key_9) {
    base = static_cast<uint32_t>(key);
  } else if (key == Qt::Key_Delete) {
    base = 0x2E;
  } else if (key >= Qt::Key_F1 && key <= Qt::Key_F24) {
    base = 0x70 + static_cast<uint32_t>(key - Qt::Key_F1);
  } else if (key == Qt::Key_Space) {
    base = 0x20;
  } else {
    for (auto [k, code] : kNamedKeys) {
      if (k == key) base = code;
    }
    if (base == 0 && text != 0 && text < 0x100) base = text;
  }
  if (base == 0) return 0;
  return (base | ModifierBits(modifiers)) & kKeyCodeMask;
}

QtKeystroke QtKeystrokeFromChar(unsigned char c) {
  QtKeystroke s;
  s.text = c;  // bytes above 0x7F are taken as Latin-1 characters
  if (c == '\r' || c == '\n') {
    s.key = Qt::Key_Return;
    s.text = u'\r';
  } else if (c == '\t') {
    s.key = Qt::Key_Tab;
  } else if (c == 0x1B) {
    s.key = Qt::Key_Escape;
  } else if (c == 0x08) {
    s.key = Qt::Key_Backspace;
  } else if (c >= 'a' && c <= 'z') {
    s.key = Qt::Key_A + (c - 'a');
  } else if (c >= 'A' && c <= 'Z') {
    s.key = Qt::Key_A + (c - 'A');
    s.modifiers = Qt::ShiftModifier;
  } else if (c >= 0x20 && c < 0x7F) {
    s.key = c;  // Qt's keys for printable ASCII are the characters themselves
  } else {
    s.key = Qt::Key_unknown;
  }
  return s;
}

}  // namespace cinevo
