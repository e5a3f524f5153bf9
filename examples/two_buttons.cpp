// A window with two buttons and its ACCEPT loop.
//
// Build and run:   ninja -C build two_buttons && ./build/examples/two_buttons
// Without a display: xvfb-run -a ./build/examples/two_buttons --auto
//
// The caption counts the accepted events; the second accepted event closes the window. With
// --auto the program clicks the first button itself after a second and a half and the second
// one after three, so that it also runs unattended.
#include <QApplication>
#include <QPushButton>
#include <QTimer>

#include <cstdio>
#include <cstring>
#include <string>

#include "runtime/ui/events.h"
#include "runtime/ui/window.h"
#include "runtime/ui/window_widgets.h"

namespace {

int RunMainWindow(bool autoClick) {
  cinevo::Window window;
  cinevo::WindowOptions options;
  options.caption = "Two buttons - 0 accepted";
  options.x = 100;
  options.y = 100;
  options.width = 360;
  options.height = 140;
  if (!window.Open(options)) return 1;
  const int play = window.AddButton("Play", 30, 40, 140, 50);
  const int stop = window.AddButton("Stop", 190, 40, 140, 50);

  int accepted = 0;
  while (window.Accept()) {
    switch (cinevo::CurrentEvent()) {
      case cinevo::EVENT::OpenWindow:
        std::printf("window open, handle %d\n", window.Handle());
        if (autoClick) {
          QTimer::singleShot(1500, qobject_cast<QPushButton*>(cinevo::ControlWidget(window, play)), &QPushButton::click);
          QTimer::singleShot(3000, qobject_cast<QPushButton*>(cinevo::ControlWidget(window, stop)), &QPushButton::click);
        }
        break;
      case cinevo::EVENT::Accepted:
        ++accepted;
        std::printf("accepted: control %d (%s)\n", cinevo::AcceptedField(),
                    cinevo::AcceptedField() == play ? "Play" : "Stop");
        window.SetCaption("Two buttons - " + std::to_string(accepted) + " accepted");
        if (accepted == 2) window.Close();
        break;
      default:
        break;
    }
  }
  std::printf("loop ended after %d accepted events\n", accepted);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (!cinevo::StartEventRuntime()) return 1;
  bool autoClick = argc > 1 && std::strcmp(argv[1], "--auto") == 0;
  int status = RunMainWindow(autoClick);
  cinevo::ShutdownEvents();
  return status;
}
