// Window definitions as data.
//
// A window definition describes a window the way a procedure's table lists it: caption, icon,
// font, cursor, message text, whether files may be dropped on it, its size and its controls in
// definition order. Procedures open a definition by resource name and label
// ("filmo$FILMO005", "P1$WINDOW") once it has been registered, or pass it directly.
//
// Control numbers: the controls are numbered 1, 2, ... in definition order, walking menus and
// toolbars depth first: a menu takes a number and then its items do; a toolbar takes a number and
// then its buttons do; separators and the menu bar itself take none. Events carry these numbers.
//
//   using namespace cinevo::controls;
//   WindowDefinition main{
//       .resource = "filmo$FILMO005", .label = "P1$WINDOW", .caption = "Cinevo +",
//       .controls = {
//           Menu("&File", "Menu File", {Item("Open", "Open and play movie"), Separator()}),
//           Toolbar({ToolButton("Open", "Open (or drop) and play movie-s")}),
//       }};
//
// Sizes and positions are dialog units of the window's font (a quarter of the average character
// width across, an eighth of the character height down). A control without a position is laid
// out by the window: top to bottom, a prompt beside the control after it, neighbouring buttons
// side by side, lists taking the room that is left.
//
// This header is free of Qt.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace cinevo {

enum class ControlKind {
  kMenu,        // a menu of the menu bar (or a submenu inside a menu); children: items
  kItem,        // a menu item
  kSeparator,   // between menu items or toolbar buttons; takes no number
  kToolbar,     // children: buttons and separators
  kButton,      // a push button, or a toolbar button inside a toolbar
  kPrompt,      // a label, usually naming the control after it
  kEntry,       // a one-line text entry shown and typed through a picture
  kString,      // display text, optionally through a picture
  kImage,       // a picture (icon name or file)
  kList,        // a list over a queue, columns from a format
};

struct ControlDef {
  ControlKind kind = ControlKind::kString;
  std::string text;     // "&" marks the accelerator; "&&" is a plain "&"
  std::string tip;      // tool tip; for menus and items the message text
  std::string icon;     // icon name ("1izb.ico"), or a picture file for images
  std::string picture;  // entries and strings: the picture ("@s20"); empty: "@s255"
  std::string format;   // lists: the column format ("1020L@s255@")
  std::string font;     // empty: the window's font
  bool tree = false;    // lists: drawn as a tree (the format's "T" column has the levels)
  // Position and size in dialog units; width 0 lets the window lay the control out.
  int x = 0, y = 0, width = 0, height = 0;
  std::vector<ControlDef> children;  // menus and toolbars

  // Builder style for readable definitions.
  ControlDef& Tip(std::string_view t) { tip = t; return *this; }
  ControlDef& Icon(std::string_view i) { icon = i; return *this; }
  ControlDef& Picture(std::string_view p) { picture = p; return *this; }
  ControlDef& Font(std::string_view f) { font = f; return *this; }
  ControlDef& At(int ax, int ay, int w, int h) { x = ax; y = ay; width = w; height = h; return *this; }
};

// The builders of definitions, in a namespace of their own so that their short names meet no
// class of the same name (a definition file says `using namespace cinevo::controls;`).
namespace controls {
ControlDef Menu(std::string_view text, std::string_view message, std::vector<ControlDef> items);
ControlDef Item(std::string_view text, std::string_view message = {});
ControlDef Separator();
ControlDef Toolbar(std::vector<ControlDef> buttons);
ControlDef Button(std::string_view text, std::string_view tip = {});
ControlDef Prompt(std::string_view text);
ControlDef Entry(std::string_view picture);
ControlDef String(std::string_view text, std::string_view picture = {});
ControlDef Image(std::string_view picture);
ControlDef List(std::string_view format, std::string_view tip = {});
ControlDef Tree(std::string_view format, std::string_view tip = {});
}  // namespace controls

struct WindowDefinition {
  std::string resource;  // "filmo$FILMO005"
  std::string label;     // "P1$WINDOW"
  std::string caption;
  std::string icon;      // icon name or file
  std::string font;      // "MS Sans Serif" is the desktop's interface font
  std::string cursor;    // over the client area: a name ("Hand4.cur") or empty
  std::string message;   // text of the status line
  bool acceptsDrops = false;
  std::string dropId;    // "~FILE": files from the desktop
  int width = 0;         // dialog units; 0 chooses a size from the contents
  int height = 0;
  std::vector<ControlDef> controls;
};

// One numbered control: its number, the control, and the number of the menu or toolbar that
// holds it (0 at the top).
struct NumberedControl {
  int number = 0;
  const ControlDef* control = nullptr;
  int parent = 0;
};

// The numbered controls of a definition in number order (entry i has number i + 1). The
// pointers point into `definition`.
std::vector<NumberedControl> NumberControls(const WindowDefinition& definition);

// The text without its "&" markers ("&&" stays one "&"), and the accelerator letter (0: none).
std::string StripAccelerator(std::string_view text);
char AcceleratorOf(std::string_view text);

// Registered definitions, found by resource name and label (without regard to case). A second
// registration of the same name and label replaces the first. GUI thread only.
void RegisterWindowDefinition(WindowDefinition definition);
const WindowDefinition* FindWindowDefinition(std::string_view resource, std::string_view label);

}  // namespace cinevo
