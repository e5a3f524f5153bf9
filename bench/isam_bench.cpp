// The native driver against SQLite on the same work, in the same run: 100,000 records shaped
// like the movies file (151-byte records, a two-component DUP NOCASE string key), inserted in
// one batch (STREAM ... FLUSH / one transaction), looked up by key in random order, scanned in
// key order and in file order, each record's key changed, all deleted; then 1,000 inserts each
// made durable on its own (every commit flushed with fdatasync / SQLite's default journal with
// one transaction per insert). The driver runs with the default page cache and a larger one.
//
// Usage: bench_isam [RECORDS] [DURABLE_INSERTS] [shared|exclusive|large|all] [RUNS]
//   (defaults 100000, 1000, all and 3; each figure is the best of RUNS runs)
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "runtime/core/value_storage.h"
#include "runtime/data/file_statements.h"
#include "runtime/data/isam/isam_driver.h"

namespace {

using namespace cinevo;
using namespace cinevo::bench;
namespace fs = std::filesystem;

constexpr uint32_t kRecordLength = 151;  // GROUP STRING(20), PATH STRING(128), MODE STRING(3)

struct Row {
  std::string group, path, mode;
};

std::vector<Row> MakeRows(size_t n, uint32_t seed) {
  std::vector<Row> rows(n);
  std::mt19937 rng(seed);
  for (size_t i = 0; i < n; ++i) {
    rows[i].group = "Group " + std::to_string(rng() % 400);
    rows[i].path = "C:\\Movies\\Clip" + std::to_string(rng() % 1000000) + "_" + std::to_string(i) + ".avi";
    rows[i].mode = "pl";
  }
  return rows;
}

FileDeclaration MoviesDeclaration(const std::string& path) {
  FileDeclaration d;
  d.label = "POD";
  d.name = path;
  d.driver = std::string(isam::kDriverName);
  d.fields = {MakeField("POD:GROUP", TypeCode::kString, 0, 20), MakeField("POD:PATH", TypeCode::kString, 20, 128),
              MakeField("POD:MODE", TypeCode::kString, 148, 3)};
  d.keys = {MakeKey("POD:KEY", kKeyDup | kKeyNoCase, {1, 2})};
  return d;
}

void FillRecord(FileControlBlock& f, const Row& r) {
  StoreString(reinterpret_cast<char*>(f.record.data()), 20, r.group);
  StoreString(reinterpret_cast<char*>(f.record.data() + 20), 128, r.path);
  StoreString(reinterpret_cast<char*>(f.record.data() + 148), 3, r.mode);
}


struct Figures {
  double insert = 0, lookup = 0, key_scan = 0, file_scan = 0, change = 0, remove = 0, durable = 0;
  // Shared open only: the scans inside one LOGOUT ... COMMIT, which holds the update lock from
  // the first record to the last as SQLite's statement holds its shared lock.
  double key_scan_framed = 0, file_scan_framed = 0;
};

Figures RunDriver(const std::string& dir, const std::vector<Row>& rows, const std::vector<size_t>& order,
                  const std::vector<Row>& durable_rows, size_t cache_pages, uint32_t mode) {
  Figures fig;
  isam::PageStoreOptions o;
  o.cache_limit = cache_pages;
  o.sync = true;
  isam::SetIsamStoreDefaults(o);
  std::string path = dir + "/MOVIES.TVX";
  FileDeclaration decl = MoviesDeclaration(path);
  FileControlBlock f(decl);
  Check(Create(f) == 0 && Open(f, mode) == 0, "driver open");
  fig.insert = Seconds([&] {
    Check(Stream(f) == 0, "STREAM");
    for (const Row& r : rows) {
      FillRecord(f, r);
      Check(Add(f) == 0, "ADD");
    }
    Check(Flush(f) == 0, "FLUSH");
  });
  fig.lookup = Seconds([&] {
    for (size_t i : order) {
      FillRecord(f, rows[i]);
      Check(Get(f, 0) == 0, "GET");
    }
  });
  size_t n = 0;
  fig.key_scan = Seconds([&] {
    Check(SetKey(f, 0) == 0, "SET(key)");
    while (Next(f) == 0) ++n;
  });
  Check(n == rows.size(), "key scan count");
  n = 0;
  fig.file_scan = Seconds([&] {
    Check(Set(f) == 0, "SET(file)");
    while (Next(f) == 0) ++n;
  });
  Check(n == rows.size(), "file scan count");
  if ((mode & 0xF0) != 0x10) {
    FileControlBlock* files[] = {&f};
    n = 0;
    fig.key_scan_framed = Seconds([&] {
      Check(Logout(0, files) == 0, "LOGOUT");
      Check(SetKey(f, 0) == 0, "SET(key)");
      while (Next(f) == 0) ++n;
      Check(Commit(files) == 0, "COMMIT");
    });
    Check(n == rows.size(), "framed key scan count");
    n = 0;
    fig.file_scan_framed = Seconds([&] {
      Check(Logout(0, files) == 0, "LOGOUT");
      Check(Set(f) == 0, "SET(file)");
      while (Next(f) == 0) ++n;
      Check(Commit(files) == 0, "COMMIT");
    });
    Check(n == rows.size(), "framed file scan count");
  }
  fig.change = Seconds([&] {
    Check(Stream(f) == 0, "STREAM");
    for (size_t i : order) {
      FillRecord(f, rows[i]);
      Check(Get(f, 0) == 0, "GET");
      f.record[20] = 'D';  // "C:\..." becomes "D:\..."
      Check(Put(f) == 0, "PUT");
    }
    Check(Flush(f) == 0, "FLUSH");
  });
  fig.remove = Seconds([&] {
    Check(Stream(f) == 0, "STREAM");
    for (size_t i : order) {
      Row r = rows[i];
      r.path[0] = 'D';
      FillRecord(f, r);
      Check(Get(f, 0) == 0, "GET");
      Check(Delete(f) == 0, "DELETE");
    }
    Check(Flush(f) == 0, "FLUSH");
  });
  Check(Records(f) == 0, "all deleted");
  fig.durable = Seconds([&] {
    for (const Row& r : durable_rows) {
      FillRecord(f, r);
      Check(Add(f) == 0, "durable ADD");
    }
  });
  Check(Close(f) == 0, "CLOSE");
  fs::remove(path);
  return fig;
}

void BindRow(sqlite3_stmt* st, const Row& r, int first = 1) {
  sqlite3_bind_text(st, first, r.group.c_str(), static_cast<int>(r.group.size()), SQLITE_STATIC);
  sqlite3_bind_text(st, first + 1, r.path.c_str(), static_cast<int>(r.path.size()), SQLITE_STATIC);
}

// Reads a row's columns as the driver fills its record buffer.
void TouchRow(sqlite3_stmt* st, std::vector<char>& buffer) {
  for (int c = 0; c < 3; ++c) {
    const unsigned char* t = sqlite3_column_text(st, c);
    int len = sqlite3_column_bytes(st, c);
    std::memcpy(buffer.data(), t, std::min<size_t>(static_cast<size_t>(len), buffer.size()));
  }
}

Figures RunSqlite(const std::string& dir, const std::vector<Row>& rows, const std::vector<size_t>& order,
                  const std::vector<Row>& durable_rows) {
  Figures fig;
  std::string path = dir + "/movies.db";
  Sql s;
  Check(sqlite3_open(path.c_str(), &s.db) == SQLITE_OK, "sqlite open");
  s.Exec("CREATE TABLE pod(grp TEXT COLLATE NOCASE, path TEXT COLLATE NOCASE, mode TEXT)");
  s.Exec("CREATE INDEX pod_key ON pod(grp, path)");
  std::vector<char> buffer(kRecordLength);
  sqlite3_stmt* ins = s.Prepare("INSERT INTO pod(grp, path, mode) VALUES(?, ?, ?)");
  auto insert = [&](const Row& r) {
    BindRow(ins, r);
    sqlite3_bind_text(ins, 3, r.mode.c_str(), -1, SQLITE_STATIC);
    Check(sqlite3_step(ins) == SQLITE_DONE, "INSERT");
    sqlite3_reset(ins);
  };
  fig.insert = Seconds([&] {
    s.Exec("BEGIN");
    for (const Row& r : rows) insert(r);
    s.Exec("COMMIT");
  });
  sqlite3_stmt* get = s.Prepare("SELECT grp, path, mode FROM pod WHERE grp = ? AND path = ? ORDER BY grp, path LIMIT 1");
  fig.lookup = Seconds([&] {
    for (size_t i : order) {
      BindRow(get, rows[i]);
      Check(sqlite3_step(get) == SQLITE_ROW, "SELECT by key");
      TouchRow(get, buffer);
      sqlite3_reset(get);
    }
  });
  size_t n = 0;
  sqlite3_stmt* by_key = s.Prepare("SELECT grp, path, mode FROM pod ORDER BY grp, path");
  fig.key_scan = Seconds([&] {
    while (sqlite3_step(by_key) == SQLITE_ROW) {
      TouchRow(by_key, buffer);
      ++n;
    }
    sqlite3_reset(by_key);
  });
  Check(n == rows.size(), "sqlite key scan count");
  n = 0;
  sqlite3_stmt* by_row = s.Prepare("SELECT grp, path, mode FROM pod ORDER BY rowid");
  fig.file_scan = Seconds([&] {
    while (sqlite3_step(by_row) == SQLITE_ROW) {
      TouchRow(by_row, buffer);
      ++n;
    }
    sqlite3_reset(by_row);
  });
  Check(n == rows.size(), "sqlite file scan count");
  sqlite3_stmt* upd = s.Prepare("UPDATE pod SET path = ? WHERE grp = ? AND path = ?");
  fig.change = Seconds([&] {
    s.Exec("BEGIN");
    for (size_t i : order) {
      std::string changed = rows[i].path;
      changed[0] = 'D';
      sqlite3_bind_text(upd, 1, changed.c_str(), -1, SQLITE_TRANSIENT);
      BindRow(upd, rows[i], 2);
      Check(sqlite3_step(upd) == SQLITE_DONE, "UPDATE");
      sqlite3_reset(upd);
    }
    s.Exec("COMMIT");
  });
  sqlite3_stmt* del = s.Prepare("DELETE FROM pod WHERE grp = ? AND path = ?");
  fig.remove = Seconds([&] {
    s.Exec("BEGIN");
    for (size_t i : order) {
      Row r = rows[i];
      r.path[0] = 'D';
      BindRow(del, r);
      Check(sqlite3_step(del) == SQLITE_DONE, "DELETE");
      sqlite3_reset(del);
    }
    s.Exec("COMMIT");
  });
  fig.durable = Seconds([&] {
    for (const Row& r : durable_rows) insert(r);  // autocommit: one transaction each
  });
  for (sqlite3_stmt* st : {ins, get, by_key, by_row, upd, del}) sqlite3_finalize(st);
  sqlite3_close(s.db);
  fs::remove(path);
  return fig;
}

// Keeps the smaller time of each operation.
void Best(Figures& best, const Figures& f, bool first) {
  if (first) {
    best = f;
    return;
  }
  double* b[] = {&best.insert, &best.lookup, &best.key_scan, &best.file_scan, &best.change,
                 &best.remove, &best.durable, &best.key_scan_framed, &best.file_scan_framed};
  const double* v[] = {&f.insert, &f.lookup, &f.key_scan, &f.file_scan, &f.change,
                       &f.remove, &f.durable, &f.key_scan_framed, &f.file_scan_framed};
  for (size_t i = 0; i < std::size(b); ++i) *b[i] = std::min(*b[i], *v[i]);
}

void Report(const char* title, const Figures& d, const Figures& q, size_t n, size_t durable) {
  std::printf("\n%s\n", title);
  std::printf("%-34s %12s %12s %8s\n", "operation", "driver s", "sqlite s", "ratio");
  auto line = [](const char* what, double a, double b) {
    std::printf("%-34s %12.3f %12.3f %8.2f\n", what, a, b, b > 0 ? a / b : 0.0);
  };
  char label[64];
  std::snprintf(label, sizeof label, "insert %zu (one batch)", n);
  line(label, d.insert, q.insert);
  line("lookup each by key (random)", d.lookup, q.lookup);
  line("scan in key order", d.key_scan, q.key_scan);
  line("scan in file order", d.file_scan, q.file_scan);
  if (d.key_scan_framed > 0) {
    line("scan in key order, one LOGOUT", d.key_scan_framed, q.key_scan);
    line("scan in file order, one LOGOUT", d.file_scan_framed, q.file_scan);
  }
  line("change each key (one batch)", d.change, q.change);
  line("delete all (one batch)", d.remove, q.remove);
  std::snprintf(label, sizeof label, "%zu durable inserts", durable);
  line(label, d.durable, q.durable);
  std::printf("(ratio = driver time / sqlite time; below 1 the driver is faster)\n");
}

}  // namespace

