#include "app/list_commands.h"

#include <string_view>

#include "app/catalogue.h"
#include "app/group_store.h"
#include "app/play_list_exchange.h"
#include "runtime/core/error_codes.h"
#include "runtime/data/file_statements.h"

namespace cinevo::app {
namespace {

// Read/write, deny none: the program may be running on the same files.
constexpr uint32_t kSharedReadWrite = 0x42;

// Opens `f`, creating the file first when it does not exist yet.
int OpenOrCreate(FileControlBlock& f) {
  int e = Open(f, kSharedReadWrite);
  if (e == kErrFileNotFound) {
    e = Create(f);
    if (e == 0 && !f.IsOpen()) e = Open(f, kSharedReadWrite);
  }
  return e;
}

void Print(std::FILE* to, const std::string& message) {
  std::string text = message;
  for (char& c : text) {
    if (c == '|') c = '\n';
  }
  std::fprintf(to, "%s\n", text.c_str());
}

}  // namespace

int ListOptionValues(const char* arg) {
  std::string_view a = arg != nullptr ? arg : "";
  if (a == kExportGroupOption) return 2;
  if (a == kImportListOption || a == kGroupOption) return 1;
  return 0;
}

ListCommand ParseListCommand(int argc, const char* const* argv) {
  ListCommand c;
  bool group_given = false;
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i] != nullptr ? argv[i] : "";
    if (arg == "--") break;
    int values = ListOptionValues(argv[i]);
    if (values == 0) continue;
    if (i + values >= argc) {
      c.error = std::string(arg) + (values == 2 ? " needs a group and a file" : " needs a value");
      return c;
    }
    if (arg == kGroupOption) {
      c.group = argv[i + 1];
      group_given = true;
    } else {
      if (c.kind != ListCommand::Kind::kNone) {
        c.error = "give one of --export-group and --import-list, once";
        return c;
      }
      c.kind = arg == kExportGroupOption ? ListCommand::Kind::kExport : ListCommand::Kind::kImport;
      if (c.kind == ListCommand::Kind::kExport) c.group = argv[i + 1];
      c.file = argv[i + values];
    }
    i += values;
  }
  if (group_given && c.kind != ListCommand::Kind::kImport) c.error = "--group goes with --import-list";
  return c;
}

int RunListCommand(const ListCommand& command, const std::string& folder, std::FILE* out,
                   std::FILE* err) {
  if (!command.error.empty()) {
    std::fprintf(err, "cinevo: %s\n", command.error.c_str());
    return 2;
  }
  FileDeclaration group_decl = GroupDeclaration(folder), movie_decl = MovieDeclaration(folder);
  FileControlBlock groups(group_decl), movies(movie_decl);
  int e = OpenOrCreate(groups);
  if (e == 0) e = OpenOrCreate(movies);
  if (e != 0) {
    std::fprintf(err, "cinevo: the favourites in %s cannot be opened (error %d).\n", folder.c_str(), e);
    if (groups.IsOpen()) Close(groups);
    return 1;
  }
  ListExchangeResult r;
  if (command.kind == ListCommand::Kind::kExport) {
    r = ExportGroup(groups, movies, command.group, command.file);
  } else {
    DirectFavouritesWriter writer(groups, movies);
    r = ImportPlayList(command.file, writer, command.group);
  }
  Close(groups);
  Close(movies);
  Print(r.ok ? out : err, r.message);
  return r.ok ? 0 : 1;
}

}  // namespace cinevo::app
