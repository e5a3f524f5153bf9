#include "platform/window/window_system.h"

#include <QApplication>
#include <QMessageBox>

#include <cstdio>
#include <cstdlib>

#include "platform/window/native_window.h"
#include "platform/window/private_message.h"
#include "runtime/core/error.h"

namespace cinevo::platform {
namespace {
bool g_started = false;  // GUI thread only
}

void InstallRuntimeErrorBox() {
  SetFatalHandler([](int /*code*/, const std::string& message) {
    std::fprintf(stderr, "Runtime error: %s\n", message.c_str());
    std::fflush(stderr);
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr) {
      QMessageBox box(QMessageBox::Critical, QStringLiteral("Runtime error"),
                      BytesToQString(message), QMessageBox::Ok | QMessageBox::Cancel);
      box.exec();
    }
    // Either button ends the program: the runtime's invariants no longer hold.
    std::fflush(stdout);
    std::_Exit(3);
  });
}

bool StartWindowSystem() {
  if (g_started) return true;
  if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) return false;
  InstallRuntimeErrorBox();
  if (!RegisterPrivateMessageType()) {
    RuntimeFatal(503, "WSLDIAL");
    return false;
  }
  g_started = true;
  return true;
}

bool WindowSystemStarted() { return g_started; }

}  // namespace cinevo::platform
