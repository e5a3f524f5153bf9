#include "app/form_toolbar.h"

namespace cinevo::app {

ControlDef FormToolbarDefinition() {
  using namespace cinevo::controls;
  // Short marks keep the row narrow; the tips (set by the toolbar's targets) say what each does.
  return Toolbar({Button("+", "Insert"), Button("\xE2\x9C\x8E", "Change"),
                  Button("\xE2\x9C\x95", "Delete"), Button("\xE2\x9C\x93", "Select"),
                  Button("\xE2\xA4\x93", "Last"), Button("\xE2\xA4\x92", "First"),
                  Button("\xE2\x87\x9F", "Page down"), Button("\xE2\x87\x9E", "Page up"),
                  Button("\xE2\x86\x93", "Next"), Button("\xE2\x86\x91", "Previous"),
                  Button("Find", "Locate"), Button("\"", "History"), Button("?", "Help")});
}

}  // namespace cinevo::app
