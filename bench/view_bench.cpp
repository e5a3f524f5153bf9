// The VIEW engine against SQLite on the browses of the movie catalogue, in the same run: a
// movies file of 1,000,000 records in 50,000 groups (the catalogue's PODGRU layout: group
// STRING(20), path STRING(120), the path's first 10 characters STRING(10), a spare byte; key
// on group and those 10 characters, DUP OPT NOCASE) and its 50,000 groups, both opened shared
// (deny none) as the application opens them. SQLite has the same two tables with an index on
// (group, first 10 characters) in NOCASE collation and a primary key on the group's name.
//
//   1. the movies of one group in key order, a browse page (first 20 rows) and all of them,
//      for 2,000 random groups: UPPER(POD:SIFRA) = UPPER('...') ordered by UPPER(POD:NASLOV2)
//   2. a filter on a field no key has over the whole file: INSTRING('.AVI', UPPER(POD:NASLOV), 1, 1)
//   3. an order no key has: -POD:NASLOV, the first 20 rows and all rows
//   4. each of 10,000 groups joined with its movies (an INNER JOIN by POD:PRK)
// Each figure is the best of RUNS runs; the runs alternate between the two. A ratio below 1
// means the VIEW engine is faster.
//
// Usage: bench_view [MOVIES] [RUNS] [CASES]   (defaults 1000000, 3 and all six)
// CASES picks cases by number, e.g. "03" runs only the first and the fourth (for profiling).
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "runtime/data/file_statements.h"
#include "runtime/data/isam/isam_driver.h"
#include "runtime/data/view/view.h"

namespace {

using namespace cinevo;
using namespace cinevo::bench;
namespace fs = std::filesystem;

constexpr size_t kPerGroup = 20;

// One read of `limit` rows (or all), declared as one as the browse declares a page.
size_t ReadView(View& v, size_t limit = SIZE_MAX) {
  size_t rows = 0;
  v.ExpectReads(limit == SIZE_MAX ? INT64_MAX : static_cast<int64_t>(limit));
  Check(SetView(v.block()) == 0, "SET(view)");
  while (rows < limit && Next(v.block()) == 0) ++rows;
  v.ExpectReads(0);
  return rows;
}

struct Case {
  const char* name;
  double view = 1e9, sql = 1e9;
  size_t view_rows = 0, sql_rows = 0;
};

}  // namespace

