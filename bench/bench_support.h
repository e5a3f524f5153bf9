// Shared by the benchmark programs that set the runtime beside SQLite: timing, failing loudly,
// a thin SQLite handle, and the movie catalogue (groups and their movies) loaded the same way
// into the native files and into SQLite tables.
//
// The catalogue: a movies file in the catalogue's PODGRU layout (group STRING(20), path
// STRING(120), the path's first 10 characters STRING(10), a spare byte; key on group and those
// 10 characters, DUP OPT NOCASE) and its groups file (GRUPA: name STRING(20), a spare byte; key
// on the name, OPT NOCASE). SQLite gets the same two tables, an index on (group, first 10
// characters) in NOCASE collation and a primary key on the group's name.
#pragma once

#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/core/value_storage.h"
#include "runtime/data/file_statements.h"

namespace cinevo::bench {

inline void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "bench: %s failed\n", what);
    std::exit(1);
  }
}

inline double Seconds(const std::function<void()>& work) {
  auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

struct Sql {
  sqlite3* db = nullptr;
  void Exec(const char* s) {
    char* msg = nullptr;
    if (sqlite3_exec(db, s, nullptr, nullptr, &msg) != SQLITE_OK) {
      std::fprintf(stderr, "sqlite: %s: %s\n", s, msg ? msg : "");
      std::exit(1);
    }
  }
  sqlite3_stmt* Prepare(const char* s) {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, s, -1, &st, nullptr) != SQLITE_OK) {
      std::fprintf(stderr, "sqlite: %s: %s\n", s, sqlite3_errmsg(db));
      std::exit(1);
    }
    return st;
  }
};

// Reads a row's columns, as the runtime fills its record buffers.
inline size_t Touch(sqlite3_stmt* st) {
  size_t bytes = 0;
  for (int c = 0, n = sqlite3_column_count(st); c < n; ++c) {
    const unsigned char* t = sqlite3_column_text(st, c);
    bytes += t ? static_cast<size_t>(sqlite3_column_bytes(st, c)) + t[0] % 2 : 0;
  }
  return bytes;
}

// Steps through at most `limit` rows, then resets the statement; the rows read.
inline size_t Drain(sqlite3_stmt* st, size_t limit = SIZE_MAX) {
  size_t rows = 0;
  while (rows < limit && sqlite3_step(st) == SQLITE_ROW) {
    Touch(st);
    ++rows;
  }
  sqlite3_reset(st);
  return rows;
}

// --- The catalogue ------------------------------------------------------------------------------

inline std::string GroupName(size_t g) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "Group %05zu", g);
  return buf;
}

struct Movie {
  std::string group, path;
};

// n movies spread at random over `groups` groups, with random paths of mixed extensions.
inline std::vector<Movie> MakeMovies(size_t n, size_t groups) {
  static const char* kExt[] = {".AVI", ".avi", ".MPG", ".mov", ".MOV", ".wav"};
  std::mt19937 rng(7);
  std::vector<Movie> movies(n);
  for (size_t i = 0; i < n; ++i) {
    std::string name;
    for (int k = 0; k < 8; ++k) name += static_cast<char>('A' + rng() % 26);
    movies[i].group = GroupName(rng() % groups);
    movies[i].path = "D:\\" + name + "\\Movie " + std::to_string(rng() % 100000) + kExt[rng() % 6];
  }
  return movies;
}

inline FileDeclaration MoviesDecl(const std::string& path) {
  FileDeclaration d;
  d.label = "PODGRU";
  d.name = path;
  d.driver = "TARVEX";
  d.prefix = "POD";
  d.attributes = kFileCreate;
  d.fields = {MakeField("POD:SIFRA", TypeCode::kString, 0, 20), MakeField("POD:NASLOV", TypeCode::kString, 20, 120),
              MakeField("POD:NASLOV2", TypeCode::kString, 140, 10), MakeField("POD:SFSEL", TypeCode::kString, 150, 1)};
  d.keys = {MakeKey("POD:PRK", kKeyDup | kKeyOpt | kKeyNoCase, {1, 3})};
  return d;
}

