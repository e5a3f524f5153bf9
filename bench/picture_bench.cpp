// Formatting throughput of date, time and numeric pictures, beside the C library doing the
// nearest equivalent work in the same run (strftime for dates and times, snprintf for numbers).
// The pictures are compiled once, as a field does; the loop formats a changing value.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <ctime>

#include "runtime/core/picture.h"
#include "runtime/core/std_date.h"

namespace cinevo {
namespace {

constexpr int32_t kFirstDay = 72000;  // a day in 1998

// Date: standard day number -> "mm/dd/yyyy".
void BM_DatePicture(benchmark::State& state) {
  const CompiledPicture pic = CompilePicture("@D02");
  char out[16];
  int32_t day = kFirstDay;
  for (auto _ : state) {
    benchmark::DoNotOptimize(FormatLong(pic, day, out));
    benchmark::ClobberMemory();
    day = day < kFirstDay + 20000 ? day + 1 : kFirstDay;
  }
}
BENCHMARK(BM_DatePicture);

// The C library from a day count: gmtime_r splits it, strftime lays it out.
void BM_DateGmtimeStrftime(benchmark::State& state) {
  char out[16];
  time_t t = 883612800;  // 1998-01-01
  for (auto _ : state) {
    struct tm parts;
    gmtime_r(&t, &parts);
    benchmark::DoNotOptimize(strftime(out, sizeof out, "%m/%d/%Y", &parts));
    benchmark::ClobberMemory();
    t += 86400;
  }
}
BENCHMARK(BM_DateGmtimeStrftime);

// strftime alone, from parts already split (less work than the picture does).
void BM_DateStrftimeOnly(benchmark::State& state) {
  char out[16];
  struct tm parts = {};
  parts.tm_year = 98;
  parts.tm_mon = 0;
  parts.tm_mday = 1;
  for (auto _ : state) {
    benchmark::DoNotOptimize(strftime(out, sizeof out, "%m/%d/%Y", &parts));
    benchmark::ClobberMemory();
    parts.tm_mday = parts.tm_mday % 28 + 1;
  }
}
BENCHMARK(BM_DateStrftimeOnly);

// Time: standard time -> "hh:mm:ss".
void BM_TimePicture(benchmark::State& state) {
  const CompiledPicture pic = CompilePicture("@T04");
  char out[16];
  int32_t t = 1;
  for (auto _ : state) {
    benchmark::DoNotOptimize(FormatLong(pic, t, out));
    benchmark::ClobberMemory();
    t = t < kMaxStdTime - 101 ? t + 101 : 1;
  }
}
BENCHMARK(BM_TimePicture);

void BM_TimeStrftime(benchmark::State& state) {
  char out[16];
  struct tm parts = {};
  int s = 0;
  for (auto _ : state) {
    parts.tm_hour = s / 3600;
    parts.tm_min = s / 60 % 60;
    parts.tm_sec = s % 60;
    benchmark::DoNotOptimize(strftime(out, sizeof out, "%H:%M:%S", &parts));
    benchmark::ClobberMemory();
    s = s < 86399 ? s + 1 : 0;
  }
}
BENCHMARK(BM_TimeStrftime);

// Number: -1234.57 style values with two places in a 12-character field.
void BM_NumericPictureFromDecimal(benchmark::State& state) {
  const CompiledPicture pic = CompilePicture("@N-12.2");
  DecimalAccumulator values[64];
  for (int i = 0; i < 64; ++i) values[i] = DecimalFromReal((i - 32) * 1234.567);
  char out[16];
  int i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(FormatDecimal(pic, values[i], out));
    benchmark::ClobberMemory();
    i = (i + 1) & 63;
  }
}
BENCHMARK(BM_NumericPictureFromDecimal);

void BM_NumericPictureFromLong(benchmark::State& state) {
  const CompiledPicture pic = CompilePicture("@N-12.2");
  char out[16];
  int64_t v = -50000;
  for (auto _ : state) {
    benchmark::DoNotOptimize(FormatLong(pic, v, out));
    benchmark::ClobberMemory();
    v = v < 50000 ? v + 7 : -50000;
  }
}
BENCHMARK(BM_NumericPictureFromLong);

void BM_NumericSnprintf(benchmark::State& state) {
  char out[32];
  double values[64];
  for (int i = 0; i < 64; ++i) values[i] = (i - 32) * 1234.567;
  int i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(std::snprintf(out, sizeof out, "%12.2f", values[i]));
    benchmark::ClobberMemory();
    i = (i + 1) & 63;
  }
}
BENCHMARK(BM_NumericSnprintf);

void BM_NumericSnprintfLong(benchmark::State& state) {
  char out[32];
  long v = -50000;
  for (auto _ : state) {
    benchmark::DoNotOptimize(std::snprintf(out, sizeof out, "%9ld.00", v));
    benchmark::ClobberMemory();
    v = v < 50000 ? v + 7 : -50000;
  }
}
BENCHMARK(BM_NumericSnprintfLong);

// Compiling, for scale (done once per field).
void BM_CompileNumericPicture(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(CompilePicture("@N$-14`.2B").header);
}
BENCHMARK(BM_CompileNumericPicture);

}  // namespace
}  // namespace cinevo

BENCHMARK_MAIN();
