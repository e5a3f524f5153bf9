// The runtime's mouse-cursor setting: the whole program shows one cursor while work that the
// user must wait for is under way.
//
// Cursors are given by small identifiers: 0 the default arrow, kCursorBusy the cursor shown
// during long data work (a cascading delete, for instance). Without a window system the setting
// is only remembered, so tests can read it back.
#pragma once

namespace cinevo {

inline constexpr int kCursorDefault = 0;
inline constexpr int kCursorBusy = 0x7F03;

// Shows `id` over every window of the program (0: back to the default).
void SetMouseCursor(int id);
// The identifier last set.
int MouseCursor();

}  // namespace cinevo
