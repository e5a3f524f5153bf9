// Renaming a group of 1,000 movies and deleting it, through the relation manager (the movies
// follow inside one transaction) and through SQLite (a foreign key with ON UPDATE CASCADE and ON
// DELETE CASCADE, one transaction). Both are durable: the native files flush at every commit,
// SQLite runs with synchronous=FULL in its default rollback-journal mode. Each catalogue also
// holds 20 other groups of 50 movies. The figures depend on the disk: compare them only within
// one run.
//
//   bench_cascade [--benchmark_filter=...]
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>

#include "app/catalogue.h"
#include "classlib/error_class.h"
#include "runtime/core/value_storage.h"
#include "runtime/data/file_statements.h"
#include "runtime/data/isam/isam_driver.h"

namespace {

namespace fs = std::filesystem;
using namespace cinevo;
using namespace cinevo::app;

constexpr int kMovies = 1000;

fs::path FreshDir(const char* name) {
  fs::path dir = fs::temp_directory_path() / (std::string("cascade_bench_") + name + "_" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}


std::string Path(const std::string& group, int k) { return "/home/user/movies/" + group + "/" + std::to_string(k) + ".avi"; }

class Native {
 public:
  explicit Native(const fs::path& dir) : catalogue_(dir.string()) {
    isam::RegisterIsamDriver();
    errors_.Init();
    catalogue_.InitGroups(errors_);
    catalogue_.InitMovies(errors_);
    ok_ = catalogue_.GroupRelations().OpenAll() == 0 && catalogue_.Movies().EnsureOpen() == 0;
    for (int g = 0; ok_ && g < 20; ++g) ok_ = AddGroup("other" + std::to_string(g), 50);
  }
  ~Native() {
    catalogue_.GroupRelations().CloseAll();
    catalogue_.KillGroups();
    catalogue_.KillMovies();
    errors_.Kill();
  }
  bool ok() const { return ok_; }
  // The group and its movies in one transaction.
  bool AddGroup(const std::string& name, int movies) {
    FileControlBlock* files[] = {&catalogue_.GroupFile(), &catalogue_.MovieFile()};
    if (Logout(2, files) != 0) return false;
    FileControlBlock& g = catalogue_.GroupFile();
    std::fill(g.record.begin(), g.record.end(), ' ');
    StoreText(g, gru::kSifra, gru::kSifraSize, name);
    bool ok = Add(g) == 0;
    FileControlBlock& m = catalogue_.MovieFile();
    for (int k = 0; ok && k < movies; ++k) {
      std::fill(m.record.begin(), m.record.end(), ' ');
      std::string path = Path(name, k);
      StoreText(m, pod::kSifra, pod::kSifraSize, name);
      StoreText(m, pod::kNaslov, pod::kNaslovSize, path);
      StoreText(m, pod::kNaslov2, pod::kNaslov2Size, path.substr(0, 10));
      ok = Add(m) == 0;
    }
    if (!ok) {
      Rollback(files);
      return false;
    }
    return Commit(files) == 0;
  }
  bool Select(const std::string& name) {
    StoreText(catalogue_.GroupFile(), gru::kSifra, gru::kSifraSize, name);
    if (Get(catalogue_.GroupFile(), 0) != 0) return false;
    catalogue_.GroupRelations().SaveLinks();
    return true;
  }
  bool Rename(const std::string& from, const std::string& to) {
    if (!Select(from)) return false;
    StoreText(catalogue_.GroupFile(), gru::kSifra, gru::kSifraSize, to);
    return catalogue_.GroupRelations().Update() == 0;
  }
  bool Delete(const std::string& name) { return Select(name) && catalogue_.GroupRelations().Delete(false) == 0; }

 private:
  classlib::ErrorClass errors_;
  Catalogue catalogue_;
  bool ok_ = false;
};

class Lite {
 public:
  explicit Lite(const fs::path& dir) {
    ok_ = sqlite3_open((dir / "catalogue.db").c_str(), &db_) == SQLITE_OK &&
          Exec("PRAGMA foreign_keys=ON; PRAGMA synchronous=FULL;"
               "CREATE TABLE grupa(sifra TEXT PRIMARY KEY COLLATE NOCASE, sfsel TEXT);"
               "CREATE TABLE podgru(sifra TEXT REFERENCES grupa(sifra) ON UPDATE CASCADE ON DELETE CASCADE,"
               " naslov TEXT, naslov2 TEXT, sfsel TEXT);"
               "CREATE INDEX podgru_prk ON podgru(sifra COLLATE NOCASE, naslov2 COLLATE NOCASE);");
    for (int g = 0; ok_ && g < 20; ++g) ok_ = AddGroup("other" + std::to_string(g), 50);
  }
  ~Lite() { sqlite3_close(db_); }
  bool ok() const { return ok_; }
  bool Exec(const std::string& sql) { return sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK; }
  bool AddGroup(const std::string& name, int movies) {
    if (!Exec("BEGIN")) return false;
    bool ok = Exec("INSERT INTO grupa VALUES('" + name + "', ' ')");
    sqlite3_stmt* st = nullptr;
    ok = ok && sqlite3_prepare_v2(db_, "INSERT INTO podgru VALUES(?, ?, ?, ' ')", -1, &st, nullptr) == SQLITE_OK;
    for (int k = 0; ok && k < movies; ++k) {
      std::string path = Path(name, k);
      sqlite3_bind_text(st, 1, name.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_text(st, 2, path.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_text(st, 3, path.substr(0, 10).c_str(), -1, SQLITE_TRANSIENT);
      ok = sqlite3_step(st) == SQLITE_DONE;
      sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    return Exec(ok ? "COMMIT" : "ROLLBACK") && ok;
  }
  // One statement in one transaction: the foreign key carries the movies along.
  bool Rename(const std::string& from, const std::string& to) {
    return Exec("BEGIN; UPDATE grupa SET sifra='" + to + "' WHERE sifra='" + from + "'; COMMIT;") &&
           sqlite3_changes(db_) >= 0;
  }
  bool Delete(const std::string& name) { return Exec("BEGIN; DELETE FROM grupa WHERE sifra='" + name + "'; COMMIT;"); }

 private:
  sqlite3* db_ = nullptr;
  bool ok_ = false;
};

// Renames the 1,000-movie group back and forth.
template <typename Store>
void Rename(benchmark::State& state, const char* name) {
  fs::path dir = FreshDir(name);
  {
    Store s(dir);
    if (!s.ok() || !s.AddGroup("big", kMovies)) {
      state.SkipWithError("cannot build the catalogue");
      return;
    }
    bool flip = false;
    for (auto _ : state) {
      if (!(flip ? s.Rename("renamed", "big") : s.Rename("big", "renamed"))) {
        state.SkipWithError("rename failed");
        break;
      }
      flip = !flip;
    }
  }
  state.counters["movies/s"] = benchmark::Counter(static_cast<double>(state.iterations()) * kMovies,
                                                  benchmark::Counter::kIsRate);
  fs::remove_all(dir);
}

// Deletes a 1,000-movie group; each one is made again outside the timing.
template <typename Store>
void Delete(benchmark::State& state, const char* name) {
  fs::path dir = FreshDir(name);
  {
    Store s(dir);
    if (!s.ok()) {
      state.SkipWithError("cannot build the catalogue");
      return;
    }
    for (auto _ : state) {
      state.PauseTiming();
      bool made = s.AddGroup("big", kMovies);
      state.ResumeTiming();
      if (!made || !s.Delete("big")) {
        state.SkipWithError("delete failed");
        break;
      }
    }
  }
  fs::remove_all(dir);
}

void BM_NativeRenameGroup(benchmark::State& state) { Rename<Native>(state, "native_rename"); }
void BM_SqliteRenameGroup(benchmark::State& state) { Rename<Lite>(state, "sqlite_rename"); }
void BM_NativeDeleteGroup(benchmark::State& state) { Delete<Native>(state, "native_delete"); }
void BM_SqliteDeleteGroup(benchmark::State& state) { Delete<Lite>(state, "sqlite_delete"); }

BENCHMARK(BM_NativeRenameGroup)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_SqliteRenameGroup)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_NativeDeleteGroup)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_SqliteDeleteGroup)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
