// The update forms on a small catalogue: the group form of a group with a few movies, from which
// Insert, Change and Delete run the movie form.
//
// Build and run:   ninja -C build update_forms && ./build/examples/update_forms [FOLDER]
// Without a display: xvfb-run -a -s '-screen 0 1280x800x24' ./build/examples/update_forms
//
// FOLDER holds the catalogue (a new temporary folder when none is given); an empty catalogue gets
// a group "Holidays 2026" with five movies first. The group form opens on the first group; when it
// closes, the program ends.
#include <QApplication>

#include <cstdio>
#include <filesystem>
#include <string>

#include "app/catalogue.h"
#include "app/group_form.h"
#include "app/main_routine.h"
#include "runtime/data/file_statements.h"
#include "runtime/data/isam/isam_driver.h"
#include "runtime/ui/events.h"

namespace {

using namespace cinevo;
using namespace cinevo::app;

void AddSamples(Catalogue& c) {
  c.Groups().PrimeRecord();
  StoreText(c.GroupFile(), gru::kSifra, gru::kSifraSize, "Holidays 2026");
  c.Groups().Insert();
  for (const char* path : {"/home/ana/Videos/Beach.avi", "/home/ana/Videos/City walk.mpg",
                           "/home/ana/Videos/Garden party.avi", "/home/ana/Videos/Mountains, 2026.mov",
                           "/home/ana/Videos/SUNSET.MOV"}) {
    c.Movies().PrimeRecord();
    StoreText(c.MovieFile(), pod::kSifra, pod::kSifraSize, "Holidays 2026");
    StoreText(c.MovieFile(), pod::kNaslov, pod::kNaslovSize, path);
    StoreText(c.MovieFile(), pod::kNaslov2, pod::kNaslov2Size, std::string(path).substr(0, 10));
    c.Movies().Insert();
  }
}

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  if (!StartEventRuntime()) return 2;
  isam::RegisterIsamDriver();
  std::string folder = argc > 1 ? argv[1] : "";
  if (folder.empty()) {
    folder = (std::filesystem::temp_directory_path() / "cinevo-update-forms").string();
    std::filesystem::remove_all(folder);
  }
  std::filesystem::create_directories(folder);
  uint8_t response = 0;
  RunMainRoutine(folder, [&](Globals& g) -> uint8_t {
    Catalogue& c = *g.catalogue;
    if (c.GroupRelations().OpenAll() != 0 || c.Movies().EnsureOpen() != 0) return kRequestCancelled;
    if (Records(c.GroupFile()) == 0) AddSamples(c);
    SetKey(c.GroupFile(), 0);
    if (Next(c.GroupFile()) == 0) {
      g.globalRequest = kChangeRecord;
      RunGroupForm(g);
      response = g.globalResponse;
    }
    c.GroupRelations().CloseAll();
    return response;
  });
  std::printf("group form: response %d\n", response);
  ShutdownEvents();
  return 0;
}
