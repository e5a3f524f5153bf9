#include "classlib/step_locator.h"

#include "classlib/list_control.h"
#include "runtime/ui/key_code.h"

namespace cinevo::classlib {

void StepLocator::SetAlerts(ListControl& list) const {
  int slot = 1;
  for (uint32_t c = '0'; c <= '9'; ++c) list.SetAlert(slot++, c);
  for (uint32_t c = 'A'; c <= 'Z'; ++c) list.SetAlert(slot++, c);
  if (!noCase) {
    for (uint32_t c = 'A'; c <= 'Z'; ++c) list.SetAlert(slot++, c | kShiftBit);
  }
}

std::string StepLocator::TakeKey(uint32_t keyCode) const {
  const uint32_t key = keyCode & 0xFF;
  const uint32_t mods = keyCode & (kShiftBit | kCtrlBit | kAltBit);
  if (mods & (kCtrlBit | kAltBit)) return {};
  if (key >= '0' && key <= '9') return mods == 0 ? std::string(1, static_cast<char>(key)) : std::string{};
  if (key < 'A' || key > 'Z') return {};
  if (noCase) return std::string(1, static_cast<char>(key));
  // A letter key without Shift types the lower-case letter.
  return std::string(1, static_cast<char>(mods & kShiftBit ? key : key - 'A' + 'a'));
}

}  // namespace cinevo::classlib