int main(int argc, char** argv) {
  size_t n = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 100000;
  size_t durable = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 1000;
  isam::RegisterIsamDriver();
  std::string dir = (fs::temp_directory_path() / ("isam_bench_" + std::to_string(::getpid()))).string();
  fs::create_directories(dir);
  std::vector<Row> rows = MakeRows(n, 1);
  std::vector<Row> durable_rows = MakeRows(durable, 2);
  std::vector<size_t> order(n);
  std::iota(order.begin(), order.end(), 0);
  std::shuffle(order.begin(), order.end(), std::mt19937(3));
  size_t runs = argc > 4 ? std::max<size_t>(1, std::strtoul(argv[4], nullptr, 10)) : 3;
  std::string only = argc > 3 ? argv[3] : "";
  if (only == "all") only.clear();
  std::printf("sqlite %s, %zu records of %u bytes, best of %zu runs\n", sqlite3_libversion(), n, kRecordLength, runs);
  // Shared (deny none): every operation takes the update lock and re-reads the header, as
  // SQLite's every transaction takes its lock and checks its change counter. Exclusive (deny
  // all): one user, no per-operation lock or header check.
  struct Config {
    const char* name;
    const char* title;
    size_t cache;
    uint32_t mode;
    Figures best;
  };
  Config configs[] = {
      {"shared", "shared open, default page cache (100 pages)", isam::kDefaultCacheLimit, 0x42, {}},
      {"exclusive", "exclusive open, default page cache (100 pages)", isam::kDefaultCacheLimit, 0x12, {}},
      {"large", "exclusive open, larger page cache (20000 pages)", 20000, 0x12, {}},
  };
  // The runs alternate between SQLite and the driver, and each figure is the best of its runs,
  // so that a busy moment of the machine does not land on one side only.
  Figures q;
  for (size_t run = 0; run < runs; ++run) {
    Best(q, RunSqlite(dir, rows, order, durable_rows), run == 0);
    for (Config& c : configs) {
      if (only.empty() || only == c.name) Best(c.best, RunDriver(dir, rows, order, durable_rows, c.cache, c.mode), run == 0);
    }
  }
  for (Config& c : configs) {
    if (only.empty() || only == c.name) Report(c.title, c.best, q, n, durable);
  }
  fs::remove_all(dir);
  return 0;
}
