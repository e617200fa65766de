// The entry of every benchmark program: Google Benchmark's own, except that
// a CSV report (on the console, or into --benchmark_out) is written once at
// the end, with a column for every counter that any benchmark of the
// program sets. The library's CSV reporter takes its columns from the first
// benchmark alone and stops the program at the first counter it has no
// column for.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

namespace
{
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
class WholeCsvReporter : public benchmark::CSVReporter
{
public:
    void ReportRuns(const std::vector<Run>& runs) override { m_runs.insert(m_runs.end(), runs.begin(), runs.end()); }
    void Finalize() override
    {
        if (!m_runs.empty())
            CSVReporter::ReportRuns(m_runs);
        m_runs.clear();
        CSVReporter::Finalize();
    }

private:
    std::vector<Run> m_runs;
};
#pragma GCC diagnostic pop

bool HasArgument(int argc, char** argv, const char* argument, bool prefix)
{
    const size_t length = std::strlen(argument);
    for (int i = 1; i < argc; ++i)
    {
        if (prefix ? std::strncmp(argv[i], argument, length) == 0 : std::strcmp(argv[i], argument) == 0)
            return true;
    }
    return false;
}
}

int main(int argc, char** argv)
{
    // Read before Initialize takes the library's arguments out of argv.
    const bool csvDisplay = HasArgument(argc, argv, "--benchmark_format=csv", false);
    const bool csvFile = HasArgument(argc, argv, "--benchmark_out_format=csv", false) &&
                         HasArgument(argc, argv, "--benchmark_out=", true);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    WholeCsvReporter display;
    WholeCsvReporter file;
    benchmark::RunSpecifiedBenchmarks(csvDisplay ? &display : nullptr, csvFile ? &file : nullptr);
    benchmark::Shutdown();
    return 0;
}
