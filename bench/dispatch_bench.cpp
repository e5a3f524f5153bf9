// Overhead of the common dispatch around a driver operation that does nothing: the pre-check,
// the state-word update and the post-actions, per call.
#include <benchmark/benchmark.h>

#include "runtime/data/dispatch.h"
#include "runtime/data/driver.h"
#include "runtime/data/file_statements.h"

namespace cinevo {
namespace {

class NoopState : public DriverWorkingState {};

int NoopEntry(DriverOp, FileControlBlock&, DriverArgs&) { return 0; }
std::unique_ptr<DriverWorkingState> NoopCreate(FileControlBlock&) {
  return std::make_unique<NoopState>();
}

const DriverRegistration kNoop{{}, {}, "NOOPBENCH", "", "", &NoopEntry, &NoopCreate};

struct OpenFile {
  OpenFile() {
    decl.label = "BENCH";
    decl.fields = {MakeField("B:A", TypeCode::kLong, 0, 4)};
    decl.keys = {MakeKey("B:K", kKeyPrimary, {1})};
    Open(fcb);
    Set(fcb);
    Next(fcb);
  }
  FileDeclaration decl;
  FileControlBlock fcb{decl, &kNoop};
};

// FLUSH: refreshes the runtime's error status after the call.
void BM_DispatchRefreshing(benchmark::State& state) {
  OpenFile f;
  DriverArgs args;
  for (auto _ : state) benchmark::DoNotOptimize(Dispatch(DriverOp::kFlush, f.fcb, args));
}
BENCHMARK(BM_DispatchRefreshing);

// EOF: no post-actions at all.
void BM_DispatchPlain(benchmark::State& state) {
  OpenFile f;
  DriverArgs args;
  for (auto _ : state) benchmark::DoNotOptimize(Dispatch(DriverOp::kEof, f.fcb, args));
}
BENCHMARK(BM_DispatchPlain);

// NEXT on a key-ordered file: positioning post-action and the key-independent state update.
void BM_DispatchNext(benchmark::State& state) {
  OpenFile f;
  DriverArgs args;
  for (auto _ : state) benchmark::DoNotOptimize(Dispatch(DriverOp::kNext, f.fcb, args));
}
BENCHMARK(BM_DispatchNext);

// A call refused by the pre-check (PUT on a file without a current record): posts 33.
void BM_DispatchRefused(benchmark::State& state) {
  OpenFile f;
  Delete(f.fcb);
  DriverArgs args;
  for (auto _ : state) benchmark::DoNotOptimize(Dispatch(DriverOp::kPut, f.fcb, args));
}
BENCHMARK(BM_DispatchRefused);

// The C++ statement form, which builds a fresh argument list per call.
void BM_StatementFlush(benchmark::State& state) {
  OpenFile f;
  for (auto _ : state) benchmark::DoNotOptimize(Flush(f.fcb));
}
BENCHMARK(BM_StatementFlush);

}  // namespace
}  // namespace cinevo

BENCHMARK_MAIN();
