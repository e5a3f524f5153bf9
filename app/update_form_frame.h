// What the two update forms' window definitions share: resource "filmo$<name>", label
// "P1$QUICKWINDOW", the program's icon and the interface font, and the frame toolbar, whose
// thirteen navigation buttons 2000 ... 2012 (classlib/toolbar.h) come after the form's own
// controls. The form maps them with RuntimeWindow::MapToolbarButtons(the toolbar's number + 1);
// the toolbar's targets give them their tips and states.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "runtime/ui/window_definition.h"

namespace cinevo::app {

// Esc leaves a form as its Cancel button does.
inline constexpr uint32_t kEscapeKey = 0x1B;

// The form `name` ("FILMO002") with `caption` and size (dialog units): its `controls`, then the
// toolbar with insert, change, delete, select, last, first, page down, page up, next, previous,
// locate, history and help, in that order.
WindowDefinition UpdateFormDefinition(std::string_view name, std::string_view caption, int width,
                                      int height, std::vector<ControlDef> controls);

}  // namespace cinevo::app
