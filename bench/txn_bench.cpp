// Committed transactions per second: 10 inserts into each of two data files, then COMMIT.
//   - the native files through LOGOUT/COMMIT (control file, markers, journals, flushes);
//   - the same with SQLite: two databases (the second ATTACHed), one BEGIN ... COMMIT, in its
//     default rollback-journal mode and in WAL mode, both with synchronous=FULL.
// Every run flushes to the device, so the figures depend on the disk; compare them only
// within one run. The native run also counts its flushes and writes per transaction.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "runtime/data/isam/faulty_file_io.h"
#include "runtime/data/isam/transaction.h"
#include "tools/crashtest/pattern_table.h"

namespace {

namespace fs = std::filesystem;
using cinevo::crashtest::PatternTable;

fs::path FreshDir(const char* name) {
  fs::path dir = fs::temp_directory_path() / (std::string("txn_bench_") + name + "_" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

void BM_NativeTwoFiles(benchmark::State& state) {
  fs::path dir = FreshDir("native");
  cinevo::isam::PageStoreOptions options;  // flushing on, journal on
  std::unique_ptr<PatternTable> a, b;
  if (!PatternTable::Open((dir / "A.TVX").string(), options, a).ok() ||
      !PatternTable::Open((dir / "B.TVX").string(), options, b).ok()) {
    state.SkipWithError("cannot create the files");
    return;
  }
  cinevo::isam::Transaction txn;
  // Counts the writes and flushes of both files, their journals and the control file.
  cinevo::isam::FaultyFileIo counter(cinevo::isam::FaultPlan{});
  a->store().set_io(&counter);
  b->store().set_io(&counter);
  txn.set_io(&counter);
  uint64_t n = 0;
  for (auto _ : state) {
    txn.Logout(a->store());
    txn.Logout(b->store());
    uint32_t recno = 0;
    bool added = true;
    for (int i = 0; i < 10; ++i) {
      added = a->Add("group " + std::to_string(n), recno).ok() && added;
      added = b->Add("movie " + std::to_string(n), recno).ok() && added;
      ++n;
    }
    if (!added || !txn.Commit().ok()) {
      state.SkipWithError(added ? "COMMIT failed" : "ADD failed");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations());
  state.counters["txn/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  const double runs = static_cast<double>(std::max<benchmark::IterationCount>(state.iterations(), 1));
  state.counters["flushes/txn"] = static_cast<double>(counter.syncs()) / runs;
  state.counters["writes/txn"] = static_cast<double>(counter.writes()) / runs;
  a.reset();
  b.reset();
  fs::remove_all(dir);
}

void Exec(sqlite3* db, const char* sql) { sqlite3_exec(db, sql, nullptr, nullptr, nullptr); }

void SqliteTwoFiles(benchmark::State& state, bool wal) {
  fs::path dir = FreshDir(wal ? "sqlite_wal" : "sqlite_journal");
  sqlite3* db = nullptr;
  if (sqlite3_open((dir / "a.db").string().c_str(), &db) != SQLITE_OK) {
    state.SkipWithError("cannot open");
    return;
  }
  std::string attach = "ATTACH DATABASE '" + (dir / "b.db").string() + "' AS b";
  Exec(db, attach.c_str());
  Exec(db, "PRAGMA main.synchronous=FULL; PRAGMA b.synchronous=FULL");
  if (wal) Exec(db, "PRAGMA main.journal_mode=WAL; PRAGMA b.journal_mode=WAL");
  Exec(db, "CREATE TABLE main.t(id INTEGER PRIMARY KEY, text TEXT); CREATE TABLE b.t(id INTEGER PRIMARY KEY, text TEXT)");
  sqlite3_stmt* ins_a = nullptr;
  sqlite3_stmt* ins_b = nullptr;
  sqlite3_prepare_v2(db, "INSERT INTO main.t(text) VALUES(?)", -1, &ins_a, nullptr);
  sqlite3_prepare_v2(db, "INSERT INTO b.t(text) VALUES(?)", -1, &ins_b, nullptr);
  uint64_t n = 0;
  for (auto _ : state) {
    Exec(db, "BEGIN");
    for (int i = 0; i < 10; ++i) {
      std::string ga = "group " + std::to_string(n), mb = "movie " + std::to_string(n);
      sqlite3_bind_text(ins_a, 1, ga.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_step(ins_a);
      sqlite3_reset(ins_a);
      sqlite3_bind_text(ins_b, 1, mb.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_step(ins_b);
      sqlite3_reset(ins_b);
      ++n;
    }
    if (sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
      state.SkipWithError("COMMIT failed");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations());
  state.counters["txn/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  sqlite3_finalize(ins_a);
  sqlite3_finalize(ins_b);
  sqlite3_close(db);
  fs::remove_all(dir);
}

void BM_SqliteRollbackJournal(benchmark::State& state) { SqliteTwoFiles(state, false); }
void BM_SqliteWal(benchmark::State& state) { SqliteTwoFiles(state, true); }

}  // namespace

BENCHMARK(BM_NativeTwoFiles)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_SqliteRollbackJournal)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_SqliteWal)->UseRealTime()->MinTime(2.0);
BENCHMARK_MAIN();
