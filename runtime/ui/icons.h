// Icons, cursors and fonts by the names window definitions use (internal; Qt types).
//
// The application's icon and cursor names ("1mm.ico", "~closed.ico", "Hand4.cur" ...) map to
// drawings of our own kept as SVG in the program's resources (runtime/ui/icons/); where the
// desktop's icon theme has an icon of the same meaning (a freedesktop name) that one is used,
// with our drawing as the fallback. Names are matched without regard to case; a leading "~"
// (an icon stored in the program) is ignored. Any other name is read as a picture file.
#pragma once

#include <QCursor>
#include <QFont>
#include <QIcon>

#include <string>
#include <vector>

namespace cinevo {

struct IconName {
  const char* name;       // as the application writes it
  const char* resource;   // our drawing, under :/cinevo/icons/
  const char* theme;      // freedesktop icon name, or "" for none
  const char* meaning;
};

// Every name the application uses, in the order of the README's table.
const std::vector<IconName>& KnownIcons();

// A null icon when the name is unknown and no picture file of that name can be read.
QIcon IconForName(const std::string& name);

// "Hand4.cur" and the other cursor names; a picture file otherwise; the arrow when neither.
QCursor CursorForName(const std::string& name);

// The standard cursors by number: 0x7F01 arrow, 0x7F02 text beam, 0x7F03 busy, 0x7F04 cross,
// 0x7F05 up arrow, 0x7F06 size all, 0x7F07 forbidden, 0x7F08 to 0x7F0B the four size arrows
// (diagonal down, diagonal up, across, up and down), 0x7F0C pointing hand. Others: the arrow.
QCursor CursorForId(int id);

// "MS Sans Serif" is the desktop's interface font; "Small Fonts" the same a good deal smaller;
// other names are font families. An empty name gives the interface font.
QFont FontForName(const std::string& name, int pointSize = 0);

}  // namespace cinevo
