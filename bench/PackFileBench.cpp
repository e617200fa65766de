// Reading a large pack: every entry of a 200 MB pack of 10,000 files into
// memory, beside plain reads of the same bytes from the same source files, and
// look-up of entry names. The files and the pack are made in a temporary
// folder when the program starts and removed when it ends (a smoke run makes a
// tenth of them). Every read loop must have read every byte, every look-up
// must find its entry (or, for the missing name, none), every open must list
// every entry.
#include "bench/support/BenchSmoke.h"
#include "engine/core/AlignedMemory.h"
#include "engine/core/CkvrPackFile.h"
#include "engine/core/FileIo.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace
{
const int kFileCount = static_cast<int>(BenchSmoke::Count(10000, 1000));
const size_t kTotalBytes = BenchSmoke::Count(200u * 1024 * 1024, 20u * 1024 * 1024);
constexpr int kFolderCount = 16;

class PackFixture
{
public:
    PackFixture()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "kvr-pack-bench-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr)
            return;
        m_folder = pattern;
        m_previous = std::filesystem::current_path();
        std::filesystem::current_path(m_folder);

        // Sizes vary from half to one and a half of the mean, adding up to
        // the total exactly.
        const size_t mean = kTotalBytes / kFileCount;
        std::vector<char> bytes(mean * 2);
        for (size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = static_cast<char>(i * 2654435761u >> 24);
        size_t written = 0;
        for (int i = 0; i < kFileCount; ++i)
        {
            size_t size = mean / 2 + (static_cast<size_t>(i) * 7919) % mean;
            if (i == kFileCount - 1)
                size = kTotalBytes - written;
            char name[64];
            std::snprintf(name, sizeof(name), "Data\\Folder%02d\\File%05d.bin", i % kFolderCount, i);
            m_names.push_back(name);
            std::snprintf(name, sizeof(name), "Data/Folder%02d/File%05d.bin", i % kFolderCount, i);
            m_paths.push_back(name);
            std::filesystem::create_directories(std::filesystem::path(name).parent_path());
            FileHandle file = OpenFile(name, "wb");
            if (!file || !WriteBytes(file.get(), bytes.data() + (i % mean), size) || !CloseWrittenFile(std::move(file)))
                return;
            written += size;
        }

        std::vector<const char*> names;
        for (const std::string& name : m_names)
            names.push_back(name.c_str());
        m_ready = CkvrPackFile::Create(names.data(), kFileCount, "Data\\Bench.gpk") && m_pack.Open("Data\\Bench.gpk");
    }

    ~PackFixture()
    {
        m_pack.Release();
        if (m_folder.empty())
            return;
        std::error_code error;
        std::filesystem::current_path(m_previous, error);
        std::filesystem::remove_all(m_folder, error);
    }

    bool m_ready = false;
    std::filesystem::path m_folder;
    std::filesystem::path m_previous;
    std::vector<std::string> m_names;
    std::vector<std::string> m_paths;
    CkvrPackFile m_pack;
};

PackFixture& Fixture()
{
    static PackFixture fixture;
    return fixture;
}

bool Ready(benchmark::State& state)
{
    if (Fixture().m_ready)
        return true;
    state.SkipWithError("the benchmark pack could not be made");
    return false;
}

// The work of a read loop: every byte of the set, every iteration.
void ReportBytes(benchmark::State& state, size_t bytes)
{
    if (state.iterations() == 0 || bytes != kTotalBytes * static_cast<size_t>(state.iterations()))
    {
        const std::string why = std::to_string(bytes) + " bytes read in " + std::to_string(state.iterations()) +
                                " passes of " + std::to_string(kTotalBytes);
        state.SkipWithError(why.c_str());
        return;
    }
    state.SetBytesProcessed(static_cast<int64_t>(bytes));
}

// What the engine would do without packs: open each file, take its length,
// read it whole into an aligned block.
void BM_PlainReads(benchmark::State& state)
{
    if (!Ready(state))
        return;
    PackFixture& fixture = Fixture();
    size_t bytes = 0;
    for (auto _ : state)
    {
        for (const std::string& path : fixture.m_paths)
        {
            FileHandle file = OpenFile(path.c_str(), "rb");
            const size_t size = static_cast<size_t>(RewindAndMeasure(file.get()));
            void* block = AlignedAlloc(size, 16);
            if (ReadBytes(file.get(), block, size))
                bytes += size;
            benchmark::DoNotOptimize(block);
            AlignedFree(block);
        }
    }
    ReportBytes(state, bytes);
}
BENCHMARK(BM_PlainReads)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PackReads(benchmark::State& state)
{
    if (!Ready(state))
        return;
    PackFixture& fixture = Fixture();
    size_t bytes = 0;
    for (auto _ : state)
    {
        for (const std::string& name : fixture.m_names)
        {
            uint8_t* block = fixture.m_pack.LoadFile(name.c_str());
            if (block != nullptr)
                bytes += fixture.m_pack.FindEntry(name.c_str())->size;
            benchmark::DoNotOptimize(block);
            AlignedFree(block);
        }
    }
    ReportBytes(state, bytes);
}
BENCHMARK(BM_PackReads)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PackNameLookup(benchmark::State& state)
{
    if (!Ready(state))
        return;
    PackFixture& fixture = Fixture();
    size_t index = 0;
    size_t found = 0;
    for (auto _ : state)
    {
        const tag_KVRPACKENTRY* entry = fixture.m_pack.FindEntry(fixture.m_names[index].c_str());
        benchmark::DoNotOptimize(entry);
        found += entry != nullptr ? 1 : 0;
        index = (index + 7919) % fixture.m_names.size();
    }
    if (found != static_cast<size_t>(state.iterations()))
        state.SkipWithError("a name in the pack was not found");
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PackNameLookup);

void BM_PackNameLookupMiss(benchmark::State& state)
{
    if (!Ready(state))
        return;
    PackFixture& fixture = Fixture();
    // The name differs from an entry's only in its case, and pack names
    // are matched exactly.
    const char* missing = "data\\folder03\\file00003.bin";
    if (fixture.m_pack.FindEntry(missing) != nullptr)
    {
        state.SkipWithError("the missing name was found");
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(fixture.m_pack.FindEntry(missing));
}
BENCHMARK(BM_PackNameLookupMiss);

void BM_PackOpen(benchmark::State& state)
{
    if (!Ready(state))
        return;
    uint64_t entries = 0;
    for (auto _ : state)
    {
        CkvrPackFile pack;
        benchmark::DoNotOptimize(pack.Open("Data\\Bench.gpk"));
        entries += pack.GetCount();
    }
    if (entries != static_cast<uint64_t>(kFileCount) * static_cast<uint64_t>(state.iterations()))
        state.SkipWithError("the pack did not open whole");
}
BENCHMARK(BM_PackOpen)->Unit(benchmark::kMillisecond);
}
