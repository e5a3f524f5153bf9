// The commit path of one data file, measured apart from the driver above it:
//   - BM_BatchCommit: N records (movies-shaped, 151 bytes) inserted into a new file, then one
//     commit; then every record rewritten and committed (all pages rewritten in place); then
//     all deleted and committed (the file cut back to its header). Flushing is off, so the
//     figures are the work of placing, encoding, journalling and writing, not the disk's.
//   - BM_DurableCommit: one record added and committed with flushing on (two flushes each);
//     compare only within one run, the figure depends on the disk.
//   - BM_JournalBegin: the journal of an update that rewrites every page of a file of N
//     pages (originals read, laid out, hashed, written; no flush).
// Each reports its writes and flushes per commit, counted through the file I/O.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "runtime/data/isam/btree.h"
#include "runtime/data/isam/faulty_file_io.h"
#include "runtime/data/isam/journal.h"
#include "runtime/data/isam/page_store.h"

namespace {

namespace fs = std::filesystem;
using namespace cinevo::isam;

fs::path FreshDir(const char* name) {
  fs::path dir = fs::temp_directory_path() / (std::string("isam_txn_bench_") + name + "_" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

// A record shaped like a movie: key "group + path" upper-cased, then the 151-byte record.
Record Movie(uint32_t i, char drive, const char* mode = "pl ") {
  std::string group = "GROUP " + std::to_string(i * 2654435761u % 400);
  std::string path = std::string(1, drive) + ":\\MOVIES\\CLIP" + std::to_string(i * 40503u % 1000000) + "_" + std::to_string(i) + ".AVI";
  std::string key = "\x01" + group + std::string(20 - group.size(), ' ') + path;
  std::string bytes = key + group + std::string(20 - group.size(), ' ') + path + std::string(128 - path.size(), ' ') + mode;
  return Record{bytes, static_cast<uint16_t>(key.size())};
}

void Report(benchmark::State& state, const FaultyFileIo& io, double commits) {
  state.counters["writes/commit"] = static_cast<double>(io.writes()) / commits;
  state.counters["flushes/commit"] = static_cast<double>(io.syncs()) / commits;
}

void BM_BatchCommit(benchmark::State& state) {
  const uint32_t n = static_cast<uint32_t>(state.range(0));
  fs::path dir = FreshDir("batch");
  std::string path = (dir / "B.TVX").string();
  PageStoreOptions options;
  options.sync = false;
  FaultyFileIo counter(FaultPlan{});
  double commits = 0;
  for (auto _ : state) {
    state.PauseTiming();
    std::unique_ptr<PageStore> store;
    if (!PageStore::Create(path, options, store).ok()) {
      state.SkipWithError("create");
      break;
    }
    store->set_io(&counter);
    BTree tree(*store);
    bool flag = false;
    bool filled = true;
    for (uint32_t i = 0; i < n; ++i) filled = tree.Insert(Movie(i, 'C'), flag).ok() && filled;
    state.ResumeTiming();
    bool ok = store->Commit().ok();
    state.PauseTiming();
    for (uint32_t i = 0; i < n; ++i) filled = tree.Replace(Movie(i, 'C', "xx "), flag).ok() && filled;  // same key, new bytes
    state.ResumeTiming();
    ok = ok && store->Commit().ok();
    state.PauseTiming();
    for (uint32_t i = 0; i < n; ++i) filled = tree.Erase(Movie(i, 'C').key(), flag).ok() && filled;
    state.ResumeTiming();
    ok = ok && store->Commit().ok();
    commits += 3;
    if (!ok || !filled) {
      state.SkipWithError(ok ? "tree update failed" : "commit failed");
      break;
    }
  }
  Report(state, counter, std::max(commits, 1.0));
  fs::remove_all(dir);
}

void BM_DurableCommit(benchmark::State& state) {
  fs::path dir = FreshDir("durable");
  std::unique_ptr<PageStore> store;
  if (!PageStore::Create((dir / "D.TVX").string(), PageStoreOptions{}, store).ok()) {
    state.SkipWithError("create");
    return;
  }
  FaultyFileIo counter(FaultPlan{});
  store->set_io(&counter);
  BTree tree(*store);
  uint32_t i = 0;
  for (auto _ : state) {
    bool flag = false;
    if (!tree.Insert(Movie(i++, 'D'), flag).ok() || !store->Commit().ok()) {
      state.SkipWithError("commit failed");
      break;
    }
  }
  Report(state, counter, static_cast<double>(std::max<benchmark::IterationCount>(state.iterations(), 1)));
  store.reset();
  fs::remove_all(dir);
}

void BM_JournalBegin(benchmark::State& state) {
  const uint64_t pages = static_cast<uint64_t>(state.range(0));
  fs::path dir = FreshDir("journal");
  std::string path = (dir / "J.TVX").string();
  const uint64_t page = 1024;
  {
    std::string bytes(512 + pages * page, 'x');
    for (size_t k = 0; k < bytes.size(); ++k) bytes[k] = static_cast<char>(k * 131 >> 7);
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0 || ::pwrite(fd, bytes.data(), bytes.size(), 0) != static_cast<ssize_t>(bytes.size())) {
      state.SkipWithError("write");
      return;
    }
    ::close(fd);
  }
  int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
  std::vector<JournalRegion> regions{{0, 512}};
  for (uint64_t p = 0; p < pages; ++p) regions.push_back({512 + p * page, page});
  FaultyFileIo counter(FaultPlan{});
  Journal journal(path, &counter, false);
  for (auto _ : state) {
    if (!journal.Begin(fd, 512 + pages * page, regions).ok() || !journal.Finish().ok()) {
      state.SkipWithError("journal");
      break;
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * pages * page));
  Report(state, counter, static_cast<double>(std::max<benchmark::IterationCount>(state.iterations(), 1)));
  ::close(fd);
  fs::remove_all(dir);
}

}  // namespace

BENCHMARK(BM_BatchCommit)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DurableCommit)->Unit(benchmark::kMicrosecond)->MinTime(1.0)->UseRealTime();
BENCHMARK(BM_JournalBegin)->Arg(16)->Arg(10000)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
