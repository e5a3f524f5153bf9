#include "app/favourites_tree.h"

#include <algorithm>
#include <cstring>

#include "app/group_form.h"
#include "runtime/core/error.h"
#include "runtime/core/error_codes.h"
#include "runtime/core/invariant.h"
#include "runtime/core/locale_tables.h"
#include "runtime/core/value_storage.h"
#include "runtime/data/file_statements.h"

namespace cinevo::app {
namespace {

template <class T>
T ReadNumber(const uint8_t* entry, uint32_t offset) {
  T value;
  std::memcpy(&value, entry + offset, sizeof value);
  return value;
}

template <class T>
void WriteNumber(uint8_t* entry, uint32_t offset, T value) {
  std::memcpy(entry + offset, &value, sizeof value);
}

std::string ClipText(const uint8_t* at, size_t size) {
  std::string s(reinterpret_cast<const char*>(at), size);
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

// Equal without regard to case (the locale's case table) and trailing blanks, as a NOCASE key
// compares.
bool SameName(std::string_view a, std::string_view b) {
  while (!a.empty() && a.back() == ' ') a.remove_suffix(1);
  while (!b.empty() && b.back() == ' ') b.remove_suffix(1);
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (ToUpperChar(static_cast<uint8_t>(a[i])) != ToUpperChar(static_cast<uint8_t>(b[i]))) return false;
  }
  return true;
}

// While it lives, the file's reads share one update lock instead of taking it one read at a time
// (STREAM until FLUSH): loading a large tree is one read of the file as it stands, and another
// program's write waits for it rather than being refused.
class ReadAtOnce {
 public:
  explicit ReadAtOnce(FileControlBlock& f) : f_(f), on_(Stream(f) == 0) {}
  ~ReadAtOnce() {
    if (on_) Flush(f_);
  }
  ReadAtOnce(const ReadAtOnce&) = delete;
  ReadAtOnce& operator=(const ReadAtOnce&) = delete;

