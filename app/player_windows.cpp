#include "app/player_windows.h"

#include "app/update_form_frame.h"
#include "runtime/ui/window_definition.h"

namespace cinevo::app {

using namespace cinevo::controls;

namespace {

// The frame every player window shares: resource "filmo$<name>", label "P1$WINDOW", the
// desktop's interface font.
WindowDefinition PlayerWindow(std::string_view name, std::string_view caption, std::string_view icon) {
  WindowDefinition d;
  d.resource = "filmo$" + std::string(name);
  d.label = "P1$WINDOW";
  d.caption = caption;
  d.icon = icon;
  d.font = "MS Sans Serif";
  return d;
}

}  // namespace

void RegisterPlayerWindows() {
  WindowDefinition main = PlayerWindow("FILMO005", "Cinevo +", "1mm.ico");
  main.cursor = "Hand4.cur";
  main.message = "Drag'n drop movies";
  main.acceptsDrops = true;
  main.dropId = "~FILE";
  // Room for two rows of two movies of 320 x 240 beside each other.
  main.width = 480;
  main.height = 390;
  main.controls = {
      Menu("&File", "Menu File",
           {Item("Open", "Open and play movie"), Item("Stop", "Stop all"), Item("Play", "Play all"),
            Item("Continue", "Continue all"), Item("Close", "Close all"), Separator(),
            Item("Info", "Info")}),
      Menu("&Play list", "Menu Play list",
           {Item("Edit ", "Edit play list"), Separator(), Item("Increase ", "Increase all"),
            Item("Decrease", "Decrease all"), Item("Alignment I", "Alignment I"),
            Item("Alignment II", "Alignment II")}),
      Menu("F&avorites", "Menu Favorites",
           {Item("Edit ", "Edit favorites"), Separator(),
            Item("Add play list", "Add play list to favorites")}),
      Toolbar({Button("Open", "Open (or drop) and play movie-s"), Button("Stop all", "Stop all"),
               Button("Play all", "Play all"), Button("Continue all", "Continue all"),
               Button("Close all", "Close all").Icon("1izb.ico")}),
  };
  RegisterWindowDefinition(std::move(main));

  WindowDefinition player = PlayerWindow("FILMO007", "", "");
  player.height = 22;  // one row of buttons
  player.controls = {Button("Stop"), Button("Continue"), Button("Play"),
                     Button("Close").Icon("1izb.ico"), Button("Details"),
                     Button("Refresh list").Icon("Clear.ico"), Button("Back").Icon("L.ico")};
  RegisterWindowDefinition(std::move(player));

  WindowDefinition list = PlayerWindow("FILMO008", "Play list", "1mm2.ico");
  list.width = 320;  // a long path and its mode in sight
  list.height = 120;
  list.controls = {List("1020L@s255@", "Right click for options")};
  RegisterWindowDefinition(std::move(list));

  WindowDefinition details = PlayerWindow("FILMO009", "...", "1mm.ico");
  details.controls = {Button("Back").Icon("L.ico"),
                      Prompt("Version:"), String("", "@s20"),
                      Prompt("Product:"), String("", "@s20"),
                      Prompt("Status:"), String("", "@s20"),
                      Prompt("Destination:"), String("", "@s20"),
                      Prompt("Audio:"), String("", "@s20"),
                      Prompt("Frames:"), String("", "@s20"),
                      Prompt("Milliseconds:"), String("", "@s20")};
  RegisterWindowDefinition(std::move(details));

  // The favourites window shares the update forms' frame toolbar (after its tree list); it is a
  // window of its own kind, "P1$WINDOW".
  WindowDefinition favourites = UpdateFormDefinition(
      "FILMO004", "Favorites", 320, 200, {Tree("800LIT@s200@", "Right click for options")});
  favourites.label = "P1$WINDOW";
  RegisterWindowDefinition(std::move(favourites));
}

}  // namespace cinevo::app
