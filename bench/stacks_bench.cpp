// Throughput of the evaluation stacks: the string-stack operations an expression such as
// CLIP(a) & ' ' & b performs, short texts that must stay inline, comparisons, and the decimal
// stack's push / add / round / store cycle of packed decimal fields.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

#include "runtime/core/decimal_stack.h"
#include "runtime/core/string_stack.h"

namespace cinevo {
namespace {

void BM_StringPushMaterializePop(benchmark::State& state) {
  StringStack& ss = TheStringStack();
  ss.Reset();
  std::string var(static_cast<size_t>(state.range(0)), 'x');
  char dest[64];
  for (auto _ : state) {
    ss.PushBorrowed(var.data(), static_cast<int32_t>(var.size()));
    ss.Materialize();
    ss.PopToString(dest, sizeof dest);
    benchmark::DoNotOptimize(dest);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_StringPushMaterializePop)->Arg(8)->Arg(20)->Arg(40);

void BM_StringClipConcat(benchmark::State& state) {
  StringStack& ss = TheStringStack();
  ss.Reset();
  char first[30] = "Cinevo                       ";
  char second[] = "favourites";
  char dest[64];
  for (auto _ : state) {
    ss.PushBorrowed(first, 30);
    ss.Clip();
    ss.PushBorrowed(" ", 1);
    ss.Concat();
    ss.PushBorrowed(second, 10);
    ss.Concat();
    ss.PopToString(dest, sizeof dest);
    benchmark::DoNotOptimize(dest);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_StringClipConcat);

void BM_StringCompare(benchmark::State& state) {
  StringStack& ss = TheStringStack();
  ss.Reset();
  std::string a = "C:\\MOVIES\\HOLIDAY\\BEACH.AVI" + std::string(30, ' ');
  std::string b = "C:\\MOVIES\\HOLIDAY\\BEACH.AVI";
  for (auto _ : state) {
    ss.PushBorrowed(a.data(), static_cast<int32_t>(a.size()));
    ss.PushBorrowed(b.data(), static_cast<int32_t>(b.size()));
    benchmark::DoNotOptimize(ss.Compare());
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_StringCompare);

void BM_StringPushLong(benchmark::State& state) {
  StringStack& ss = TheStringStack();
  ss.Reset();
  int32_t v = 0;
  for (auto _ : state) {
    ss.PushLong(v++ * 7919);
    benchmark::DoNotOptimize(ss.PopLen());
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_StringPushLong);

void BM_DecimalFieldAddRoundStore(benchmark::State& state) {
  DecimalStack& ds = TheDecimalStack();
  ds.Reset();
  uint8_t price[6];  // DECIMAL(11,2)
  uint8_t total[6];
  ds.PushText("1234.56");
  ds.PopDecimal(price, sizeof price, 2);
  ds.PushLong(0);
  ds.PopDecimal(total, sizeof total, 2);
  for (auto _ : state) {
    ds.PushDecimal(total, sizeof total, 2);
    ds.PushDecimal(price, sizeof price, 2);
    ds.Add();
    ds.Round(2);
    ds.PopDecimal(total, sizeof total, 2);
    benchmark::DoNotOptimize(total);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DecimalFieldAddRoundStore);

void BM_DecimalTextCompare(benchmark::State& state) {
  DecimalStack& ds = TheDecimalStack();
  ds.Reset();
  for (auto _ : state) {
    ds.PushText("-12345.678");
    ds.PushText("-12345.679");
    benchmark::DoNotOptimize(ds.Compare());
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DecimalTextCompare);

void BM_DecimalMultiply(benchmark::State& state) {
  DecimalStack& ds = TheDecimalStack();
  ds.Reset();
  for (auto _ : state) {
    ds.PushText("1234.5678");
    ds.PushText("0.0825");
    ds.Multiply();
    ds.Round(2);
    benchmark::DoNotOptimize(ds.PopLong());
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DecimalMultiply);

}  // namespace
}  // namespace cinevo

BENCHMARK_MAIN();
