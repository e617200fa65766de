#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>

// A smoke run (KVR_BENCH_SMOKE set to anything but 0, as the test command
// sets it) proves that every benchmark starts, checks its picture or its
// work and reports its figures, as cheaply as it can: one iteration where a
// benchmark asks for several or for a minimum time, smaller preparations
// where a benchmark says which. Its figures mean nothing. Without it every
// benchmark runs as long as it asks.
class BenchSmoke
{
public:
    static bool On();
    // The minimum time a benchmark asks for, or the shortest in a smoke run.
    static double MinTime(double seconds);
    // The iterations a benchmark asks for, or one in a smoke run.
    static benchmark::IterationCount Iterations(benchmark::IterationCount count);
    // The size of a preparation (frames played before timing, frames of a
    // recorded battle), or the smaller size a smoke run uses.
    static uint32_t Count(uint32_t full, uint32_t smoke);

    // The minimum time of every benchmark that asks for none in a smoke run.
    static constexpr double kMinTime = 0.000001;
};
