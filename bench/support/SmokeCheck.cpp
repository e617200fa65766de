// The smoke run itself, checked by the test command: a benchmark that asks
// for a long minimum time must report at once in all three formats, and
// one whose check fails must end the program with an error.
#include "bench/support/BenchSmoke.h"

#include <benchmark/benchmark.h>

namespace
{
void Counts(benchmark::State& state)
{
    int64_t count = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(++count);
    state.counters["counted"] = static_cast<double>(count);
}
// Far longer than the test allows: only a smoke run ends in time.
BENCHMARK(Counts)->MinTime(BenchSmoke::MinTime(600.0));

void CheckFails(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::ClobberMemory();
    state.SkipWithError("the work did not check out");
}
BENCHMARK(CheckFails);
}
