// Loading the data kit's packed set: the whole set with its contents
// through the game's resource controller (decoding and uploading textures,
// sounds and shaders, models, effects and the game data), the same pack
// entries read the way the controller's loaders read them, and the same
// bytes read plainly file by file. The set is made in a temporary folder
// when the program starts (a smoke run reads the one the build wrote), on a
// headless graphics object and OpenAL's loopback device. Each load must
// bring every pack entry into its list and every read must read every byte.
#include "bench/support/BenchSmoke.h"
#include "engine/core/AlignedMemory.h"
#include "engine/core/FileIo.h"
#include "engine/render/RenderClasses.h"
#include "engine/core/CkvrPackFile.h"
#include "engine/platform/CGraphics.h"
#include "engine/platform/sound/CSound.h"
#include "engine/platform/CSystem.h"
#include "tests/support/HeadlessWindow.h"
#include "engine/core/CResourceList.h"
#include "game/app/CQorResourceController.h"
#include "tools/datakit/DataKit.h"
#include "tools/datakit/GameDataKit.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace
{
const char* const kPacks[] = {"Data/Texture.gpk", "Data/Shader.gpk", "Data/Mesh.gpk", "Data/Sound.gpk"};

LResult IgnoreMessages(WindowHandle, uint32_t, WParam, LParam)
{
    return 0;
}

class DataSetFixture
{
public:
    DataSetFixture()
    {
        // A smoke run reads the set the build wrote instead of making one.
        const bool make = !BenchSmoke::On();
        std::filesystem::path folder = KVR_DATA_DIR;
        if (make)
        {
            std::string pattern = (std::filesystem::temp_directory_path() / "kvr-resource-bench-XXXXXX").string();
            if (mkdtemp(pattern.data()) == nullptr)
                return;
            m_folder = folder = pattern;
        }
        m_previous = std::filesystem::current_path();
        std::error_code moved;
        std::filesystem::current_path(folder, moved);
        if (moved)
        {
            std::fprintf(stderr, "no data set in %s\n", folder.c_str());
            return;
        }
        m_window = std::make_unique<HeadlessWindow>(&IgnoreMessages);
        m_system.AttachWindow(m_window.get());
        m_system.SetClientSize(64, 64, 0);
        std::string error;
        RenderClasses::Install();
        m_ready = m_graphics.Create(&m_system) && m_sound.CreateLoopback() &&
                  (!make || DataKit::MakeDataSet("", &error));
        if (!m_ready)
            std::fprintf(stderr, "no data set: %s\n", error.c_str());
        for (const char* pack : kPacks)
            m_bytes += static_cast<int64_t>(std::filesystem::file_size(pack));
    }
    ~DataSetFixture()
    {
        m_sound.Release();
        m_graphics.Destroy();
        m_system.Release();
        std::error_code error;
        if (!m_previous.empty())
            std::filesystem::current_path(m_previous, error);
        if (!m_folder.empty())
            std::filesystem::remove_all(m_folder, error);
    }

    bool Ready() const { return m_ready; }
    int64_t Bytes() const { return m_bytes; }

private:
    std::filesystem::path m_folder;
    std::filesystem::path m_previous;
    std::unique_ptr<HeadlessWindow> m_window;
    CSystem m_system;
    CGraphics m_graphics;
    CSound m_sound;
    bool m_ready = false;
    int64_t m_bytes = 0;
};

DataSetFixture& Fixture()
{
    static DataSetFixture fixture;
    return fixture;
}

uint32_t EntryCount(const char* path)
{
    CkvrPackFile pack;
    return pack.Open(path) ? pack.GetCount() : 0;
}

// The work of a load: every entry of the four packs became a resource of
// its list, and the game data came with them.
bool LoadedWhole(benchmark::State& state, CQorResourceController& controller)
{
    const uint32_t lists[4] = {controller.GetTextureList().GetCount(), controller.GetShaderList().GetCount(),
                               controller.GetMeshList().GetCount(), controller.GetSoundList().GetCount()};
    for (size_t i = 0; i < 4; ++i)
    {
        if (lists[i] != EntryCount(kPacks[i]))
        {
            const std::string why = std::string(kPacks[i]) + ": " + std::to_string(lists[i]) + " of " +
                                    std::to_string(EntryCount(kPacks[i])) + " entries loaded";
            state.SkipWithError(why.c_str());
            return false;
        }
    }
    const auto* characters = static_cast<CResourceList<CResourceBase*>*>(
        controller.GetList(CQorResourceController::LIST_CHARACTERS));
    if (characters == nullptr || characters->GetCount() != GameDataKit::kCharacters)
    {
        state.SkipWithError("the game data did not load");
        return false;
    }
    return true;
}

// The game's own controller, with its model and effect loaders.
void LoadPackedSetWithContents(benchmark::State& state)
{
    if (!Fixture().Ready())
    {
        state.SkipWithError("no data set");
        return;
    }
    for (auto _ : state)
    {
        CQorResourceController controller;
        if (!controller.Load("GameResource.grc", 1))
        {
            state.SkipWithError(controller.GetLastError().c_str());
            break;
        }
        benchmark::DoNotOptimize(controller.GetTextureList().GetCount());
        state.PauseTiming();
        const bool whole = LoadedWhole(state, controller);
        controller.Release();
        state.ResumeTiming();
        if (!whole)
            break;
    }
    state.SetBytesProcessed(state.iterations() * Fixture().Bytes());
}

// The reading the loaders do: each pack's directory once, then every entry
// into a fresh aligned block.
void ReadPackEntries(benchmark::State& state)
{
    if (!Fixture().Ready())
    {
        state.SkipWithError("no data set");
        return;
    }
    int64_t entryBytes = 0;
    int64_t read = 0;
    for (auto _ : state)
    {
        for (const char* path : kPacks)
        {
            CkvrPackFile pack;
            if (!pack.Open(path))
                state.SkipWithError("pack");
            for (uint32_t i = 0; i < pack.GetCount(); ++i)
            {
                uint8_t* data = pack.LoadFile(pack.GetEntry(i)->name);
                benchmark::DoNotOptimize(data);
                entryBytes += pack.GetEntry(i)->size;
                read += data != nullptr ? pack.GetEntry(i)->size : 0;
                AlignedFree(data);
            }
        }
    }
    if (read != entryBytes || entryBytes == 0)
        state.SkipWithError("an entry could not be read");
    state.SetBytesProcessed(state.iterations() * Fixture().Bytes());
}

// The same bytes read plainly: every pack file whole into memory.
void ReadPlain(benchmark::State& state)
{
    if (!Fixture().Ready())
    {
        state.SkipWithError("no data set");
        return;
    }
    std::vector<uint8_t> buffer;
    int64_t read = 0;
    for (auto _ : state)
    {
        for (const char* path : kPacks)
        {
            FileHandle handle = OpenFile(path, "rb");
            FILE* file = handle.get();
            if (file == nullptr)
            {
                state.SkipWithError("file");
                break;
            }
            buffer.resize(static_cast<size_t>(std::filesystem::file_size(path)));
            const size_t got = std::fread(buffer.data(), 1, buffer.size(), file);
            benchmark::DoNotOptimize(got);
            read += static_cast<int64_t>(got);
        }
    }
    if (read != state.iterations() * Fixture().Bytes())
        state.SkipWithError("a pack file could not be read whole");
    state.SetBytesProcessed(state.iterations() * Fixture().Bytes());
}
}

BENCHMARK(LoadPackedSetWithContents)->Unit(benchmark::kMillisecond);
BENCHMARK(ReadPackEntries)->Unit(benchmark::kMillisecond);
BENCHMARK(ReadPlain)->Unit(benchmark::kMillisecond);
