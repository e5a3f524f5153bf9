// A sorted queue of 1,000,000 entries beside std::multimap and a sorted std::vector doing the same
// work: records of a LONG key and a LONG payload, inserted by key (equal keys after the last equal
// one) and looked up by key (the first equal one, copied out).
//
//   *_InsertInOrder   1,000,000 inserts with ascending keys (the usual way a list is filled)
//   *_InsertShuffled  1,000,000 records in random order: the queue and the vector take them unsorted
//                     and sort once (QueueSort / std::stable_sort); the multimap inserts each
//   *_Lookup          1,000,000 lookups of random existing keys in a 1,000,000-entry structure
//
// Each side's result is checked outside the timed part (the queue's size after filling, the sum of
// the records found), so a side that silently skipped work would be reported as an error.
#include <algorithm>
#include <cstdint>
#include <map>
#include <random>
#include <vector>

#include <benchmark/benchmark.h>

#include "runtime/core/queue.h"

namespace {

constexpr int kEntries = 1000000;

struct Rec {
  int32_t key;
  int32_t payload;
};

bool operator<(const Rec& a, const Rec& b) { return a.key < b.key; }

const cinevo::QueueKey kKey{0, 4, cinevo::TypeCode::kLong, false};

std::vector<int32_t> AscendingKeys() {
  std::vector<int32_t> keys(kEntries);
  for (int i = 0; i < kEntries; ++i) keys[i] = i / 2;  // pairs of equal keys
  return keys;
}

std::vector<int32_t> Shuffled(std::vector<int32_t> keys, uint32_t seed) {
  std::shuffle(keys.begin(), keys.end(), std::mt19937(seed));
  return keys;
}

const std::vector<int32_t>& InsertKeys() {
  static const std::vector<int32_t> keys = AscendingKeys();
  return keys;
}
const std::vector<int32_t>& ShuffledKeys() {
  static const std::vector<int32_t> keys = Shuffled(AscendingKeys(), 1);
  return keys;
}
const std::vector<int32_t>& LookupKeys() {
  static const std::vector<int32_t> keys = Shuffled(AscendingKeys(), 2);
  return keys;
}

// Every lookup finds the first of the two records with its key, whose payload is twice the key;
// each side checks its sum against this, so that no side can skip work unnoticed.
int64_t ExpectedLookupSum() {
  int64_t sum = 0;
  for (int32_t k : LookupKeys()) sum += 2 * int64_t{k};
  return sum;
}

void Check(benchmark::State& state, int64_t sum) {
  if (sum != ExpectedLookupSum()) state.SkipWithError("a lookup found the wrong record");
}

// The queue must hold every record it was given (a failed add posts an error and stores nothing).
void CheckFilled(benchmark::State& state, cinevo::Queue& q) {
  if (cinevo::QueueRecords(&q) != kEntries) state.SkipWithError("the queue lost records");
}

void FillQueue(cinevo::Queue& q, Rec& buffer, const std::vector<int32_t>& keys) {
  cinevo::QueueSort(&q, {kKey});
  for (int i = 0; i < kEntries; ++i) {
    buffer = Rec{keys[i], i};
    cinevo::QueueAdd(&q);
  }
}

void BM_Queue_InsertInOrder(benchmark::State& state) {
  for (auto _ : state) {
    Rec buffer{};
    cinevo::Queue q(&buffer, sizeof buffer);
    FillQueue(q, buffer, InsertKeys());
    state.PauseTiming();
    CheckFilled(state, q);
    cinevo::QueueFree(&q);
    state.ResumeTiming();
  }
}

void BM_Multimap_InsertInOrder(benchmark::State& state) {
  for (auto _ : state) {
    std::multimap<int32_t, Rec> m;
    const auto& keys = InsertKeys();
    for (int i = 0; i < kEntries; ++i) m.emplace(keys[i], Rec{keys[i], i});
    benchmark::DoNotOptimize(m.size());
    state.PauseTiming();
    m.clear();
    state.ResumeTiming();
  }
}

void BM_Vector_InsertInOrder(benchmark::State& state) {
  for (auto _ : state) {
    std::vector<Rec> v;
    const auto& keys = InsertKeys();
    for (int i = 0; i < kEntries; ++i) {
      Rec r{keys[i], i};
      v.insert(std::upper_bound(v.begin(), v.end(), r), r);
    }
    benchmark::DoNotOptimize(v.size());
  }
}

void BM_Queue_InsertShuffled(benchmark::State& state) {
  for (auto _ : state) {
    Rec buffer{};
    cinevo::Queue q(&buffer, sizeof buffer);
    const auto& keys = ShuffledKeys();
    for (int i = 0; i < kEntries; ++i) {
      buffer = Rec{keys[i], i};
      cinevo::QueueAdd(&q);
    }
    cinevo::QueueSort(&q, {kKey});
    state.PauseTiming();
    CheckFilled(state, q);
    cinevo::QueueFree(&q);
    state.ResumeTiming();
  }
}

void BM_Multimap_InsertShuffled(benchmark::State& state) {
  for (auto _ : state) {
    std::multimap<int32_t, Rec> m;
    const auto& keys = ShuffledKeys();
    for (int i = 0; i < kEntries; ++i) m.emplace(keys[i], Rec{keys[i], i});
    benchmark::DoNotOptimize(m.size());
    state.PauseTiming();
    m.clear();
    state.ResumeTiming();
  }
}

void BM_Vector_InsertShuffled(benchmark::State& state) {
  for (auto _ : state) {
    std::vector<Rec> v;
    const auto& keys = ShuffledKeys();
    for (int i = 0; i < kEntries; ++i) v.push_back(Rec{keys[i], i});
    std::stable_sort(v.begin(), v.end());
    benchmark::DoNotOptimize(v.size());
  }
}

void BM_Queue_Lookup(benchmark::State& state) {
  Rec buffer{};
  cinevo::Queue q(&buffer, sizeof buffer);
  FillQueue(q, buffer, InsertKeys());
  const auto& keys = LookupKeys();
  for (auto _ : state) {
    int64_t sum = 0;
    for (int i = 0; i < kEntries; ++i) {
      buffer.key = keys[i];
      cinevo::QueueGetByKey(&q);
      sum += buffer.payload;
    }
    benchmark::DoNotOptimize(sum);
    state.PauseTiming();
    Check(state, sum);
    state.ResumeTiming();
  }
}

void BM_Multimap_Lookup(benchmark::State& state) {
  std::multimap<int32_t, Rec> m;
  const auto& in = InsertKeys();
  for (int i = 0; i < kEntries; ++i) m.emplace(in[i], Rec{in[i], i});
  const auto& keys = LookupKeys();
  for (auto _ : state) {
    int64_t sum = 0;
    Rec buffer{};
    for (int i = 0; i < kEntries; ++i) {
      auto it = m.lower_bound(keys[i]);
      if (it != m.end() && it->first == keys[i]) buffer = it->second;
      sum += buffer.payload;
    }
    benchmark::DoNotOptimize(sum);
    state.PauseTiming();
    Check(state, sum);
    state.ResumeTiming();
  }
}

void BM_Vector_Lookup(benchmark::State& state) {
  std::vector<Rec> v;
  const auto& in = InsertKeys();
  for (int i = 0; i < kEntries; ++i) v.push_back(Rec{in[i], i});
  const auto& keys = LookupKeys();
  for (auto _ : state) {
    int64_t sum = 0;
    Rec buffer{};
    for (int i = 0; i < kEntries; ++i) {
      Rec probe{keys[i], 0};
      auto it = std::lower_bound(v.begin(), v.end(), probe);
      if (it != v.end() && it->key == keys[i]) buffer = *it;
      sum += buffer.payload;
    }
    benchmark::DoNotOptimize(sum);
    state.PauseTiming();
    Check(state, sum);
    state.ResumeTiming();
  }
}

BENCHMARK(BM_Queue_InsertInOrder)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Multimap_InsertInOrder)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Vector_InsertInOrder)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Queue_InsertShuffled)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Multimap_InsertShuffled)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Vector_InsertShuffled)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Queue_Lookup)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Multimap_Lookup)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Vector_Lookup)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
