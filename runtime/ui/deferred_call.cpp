#include "runtime/ui/deferred_call.h"

#include <QCoreApplication>
#include <QTimer>

#include <utility>

namespace cinevo {

void CallFromEventLoop(std::function<void()> call) {
  if (QCoreApplication* loop = QCoreApplication::instance()) {
    QTimer::singleShot(0, loop, std::move(call));
    return;
  }
  call();
}

}  // namespace cinevo
