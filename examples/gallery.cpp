// A gallery of the controls: one of each kind in one window, its list over 100,000 movies.
//
// Build and run:   ninja -C build gallery && ./build/examples/gallery
// Without a display: xvfb-run -a -s '-screen 0 1280x800x24' ./build/examples/gallery --seconds 5
//
// What to try: choose menu items and toolbar buttons (the status line says what was accepted),
// type the start of a title into "Find" and press Enter (the list jumps to it), or type it on the
// list itself (its Title column is the locator), type a code such as "ab-2024" into "Code" (the
// mask takes two letters, shown in upper case, and four digits, and refuses anything else), drag
// the right edge of the Title or Size header to resize the column, scroll the long titles
// sideways with the bar under the Title column (or Shift and the wheel over it), right-click a
// row for its popup menu, double-click one, expand and contract the groups of the tree (click
// the boxes, or Right and Left), drop files from the file manager on the window. Every event is
// also printed. --seconds N closes the window after N seconds.
#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "runtime/core/queue.h"
#include "runtime/ui/event_code.h"
#include "runtime/ui/events.h"
#include "runtime/ui/file_dialog.h"
#include "runtime/ui/message_box.h"
#include "runtime/ui/popup_menu.h"
#include "runtime/ui/property.h"
#include "runtime/ui/window.h"
#include "runtime/ui/window_definition.h"

