#include "runtime/ui/drawn_wait.h"

#include <QApplication>
#include <QEventLoop>
#include <QThread>

#include <atomic>
#include <future>

namespace cinevo {

int RunWhileDrawing(const std::function<int()>& work) {
  auto* app = QCoreApplication::instance();
  if (app == nullptr || QThread::currentThread() != app->thread()) return work();

  std::atomic<bool> done{false};
  QEventLoop loop;
  std::future<int> result = std::async(std::launch::async, [&work, &done, &loop] {
    int rc = work();
    done = true;
    // Wakes the loop below; queued, so it runs on the GUI thread after any pending event.
    QMetaObject::invokeMethod(&loop, [&loop] { loop.quit(); }, Qt::QueuedConnection);
    return rc;
  });
  // A loop that takes no user input: the quit above ends it; `done` covers a quit that was
  // queued before the loop began to run.
  while (!done) {
    loop.processEvents(QEventLoop::ExcludeUserInputEvents | QEventLoop::WaitForMoreEvents);
  }
  return result.get();
}

}  // namespace cinevo
