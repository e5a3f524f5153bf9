// The step locator of a browse's sort order: a key typed on the list moves the list to the first
// record whose free key element (the first key component that the range does not fix) begins at
// or after the typed character. The comparison follows the key's case rule: a locator of a key
// that ignores case takes every letter as upper case.
#pragma once

#include <cstdint>
#include <string>

namespace cinevo::classlib {

class ListControl;

class StepLocator {
 public:
  virtual ~StepLocator() = default;
  bool noCase = true;

  // Registers the keys the locator takes as alert keys of the list (letters and digits; with a
  // case-sensitive key the shifted letters as well), from slot 1 up.
  virtual void SetAlerts(ListControl& list) const;
  // The value to locate for a key code; empty when the key is not the locator's.
  virtual std::string TakeKey(uint32_t keyCode) const;
};

}  // namespace cinevo::classlib
