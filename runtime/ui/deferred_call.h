// Calls made once the event loop next runs: the Qt-free way for the layers above the runtime to
// answer something after the current event has been handled.
#pragma once

#include <functional>

namespace cinevo {

// Queues `call` on the application's event loop when a Qt application exists (it runs after the
// events already queued, on the GUI thread); without one, calls it at once.
void CallFromEventLoop(std::function<void()> call);

}  // namespace cinevo
