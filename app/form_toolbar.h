// The frame toolbar of the update forms: the thirteen navigation buttons 2000 ... 2012 of the
// class library's toolbar (classlib/toolbar.h), as the last control of a form's definition. The
// form maps them with RuntimeWindow::MapToolbarButtons(the toolbar's number + 1); the targets give
// them their tips and states.
#pragma once

#include "runtime/ui/window_definition.h"

namespace cinevo::app {

// Insert, change, delete, select, last, first, page down, page up, next, previous, locate,
// history and help, in that order (numbers 2000 to 2012).
ControlDef FormToolbarDefinition();

}  // namespace cinevo::app
