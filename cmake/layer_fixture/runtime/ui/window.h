// The window runtime may use Qt and the layers below it: nothing here is reported.
#pragma once
#include <QWidget>
#include "runtime/core/uses_qt.h"
