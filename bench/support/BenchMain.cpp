// The entry of every benchmark program: Google Benchmark's own, except that
// a CSV report (on the console, or into --benchmark_out) is written once at
// the end, with a column for every counter that any benchmark of the
// program sets. The library's CSV reporter takes its columns from the first
// benchmark alone and stops the program at the first counter it has no
// column for.
//
// A smoke run (see BenchSmoke) reports every run in all three formats at
// once, the console's as it goes and the JSON and CSV reports after it, and
// ends the program with 1 when a benchmark stopped with an error or none
// ran.
#include "bench/support/BenchSmoke.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <iostream>
#include <sstream>
#include <string>
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

// The console report on the output stream; the JSON and CSV reports kept
// until the end so that each stays whole.
class SmokeReporter : public benchmark::BenchmarkReporter
{
public:
    SmokeReporter() : m_console(benchmark::ConsoleReporter::OO_None)
    {
        m_json.SetOutputStream(&m_jsonText);
        m_json.SetErrorStream(&m_unused);
        m_csv.SetOutputStream(&m_csvText);
        m_csv.SetErrorStream(&m_unused);
    }

    bool ReportContext(const Context& context) override
    {
        const bool console = m_console.ReportContext(context);
        const bool json = m_json.ReportContext(context);
        const bool csv = m_csv.ReportContext(context);
        return console && json && csv;
    }
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs)
            m_errors += run.error_occurred ? 1 : 0;
        m_console.ReportRuns(runs);
        m_json.ReportRuns(runs);
        m_csv.ReportRuns(runs);
    }
    void Finalize() override
    {
        m_console.Finalize();
        m_json.Finalize();
        m_csv.Finalize();
        GetOutputStream() << "\n--- JSON\n" << m_jsonText.str() << "\n--- CSV\n" << m_csvText.str() << std::flush;
    }

    int Errors() const { return m_errors; }

private:
    benchmark::ConsoleReporter m_console;
    benchmark::JSONReporter m_json;
    WholeCsvReporter m_csv;
    std::ostringstream m_jsonText;
    std::ostringstream m_csvText;
    std::ostringstream m_unused;
    int m_errors = 0;
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

// The smoke run's shortest minimum time goes first, so that one given on
// the command line still wins.
std::vector<char*> SmokeArguments(int argc, char** argv, std::string* minTime)
{
    std::ostringstream flag;
    flag << "--benchmark_min_time=" << BenchSmoke::kMinTime;
    *minTime = flag.str();
    std::vector<char*> arguments(argv, argv + argc);
    arguments.insert(arguments.begin() + 1, minTime->data());
    arguments.push_back(nullptr);
    return arguments;
}
}

int main(int argc, char** argv)
{
    const bool smoke = BenchSmoke::On();
    std::string minTime;
    std::vector<char*> smokeArguments;
    if (smoke)
    {
        smokeArguments = SmokeArguments(argc, argv, &minTime);
        argc = static_cast<int>(smokeArguments.size()) - 1;
        argv = smokeArguments.data();
    }
    // Read before Initialize takes the library's arguments out of argv.
    const bool csvDisplay = HasArgument(argc, argv, "--benchmark_format=csv", false);
    const bool csvFile = HasArgument(argc, argv, "--benchmark_out_format=csv", false) &&
                         HasArgument(argc, argv, "--benchmark_out=", true);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    WholeCsvReporter display;
    WholeCsvReporter file;
    if (!smoke)
    {
        benchmark::RunSpecifiedBenchmarks(csvDisplay ? &display : nullptr, csvFile ? &file : nullptr);
        benchmark::Shutdown();
        return 0;
    }
    SmokeReporter reporter;
    const size_t ran = benchmark::RunSpecifiedBenchmarks(&reporter, csvFile ? &file : nullptr);
    benchmark::Shutdown();
    if (ran == 0 || reporter.Errors() > 0)
    {
        std::cerr << "smoke run failed: " << ran << " benchmarks, " << reporter.Errors() << " stopped with an error\n";
        return 1;
    }
    return 0;
}
