// The program's main routine: creates the global objects of the class library in a fixed order,
// runs the main window procedure until it returns, and kills the objects in reverse order.
//
//   1. the error reporter;
//   2. the INI manager, on "filmo.INI" in the data folder;
//   3. GRUPA's file manager and relation manager (with the relation to PODGRU), then PODGRU's;
//   4. the main window procedure; its response becomes GlobalResponse;
//   5. GRUPA's relation manager, then PODGRU's (each kills its file manager);
//   6. the error reporter.
// The data files are not opened here: the main window opens them through GRUPA's relation
// manager while it is open.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/catalogue.h"
#include "classlib/error_class.h"
#include "classlib/ini_manager.h"

namespace cinevo::app {

// Requests and responses between window procedures.
enum GlobalRequestCode : uint8_t { kNoRequest = 0, kInsertRecord = 1, kChangeRecord = 2, kDeleteRecord = 3 };
enum GlobalResponseCode : uint8_t { kNoResponse = 0, kRequestCompleted = 1, kRequestCancelled = 2 };

// The objects the application's windows share, alive from step 1 to step 6.
struct Globals {
  classlib::ErrorClass errors;
  classlib::IniManager ini;
  Catalogue* catalogue = nullptr;  // the data files and their managers
  uint8_t globalRequest = kNoRequest;
  uint8_t globalResponse = kNoResponse;
  int32_t vcrRequest = 0;
  // The update forms' history copies: the records the movie form and the group form last wrote,
  // kept for the whole run (blank until a form first runs).
  std::vector<uint8_t> movieHistory;
  std::vector<uint8_t> groupHistory;
};

// The main window procedure: runs until the user leaves, returns its response.
using MainProcedure = std::function<uint8_t(Globals&)>;

// Runs the steps above with the data files in `folder`. Returns the main procedure's response.
uint8_t RunMainRoutine(const std::string& folder, const MainProcedure& mainWindow);

// Until the main window exists: opens the catalogue as the main window will (which creates
// missing files), tells how many groups and movies it holds on `out`, closes it again.
uint8_t PlaceholderMainWindow(Globals& globals, std::FILE* out);

}  // namespace cinevo::app
