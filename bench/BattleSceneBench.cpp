// The battle scene on the stand-in arena: one battle frame (update only,
// headless) with 8 fighters, 10 NPCs and the bullet pool kept full; a
// replay played back without pacing or drawing; and one drawn frame at
// 1280 x 720 on the software renderer, with the share of its time spent
// outside the GL driver. Goals: at most 0.25 ms for the update (about 66x
// real time at 60 frames a second), 50x real time for the playback (counter
// realtime_ratio). The update must keep a running battle with its bullets
// for as long as it is run, the playback must play every recorded frame,
// and the drawn frame must cover most of the screen.
#include "bench/support/BenchSmoke.h"
#include "tests/engine/core/TempFolder.h"
#include "tests/game/battle/BattleTestData.h"

#include "engine/platform/CGraphics.h"
#include "engine/platform/FrameTimer.h"
#include "engine/platform/device/DeviceSurface.h"
#include "engine/platform/device/GraphicsDevice.h"
#include "game/actor/CBulletMemoryList.h"
#include "game/actor/CCharacter.h"
#include "game/actor/CGameDataLists.h"
#include "engine/platform/CSystem.h"
#include "engine/render/CHDRFilter.h"
#include "game/battle/BattleGameData.h"
#include "game/battle/BattleServices.h"
#include "game/battle/CBattleScene.h"
#include "game/battle/CReplay.h"
#include "game/battle/tag_TOLQBATTLESETTING.h"
#include "game/battle/CBattleConsole.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include <dlfcn.h>
#include <sys/syscall.h>
#include <sys/time.h>
#include <ucontext.h>
#include <unistd.h>

namespace
{
using Clock = std::chrono::steady_clock;
// A frame of a game running at 60 frames a second.
constexpr double kRealFrameSeconds = 1.0 / 60.0;
constexpr uint32_t kFrameMilliseconds = 16;
constexpr uint32_t kOpeningFrames = (500 + 6400) / kFrameMilliseconds + 2;
constexpr uint32_t kClearColor = 0xFF203040;

double Seconds(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double>(to - from).count();
}

// A rule no fighter can end (a rule counter stops at 127, short of the
// limit and the goal): the battle runs for as long as a benchmark does.
tag_TOLQBATTLESETTING* FullSetting()
{
    tag_TOLQBATTLESETTING* setting = battletest::EightCpusAndTenNpcs(11);
    setting->rules.limit = 127;
    return setting;
}

// Keeps the pool at 1000 bullets crossing the arena above the fighters'
// heads, of an owner that is no fighter: every body and world pass meets
// them all. They start spread along their way, so that they reach the far
// wall a few at a time and the next top-up replaces them.
void TopUp(CBulletMemoryList* bullets, const CBulletDefinition* definition, uint32_t* serial)
{
    while (bullets->GetLiveCount() < 1000)
    {
        CBullet* bullet = bullets->Spawn();
        if (bullet == nullptr)
            return;
        const float lane = static_cast<float>(*serial % 90) - 45.0f;
        const float start = static_cast<float>((*serial * 37) % 90) - 45.0f;
        const bool alongX = (*serial % 2) == 0;
        const CkvrVector3 at = alongX ? CkvrVector3(start, 2.5f + (*serial % 3), lane)
                                      : CkvrVector3(lane, 2.5f + (*serial % 3), start);
        const CkvrVector3 velocity = alongX ? CkvrVector3(30.0f, 0, 0) : CkvrVector3(0, 0, 30.0f);
        const float extent[6] = {-60.0f, -20.0f, -60.0f, 60.0f, 60.0f, 60.0f};
        bullet->Setup(definition, 200, 4, 1, at, velocity, extent);
        ++*serial;
    }
}

bool Ready(benchmark::State& state)
{
    battletest::BattleData::Install();
    if (battletest::BattleData::Get() != nullptr)
        return true;
    state.SkipWithError(battletest::BattleData::GetError().c_str());
    return false;
}

// ---------------------------------------------------------------- time outside the driver

// Where the main thread spent its CPU time while drawing: in the GL driver
// (Mesa's and LLVM's libraries, and shaders llvmpipe compiled, which live in
// no library) or in anything else, the battle's own code first. Sampled
// every millisecond of process CPU time; samples that land on the driver's
// worker threads are driver time by definition and only counted.
class DriverShare
{
public:
    DriverShare()
    {
        s_count.store(0);
        s_mainThread = static_cast<pid_t>(syscall(SYS_gettid));
        struct sigaction action = {};
        action.sa_sigaction = &Sample;
        action.sa_flags = SA_SIGINFO | SA_RESTART;
        sigaction(SIGPROF, &action, &m_previous);
    }
    ~DriverShare() { sigaction(SIGPROF, &m_previous, nullptr); }
    // Sampling runs between Resume and Pause only.
    void Resume()
    {
        const itimerval every = {{0, 1000}, {0, 1000}};
        setitimer(ITIMER_PROF, &every, nullptr);
    }
    void Pause()
    {
        const itimerval off = {};
        setitimer(ITIMER_PROF, &off, nullptr);
    }
    // Of the main thread's samples, the share outside the driver.
    double MainThreadShareOutside() const
    {
        const uint32_t count = s_count.load() < kSamples ? s_count.load() : kSamples;
        uint32_t main = 0, outside = 0;
        for (uint32_t i = 0; i < count; ++i)
        {
            if (!s_samples[i].onMain)
                continue;
            ++main;
            outside += InDriver(s_samples[i].address) ? 0 : 1;
        }
        return main > 0 ? static_cast<double>(outside) / main : 0.0;
    }

private:
    struct Record
    {
        void* address;
        bool onMain;
    };
    static constexpr uint32_t kSamples = 1 << 20;
    static void Sample(int, siginfo_t*, void* context)
    {
        const uint32_t slot = s_count.fetch_add(1);
        if (slot >= kSamples)
            return;
        s_samples[slot].address =
            reinterpret_cast<void*>(static_cast<ucontext_t*>(context)->uc_mcontext.gregs[REG_RIP]);
        s_samples[slot].onMain = static_cast<pid_t>(syscall(SYS_gettid)) == s_mainThread;
    }
    static bool InDriver(void* address)
    {
        Dl_info info = {};
        if (dladdr(address, &info) == 0 || info.dli_fname == nullptr)
            return true; // compiled shaders
        const std::string file = info.dli_fname;
        for (const char* driver : {"dri", "gallium", "libGL", "libEGL", "libglapi", "LLVM", "libgbm", "libepoxy"})
        {
            if (file.find(driver) != std::string::npos)
                return true;
        }
        return false;
    }

