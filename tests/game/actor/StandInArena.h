#pragma once

// A battle on the data kit's "Stand-in Arena", as the game loads it: the
// build's stand-in data set (GameResource.grc with its packs, in the folder
// KVR_BATTLE_DATA_DIR names) loaded with its contents through the game's
// resource controller, on a headless graphics
// object and OpenAL's loopback device; the game data copied out of the
// controller's lists; fighters armed with their characters' default weapons;
// every frame stepped in the battle's order with the effect controller in
// the loop, whose particles draw from the shared random stream.
#include "engine/effect/CEffectController.h"
#include "engine/platform/input/CInput.h"
#include "engine/platform/sound/CSound.h"
#include "game/actor/CActorEffects.h"
#include "game/actor/CBulletMemoryList.h"
#include "game/actor/CCpu.h"
#include "game/actor/CFieldLists.h"
#include "game/actor/CGameDataLists.h"
#include "game/actor/CStage.h"
#include "game/actor/tag_TOLQBATTLEFRAME.h"
#include "game/app/CQorResourceController.h"
#include "tests/engine/render/RenderGraphics.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#ifndef KVR_BATTLE_DATA_DIR
#error "KVR_BATTLE_DATA_DIR names the data kit's output folder"
#endif

class CStateHash;
class IBattleConsole;

namespace standin
{
// The loaded set. Works in the data folder while it lives.
class StandInData
{
public:
    StandInData();
    ~StandInData();
    StandInData(const StandInData&) = delete;
    StandInData& operator=(const StandInData&) = delete;

    // False, with the reason, when the set could not be loaded.
    bool IsReady() const { return m_ready; }
    const std::string& GetError() const { return m_error; }
    CQorResourceController& GetController() { return m_controller; }
    const CGameDataLists& GetLists() const { return m_lists; }
    CGraphics* GetGraphics() { return &m_graphics.Graphics(); }

private:
    bool Load();

    std::filesystem::path m_previousFolder;
    RenderGraphics m_graphics;
    CSound m_sound;
    CQorResourceController m_controller;
    CGameDataLists m_lists;
    bool m_ready = false;
    std::string m_error;
};

// The game's pool sizes.
constexpr uint32_t kEffectPool = 1536;
constexpr uint32_t kParticlePool = 4196;
// Points to win under rule 0.
constexpr uint8_t kGoalCount = 200;
// Every default weapon slot (AddCpu).
constexpr uint32_t kAllSlots = 0x3FF;

// The arena with its stage objects, fighters added in turn at the start
// points, and the battle's frame order.
class ArenaBattle
{
public:
    // rule: the battle's rule (0 points, 1 coins, 2 falls, 3 jewels);
    // console (optional, borrowed) hears the fighters' messages.
    explicit ArenaBattle(StandInData* data, uint8_t rule = 0, IBattleConsole* console = nullptr);
    ~ArenaBattle();
    ArenaBattle(const ArenaBattle&) = delete;
    ArenaBattle& operator=(const ArenaBattle&) = delete;

    // False when the stage could not be built.
    bool IsReady() const { return m_ready; }
    // A CPU of character (0-7, modulo) at level at the next start point,
    // carrying those of its character's default weapons whose slot bits are
    // in slots: the first carried in hand, the second as the sub weapon, the
    // rest stored. Not thinking, its pad stays still: it stands idle.
    CCpu* AddCpu(uint32_t character, uint32_t level, uint32_t slots = kAllSlots, bool thinking = true);
    // One frame of ms: stage, bullets, every fighter's update, movement,
    // field weapons and items, elements, hits, the bullets' world pass and
    // the effects.
    void Step(uint32_t milliseconds);
    // Fighters, bullets, field, stage and the random stream.
    uint64_t Hash() const;
    // The first pose the simulation left off the 1/1000 steps, or "" when
    // every one lies on them.
    std::string FindUnquantised() const;

    CStage* GetStage() { return m_stage.get(); }
    CFieldLists& GetField() { return m_field; }
    CEffectController& GetEffects() { return m_effects; }
    const std::vector<CCharacter*>& GetFighters() const { return m_pointers; }

private:
    StandInData* m_data;
    uint8_t m_rule;
    IBattleConsole* m_console;
    CEffectController m_effects;
    CActorEffects m_actorEffects;
    std::unique_ptr<CStage> m_stage;
    CFieldLists m_field;
    CBulletMemoryList m_bullets;
    CInput m_input;
    std::vector<std::unique_ptr<CCharacter>> m_fighters;
    std::vector<CCharacter*> m_pointers;
    tag_TOLQBATTLEFRAME m_frame;
    bool m_ready = false;
};
}