int main(int argc, char** argv) {
  const size_t n = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 1000000;
  const size_t runs = argc > 2 ? std::max<size_t>(1, std::strtoul(argv[2], nullptr, 10)) : 3;
  const size_t groups = std::max<size_t>(1, n / kPerGroup);
  const std::string only = argc > 3 ? argv[3] : "012345";
  auto wanted = [&](int c) { return only.find(static_cast<char>('0' + c)) != std::string::npos; };
  isam::RegisterIsamDriver();
  const fs::path dir = fs::temp_directory_path() / ("view_bench_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  std::vector<Movie> movies = MakeMovies(n, groups);

  // The files, filled in one stream each.
  FileDeclaration md = MoviesDecl((dir / "PODGRU").string()), gd = GroupsDecl((dir / "GRUPA").string());
  FileControlBlock pod(md), gru(gd);
  double load_view = Seconds([&] { LoadCatalogueFiles(pod, gru, movies, groups); });
  Sql sql;
  Check(sqlite3_open((dir / "movies.db").string().c_str(), &sql.db) == SQLITE_OK, "sqlite open");
  double load_sql = Seconds([&] { LoadCatalogueSql(sql, movies, groups); });

  // Opened shared, as the application opens its files.
  Check(Share(pod, 0x42) == 0 && Share(gru, 0x42) == 0, "share");
  ViewDeclaration movies_view;
  movies_view.primary = &pod;
  View mv(movies_view);
  Check(Open(mv.block()) == 0, "OPEN(view)");
  ViewDeclaration join_view;
  join_view.primary = &gru;
  join_view.key = 0;
  JoinDeclaration& j = join_view.joins.emplace_back();
  j.file = &pod;
  j.key = 0;
  j.links = {{&gru, 1}};
  j.inner = true;
  View jv(join_view);
  Check(Open(jv.block()) == 0, "OPEN(join view)");

  std::vector<size_t> probe(2000);
  std::mt19937 rng(11);
  for (size_t& p : probe) p = rng() % groups;
  const size_t join_groups = std::min<size_t>(10000, groups);

  sqlite3_stmt* by_group = sql.Prepare("SELECT * FROM podgru WHERE sifra = ?1 COLLATE NOCASE ORDER BY naslov2 COLLATE NOCASE");
  sqlite3_stmt* avi = sql.Prepare("SELECT * FROM podgru WHERE instr(upper(naslov), '.AVI') = 1 OR instr(upper(naslov), '.AVI') > 0");
  sqlite3_stmt* desc20 = sql.Prepare("SELECT * FROM podgru ORDER BY naslov DESC LIMIT 20");
  sqlite3_stmt* desc = sql.Prepare("SELECT * FROM podgru ORDER BY naslov DESC");
  sqlite3_stmt* join = sql.Prepare(
      "SELECT g.*, p.* FROM grupa g JOIN podgru p ON p.sifra = g.sifra COLLATE NOCASE "
      "WHERE g.sifra <= ?1 ORDER BY g.sifra, p.naslov2 COLLATE NOCASE");
  const std::string last_group = GroupName(join_groups - 1);
  // The filter compares the upper-cased name, so its literal is upper case too.
  std::string last_group_upper = last_group;
  for (char& c : last_group_upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  sqlite3_bind_text(join, 1, last_group.c_str(), -1, SQLITE_TRANSIENT);

  Case cases[] = {{"one group, first 20 rows (x2000)"}, {"one group, all rows (x2000)"},
                  {"filter INSTRING('.AVI'), whole file"}, {"order -POD:NASLOV, first 20 rows"},
                  {"order -POD:NASLOV, all rows"}, {"join 10,000 groups with movies"}};
  for (size_t run = 0; run < runs; ++run) {
    for (int side = 0; side < 2; ++side) {
      const bool engine = (run + side) % 2 == 0;  // the sides take turns at going first
      size_t rows[6] = {};
      double t[6];
      auto Timed = [&](int c, const std::function<void()>& work) { return wanted(c) ? Seconds(work) : 0.0; };
      if (engine) {
        Check(SetProperty(mv.block(), kPropViewOrder, "UPPER(POD:NASLOV2)") == 0, "order");
        for (int limit = 0; limit < 2; ++limit) {
          t[limit] = Timed(limit, [&] {
            for (size_t g : probe) {
              Check(SetProperty(mv.block(), kPropViewFilter, "UPPER(POD:SIFRA) = UPPER('" + GroupName(g) + "')") == 0,
                    "filter");
              rows[limit] += ReadView(mv, limit == 0 ? 20 : SIZE_MAX);
            }
          });
        }
        Check(SetProperty(mv.block(), kPropViewOrder, "") == 0, "order");
        Check(SetProperty(mv.block(), kPropViewFilter, "INSTRING('.AVI', UPPER(POD:NASLOV), 1, 1)") == 0, "filter");
        t[2] = Timed(2, [&] { rows[2] = ReadView(mv); });
        Check(SetProperty(mv.block(), kPropViewFilter, "") == 0, "filter");
        Check(SetProperty(mv.block(), kPropViewOrder, "-POD:NASLOV") == 0, "order");
        t[3] = Timed(3, [&] {
          rows[3] = ReadView(mv, 20);
          Check(SetProperty(mv.block(), kPropViewOrder, "-POD:NASLOV") == 0, "order");  // a new browse
        });
        t[4] = Timed(4, [&] { rows[4] = ReadView(mv); });
        Check(SetProperty(jv.block(), kPropViewFilter, "UPPER(GRU:SIFRA) <= '" + last_group_upper + "'") == 0,
              "join filter");
        t[5] = Timed(5, [&] { rows[5] = ReadView(jv); });
      } else {
        for (int limit = 0; limit < 2; ++limit) {
          t[limit] = Timed(limit, [&] {
            for (size_t g : probe) {
              std::string name = GroupName(g);
              sqlite3_bind_text(by_group, 1, name.c_str(), -1, SQLITE_TRANSIENT);
              rows[limit] += Drain(by_group, limit == 0 ? 20 : SIZE_MAX);
            }
          });
        }
        t[2] = Timed(2, [&] { rows[2] = Drain(avi); });
        t[3] = Timed(3, [&] { rows[3] = Drain(desc20); });
        t[4] = Timed(4, [&] { rows[4] = Drain(desc); });
        t[5] = Timed(5, [&] { rows[5] = Drain(join); });
      }
      for (int c = 0; c < 6; ++c) {
        (engine ? cases[c].view : cases[c].sql) = std::min(engine ? cases[c].view : cases[c].sql, t[c]);
        (engine ? cases[c].view_rows : cases[c].sql_rows) = rows[c];
      }
    }
  }
  std::printf("SQLite %s; %zu movies in %zu groups; shared opens; best of %zu alternating runs\n",
              sqlite3_libversion(), n, groups, runs);
  std::printf("load: VIEW files %.2f s, SQLite %.2f s\n", load_view, load_sql);
  std::printf("%-40s %10s %10s %8s %10s\n", "case", "VIEW s", "SQLite s", "ratio", "rows");
  for (const Case& c : cases) {
    if (!wanted(static_cast<int>(&c - cases))) continue;
    std::printf("%-40s %10.4f %10.4f %8.2f %10zu%s\n", c.name, c.view, c.sql, c.view / c.sql, c.view_rows,
                c.view_rows == c.sql_rows ? "" : "  (row counts differ!)");
  }
  for (sqlite3_stmt* st : {by_group, avi, desc20, desc, join}) sqlite3_finalize(st);
  sqlite3_close(sql.db);
  Close(jv.block());
  Close(mv.block());
  Close(pod);
  Close(gru);
  fs::remove_all(dir);
  return 0;
}
