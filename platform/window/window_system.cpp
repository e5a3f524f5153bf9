#include "platform/window/window_system.h"

#include <QApplication>
#include <QMessageBox>

#include "platform/window/native_window.h"
#include "platform/window/private_message.h"

namespace cinevo::platform {
namespace {
bool g_started = false;  // GUI thread only
}

void ShowRuntimeErrorBox(const std::string& message) {
  if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) return;
  QMessageBox box(QMessageBox::Critical, QStringLiteral("Runtime error"), BytesToQString(message),
                  QMessageBox::Ok | QMessageBox::Cancel);
  box.exec();
}

bool StartWindowSystem() {
  if (g_started) return true;
  if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) return false;
  if (!RegisterPrivateMessageType()) return false;
  g_started = true;
  return true;
}

bool WindowSystemStarted() { return g_started; }

}  // namespace cinevo::platform
