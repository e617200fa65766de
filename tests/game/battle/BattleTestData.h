#pragma once

// The stand-in set's game data, models, pictures and effects, loaded without
// a window or a sound device from the data kit's loose files in the build
// folder, for battles that run headless in tests and benchmarks. The models
// need a graphics device to load: an offscreen one (EGL on Mesa), kept for
// the process. Sounds stay out: a headless battle plays nothing.
#include "tests/engine/render/RenderGraphics.h"

#include "game/actor/CActorResources.h"
#include "game/actor/CCharacter.h"
#include "game/actor/tag_TOLQBATTLEFRAME.h"
#include "game/app/CQorResourceController.h"
#include "game/app/GameServices.h"
#include "game/battle/tag_TOLQBATTLESETTING.h"
#include "tools/datakit/DataKit.h"

#include <memory>
#include <string>

#ifndef KVR_BATTLE_DATA_DIR
#error "KVR_BATTLE_DATA_DIR names the data kit's output folder"
#endif

namespace battletest
{
// Loaded once per process; installed as the resource controller every
// battle finds (g_pResourceController and the fighters' resources), on its
// own graphics device: a test that made and dropped a device of its own
// meanwhile (the HUD's and the setup's tests do) leaves the drawing classes
// on none.
class BattleData
{
public:
    static CQorResourceController* Get()
    {
        BattleData& data = Instance();
        return data.m_ready ? data.m_controller.get() : nullptr;
    }
    static const std::string& GetError() { return Instance().m_error; }
    static RenderGraphics* GetGraphics() { return Instance().m_graphics.get(); }

    static void Install()
    {
        CQorResourceController* controller = Get();
        if (controller != nullptr)
            Instance().m_graphics->Graphics().Activate();
        g_pResourceController = controller;
        CActorResources::Install(controller);
    }

private:
    static BattleData& Instance()
    {
        static BattleData data;
        return data;
    }

    BattleData()
        : m_graphics(std::make_unique<RenderGraphics>(kWidth, kHeight)),
          m_controller(std::make_unique<CQorResourceController>())
    {
        m_ready = m_graphics->Created();
        if (!m_ready)
            m_error = "no offscreen graphics device";
        for (const std::string& record : DataKit::LooseRecords())
        {
            if (!m_ready || !Wanted(record))
                continue;
            // Backslashes throughout, so that the resource's name ends in
            // the file name the game data looks up.
            std::string path = std::string(KVR_BATTLE_DATA_DIR) + "/Source/" + record;
            for (char& c : path)
                c = c == '/' ? '\\' : c;
            if (m_controller->Load(path.c_str(), 1) == 0)
            {
                m_error += record + ": " + m_controller->GetLastError() + "\n";
                m_ready = false;
            }
        }
    }

    static bool Wanted(const std::string& record)
    {
        const std::string extension = record.substr(record.rfind('.') + 1);
        return extension == "mdl" || extension == "efc" || extension == "dds" ||
               CQorResourceController::ListOfName(record.c_str()) > 0;
    }

    static constexpr int32_t kWidth = 1280;
    static constexpr int32_t kHeight = 720;
    // Declared first: it outlives the resources made on it.
    std::unique_ptr<RenderGraphics> m_graphics;
    std::unique_ptr<CQorResourceController> m_controller;
    bool m_ready = false;
    std::string m_error;
};

// Eight computer fighters of level 4, characters 0-7, and ten NPCs, not
// recorded; freed with FreeBattleSetting.
inline tag_TOLQBATTLESETTING* EightCpusAndTenNpcs(uint32_t seed)
{
    tag_TOLQBATTLESETTING* setting = CreateBattleSettingFrom(8, 0, nullptr);
    setting->seed = seed;
    setting->record = 0;
    setting->rules.npcCountIndex = 3;
    for (uint8_t i = 0; i < 8; ++i)
    {
        setting->players[i].slotState = tag_TOLQBATTLEPLAYER::SLOT_COMPUTER;
        setting->players[i].character = static_cast<int8_t>(i);
        setting->players[i].characterCount = 8;
        setting->players[i].cpuLevel = 4;
    }
    return setting;
}

// The victim downed for good by a blow of the attacker.
inline void DownFighter(CCharacter* victim, CCharacter* attacker)
{
    CCharacter* fighters[2] = {victim, attacker};
    tag_TOLQBATTLEFRAME blow;
    blow.fighters = fighters;
    blow.count = 2;
    victim->GetStateBlock()->life = 1;
    victim->ReceiveHit(&blow, 1, 100, false);
}
}
