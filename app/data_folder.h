// Where the catalogue's files live.
//
// A desktop program started from a menu has no meaningful working directory, so the data files
// ("GRUPA.TVX", "PODGRU.TVX") and "filmo.INI" live together in one data folder:
//   1. the folder named by the command-line option --data-dir DIR (or --data-dir=DIR);
//   2. else the folder named by the environment variable CINEVO_DATA_DIR (when not empty);
//   3. else $XDG_DATA_HOME/cinevo (when XDG_DATA_HOME is set and absolute);
//   4. else $HOME/.local/share/cinevo.
// The folder is created, with its parents, on first start.
#pragma once

#include <functional>
#include <optional>
#include <span>
#include <string>

namespace cinevo::app {

inline constexpr const char* kDataDirOption = "--data-dir";
inline constexpr const char* kDataDirVariable = "CINEVO_DATA_DIR";
inline constexpr const char* kIniFileName = "filmo.INI";

// Looks up an environment variable (null when unset).
using EnvLookup = std::function<const char*(const char*)>;

// The data folder chosen by the rules above; nullopt when none can be named (no option, no
// variables, no home). `args` are the program's arguments without the program name. A
// --data-dir without a value is ignored.
std::optional<std::string> ChooseDataFolder(std::span<const char* const> args, const EnvLookup& env);

// Creates `folder` when it is missing. Returns an empty string, or a sentence saying why the
// folder cannot be used (not creatable, not a folder, not writable).
std::string PrepareDataFolder(const std::string& folder);

}  // namespace cinevo::app
