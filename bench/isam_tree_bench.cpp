// The native data file's B-tree: inserts, point lookups and a full ordered scan, with the page
// cache at its default limit of 100 pages and at other limits for comparison.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>

#include "runtime/data/isam/btree.h"
#include "runtime/data/isam/byte_order.h"
#include "runtime/data/isam/page_store.h"

namespace {

using namespace cinevo::isam;

// A benchmark whose tree operations fail measures nothing: it stops with the reason.
void Must(const Status& st) {
  if (st.ok()) return;
  std::fprintf(stderr, "isam_tree_bench: %s\n", st.detail.c_str());
  std::abort();
}

std::string Key(uint32_t n) {
  std::string k = "\x00\x00\x00\x01\xF3";
  k.resize(5);
  k[4] = static_cast<char>(0xF3);
  AppendBe32(k, n);
  return k;
}

std::string Payload(uint32_t n) {
  std::string p = "C:\\MOVIES\\CLIP" + std::to_string(n) + ".AVI";
  p.resize(120, ' ');
  return p;
}

struct Fixture {
  explicit Fixture(size_t cache_limit) {
    path = (std::filesystem::temp_directory_path() / ("isam_bench_" + std::to_string(::getpid()) + ".TVX")).string();
    options.sync = false;
    options.cache_limit = cache_limit;
    options.cache_low = std::min<size_t>(20, cache_limit);
    Must(PageStore::Create(path, options, store));
    tree = std::make_unique<BTree>(*store);
  }
  ~Fixture() {
    tree.reset();
    store.reset();
    std::filesystem::remove(path);
  }
  void Fill(uint32_t count) {
    bool existed = false;
    for (uint32_t i = 0; i < count; ++i) {
      uint32_t n = (i * 2654435761u) % 1000003u;
      Record r;
      r.bytes = Key(n) + Payload(n);
      r.key_length = 9;
      Must(tree->Insert(r, existed));
      if (i % 64 == 63) Must(store->Commit());
    }
    Must(store->Commit());
  }
  std::string path;
  PageStoreOptions options;
  std::unique_ptr<PageStore> store;
  std::unique_ptr<BTree> tree;
};

void BM_Insert(benchmark::State& state) {
  for (auto _ : state) {
    Fixture f(static_cast<size_t>(state.range(0)));
    f.Fill(static_cast<uint32_t>(state.range(1)));
    benchmark::DoNotOptimize(f.store->header().root);
  }
  state.SetItemsProcessed(state.iterations() * state.range(1));
}
BENCHMARK(BM_Insert)->Args({100, 20000})->Args({20, 20000})->Args({1000, 20000})->Unit(benchmark::kMillisecond);

void BM_RandomLookup(benchmark::State& state) {
  Fixture f(static_cast<size_t>(state.range(0)));
  const uint32_t count = 20000;
  f.Fill(count);
  std::mt19937 rng(1);
  Record r;
  bool found = false;
  for (auto _ : state) {
    uint32_t i = rng() % count;
    Must(f.tree->Find(Key((i * 2654435761u) % 1000003u), r, found));
    benchmark::DoNotOptimize(found);
  }
  state.counters["cache_loads"] = static_cast<double>(f.store->cache().loads());
}
BENCHMARK(BM_RandomLookup)->Arg(100)->Arg(20)->Arg(1000);

void BM_OrderedScan(benchmark::State& state) {
  Fixture f(100);
  f.Fill(20000);
  for (auto _ : state) {
    Record r;
    bool found = false;
    std::string key;
    Must(f.tree->AtOrAfter(key, r, found));
    size_t n = 0;
    while (found) {
      ++n;
      key.assign(r.key());
      Must(f.tree->After(key, r, found));
    }
    benchmark::DoNotOptimize(n);
  }
  state.SetItemsProcessed(state.iterations() * 20000);
}
BENCHMARK(BM_OrderedScan)->Unit(benchmark::kMillisecond);

}  // namespace

// Reading a page from its bytes: a leaf of 18 data records shaped like the movies file (mostly
// blanks, so the page is stored compressed), and encoding it again.
Page MoviesLeaf() {
  Page page;
  page.address = 7;
  for (uint32_t n = 0; n < 18; ++n) {
    std::string key = Key(1000 + n);
    std::string group = "Group " + std::to_string(n % 5);
    group.resize(20, ' ');
    std::string record = key + group + Payload(n) + std::string(8, ' ') + "pl ";
    page.Append(Record{record, static_cast<uint16_t>(key.size())});
  }
  return page;
}

void BM_DecodePage(benchmark::State& state) {
  std::string raw;
  if (!EncodePage(MoviesLeaf(), raw).ok()) state.SkipWithError("encode failed");
  for (auto _ : state) {
    Page page;
    benchmark::DoNotOptimize(DecodePage(raw, 7, page));
    benchmark::DoNotOptimize(page.size());
  }
  state.counters["page_bytes"] = static_cast<double>(raw.size());
}
BENCHMARK(BM_DecodePage);

void BM_EncodePage(benchmark::State& state) {
  Page page = MoviesLeaf();
  std::string raw;
  for (auto _ : state) {
    benchmark::DoNotOptimize(EncodePage(page, raw));
  }
}
BENCHMARK(BM_EncodePage);

BENCHMARK_MAIN();
