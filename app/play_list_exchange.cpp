#include "app/play_list_exchange.h"

#include <sys/stat.h>

#include <optional>

#include "app/catalogue.h"
#include "app/playlist/play_list_file.h"
#include "platform/path_resolver.h"
#include "runtime/core/error_codes.h"
#include "runtime/data/file_statements.h"

namespace cinevo::app {
namespace {

// Read only, deny none: export reads while the program and others write.
constexpr uint32_t kSharedRead = 0x40;
// At most this many names are listed in one message; the rest are counted.
constexpr size_t kNamesShown = 10;

// Opens `f` for reading when it is not open; closes it again when it goes.
class OpenForReading {
 public:
  explicit OpenForReading(FileControlBlock& f) : f_(f) {
    if (!f_.IsOpen()) {
      error_ = Open(f_, kSharedRead);
      opened_ = error_ == 0;
    }
  }
  ~OpenForReading() {
    if (opened_) Close(f_);
  }
  OpenForReading(const OpenForReading&) = delete;
  OpenForReading& operator=(const OpenForReading&) = delete;
  int error() const { return error_; }

 private:
  FileControlBlock& f_;
  bool opened_ = false;
  int error_ = 0;
};

void AppendNames(std::string& message, const std::vector<std::string>& names) {
  for (size_t i = 0; i < names.size() && i < kNamesShown; ++i) message += "|   " + names[i];
  if (names.size() > kNamesShown) message += "|   and " + std::to_string(names.size() - kNamesShown) + " more";
}

// The file `path` names on disk (matched without case where the exact name does not exist, as
// the player finds it), or nullopt when there is none or it is a folder.
std::optional<std::string> ExistingFile(const std::string& path) {
  std::optional<std::string> found = platform::ResolveExistingPath(path);
  struct stat st {};
  if (!found || ::stat(found->c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return std::nullopt;
  return found;
}

std::string FileError(int code) { return "error " + std::to_string(code); }

}  // namespace

std::string FitGroupName(std::string_view wanted, size_t size) {
  while (!wanted.empty() && (wanted.back() == ' ' || wanted.back() == '\t')) wanted.remove_suffix(1);
  while (!wanted.empty() && (wanted.front() == ' ' || wanted.front() == '\t')) wanted.remove_prefix(1);
  if (wanted.size() > size) {
    size_t cut = size;
    // Back to the start of a UTF-8 character.
    while (cut > 0 && (static_cast<unsigned char>(wanted[cut]) & 0xC0) == 0x80) --cut;
    wanted = wanted.substr(0, cut);
    while (!wanted.empty() && wanted.back() == ' ') wanted.remove_suffix(1);
  }
  std::string name(wanted);
  for (char& c : name) {
    if (static_cast<unsigned char>(c) < 0x20) c = ' ';
  }
  return name.empty() ? std::string("Play list") : name;
}

int ReadGroupMovies(FileControlBlock& groups, FileControlBlock& movies, std::string_view group,
                    std::vector<std::string>& paths, std::string* stored_name) {
  paths.clear();
  OpenForReading g(groups), m(movies);
  if (g.error() != 0) return g.error();
  if (m.error() != 0) return m.error();
  StoreText(groups, gru::kSifra, gru::kSifraSize, group);
  if (int e = Get(groups, 0); e != 0) return e;
  std::string name = LoadText(groups, gru::kSifra, gru::kSifraSize);
  if (stored_name != nullptr) *stored_name = name;
  // The key orders by group, then by the path's first ten characters: start at the group's
  // first possible entry and read while the group holds.
  StoreText(movies, pod::kSifra, pod::kSifraSize, name);
  StoreText(movies, pod::kNaslov2, pod::kNaslov2Size, "");
  if (int e = SetKeyFromKey(movies, 0, 0); e != 0) return e;
  for (;;) {
    int e = Next(movies);
    if (e == kErrRecordNotAvailable) break;
    if (e != 0) return e;
    if (!platform::NamesEqualNoCase(LoadText(movies, pod::kSifra, pod::kSifraSize), name)) break;
    paths.push_back(LoadText(movies, pod::kNaslov, pod::kNaslovSize));
  }
  return 0;
}

ListExchangeResult ExportGroup(FileControlBlock& groups, FileControlBlock& movies,
                               std::string_view group, const std::string& list_path) {
  ListExchangeResult r;
  r.group = std::string(group);
  if (playlist::FormatOfName(list_path) == playlist::PlayListFormat::kUnknown) {
    r.message = "A play list is written as .m3u, .m3u8 or .xspf: " + list_path;
    return r;
  }
  std::vector<std::string> paths;
  int e = ReadGroupMovies(groups, movies, group, paths, &r.group);
  if (e == kErrRecordNotFound) {
    r.message = "There is no group \"" + std::string(group) + "\".";
    return r;
  }
  if (e != 0) {
    r.message = "The group \"" + std::string(group) + "\" could not be read (" + FileError(e) + ").";
    return r;
  }
  std::vector<playlist::PlayListItem> items;
  // Other players match names exactly: each movie goes out as its file is named on disk.
  for (std::string& p : paths) items.push_back({platform::ResolveExistingPath(p).value_or(p), {}});
  std::string error;
  if (!playlist::WritePlayListFile(list_path, items, r.group, error)) {
    r.message = "The group \"" + r.group + "\" was not exported: " + error;
    return r;
  }
  r.ok = true;
  r.movies = static_cast<int>(items.size());
  r.message = "Group \"" + r.group + "\": " + std::to_string(r.movies) + " movie(s) written to " + list_path + ".";
  return r;
}

ListExchangeResult ImportPlayList(const std::string& list_path, FavouritesWriter& writer,
                                  std::string_view group_name) {
  ListExchangeResult r;
  const std::string nothing = "Nothing was imported from " + list_path + ":|";
  playlist::PlayListRead list = playlist::ReadPlayListFile(list_path);
  if (!list.ok()) {
    r.message = nothing + list.error;
    return r;
  }
  r.skipped = list.skipped;
  std::vector<std::string> paths;
  for (const playlist::PlayListItem& item : list.items) {
    if (item.path.size() > kStoredPathSize) {
      r.too_long.push_back(item.path);
    } else if (std::optional<std::string> file = ExistingFile(item.path); !file) {
      r.missing.push_back(item.path);
    } else if (file->size() > kStoredPathSize) {
      r.too_long.push_back(*file);
    } else {
      paths.push_back(*file);
    }
  }
  std::string notes;
  if (r.skipped > 0) notes += "|" + std::to_string(r.skipped) + " entry(ies) naming no local file were skipped.";
  if (!r.missing.empty()) {
    notes += "|" + std::to_string(r.missing.size()) + " movie(s) left out: the file does not exist.";
    AppendNames(notes, r.missing);
  }
  if (!r.too_long.empty()) {
    notes += "|" + std::to_string(r.too_long.size()) + " movie(s) left out: the path is longer than " +
             std::to_string(kStoredPathSize) + " characters, the most a favourite holds.";
    AppendNames(notes, r.too_long);
  }
  if (paths.empty()) {
    r.message = nothing + "the list names no movie that can be stored." + notes;
    return r;
  }

  std::string base = FitGroupName(!group_name.empty() ? group_name
                                  : !list.title.empty() ? std::string_view(list.title)
                                                        : std::string_view(playlist::TitleFromPath(list_path)),
                                  gru::kSifraSize);
  writer.OpenFiles();
  if (int e = writer.BeginUpdate(); e != 0) {
    r.message = nothing + "the favourites are in use by another update (" + FileError(e) + ").";
    return r;
  }
  int e = kErrCreatesDuplicateKey;
  for (int n = 1; n < 100 && e == kErrCreatesDuplicateKey; ++n) {
    std::string suffix = n == 1 ? std::string() : " (" + std::to_string(n) + ")";
    r.group = FitGroupName(base, gru::kSifraSize - suffix.size()) + suffix;
    e = writer.AddGroup(r.group);
  }
  for (size_t i = 0; e == 0 && i < paths.size(); ++i) e = writer.AddMovie(r.group, paths[i]);
  if (e == 0) e = writer.CommitUpdate();
  else writer.RollbackUpdate();
  if (e != 0) {
    r.message = nothing + "the group \"" + r.group + "\" could not be stored (" + FileError(e) + ")." + notes;
    r.group.clear();
    return r;
  }
  r.ok = true;
  r.movies = static_cast<int>(paths.size());
  r.message = "Group \"" + r.group + "\" was added with " + std::to_string(r.movies) + " movie(s) from " +
              list_path + "." + notes;
  return r;
}

}  // namespace cinevo::app
