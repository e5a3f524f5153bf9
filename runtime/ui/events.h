// The event functions of the running thread.
//
// They read the current event of the calling runtime thread's top window (the window whose
// ACCEPT loop runs). Outside any event they give 0.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

#include "runtime/ui/event_code.h"

class QEvent;
class QObject;

namespace cinevo {

class Window;

// Prepares the event runtime once a QApplication exists: the window layer (with the runtime
// error box as fatal report) and the input tracking that feeds the keyboard state. False when
// there is no QApplication.
bool StartEventRuntime();

// Shutdown: closes the windows of the main thread (thread 1), lets the other threads' waits go
// on, and ends all posting.
void ShutdownEvents();

Window* TopWindow();  // of the calling runtime thread; nullptr when none

int CurrentEvent();            // language value of the current event; 0 when none
int CurrentField();            // control of the current event; 0 for window events
int AcceptedField();           // CurrentField() for EVENT::Accepted, else 0
uint32_t CurrentKeyCode();     // key code of the current event (else the thread's last), & 0x7FF

// Queues `event` for `target` (see Window::Post). The form without a target posts to the
// thread's top window and raises 536 when there is none.
bool PostEvent(Window* target, int event, int control = 0);
bool PostEvent(int event, int control = 0);

// Puts keystrokes (characters) into the thread's 1,024-entry PRESS buffer; they are typed into
// the top window by its wait. Raises 534 and stops at the first keystroke that does not fit.
bool Press(std::string_view keys);

// A hook that sees every message of the application before it is dispatched (keyboard
// pre-translation, tracing). It receives the Qt receiver and event; returning true consumes the
// message (the runtime's input tracking has seen it already). An empty hook removes it. GUI thread only.
using MessageHook = std::function<bool(QObject* receiver, QEvent* message)>;
void SetMessageHook(MessageHook hook);

// The application's timer, which belongs to no window: every `hundredths` hundredths of a
// second it calls `handler`. 0 (or an empty handler) stops it. GUI thread only.
void SetApplicationTimer(int hundredths, std::function<void()> handler);

// The process-wide active thread. Changing it sends EVENT::Suspend to the top window of the
// thread that was active and EVENT::Resume to the newly active one when it had been suspended;
// the next wait of a top window then sends EVENT::LoseFocus and EVENT::GainFocus.
void SetActiveThread(uint32_t thread);
uint32_t ActiveThread();

}  // namespace cinevo
