// Numbered properties of windows and controls.
//
// Window::Property and Window::SetProperty read and set them as text (numbers as decimal text);
// control 0 names the window itself. Indexed properties take an index from 1.
#pragma once

namespace cinevo {

namespace PROP {
inline constexpr int Text = 0x7C00;        // window caption; control text; entry value
inline constexpr int Selection = 0x7C20;   // list: the current row (1-based; 0 none)
inline constexpr int Disable = 0x7C5F;     // 1 while the control is disabled
inline constexpr int Items = 0x7C8E;       // list: rows it shows at its current size
inline constexpr int Selected = 0x7C8F;    // list: the current row; setting it selects a row
inline constexpr int Handle = 0x7C96;      // window: its handle
inline constexpr int AcceptAll = 0x7C9A;   // window: 1 while all controls are being accepted
inline constexpr int Tip = 0x7CA0;         // control: its tool tip
inline constexpr int Visible = 0x7CA7;     // control: 1 while shown on the screen
inline constexpr int Alert = 0x7D06;       // indexed (1..255): alert key codes; "" or 0 frees
inline constexpr int IconList = 0x7D07;    // list, indexed (1..): icon names for icon numbers
inline constexpr int Paged = 0x7D08;       // list: 1 while the program loads it a page at a time
inline constexpr int Thumb = 0x7D09;       // paged list: the scroll thumb's position (1..100)
inline constexpr int HideSelect = 0x7D0A;  // list: 1 shows the highlight only while it has the focus
}  // namespace PROP

}  // namespace cinevo
