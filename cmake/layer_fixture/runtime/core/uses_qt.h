// A core header that reaches for Qt: the layer check must name it.
#pragma once
#include <QWidget>
