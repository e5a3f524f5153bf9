// The browse of one group's movies against SQLite, in the same run: a catalogue of 1,000,000
// movies in 50,000 groups (bench_support.h), its files opened shared through their file and
// relation managers as the application opens them, and the group form's list of movies: a browse
// of 10 rows over a VIEW of the movies, ranged on the current group, ordered by title.
//
// For each of 2,000 random groups that hold at least 25 movies, four moves, each timed alone:
//   1. the first page of a newly selected group (the range's filter rebuilt, 10 rows read);
//   2. a page down (10 rows);
//   3. a scroll by one row past the bottom of the page (1 row);
//   4. a jump to the bottom of the group (its last 10 rows).
// SQLite does the same with indexed LIMIT queries on (group, title): the first 10 rows, the next
// 10 after the last row shown (keyset: title and rowid), the one row after that, and the last 10
// in descending order. Figures are the mean time of one move in microseconds, the best of RUNS
// alternating runs; a ratio below 1 means the browse is faster.
//
// Usage: bench_browse [MOVIES] [RUNS]   (defaults 1000000 and 3)
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "classlib/browse.h"
#include "classlib/error_class.h"
#include "classlib/file_manager.h"
#include "classlib/relation_manager.h"
#include "classlib/scripted_window.h"
#include "runtime/data/isam/isam_driver.h"

namespace {

using namespace cinevo;
using namespace cinevo::bench;
using namespace cinevo::classlib;
namespace fs = std::filesystem;

constexpr size_t kPerGroup = 20;
constexpr int kRows = 10;
constexpr size_t kMinMovies = 25;
constexpr int kMoves = 4;
const char* const kMoveNames[kMoves] = {"first page of a group", "page down", "one row down", "jump to bottom"};

// A list of kRows rows, always visible.
class PageList : public ListControl {
 public:
  int RowsShown() const override { return kRows; }
  bool Visible() const override { return true; }
  int Selected() const override { return selected_; }
  void SetSelected(int row) override { selected_ = row; }
  void SetAlert(int, uint32_t) override {}
  void SetControlAlert(int, int, uint32_t) override {}
  void SetThumb(int position) override { thumb_ = position; }
  int Thumb() const override { return thumb_; }
  void Redisplay() override {}