namespace {

using namespace cinevo;
using namespace cinevo::controls;

enum : int {
  kFileMenu = 1, kOpenItem, kAboutItem, kExitItem,
  kViewMenu, kTopItem, kBottomItem,
  kToolbar, kOpenButton, kCloseButton, kBackButton,
  kFindPrompt, kFindEntry, kCodePrompt, kCodeEntry, kStatus, kPicture, kMailButton, kRefreshButton,
  kMovies, kTree,
};

WindowDefinition Gallery() {
  WindowDefinition d;
  d.resource = "gallery$GALLERY";
  d.label = "P1$WINDOW";
  d.caption = "Cinevo + control gallery";
  d.icon = "1mm.ico";
  d.font = "MS Sans Serif";
  d.cursor = "Hand4.cur";
  d.message = "Drag'n drop movies";
  d.acceptsDrops = true;
  d.dropId = "~FILE";
  d.width = 560;
  d.height = 330;
  d.controls = {
      Menu("&File", "Menu File",
           {Item("&Open...", "Open a movie"), Item("&About", "About the gallery"), Separator(),
            Item("E&xit", "Close the gallery")}),
      Menu("&View", "Menu View",
           {Item("&Top of list", "Go to the first movie"),
            Item("&Bottom of list", "Go to the last movie")}),
      Toolbar({Button("Open", "Open (or drop) and play movie-s").Icon("~1f1.ico"),
               Button("Close all", "Close all").Icon("1izb.ico"), Separator(),
               Button("Back", "Back").Icon("L.ico")}),
      Prompt("&Find"),
      Entry("@s40"),
      Prompt("&Code"),
      Entry("@K^^-####K"),
      String("", "@s80"),
      Image("Croat.ico"),
      Button("E-mail", "Write to the author").Icon("Mail.ico"),
      Button("Refresh list", "Refresh list").Icon("Clear.ico"),
      List("120L(2)|IM?S(190)~Title~@s40@60R(2)|M~Size MB~@n8@60R(2)E(808080H)~Added~@d6@",
           "Right click for options"),
      Tree("160LIT(LBR)~Favorites~@s40@", "Right click for options"),
  };
  return d;
}

// Movies: title STRING(40), icon SHORT, size LONG, added LONG (a standard date).
struct MovieRow {
  char title[40];
  int16_t icon;
  int32_t size;
  int32_t added;
} __attribute__((packed));

// Favourites: text STRING(40), icon SHORT, level LONG.
struct TreeRow {
  char text[40];
  int16_t icon;
  int32_t level;
} __attribute__((packed));

void SetText(char* field, size_t size, const std::string& text) {
  std::memset(field, ' ', size);
  std::memcpy(field, text.data(), std::min(size, text.size()));
}

const char* const kKinds[] = {".avi", ".mpg", ".mov", ".wav"};
const char* const kWords[] = {"Harbour", "Night", "Train", "Summer", "Letters", "River",
                              "Island", "Winter", "Garden", "Mirror", "Storm", "Bridge"};

void FillMovies(Queue& q, MovieRow& row, int n) {
  for (int i = 1; i <= n; ++i) {
    std::string title = std::string(kWords[i % 12]) + " " + kWords[(i / 12) % 12] + " " +
                        std::to_string(i) + kKinds[i % 4];
    SetText(row.title, sizeof row.title, title);
    row.icon = static_cast<int16_t>(i % 4 + 1);
    row.size = 40 + (i * 37) % 1900;
    row.added = 72000 + (i * 13) % 3000;
    QueueAdd(&q);
  }
}

void AddTreeRow(Queue& q, TreeRow& row, const std::string& text, int icon, int level) {
  SetText(row.text, sizeof row.text, text);
  row.icon = static_cast<int16_t>(icon);
  row.level = level;
  QueueAdd(&q);
}

// The tree: the root, three groups; the first expanded with its movies.
void LoadTree(Queue& q, TreeRow& row, std::vector<bool>& expanded) {
  while (QueueRecords(&q) > 0) QueueDeleteAt(&q, 1);
  AddTreeRow(q, row, "...", 5, 0);
  const char* groups[] = {"Comedies", "Westerns", "Holidays 1998"};
  for (int g = 0; g < 3; ++g) {
    AddTreeRow(q, row, groups[g], expanded[static_cast<size_t>(g)] ? 6 : 5,
               expanded[static_cast<size_t>(g)] ? 1 : -1);
    if (!expanded[static_cast<size_t>(g)]) continue;
    for (int m = 0; m < 3; ++m) {
      AddTreeRow(q, row, std::string(groups[g]) + " " + std::to_string(m + 1) + kKinds[m], m + 1, 2);
    }
  }
}

int GroupOfLine(Queue& q, TreeRow& row, int line) {
  int group = -1;
  for (int i = 1; i <= line; ++i) {
    QueueGetAt(&q, i);
    if (row.level == 1 || row.level == -1) ++group;
  }
  QueueGetAt(&q, line);
  return (row.level == 1 || row.level == -1) ? group : -1;
}

int Run(int seconds) {
  MovieRow movie{};
  Queue movies(&movie, sizeof movie);
  FillMovies(movies, movie, 100'000);
  TreeRow node{};
  Queue tree(&node, sizeof node);
  std::vector<bool> expanded = {true, false, false};
  LoadTree(tree, node, expanded);

  RegisterWindowDefinition(Gallery());
  Window w;
  if (!w.Open("gallery$GALLERY", "P1$WINDOW")) return 1;
  w.BindQueue(kMovies, &movies,
              QueueRecordLayout({{TypeCode::kString, 40}, {TypeCode::kShort, 0},
                                 {TypeCode::kLong, 0}, {TypeCode::kLong, 0}}));
  w.BindQueue(kTree, &tree,
              QueueRecordLayout({{TypeCode::kString, 40}, {TypeCode::kShort, 0}, {TypeCode::kLong, 0}}));
  const char* icons[] = {"~1f1.ico", "~1f2.ico", "~1f3.ico", "~1f4.ico", "~closed.ico", "~opened.ico"};
  for (int i = 0; i < 6; ++i) {
    if (i < 4) w.SetProperty(PROP::IconList, icons[i], kMovies, i + 1);
    w.SetProperty(PROP::IconList, icons[i], kTree, i + 1);
  }
  w.SetProperty(PROP::Alert, 0x227, kTree, 255);  // Ctrl+Right
  w.SetProperty(PROP::Alert, 0x225, kTree, 254);  // Ctrl+Left
  char find[40];
  std::memset(find, ' ', sizeof find);
  w.Bind(kFindEntry, ValueRef::Make(TypeCode::kString, find, sizeof find));
  char code[6];
  std::memset(code, ' ', sizeof code);
  w.Bind(kCodeEntry, ValueRef::Make(TypeCode::kString, code, sizeof code));
  w.SetProperty(PROP::Selected, 1, kMovies);
  w.SetProperty(PROP::Selected, 2, kTree);
  if (seconds > 0) QTimer::singleShot(seconds * 1000, [&w] { w.Close(); });

  auto status = [&](const std::string& text) { w.SetProperty(PROP::Text, text, kStatus); };
  while (w.Accept()) {
    const int event = CurrentEvent();
    const int field = CurrentField();
    std::printf("%s control %d key %u\n", std::string(EventName(InternalEventCode(event))).c_str(),
                field, CurrentKeyCode());
    switch (event) {
      case EVENT::OpenWindow:
        status("100,000 movies; Window handle " + w.Property(PROP::Handle));
        break;
      case EVENT::Drop:
        status("Dropped: " + w.DropText());
        break;
      case EVENT::Accepted:
        if (field == kExitItem || field == kBackButton) {
          w.Close();
        } else if (field == kOpenItem || field == kOpenButton) {
          std::string file;
          if (FileDialog("Choose Movie", file, "Avi|*.AVI|Mpg|*.MPG|Mov|*.MOV|All|*.*", 2)) {
            status("Chosen: " + file);
          }
        } else if (field == kAboutItem || field == kMailButton) {
          ShowMessageBox("Cinevo +  v1.01|A gallery of the controls", "Info", box_icon::kAsterisk);
        } else if (field == kTopItem) {
          w.SetProperty(PROP::Selected, 1, kMovies);
        } else if (field == kBottomItem) {
          w.SetProperty(PROP::Selected, QueueRecords(&movies), kMovies);
        } else if (field == kFindEntry) {
          std::string wanted(find, sizeof find);
          wanted.erase(wanted.find_last_not_of(' ') + 1);
          for (int i = 1; i <= QueueRecords(&movies); ++i) {
            QueueGetAt(&movies, i);
            if (std::strncmp(movie.title, wanted.data(), wanted.size()) == 0) {
              w.SetProperty(PROP::Selected, i, kMovies);
              break;
            }
          }
        } else if (field == kMovies) {
          QueueGetAt(&movies, w.PropertyLong(PROP::Selected, kMovies));
          status("Accepted (key " + std::to_string(CurrentKeyCode()) + "): " +
                 std::string(movie.title, sizeof movie.title));
        } else {
          status("Accepted control " + std::to_string(field));
        }
        break;
      case EVENT::NewSelection:
        if (field == kTree && CurrentKeyCode() == 2) {
          int item = PopupMenu("&Play group|-|&Insert|&Change|&Delete|-|E&xpand All|Co&ntract All");
          if (item == 5 || item == 6) {
            expanded.assign(3, item == 5);
            LoadTree(tree, node, expanded);
          }
          status("Popup item " + std::to_string(item));
        }
        break;
      case EVENT::Expanded:
      case EVENT::Contracted:
      case EVENT::AlertKey: {
        const int line = w.PropertyLong(PROP::Selected, kTree);
        const int group = GroupOfLine(tree, node, line);
        if (field == kTree && group >= 0) {
          const bool open = event == EVENT::Expanded || CurrentKeyCode() == 0x227;
          expanded[static_cast<size_t>(group)] = open;
          LoadTree(tree, node, expanded);
        }
        break;
      }
      default:
        break;
    }
  }
  QueueFree(&movies);
  QueueFree(&tree);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (!cinevo::StartEventRuntime()) return 1;
  int seconds = 0;
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::strcmp(argv[i], "--seconds") == 0) seconds = std::atoi(argv[i + 1]);
  }
  int status = Run(seconds);
  cinevo::ShutdownEvents();
  return status;
}
