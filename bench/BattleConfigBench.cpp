// The battle setup's pages in the game application on the stand-in set at
// 1280 x 720 on the software renderer, every seat taken (the player and
// seven computers, each with its prepared preview): one frame (update and
// drawing) of each page. Goal: under 16.7 ms a frame.
#include "bench/support/BenchSmoke.h"
#include "tests/game/GameHarness.h"

#include "game/battle/CBattleConfig.h"
#include "game/battle/tag_TOLQBATTLESETTING.h"
#include "game/scene/CLocalScene.h"
#include "game/scene/SceneFactory.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>

namespace
{
using Clock = std::chrono::steady_clock;

// One game, started once, on the local battle's setup with every entry
// prepared.
class SetupGame
{
public:
    static SetupGame& Get()
    {
        static SetupGame game;
        return game;
    }
    bool Ready() const { return m_ready; }
    CBattleConfig* Setup()
    {
        auto* scene = dynamic_cast<CLocalScene*>(m_game->Controller().GetScene());
        return scene != nullptr ? scene->GetSetup() : nullptr;
    }
    void ShowPage(uint32_t page)
    {
        Setup()->SetPage(page);
        m_game->StepUntil([&] { return Setup()->GetFade() >= 1.0f && Setup()->GetPhase() != 0; }, 200);
    }
    void Frame() { m_game->Step(1); }

private:
    SetupGame()
    {
        const std::string data = std::string(KVR_STAND_IN_SOURCE) + "/..";
        m_game = std::make_unique<game_test::GameHarness>(1280, 720, std::vector<game_test::DataFile>{},
                                                          &CreateGameScene, nullptr, nullptr, data);
        m_ready = m_game->Ready() && m_game->Start() &&
                  m_game->Controller().ChangeScene(CController::SCENE_LOCAL_BATTLE, 0, 1.0f, 0) == 1;
        if (!m_ready)
            return;
        m_game->Step(1);
        tag_TOLQBATTLESETTING* setting = Setup()->GetSetting();
        for (uint8_t i = 0; i < setting->playerCount; ++i)
            setting->players[i].character = static_cast<int8_t>(i % setting->players[i].characterCount);
        ShowPage(CBattleConfig::PAGE_MEMBERS);
        Setup()->SetCursor(CBattleConfig::kMembersForward);
        m_game->StepUntil([&] { return Setup()->GetPage() == CBattleConfig::PAGE_RULES; }, 200);
    }

    std::unique_ptr<game_test::GameHarness> m_game;
    bool m_ready = false;
};

void PageFrame(benchmark::State& state, uint32_t page)
{
    SetupGame& game = SetupGame::Get();
    if (!game.Ready())
    {
        state.SkipWithError("the game did not start on the stand-in set");
        return;
    }
    game.ShowPage(page);
    for (auto _ : state)
    {
        const auto start = Clock::now();
        game.Frame();
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
    }
    int previews = 0;
    const tag_TOLQBATTLESETTING* setting = game.Setup()->GetSetting();
    for (uint8_t i = 0; i < setting->playerCount; ++i)
        previews += setting->players[i].preview != nullptr ? 1 : 0;
    state.counters["previews"] = previews;
}

// The same frame with the page drawing nothing of its own (the setup past
// its last page draws no background either): what the frame costs besides
// the pages.
void BM_EmptyFrame(benchmark::State& state)
{
    PageFrame(state, CBattleConfig::PAGE_LEAVE + 2);
}
void BM_ModePageFrame(benchmark::State& state)
{
    PageFrame(state, CBattleConfig::PAGE_MODE);
}
void BM_MembersPageFrame(benchmark::State& state)
{
    PageFrame(state, CBattleConfig::PAGE_MEMBERS);
}
void BM_RulesPageFrame(benchmark::State& state)
{
    PageFrame(state, CBattleConfig::PAGE_RULES);
}
void BM_WeaponsPageFrame(benchmark::State& state)
{
    PageFrame(state, CBattleConfig::PAGE_WEAPONS);
}
}

BENCHMARK(BM_EmptyFrame)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(BenchSmoke::MinTime(2.0));
BENCHMARK(BM_ModePageFrame)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(BenchSmoke::MinTime(2.0));
BENCHMARK(BM_MembersPageFrame)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(BenchSmoke::MinTime(2.0));
BENCHMARK(BM_RulesPageFrame)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(BenchSmoke::MinTime(2.0));
BENCHMARK(BM_WeaponsPageFrame)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(BenchSmoke::MinTime(2.0));
