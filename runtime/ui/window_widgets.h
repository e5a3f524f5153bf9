// The Qt widgets behind a runtime window, for the window layer's own code, its UI test driver
// and its tests. Everything else uses window.h, which is free of Qt.
#pragma once

class QAction;
class QWidget;

namespace cinevo {

namespace platform {
class NativeWindow;
}
class QueueListView;
class Window;

platform::NativeWindow* NativeOf(const Window& window);  // nullptr while closed
QWidget* ClientOf(const Window& window);                   // the client area
// The widget of a control (button, entry, string, prompt, image, list, toolbar), or nullptr.
QWidget* ControlWidget(const Window& window, int control);
// The action of a menu, menu item or toolbar button, or nullptr.
QAction* ControlAction(const Window& window, int control);
QueueListView* ListOf(const Window& window, int control);

}  // namespace cinevo