    struct sigaction m_previous = {};
    static inline std::atomic<uint32_t> s_count{0};
    static inline pid_t s_mainThread = 0;
    static inline Record s_samples[kSamples] = {};
};

double ThreadCpuSeconds()
{
    timespec now = {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}
}

// The drawing device at a window size of its own for one benchmark, as the
// game's mode change sets it; the shared device's own size again after.
class WindowSize
{
public:
    WindowSize(CGraphics& graphics, int width, int height) : m_graphics(graphics)
    {
        const CSystem* system = graphics.GetSystem();
        m_width = system->GetWidth();
        m_height = system->GetHeight();
        m_taken = (width == m_width && height == m_height) || graphics.ChangeMode(1, width, height) != 0;
    }
    ~WindowSize()
    {
        const CSystem* system = m_graphics.GetSystem();
        if (system->GetWidth() != m_width || system->GetHeight() != m_height)
            m_graphics.ChangeMode(1, m_width, m_height);
    }
    WindowSize(const WindowSize&) = delete;
    WindowSize& operator=(const WindowSize&) = delete;
    bool Taken() const { return m_taken; }

private:
    CGraphics& m_graphics;
    int m_width = 0;
    int m_height = 0;
    bool m_taken = false;
};

// The glow filter the game makes at start-up (2048 x 2048 targets of the
// screen's format), attached to the battle for as long as it lives.
class GameGlow
{
public:
    explicit GameGlow(CGraphics& graphics)
    {
        const uint32_t format =
            graphics.GetFullScreenFormat() != 0 ? graphics.GetFullScreenFormat() : graphics.GetDesktopMode().format;
        m_made = m_filter.Create(2048, 2048, format, FORMAT_D24S8) != 0;
        if (m_made)
            SetBattleHDRFilter(&m_filter);
    }
    ~GameGlow()
    {
        SetBattleHDRFilter(nullptr);
        m_filter.Release();
    }
    GameGlow(const GameGlow&) = delete;
    GameGlow& operator=(const GameGlow&) = delete;
    bool Made() const { return m_made; }
    bool TakesWholeTexels() const { return m_filter.TakesWholeTexels(); }

private:
    CHDRFilter m_filter;
    bool m_made = false;
};

static void BM_BattleFrameUpdate(benchmark::State& state)
{
    if (!Ready(state))
        return;
    tag_TOLQBATTLESETTING* setting = FullSetting();
    CBattleScene scene;
    if (scene.Init(reinterpret_cast<uintptr_t>(setting)) == 0)
    {
        state.SkipWithError("the battle did not start");
        FreeBattleSetting(setting);
        return;
    }
    CGameDataLists lists;
    CopyGameDataLists(battletest::BattleData::Get(), &lists);
    // The traffic's own bullet lives longer than a crossing of the arena:
    // its bullets end at the walls, each at its own time.
    lists.bullets[0].range = 1000.0f;
    for (uint32_t i = 0; i < kOpeningFrames; ++i)
    {
        SetFrameTime(kFrameMilliseconds);
        scene.Update(0);
    }
    uint32_t serial = 0;
    double seconds = 0.0;
    uint64_t frames = 0, bullets = 0, thinFrames = 0;
    for (auto _ : state)
    {
        TopUp(scene.GetBullets(), &lists.bullets[0], &serial);
        SetFrameTime(kFrameMilliseconds);
        const Clock::time_point start = Clock::now();
        scene.Update(0);
        const double spent = Seconds(start, Clock::now());
        state.SetIterationTime(spent);
        seconds += spent;
        bullets += scene.GetBullets()->GetLiveCount();
        thinFrames += scene.GetBullets()->GetLiveCount() < 900 ? 1 : 0;
        ++frames;
    }
    // The work: a battle still running, its bullets kept up every frame.
    if (scene.GetConsole()->GetPhase() != ConsolePhase::Running)
        state.SkipWithError(("the battle ended after " + std::to_string(frames) + " frames").c_str());
    else if (thinFrames != 0)
        state.SkipWithError((std::to_string(thinFrames) + " frames had fewer than 900 live bullets").c_str());
    state.counters["ms_per_frame"] = seconds * 1000.0 / static_cast<double>(frames);
    state.counters["realtime_ratio"] = kRealFrameSeconds * static_cast<double>(frames) / seconds;
    state.counters["live_bullets"] = static_cast<double>(bullets) / static_cast<double>(frames);
    scene.Release();
    FreeBattleSetting(setting);
}
BENCHMARK(BM_BattleFrameUpdate)->UseManualTime()->Unit(benchmark::kMicrosecond);

static void BM_ReplayPlayback(benchmark::State& state)
{
    if (!Ready(state))
        return;
    const uint32_t kFrames = BenchSmoke::Count(3000, 600);
    TempFolder folder;
    const std::string file = (folder.Path() / "bench.rep").string();
    tag_TOLQBATTLESETTING* setting = FullSetting();
    setting->players[0].slotState = 0; // a human on the local pad
    setting->record = 1;
    setenv("XDG_DATA_HOME", folder.Path().c_str(), 1);
    {
        CBattleScene scene;
        scene.Init(reinterpret_cast<uintptr_t>(setting));
        for (uint32_t frame = 0; frame < kFrames; ++frame)
        {
            SetFrameTime(15 + frame % 4);
            scene.Update(0);
        }
        if (scene.GetReplay() == nullptr || scene.GetReplay()->Finish(file.c_str()) == 0)
            state.SkipWithError("the battle was not recorded");
    }
    FreeBattleSetting(setting);
    double seconds = 0.0;
    uint64_t frames = 0;
    for (auto _ : state)
    {
        auto* replay = new CReplay();
        replay->SetPacing(false);
        tag_TOLQBATTLESETTING* played = CreateBattleSettingFrom(1, 0, nullptr);
        if (replay->OpenForPlay(file.c_str()) == 0 || replay->ReadSetting(played) == 0)
        {
            state.SkipWithError(replay->GetError().c_str());
            delete replay;
            FreeBattleSetting(played);
            break;
        }
        played->playback = 1;
        played->record = 0;
        CBattleScene scene;
        scene.Init(reinterpret_cast<uintptr_t>(played));
        scene.SetReplay(replay);
        const Clock::time_point start = Clock::now();
        for (uint32_t frame = 0; frame < kFrames; ++frame)
            scene.Update(0);
        const double spent = Seconds(start, Clock::now());
        state.SetIterationTime(spent);
        seconds += spent;
        frames += kFrames;
        // The work: every recorded frame was played; the next update finds
        // the file's end.
        const bool running = scene.GetConsole()->GetPhase() == ConsolePhase::Running;
        scene.Update(0);
        if (!running || !replay->HasEnded())
            state.SkipWithError("the playback did not play the recorded frames");
        scene.Release();
        FreeReplayTexts(played);
        FreeBattleSetting(played);
    }
    unsetenv("XDG_DATA_HOME");
    if (frames > 0)
    {
        state.counters["ms_per_frame"] = seconds * 1000.0 / static_cast<double>(frames);
        state.counters["realtime_ratio"] = kRealFrameSeconds * static_cast<double>(frames) / seconds;
    }
}
BENCHMARK(BM_ReplayPlayback)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(BenchSmoke::Iterations(3));

static void BM_BattleFrameDrawn(benchmark::State& state)
{
    if (!Ready(state))
        return;
    CGraphics& graphics = battletest::BattleData::GetGraphics()->Graphics();
    GraphicsDevice* device = graphics.GetDevice();
    const WindowSize window(graphics, static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    const GameGlow glow(graphics);
    if (!window.Taken() || !glow.Made())
    {
        state.SkipWithError("the window's size or the glow filter could not be made");
        return;
    }
    tag_TOLQBATTLESETTING* setting = FullSetting();
    CBattleScene scene;
    scene.Init(reinterpret_cast<uintptr_t>(setting));
    for (uint32_t i = 0; i < kOpeningFrames + 200; ++i)
    {
        SetFrameTime(kFrameMilliseconds);
        scene.Update(0);
    }
    // The picture: the arena and its fighters cover most of the screen.
    device->Clear(CLEAR_TARGET | CLEAR_ZBUFFER, kClearColor, 1.0f, 0);
    scene.Render(0);
    const uint32_t width = device->GetBackBuffer()->GetWidth(), height = device->GetBackBuffer()->GetHeight();
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * static_cast<size_t>(height));
    device->ReadPixels(device->GetBackBuffer(), 0, 0, static_cast<int32_t>(width), static_cast<int32_t>(height),
                       pixels.data());
    uint32_t drawn = 0;
    for (uint32_t pixel : pixels)
        drawn += ((pixel ^ kClearColor) & 0x00FFFFFFu) != 0 ? 1 : 0;
    if (drawn * 2 < pixels.size())
    {
        state.SkipWithError("the battle frame drew less than half the screen");
        graphics.SetCamera(nullptr);
        scene.Release();
        FreeBattleSetting(setting);
        return;
    }
    double seconds = 0.0, mainCpu = 0.0;
    uint64_t frames = 0;
    DriverShare share;
    for (auto _ : state)
    {
        SetFrameTime(kFrameMilliseconds);
        scene.Update(0);
        share.Resume();
        const double cpuStart = ThreadCpuSeconds();
        const Clock::time_point start = Clock::now();
        device->Clear(CLEAR_TARGET | CLEAR_ZBUFFER, kClearColor, 1.0f, 0);
        scene.Render(0);
        // Reading a pixel back waits until the frame is drawn.
        uint32_t pixel = 0;
        device->ReadPixels(device->GetBackBuffer(), 0, 0, 1, 1, &pixel);
        const double spent = Seconds(start, Clock::now());
        mainCpu += ThreadCpuSeconds() - cpuStart;
        share.Pause();
        state.SetIterationTime(spent);
        seconds += spent;
        ++frames;
    }
    // The frame's wall time is the main thread's work (the battle's code and
    // the driver's front end) and then the wait for the driver's threads.
    const double outside = mainCpu * share.MainThreadShareOutside();
    state.counters["ms_per_frame"] = seconds * 1000.0 / static_cast<double>(frames);
    state.counters["main_thread_ms"] = mainCpu * 1000.0 / static_cast<double>(frames);
    state.counters["outside_driver_ms"] = outside * 1000.0 / static_cast<double>(frames);
    state.counters["outside_driver_share"] = outside / seconds;
    state.counters["glow_whole_texels"] = glow.TakesWholeTexels() ? 1.0 : 0.0;
    graphics.SetCamera(nullptr);
    scene.Release();
    FreeBattleSetting(setting);
}
// The drawn frame as the game draws it: through the glow filter the game
// makes, at the game's window size (640 x 480) and at 1280 x 720.
BENCHMARK(BM_BattleFrameDrawn)
    ->Args({640, 480})
    ->Args({1280, 720})
    ->ArgNames({"width", "height"})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->MinTime(BenchSmoke::MinTime(3.0));
