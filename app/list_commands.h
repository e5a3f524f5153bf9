// Play-list commands of `cinevo`, run without opening a window:
//
//   cinevo [--data-dir DIR] --export-group GROUP FILE     the group's movies to FILE
//   cinevo [--data-dir DIR] --import-list FILE [--group NAME]   FILE as a new group
//
// FILE is .m3u, .m3u8 or .xspf (app/play_list_exchange.h says what is written and read). The
// catalogue is the one the program would use (app/data_folder.h). What was done goes to standard
// output, why nothing was done to standard error. Exit status: 0 done, 1 nothing done, 2 the
// command line is wrong.
#pragma once

#include <cstdio>
#include <string>

namespace cinevo::app {

inline constexpr const char* kExportGroupOption = "--export-group";
inline constexpr const char* kImportListOption = "--import-list";
inline constexpr const char* kGroupOption = "--group";

struct ListCommand {
  enum class Kind { kNone, kExport, kImport } kind = Kind::kNone;
  std::string group;  // export: the group; import: the name wanted (may be empty)
  std::string file;
  std::string error;  // a usage error, when the options are incomplete or given twice
};

// The play-list command of the arguments; kNone when there is none.
ListCommand ParseListCommand(int argc, const char* const* argv);

// How many arguments after argv[i] belong to the play-list option argv[i] (0 for no such option).
int ListOptionValues(const char* arg);

// Runs `command` over the catalogue in `folder` (whose files are created when missing).
int RunListCommand(const ListCommand& command, const std::string& folder, std::FILE* out,
                   std::FILE* err);

}  // namespace cinevo::app