 private:
  FileControlBlock& f_;
  bool on_;
};

}  // namespace

FavouritesTree::FavouritesTree(Catalogue& catalogue) : catalogue_(catalogue) { ClearExpanded(); }

void FavouritesTree::ClearExpanded() {
  QueueFree(&expanded_);
  QueueSort(&expanded_, {QueueKey{kLoadedLevel, 4, TypeCode::kLong, false},
                         QueueKey{kLoadedPosition, kPositionSize, TypeCode::kString, false}});
}

std::vector<QueueField> FavouritesTree::LineFields() {
  return {QueueField{kDisplay, kDisplaySize, TypeCode::kString, 0},
          QueueField{kIcon, 2, TypeCode::kShort, 0},
          QueueField{kLevel, 4, TypeCode::kLong, 0},
          QueueField{kLoaded, 2, TypeCode::kShort, 0},
          QueueField{kPosition, kPositionSize, TypeCode::kString, 0}};
}

std::string FavouritesTree::PaddedPosition(std::string_view position) {
  std::string padded(position.substr(0, std::min<size_t>(position.size(), kPositionSize)));
  padded.resize(kPositionSize, ' ');
  return padded;
}

TreeLine FavouritesTree::Line(int32_t row) const {
  TreeLine line;
  const uint8_t* e = QueuePeekEntry(&lines_, row);
  if (e == nullptr) return line;
  line.display = ClipText(e + kDisplay, kDisplaySize);
  line.icon = ReadNumber<int16_t>(e, kIcon);
  line.level = ReadNumber<int32_t>(e, kLevel);
  line.loaded = ReadNumber<int16_t>(e, kLoaded) != 0;
  line.position.assign(reinterpret_cast<const char*>(e + kPosition), kPositionSize);
  return line;
}

int32_t FavouritesTree::Find(int32_t level, std::string_view position) const {
  const std::string wanted = PaddedPosition(position);
  for (int32_t row = 1, n = Count(); row <= n; ++row) {
    const uint8_t* e = QueuePeekEntry(&lines_, row);
    const int32_t l = ReadNumber<int32_t>(e, kLevel);
    if ((l < 0 ? -l : l) == level && std::memcmp(e + kPosition, wanted.data(), kPositionSize) == 0) {
      return row;
    }
  }
  return 0;
}

int32_t FavouritesTree::GroupLine(int32_t row) const {
  for (int32_t r = row; r >= 1; --r) {
    const int32_t level = Line(r).AbsLevel();
    if (level == tree_level::kGroup) return r;
    if (level == tree_level::kRoot) return 0;
  }
  return 0;
}

void FavouritesTree::AppendLine(std::string_view display, int16_t icon, int32_t level, bool loaded,
                                std::string_view position, int32_t at) {
  StoreString(reinterpret_cast<char*>(line_.data() + kDisplay), kDisplaySize, display);
  WriteNumber<int16_t>(line_.data(), kIcon, icon);
  WriteNumber<int32_t>(line_.data(), kLevel, level);
  WriteNumber<int16_t>(line_.data(), kLoaded, loaded ? 1 : 0);
  const std::string padded = PaddedPosition(position);
  std::memcpy(line_.data() + kPosition, padded.data(), kPositionSize);
  QueueAddAt(&lines_, at);  // 0 or past the last line appends
}

void FavouritesTree::PutLine(int32_t row, const TreeLine& line) {
  QueueGetAt(&lines_, row);
  StoreString(reinterpret_cast<char*>(line_.data() + kDisplay), kDisplaySize, line.display);
  WriteNumber<int16_t>(line_.data(), kIcon, line.icon);
  WriteNumber<int32_t>(line_.data(), kLevel, line.level);
  WriteNumber<int16_t>(line_.data(), kLoaded, line.loaded ? 1 : 0);
  QueuePutAt(&lines_, row);
}

void FavouritesTree::AddExpanded(int32_t level, std::string_view position) {
  if (IsExpanded(level, position)) return;
  WriteNumber<int32_t>(node_.data(), kLoadedLevel, level);
  const std::string padded = PaddedPosition(position);
  std::memcpy(node_.data() + kLoadedPosition, padded.data(), kPositionSize);
  QueueAdd(&expanded_);
}

bool FavouritesTree::IsExpanded(int32_t level, std::string_view position) {
  if (QueuePeekRecords(&expanded_) == 0) return false;
  WriteNumber<int32_t>(node_.data(), kLoadedLevel, level);
  const std::string padded = PaddedPosition(position);
  std::memcpy(node_.data() + kLoadedPosition, padded.data(), kPositionSize);
  QueueGetByKey(&expanded_);
  return ErrorCode() == 0;
}

void FavouritesTree::RemoveExpanded(int32_t level, std::string_view position) {
  if (IsExpanded(level, position)) QueueDeleteAt(&expanded_, QueuePointer(&expanded_));
}

bool FavouritesTree::InGroup(std::string_view name) const {
  const FileControlBlock& m = catalogue_.MovieFile();
  return SameName(LoadText(m, pod::kSifra, pod::kSifraSize), name);
}

int FavouritesTree::FirstMovieOf(std::string_view name) {
  FileControlBlock& m = catalogue_.MovieFile();
  StoreText(m, pod::kSifra, pod::kSifraSize, name);
  StoreText(m, pod::kNaslov2, pod::kNaslov2Size, "");
  int e = SetKeyFromKey(m, 0, 0);
  if (e != 0) return e;
  return cinevo::Next(m);
}

TreeRead FavouritesTree::LoadMovies(int32_t after) {
  const std::string name = LoadText(catalogue_.GroupFile(), gru::kSifra, gru::kSifraSize);
  FileControlBlock& m = catalogue_.MovieFile();
  int32_t at = after;
  for (int e = FirstMovieOf(name);; e = cinevo::Next(m)) {
    if (e == kErrRecordNotAvailable) return TreeRead::kOk;
    if (e != 0) return TreeRead::kFailed;
    if (!InGroup(name)) return TreeRead::kOk;
    const std::string path = LoadText(m, pod::kNaslov, pod::kNaslovSize);
    AppendLine(path, static_cast<int16_t>(MovieIcon(path)), tree_level::kMovie, false, Position(m), ++at);
  }
}

TreeRead FavouritesTree::Load(bool expandAll) {
  QueueFree(&lines_);
  AppendLine(kRootText, tree_icon::kClosed, tree_level::kRoot, false, "");
  classlib::FileManager& groups = catalogue_.Groups();
  if (groups.EnsureOpen() != 0) return TreeRead::kFailed;
  if (catalogue_.Movies().EnsureOpen() != 0) return TreeRead::kFailed;
  FileControlBlock& g = catalogue_.GroupFile();
  ReadAtOnce groupsAtOnce(g);
  ReadAtOnce moviesAtOnce(catalogue_.MovieFile());
  if (Set(g) != 0) return TreeRead::kFailed;
  for (;;) {
    if (groups.Next() != 0) return groups.AtEOF() ? TreeRead::kOk : TreeRead::kFailed;
    const std::string position = Position(g);
    const std::string name = LoadText(g, gru::kSifra, gru::kSifraSize);
    if (expandAll) AddExpanded(tree_level::kGroup, position);
    if (expandAll || IsExpanded(tree_level::kGroup, position)) {
      AppendLine(name, tree_icon::kOpened, tree_level::kGroup, true, position);
      if (LoadMovies(Count()) != TreeRead::kOk) return TreeRead::kFailed;
      continue;
    }
    const int e = FirstMovieOf(name);
    if (e != 0 && e != kErrRecordNotAvailable) return TreeRead::kFailed;
    const bool hasMovies = e == 0 && InGroup(name);
    AppendLine(name, hasMovies ? tree_icon::kClosed : tree_icon::kOpened,
               hasMovies ? -tree_level::kGroup : tree_level::kGroup, false, position);
  }
}

TreeRead FavouritesTree::ContractAll() {
  ClearExpanded();
  return Load(false);
}

TreeRead FavouritesTree::ExpandAll() {
  ClearExpanded();
  return Load(true);
}

bool FavouritesTree::ReadRecord(int32_t row) {
  const TreeLine line = Line(row);
  if (line.AbsLevel() == tree_level::kGroup) {
    if (catalogue_.Groups().EnsureOpen() != 0) return false;
    return Reget(catalogue_.GroupFile(), line.position) == 0;
  }
  if (line.AbsLevel() == tree_level::kMovie) {
    if (catalogue_.Movies().EnsureOpen() != 0) return false;
    return Reget(catalogue_.MovieFile(), line.position) == 0;
  }
  return false;
}

TreeRead FavouritesTree::Expand(int32_t row) {
  TreeLine line = Line(row);
  if (line.AbsLevel() != tree_level::kGroup || line.loaded) return TreeRead::kOk;
  // The group is read again before its movies are: another program may have renamed it.
  if (!ReadRecord(row)) return TreeRead::kFailed;
  line.level = tree_level::kGroup;
  line.loaded = true;
  line.display = LoadText(catalogue_.GroupFile(), gru::kSifra, gru::kSifraSize);
  line.icon = tree_icon::kOpened;
  AddExpanded(tree_level::kGroup, line.position);
  PutLine(row, line);
  return LoadMovies(row);
}

void FavouritesTree::Contract(int32_t row) {
  TreeLine line = Line(row);
  if (line.AbsLevel() != tree_level::kGroup || !line.loaded) return;
  RemoveExpanded(tree_level::kGroup, line.position);
  int32_t removed = 0;
  while (row + 1 <= Count() && Line(row + 1).AbsLevel() > tree_level::kGroup) {
    QueueDeleteAt(&lines_, row + 1);
    ++removed;
  }
  // A group whose movies have all gone shows as one without movies, as a load shows it.
  line.loaded = false;
  line.level = removed > 0 ? -tree_level::kGroup : tree_level::kGroup;
  if (ReadRecord(row)) line.display = LoadText(catalogue_.GroupFile(), gru::kSifra, gru::kSifraSize);
  line.icon = removed > 0 ? tree_icon::kClosed : tree_icon::kOpened;
  PutLine(row, line);
}

std::string FavouritesTree::GroupNameOf(int32_t row) {
  const int32_t level = Line(row).AbsLevel();
  if (!ReadRecord(row)) return {};
  if (level == tree_level::kGroup) return LoadText(catalogue_.GroupFile(), gru::kSifra, gru::kSifraSize);
  return LoadText(catalogue_.MovieFile(), pod::kSifra, pod::kSifraSize);
}

TreeRead FavouritesTree::MoviesOf(std::string_view name, std::vector<std::string>& paths) {
  paths.clear();
  if (catalogue_.Movies().EnsureOpen() != 0) return TreeRead::kFailed;
  FileControlBlock& m = catalogue_.MovieFile();
  std::fill(m.record.begin(), m.record.end(), ' ');
  for (int e = FirstMovieOf(name);; e = cinevo::Next(m)) {
    if (e == kErrRecordNotAvailable) return TreeRead::kOk;
    if (e != 0) return TreeRead::kFailed;
    if (!InGroup(name)) return TreeRead::kOk;
    paths.push_back(LoadText(m, pod::kNaslov, pod::kNaslovSize));
  }
}

void FavouritesTree::CheckInvariants() const {
  const int32_t n = Count();
  if (n == 0) return;
  CINEVO_INVARIANT(Line(1).level == tree_level::kRoot, "line 1 is the root");
  int32_t previous = tree_level::kRoot;
  bool previousLoaded = false;
  for (int32_t row = 2; row <= n; ++row) {
    const TreeLine line = Line(row);
    const int32_t level = line.AbsLevel();
    CINEVO_INVARIANT(level == tree_level::kGroup || level == tree_level::kMovie,
                     "lines below the root are groups and movies");
    if (level == tree_level::kMovie) {
      CINEVO_INVARIANT(previous == tree_level::kMovie || previousLoaded,
                       "a movie line follows its loaded group or a movie of it");
    } else {
      CINEVO_INVARIANT(!line.loaded || line.level > 0, "a loaded group has a positive level");
    }
    if (level == tree_level::kGroup) previousLoaded = line.loaded;
    previous = level;
  }
}

}  // namespace cinevo::app