inline FileDeclaration GroupsDecl(const std::string& path) {
  FileDeclaration d;
  d.label = "GRUPA";
  d.name = path;
  d.driver = "TARVEX";
  d.prefix = "GRU";
  d.attributes = kFileCreate;
  d.fields = {MakeField("GRU:SIFRA", TypeCode::kString, 0, 20), MakeField("GRU:SFSEL", TypeCode::kString, 20, 1)};
  d.keys = {MakeKey("GRU:PRK", kKeyOpt | kKeyNoCase, {1})};
  return d;
}

// Creates both files and fills them in one stream each; they are closed afterwards.
inline void LoadCatalogueFiles(FileControlBlock& pod, FileControlBlock& gru, const std::vector<Movie>& movies,
                               size_t groups) {
  Check(Create(pod) == 0 && Open(pod, 0x12) == 0 && Stream(pod) == 0, "create PODGRU");
  for (const Movie& m : movies) {
    StoreString(reinterpret_cast<char*>(pod.record.data()), 20, m.group);
    StoreString(reinterpret_cast<char*>(pod.record.data() + 20), 120, m.path);
    StoreString(reinterpret_cast<char*>(pod.record.data() + 140), 10, std::string_view(m.path).substr(0, 10));
    StoreString(reinterpret_cast<char*>(pod.record.data() + 150), 1, "");
    Check(Add(pod) == 0, "ADD movie");
  }
  Check(Flush(pod) == 0 && Close(pod) == 0, "close PODGRU");
  Check(Create(gru) == 0 && Open(gru, 0x12) == 0 && Stream(gru) == 0, "create GRUPA");
  for (size_t g = 0; g < groups; ++g) {
    StoreString(reinterpret_cast<char*>(gru.record.data()), 20, GroupName(g));
    StoreString(reinterpret_cast<char*>(gru.record.data() + 20), 1, "");
    Check(Add(gru) == 0, "ADD group");
  }
  Check(Flush(gru) == 0 && Close(gru) == 0, "close GRUPA");
}

// The same catalogue in SQLite, in one transaction, indexes made after the rows.
inline void LoadCatalogueSql(Sql& sql, const std::vector<Movie>& movies, size_t groups) {
  sql.Exec("CREATE TABLE podgru(sifra TEXT, naslov TEXT, naslov2 TEXT, sfsel TEXT)");
  sql.Exec("CREATE TABLE grupa(sifra TEXT PRIMARY KEY COLLATE NOCASE, sfsel TEXT)");
  sql.Exec("BEGIN");
  sqlite3_stmt* ins = sql.Prepare("INSERT INTO podgru VALUES(?1, ?2, substr(?2, 1, 10), ' ')");
  for (const Movie& m : movies) {
    sqlite3_bind_text(ins, 1, m.group.c_str(), -1, SQLITE_STATIC);
    sqlite3_bind_text(ins, 2, m.path.c_str(), -1, SQLITE_STATIC);
    Check(sqlite3_step(ins) == SQLITE_DONE, "sqlite insert");
    sqlite3_reset(ins);
  }
  sqlite3_finalize(ins);
  sqlite3_stmt* g = sql.Prepare("INSERT INTO grupa VALUES(?1, ' ')");
  for (size_t i = 0; i < groups; ++i) {
    std::string name = GroupName(i);
    sqlite3_bind_text(g, 1, name.c_str(), -1, SQLITE_TRANSIENT);
    Check(sqlite3_step(g) == SQLITE_DONE, "sqlite insert group");
    sqlite3_reset(g);
  }
  sqlite3_finalize(g);
  sql.Exec("CREATE INDEX podgru_prk ON podgru(sifra COLLATE NOCASE, naslov2 COLLATE NOCASE)");
  sql.Exec("COMMIT");
}

}  // namespace cinevo::bench