 private:
  int selected_ = 0;
  int thumb_ = 1;
};

using Clock = std::chrono::steady_clock;
double Since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

std::string TitleOf(const Queue& q, int row) {
  std::string s(reinterpret_cast<const char*>(QueuePeekEntry(&q, row)), 10);
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

// One SQLite page: the titles read and the keyset of the last row.
struct SqlPage {
  std::vector<std::string> titles;
  std::string lastTitle;
  int64_t lastRowid = 0;
};

SqlPage Step(sqlite3_stmt* st) {
  SqlPage p;
  while (sqlite3_step(st) == SQLITE_ROW) {
    Touch(st);
    const unsigned char* t = sqlite3_column_text(st, 0);
    p.lastTitle.assign(t ? reinterpret_cast<const char*>(t) : "");
    p.lastRowid = sqlite3_column_int64(st, 1);
    p.titles.push_back(p.lastTitle);
  }
  sqlite3_reset(st);
  return p;
}

}  // namespace

int main(int argc, char** argv) {
  const size_t n = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 1000000;
  const size_t runs = argc > 2 ? std::max<size_t>(1, std::strtoul(argv[2], nullptr, 10)) : 3;
  const size_t groups = std::max<size_t>(1, n / kPerGroup);
  isam::RegisterIsamDriver();
  const fs::path dir = fs::temp_directory_path() / ("browse_bench_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  std::vector<Movie> movies = MakeMovies(n, groups);

  FileDeclaration md = MoviesDecl((dir / "PODGRU").string()), gd = GroupsDecl((dir / "GRUPA").string());
  FileControlBlock pod(md), gru(gd);
  LoadCatalogueFiles(pod, gru, movies, groups);
  Sql sql;
  Check(sqlite3_open((dir / "movies.db").string().c_str(), &sql.db) == SQLITE_OK, "sqlite open");
  LoadCatalogueSql(sql, movies, groups);

  // The probes: random groups with enough movies for every move to read a full page.
  std::map<std::string, size_t> sizes;
  for (const Movie& m : movies) ++sizes[m.group];
  std::vector<std::string> probe;
  std::mt19937 rng(11);
  for (size_t tries = 0; probe.size() < 2000 && tries < 1000000; ++tries) {
    std::string g = GroupName(rng() % groups);
    if (sizes[g] >= kMinMovies) probe.push_back(g);
  }
  Check(!probe.empty(), "groups of 25 movies");

  // The managers open the files shared, as the application does.
  ErrorClass errors;
  errors.Init();
  FileManager groupFile, movieFile;
  RelationManager groupRel, movieRel;
  groupFile.Init(gru, errors);
  groupFile.AddKey(0, "GRU:PRK");
  movieFile.Init(pod, errors);
  movieFile.AddKey(0, "POD:PRK");
  groupRel.Init(groupFile, false);
  groupRel.AddRelation(movieRel, kLinkCascade, kLinkCascade, 0);
  groupRel.AddRelationLink(std::span(gru.record).first(20), std::span(pod.record).first(20));
  movieRel.Init(movieFile, false);
  movieRel.AddRelation(groupRel);
  Check(groupRel.OpenAll() == 0, "open the files");

  ViewDeclaration vd;
  vd.primary = &pod;
  vd.key = 0;
  View view(vd);
  ScriptedWindow window;
  WindowManager manager(window);
  PageList list;
  uint8_t row[10] = {};
  Queue queue(row, sizeof row);
  Browse browse;
  browse.Init(1, list, manager, queue, view, movieRel);
  browse.AddSortOrder(nullptr, 0);
  browse.AddRelationRange(movieRel, groupRel);
  browse.AddField(std::span(pod.record).subspan(140, 10), std::span(row));

  const char* kCols = "SELECT naslov2, rowid, sifra, naslov, sfsel FROM podgru ";
  auto prepare = [&](const std::string& rest) { return sql.Prepare((kCols + rest).c_str()); };
  sqlite3_stmt* first = prepare("WHERE sifra = ?1 COLLATE NOCASE ORDER BY naslov2 COLLATE NOCASE, rowid LIMIT 10");
  const std::string after =
      "WHERE sifra = ?1 COLLATE NOCASE AND (naslov2 COLLATE NOCASE, rowid) > (?2, ?3) "
      "ORDER BY naslov2 COLLATE NOCASE, rowid LIMIT ";
  sqlite3_stmt* next = prepare(after + "10");
  sqlite3_stmt* one = prepare(after + "1");
  sqlite3_stmt* bottom =
      prepare("WHERE sifra = ?1 COLLATE NOCASE ORDER BY naslov2 COLLATE NOCASE DESC, rowid DESC LIMIT 10");

  double best[2][kMoves];
  std::fill(&best[0][0], &best[0][0] + 2 * kMoves, 1e9);
  size_t mismatches = 0;
  std::vector<std::array<std::vector<std::string>, kMoves>> compared(std::min<size_t>(50, probe.size()));
  for (size_t run = 0; run < runs; ++run) {
    for (int side = 0; side < 2; ++side) {
      const bool engine = (run + side) % 2 == 0;  // the sides take turns at going first
      double total[kMoves] = {};
      for (size_t p = 0; p < probe.size(); ++p) {
        const std::string& g = probe[p];
        std::vector<std::string> seen[kMoves];
        if (engine) {
          StoreString(reinterpret_cast<char*>(gru.record.data()), 20, g);
          auto t = Clock::now();
          browse.ResetSort(false);
          total[0] += Since(t);
          for (int r = 1; r <= browse.Rows(); ++r) seen[0].push_back(TitleOf(queue, r));
          t = Clock::now();
          browse.ScrollPage(true);
          total[1] += Since(t);
          for (int r = 1; r <= browse.Rows(); ++r) seen[1].push_back(TitleOf(queue, r));
          browse.currentChoice = browse.Rows();
          t = Clock::now();
          browse.ScrollOne(true);
          total[2] += Since(t);
          seen[2].push_back(TitleOf(queue, browse.Rows()));
          t = Clock::now();
          browse.ScrollEnd(true);
          total[3] += Since(t);
          for (int r = 1; r <= browse.Rows(); ++r) seen[3].push_back(TitleOf(queue, r));
        } else {
          sqlite3_bind_text(first, 1, g.c_str(), -1, SQLITE_TRANSIENT);
          auto t = Clock::now();
          SqlPage a = Step(first);
          total[0] += Since(t);
          for (sqlite3_stmt* st : {next, one}) {
            sqlite3_bind_text(st, 1, g.c_str(), -1, SQLITE_TRANSIENT);
          }
          sqlite3_bind_text(next, 2, a.lastTitle.c_str(), -1, SQLITE_TRANSIENT);
          sqlite3_bind_int64(next, 3, a.lastRowid);
          t = Clock::now();
          SqlPage b = Step(next);
          total[1] += Since(t);
          sqlite3_bind_text(one, 2, b.lastTitle.c_str(), -1, SQLITE_TRANSIENT);
          sqlite3_bind_int64(one, 3, b.lastRowid);
          t = Clock::now();
          SqlPage c = Step(one);
          total[2] += Since(t);
          sqlite3_bind_text(bottom, 1, g.c_str(), -1, SQLITE_TRANSIENT);
          t = Clock::now();
          SqlPage d = Step(bottom);
          total[3] += Since(t);
          std::reverse(d.titles.begin(), d.titles.end());
          if (run == 0 && p < compared.size()) {
            seen[0] = a.titles;
            seen[1] = b.titles;
            seen[2] = c.titles;
            seen[3] = d.titles;
          }
        }
        if (run == 0 && p < compared.size()) {
          // The first side to run leaves its rows; the other must show the same.
          for (int m = 0; m < kMoves; ++m) {
            if (compared[p][m].empty()) {
              compared[p][m] = seen[m];
            } else if (compared[p][m] != seen[m]) {
              ++mismatches;
            }
          }
        }
      }
      for (int m = 0; m < kMoves; ++m) {
        best[engine ? 0 : 1][m] = std::min(best[engine ? 0 : 1][m], total[m] / static_cast<double>(probe.size()));
      }
    }
  }

  std::printf("SQLite %s; %zu movies in %zu groups; %zu groups of >= %zu movies browsed, %d rows a page; "
              "shared opens; best of %zu alternating runs\n",
              sqlite3_libversion(), n, groups, probe.size(), kMinMovies, kRows, runs);
  std::printf("%-28s %12s %12s %8s\n", "move (mean of one)", "browse us", "SQLite us", "ratio");
  for (int m = 0; m < kMoves; ++m) {
    std::printf("%-28s %12.2f %12.2f %8.2f\n", kMoveNames[m], best[0][m] * 1e6, best[1][m] * 1e6,
                best[0][m] / best[1][m]);
  }
  std::printf("rows compared on %zu groups: %s\n", compared.size(), mismatches == 0 ? "the same" : "DIFFERENT");

  for (sqlite3_stmt* st : {first, next, one, bottom}) sqlite3_finalize(st);
  sqlite3_close(sql.db);
  browse.Kill();
  QueueFree(&queue);
  Close(view.block());
  groupRel.CloseAll();
  groupRel.Kill();
  movieRel.Kill();
  errors.Kill();
  fs::remove_all(dir);
  return mismatches == 0 ? 0 : 1;
}
