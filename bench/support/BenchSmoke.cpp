#include "bench/support/BenchSmoke.h"

#include <cstdlib>
#include <cstring>

// Read on every call: benchmarks ask while they are registered, before main.
bool BenchSmoke::On()
{
    const char* value = std::getenv("KVR_BENCH_SMOKE");
    return value != nullptr && value[0] != '\0' && std::strcmp(value, "0") != 0;
}

double BenchSmoke::MinTime(double seconds)
{
    return On() ? kMinTime : seconds;
}

benchmark::IterationCount BenchSmoke::Iterations(benchmark::IterationCount count)
{
    return On() ? 1 : count;
}

uint32_t BenchSmoke::Count(uint32_t full, uint32_t smoke)
{
    return On() ? smoke : full;
}
