#include "app/player_windows.h"

#include "runtime/ui/window_definition.h"

namespace cinevo::app {

void RegisterPlayerWindows() {
  WindowDefinition main{
      .resource = "filmo$FILMO005",
      .label = "P1$WINDOW",
      .caption = "Cinevo +",
      .icon = "1mm.ico",
      .font = "MS Sans Serif",
      .cursor = "Hand4.cur",
      .message = "Drag'n drop movies",
      .acceptsDrops = true,
      .dropId = "~FILE",
      .controls = {
          Menu("&File", "Menu File",
               {Item("Open", "Open and play movie"), Item("Stop", "Stop all"),
                Item("Play", "Play all"), Item("Continue", "Continue all"),
                Item("Close", "Close all"), Separator(), Item("Info", "Info")}),
          Menu("&Play list", "Menu Play list",
               {Item("Edit ", "Edit play list"), Separator(), Item("Increase ", "Increase all"),
                Item("Decrease", "Decrease all"), Item("Alignment I", "Alignment I"),
                Item("Alignment II", "Alignment II")}),
          Menu("F&avorites", "Menu Favorites",
               {Item("Edit ", "Edit favorites"), Separator(),
                Item("Add play list", "Add play list to favorites")}),
          Toolbar({Button("Open", "Open (or drop) and play movie-s"),
                   Button("Stop all", "Stop all"), Button("Play all", "Play all"),
                   Button("Continue all", "Continue all"),
                   Button("Close all", "Close all").Icon("1izb.ico")}),
      }};
  RegisterWindowDefinition(std::move(main));

  WindowDefinition player{
      .resource = "filmo$FILMO007",
      .label = "P1$WINDOW",
      .font = "MS Sans Serif",
      .controls = {Button("Stop"), Button("Continue"), Button("Play"),
                   Button("Close").Icon("1izb.ico"), Button("Details"),
                   Button("Refresh list").Icon("Clear.ico"), Button("Back").Icon("L.ico")}};
  RegisterWindowDefinition(std::move(player));

  WindowDefinition list{
      .resource = "filmo$FILMO008",
      .label = "P1$WINDOW",
      .caption = "Play list",
      .icon = "1mm2.ico",
      .font = "MS Sans Serif",
      .controls = {List("1020L@s255@", "Right click for options")}};
  RegisterWindowDefinition(std::move(list));

  WindowDefinition details{
      .resource = "filmo$FILMO009",
      .label = "P1$WINDOW",
      .caption = "...",
      .icon = "1mm.ico",
      .font = "MS Sans Serif",
      .controls = {Button("Back").Icon("L.ico"),
                   Prompt("Version:"), String("", "@s20"),
                   Prompt("Product:"), String("", "@s20"),
                   Prompt("Status:"), String("", "@s20"),
                   Prompt("Destination:"), String("", "@s20"),
                   Prompt("Audio:"), String("", "@s20"),
                   Prompt("Frames:"), String("", "@s20"),
                   Prompt("Milliseconds:"), String("", "@s20")}};
  RegisterWindowDefinition(std::move(details));
}

}  // namespace cinevo::app
