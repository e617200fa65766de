// The game application on the stand-in set the build wrote: start-up (from
// making the devices to the first drawn frame and to the end of loading;
// the first frame must come first) and one frame of the title's ring menu
// at 1280 x 720 on the software renderer, with the glow filter off, made
// but unused (the title draws without it), and with a glow pass as a
// battle frame adds.
#include "bench/support/BenchSmoke.h"
#include "engine/platform/CGraphics.h"
#include "engine/platform/CSystem.h"
#include "engine/platform/FrameTimer.h"
#include "engine/platform/input/CInput.h"
#include "engine/platform/input/KeyCodes.h"
#include "engine/platform/sound/CSound.h"
#include "engine/render/CHDRFilter.h"
#include "engine/render/CRenderList.h"
#include "engine/render/RenderClasses.h"
#include "game/app/CController.h"
#include "game/scene/CTitleScene.h"
#include "game/scene/SceneFactory.h"
#include "tests/game/HeadlessGame.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

namespace
{
using Clock = std::chrono::steady_clock;

LResult IgnoreMessages(WindowHandle, uint32_t, WParam, LParam)
{
    return 0;
}

// The game on a headless window of the given size, its save folder in a
// temporary folder, frames of 17 ms.
class Game
{
public:
    Game(int32_t width, int32_t height, bool glow)
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "kvr-game-bench-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr)
            m_home = pattern;
        setenv("XDG_DATA_HOME", m_home.c_str(), 1);
        m_window = std::make_unique<HeadlessWindow>(&IgnoreMessages);
        CController::SetDataFolder(KVR_DATA_DIR);
        CController::SetSceneFactory(&CreateGameScene);
        CController::SetHdrOption(glow);
        m_ready = StartHeadlessGame(m_controller, *m_window, m_source, width, height);
    }
    ~Game()
    {
        m_controller.Shutdown();
        std::error_code error;
        std::filesystem::remove_all(m_home, error);
    }

    bool Ready() const { return m_ready; }
    CController& Controller() { return m_controller; }

    void Frame()
    {
        SetFrameTime(17);
        m_controller.Update();
        m_controller.Render();
    }

    bool Loaded() { return m_controller.GetLoadingState() != CController::LoadingState::Loading; }

    // Loaded, started, and the title's ring menu waiting for input.
    bool OpenMenu()
    {
        for (int frame = 0; frame < 100000 && !Loaded(); ++frame)
            Frame();
        m_source.SetKey(KEY_Z, true);
        Frame();
        m_source.SetKey(KEY_Z, false);
        m_controller.ChangeScene(CController::SCENE_TITLE, 3, 1.0f, 0);
        for (int frame = 0; frame < 200; ++frame)
        {
            Frame();
            auto* title = dynamic_cast<CTitleScene*>(m_controller.GetScene());
            if (title != nullptr && title->GetStep() == static_cast<uint32_t>(CTitleScene::MenuStep::Waiting))
                return true;
        }
        return false;
    }

private:
    std::string m_home;
    ScriptedInputSource m_source;
    std::unique_ptr<HeadlessWindow> m_window;
    CController m_controller;
    bool m_ready = false;
};

double Milliseconds(Clock::duration duration)
{
    return std::chrono::duration<double, std::milli>(duration).count();
}
}

static void BM_StartUp(benchmark::State& state)
{
    double firstFrame = 0.0;
    double loaded = 0.0;
    for (auto _ : state)
    {
        const Clock::time_point start = Clock::now();
        Game game(640, 480, false);
        if (!game.Ready())
        {
            state.SkipWithError("the game could not start (is build/data there?)");
            return;
        }
        Clock::time_point drawn{};
        while (!game.Loaded())
        {
            game.Frame();
            if (drawn == Clock::time_point{} && game.Controller().GetDrawnFrames() > 0)
                drawn = Clock::now();
        }
        const Clock::time_point end = Clock::now();
        if (drawn == Clock::time_point{} || drawn > end)
        {
            state.SkipWithError("loading ended before the first frame was drawn");
            return;
        }
        firstFrame += Milliseconds(drawn - start);
        loaded += Milliseconds(end - start);
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
    }
    state.counters["first_frame_ms"] = benchmark::Counter(firstFrame, benchmark::Counter::kAvgIterations);
    state.counters["loaded_ms"] = benchmark::Counter(loaded, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_StartUp)->UseManualTime()->Iterations(BenchSmoke::Iterations(3))->Unit(benchmark::kMillisecond);

// Arg 0: no glow filter; 1: the filter made (the title draws without it);
// 2: a glow pass over the frame as well, as a battle frame has.
static void BM_TitleMenuFrame1280x720(benchmark::State& state)
{
    const int64_t glow = state.range(0);
    Game game(1280, 720, glow != 0);
    if (!game.Ready() || !game.OpenMenu())
    {
        state.SkipWithError("the title's menu did not open");
        return;
    }
    CController& controller = game.Controller();
    if (glow != 0 && controller.GetHDRFilter() == nullptr)
    {
        state.SkipWithError("the glow filter could not be made");
        return;
    }
    CRenderList* list = controller.GetRenderList();
    for (auto _ : state)
    {
        game.Frame();
        if (glow != 2)
            continue;
        CGraphics* graphics = controller.GetGraphics();
        if (!graphics->BeginScene())
            continue;
        list->SetFilter(controller.GetHDRFilter());
        list->Clear();
        list->Draw();
        list->SetFilter(nullptr);
        graphics->EndScene();
    }
}
BENCHMARK(BM_TitleMenuFrame1280x720)
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(BenchSmoke::MinTime(2.0));
