// One battle frame without drawing: eight level-4 CPUs on the arena with at
// least 900 live bullets kept up. The goal is a 16 ms frame simulated in
// well under 1 ms; the counters give ms per frame and the hit steps' share.
// Every frame's hit step must meet at least 900 live bullets.
#include "tests/game/actor/StageBattle.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <string>

namespace
{
using Clock = std::chrono::steady_clock;

// Keeps the pool at 950 bullets crossing the arena above the fighters'
// heads, so that every body pass and world pass meets all of them.
void TopUp(arena::StageBattle* world, uint32_t* serial)
{
    arena::Battle* battle = &world->battle;
    const CBulletDefinition* definition = &battle->lists.bullets[0];
    while (battle->bullets.GetLiveCount() < 950)
    {
        CBullet* bullet = battle->bullets.Spawn();
        if (bullet == nullptr)
            return;
        const float lane = static_cast<float>(*serial % 90) - 45.0f;
        const bool alongX = (*serial % 2) == 0;
        const CkvrVector3 at = alongX ? CkvrVector3(-45.0f, 3.0f + (*serial % 3), lane)
                                      : CkvrVector3(lane, 3.0f + (*serial % 3), -45.0f);
        const CkvrVector3 velocity = alongX ? CkvrVector3(60.0f, 0, 0) : CkvrVector3(0, 0, 60.0f);
        bullet->Setup(definition, 200, 4, 1, at, velocity, world->stage.GetExtent());
        ++*serial;
    }
}
}

static void BM_BattleFrameEightCpus(benchmark::State& state)
{
    SeedRandom(5);
    arena::StageBattle world;
    arena::Battle& battle = world.battle;
    battle.lists.bullets[0].range = 200.0f; // long-lived traffic
    for (uint32_t i = 0; i < 8; ++i)
    {
        CCharacter* cpu = battle.Add(4, *world.stage.GetStartPoint(i, nullptr));
        cpu->AddWeapon(&battle.lists.weapons[0], 1);
        cpu->AddWeapon(&battle.lists.weapons[1], 2);
    }
    uint32_t serial = 0;
    double hitSeconds = 0.0, totalSeconds = 0.0;
    uint64_t frames = 0, liveBullets = 0, thinFrames = 0;
    for (auto _ : state)
    {
        TopUp(&world, &serial);
        const Clock::time_point start = Clock::now();
        SetFrameTime(16);
        tag_TOLQBATTLEFRAME* frame = battle.Frame();
        frame->stage = &world.stage;
        frame->field = &world.field;
        frame->elements = world.stage.GetElements();
        frame->elementCount = world.stage.GetElementCount();
        world.stage.Update(reinterpret_cast<uintptr_t>(frame));
        battle.bullets.UpdateAll(0);
        for (CCharacter* fighter : battle.pointers)
            fighter->Update(reinterpret_cast<uintptr_t>(frame));
        for (CCharacter* fighter : battle.pointers)
            fighter->MoveAndCollide(frame);
        world.field.Update(&world.stage, 16);
        for (uint32_t i = 0; i < world.stage.GetElementCount(); ++i)
            world.stage.GetElements()[i]->Update(reinterpret_cast<uintptr_t>(frame));
        const Clock::time_point hits = Clock::now();
        thinFrames += battle.bullets.GetLiveCount() < 900 ? 1 : 0;
        for (CCharacter* fighter : battle.pointers)
            fighter->UpdateHitsAndAttachments(frame);
        battle.bullets.HitTestAll(&world.stage);
        const Clock::time_point end = Clock::now();
        hitSeconds += std::chrono::duration<double>(end - hits).count();
        totalSeconds += std::chrono::duration<double>(end - start).count();
        liveBullets += battle.bullets.GetLiveCount();
        ++frames;
    }
    // The work: every frame's hit step met at least 900 bullets.
    if (thinFrames != 0)
    {
        state.SkipWithError((std::to_string(thinFrames) + " frames had fewer than 900 live bullets").c_str());
        return;
    }
    state.counters["ms_per_frame"] = totalSeconds * 1000.0 / static_cast<double>(frames);
    state.counters["realtime_ratio"] = 0.016 * static_cast<double>(frames) / totalSeconds;
    state.counters["hit_share"] = hitSeconds / totalSeconds;
    state.counters["live_bullets"] = static_cast<double>(liveBullets) / static_cast<double>(frames);
}
BENCHMARK(BM_BattleFrameEightCpus)->Unit(benchmark::kMicrosecond);
