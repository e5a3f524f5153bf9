#include "app/update_form_frame.h"

#include <string>

namespace cinevo::app {

WindowDefinition UpdateFormDefinition(std::string_view name, std::string_view caption, int width,
                                      int height, std::vector<ControlDef> controls) {
  using namespace cinevo::controls;
  WindowDefinition d;
  d.resource = "filmo$" + std::string(name);
  d.label = "P1$QUICKWINDOW";
  d.caption = caption;
  d.icon = "1mm.ico";
  d.font = "MS Sans Serif";
  d.width = width;
  d.height = height;
  d.controls = std::move(controls);
  // Short marks keep the row narrow; the tips (set by the toolbar's targets) say what each does.
  d.controls.push_back(Toolbar({Button("+", "Insert"), Button("\xE2\x9C\x8E", "Change"),
                                Button("\xE2\x9C\x95", "Delete"), Button("\xE2\x9C\x93", "Select"),
                                Button("\xE2\xA4\x93", "Last"), Button("\xE2\xA4\x92", "First"),
                                Button("\xE2\x87\x9F", "Page down"), Button("\xE2\x87\x9E", "Page up"),
                                Button("\xE2\x86\x93", "Next"), Button("\xE2\x86\x91", "Previous"),
                                Button("Find", "Locate"), Button("\"", "History"), Button("?", "Help")}));
  return d;
}

}  // namespace cinevo::app
