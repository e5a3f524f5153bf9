// A data header that reaches up into the window runtime: the layer check must name it.
#pragma once
#include "runtime/core/uses_qt.h"
#include "runtime/ui/window.h"
