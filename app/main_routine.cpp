#include "app/main_routine.h"

#include <cstdio>
#include <filesystem>

#include "app/data_folder.h"
#include "runtime/data/file_statements.h"

namespace cinevo::app {

uint8_t RunMainRoutine(const std::string& folder, const MainProcedure& mainWindow) {
  Globals globals;
  globals.errors.Init();
  globals.ini.Init((std::filesystem::path(folder) / kIniFileName).string());
  Catalogue catalogue(folder);
  globals.catalogue = &catalogue;
  catalogue.InitGroups(globals.errors);
  catalogue.InitMovies(globals.errors);
  globals.globalResponse = mainWindow ? mainWindow(globals) : uint8_t{kRequestCompleted};
  uint8_t response = globals.globalResponse;
  catalogue.KillGroups();
  catalogue.KillMovies();
  globals.catalogue = nullptr;
  globals.ini.Kill();
  globals.errors.Kill();
  return response;
}

uint8_t PlaceholderMainWindow(Globals& globals, std::FILE* out) {
  Catalogue& c = *globals.catalogue;
  if (c.GroupRelations().OpenAll() != 0) {
    c.GroupRelations().CloseAll();
    return kRequestCancelled;
  }
  // The movies are opened lazily: make sure both are really open before counting.
  if (c.Movies().EnsureOpen() != 0) {
    c.GroupRelations().CloseAll();
    return kRequestCancelled;
  }
  int64_t groups = Records(c.GroupFile());
  int64_t movies = Records(c.MovieFile());
  if (out != nullptr) {
    std::fprintf(out, "Cinevo +: the catalogue in %s holds %lld group(s) and %lld movie(s). "
                      "The main window is under construction.\n",
                 c.Folder().c_str(), static_cast<long long>(groups), static_cast<long long>(movies));
  }
  c.GroupRelations().CloseAll();
  return kRequestCompleted;
}

}  // namespace cinevo::app
