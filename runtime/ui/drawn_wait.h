// Waiting for a long blocking call without leaving the windows blank.
//
// RunWhileDrawing(work) runs `work` on a helper thread and returns its result. Meanwhile the
// calling (GUI) thread keeps handling window-system events other than user input - painting,
// timers, posted messages - so windows stay drawn and playing movies keep moving, while clicks
// and keys wait until the call is over. Without a Qt application `work` simply runs on the
// calling thread.
//
// `work` must not touch windows or other GUI-thread objects.
#pragma once

#include <functional>

namespace cinevo {

int RunWhileDrawing(const std::function<int()>& work);

}  // namespace cinevo
