#include "runtime/ui/mouse_cursor.h"

#include <QCursor>
#include <QGuiApplication>

#include <atomic>

#include "runtime/ui/icons.h"

namespace cinevo {
namespace {

std::atomic<int>& Current() {
  static std::atomic<int> id{kCursorDefault};
  return id;
}

}  // namespace

void SetMouseCursor(int id) {
  int before = Current().exchange(id);
  if (before == id || qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr) return;
  // One override at a time: the previous one goes before the new one is shown.
  if (before != kCursorDefault) QGuiApplication::restoreOverrideCursor();
  if (id != kCursorDefault) QGuiApplication::setOverrideCursor(CursorForId(id));
}

int MouseCursor() { return Current().load(); }

}  // namespace cinevo
