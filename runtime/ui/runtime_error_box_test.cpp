#include "runtime/ui/runtime_error_box.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

#include <gtest/gtest.h>

#include "platform/window/test_application.h"
#include "runtime/core/error.h"

namespace cinevo {
namespace {

// The fatal report with a window system: a modal box titled "Runtime error" whose text is the
// code's text and the detail; either button ends the program with status 3.
TEST(RuntimeErrorBoxDeathTest, ShowsTheReportThenEndsTheProgram) {
  GTEST_FLAG_SET(death_test_style, "fast");
  for (auto button : {QMessageBox::Ok, QMessageBox::Cancel}) {
    EXPECT_EXIT(
        {
          InstallRuntimeErrorBox();
          QTimer::singleShot(0, [button] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr) std::_Exit(9);
            std::fprintf(stderr, "title=[%s] text=[%s] ok=%d cancel=%d\n",
                         box->windowTitle().toUtf8().constData(),
                         box->text().toUtf8().constData(), box->button(QMessageBox::Ok) != nullptr,
                         box->button(QMessageBox::Cancel) != nullptr);
            box->button(button)->click();
          });
          RuntimeFatal(536, "WSLTEST");
          std::_Exit(0);  // not reached: the report ends the program
        },
        ::testing::ExitedWithCode(3),
        "title=\\[Runtime error\\] text=\\[Window is not open : WSLTEST\\] ok=1 cancel=1");
  }
}

}  // namespace
}  // namespace cinevo
