#pragma once

#include "engine/core/CScene.h"
#include "engine/platform/FrameTimer.h"
#include "engine/platform/input/CInput.h"
#include "engine/platform/input/KeyCodes.h"
#include "game/app/CController.h"
#include "game/app/GameServices.h"
#include "game/app/tag_TOLQSCENEPARAM.h"
#include "game/menu/MenuColors.h"
#include "game/menu/MenuFade.h"
#include "game/menu/MenuKeys.h"

#include <cstdint>
#include <vector>

// Scenes that record what the scene switch does to them. Ids 0 and 6 exist;
// the others have no scene.
namespace stub_scenes
{
struct Log
{
    std::vector<uint32_t> made;
    std::vector<tag_TOLQSCENEPARAM> blocks; // every Init's block (zero for none)
    std::vector<bool> hadBlock;
    uint32_t updates = 0;
    // Updates that found the decide or the cancel key, or Escape, held.
    uint32_t menuKeysHeld = 0;
    uint32_t renders = 0;
    uint32_t deleted = 0;
    // Scene 0 switches to this id in its next Update (SCENE_COUNT: never).
    uint32_t switchTo = CController::SCENE_COUNT;
    // The scenes draw the background at this fade's level (white when in),
    // stepping it each frame, and list the levels they drew.
    MenuFade fade{1.0f, 1.0f};
    std::vector<float> drawnFades;
};

inline Log& TheLog()
{
    static Log log;
    return log;
}

class CStubScene : public CScene
{
public:
    explicit CStubScene(uint32_t id) : m_id(id) { TheLog().made.push_back(id); }
    ~CStubScene() override { ++TheLog().deleted; }

    int Init(uintptr_t parameter) override
    {
        const tag_TOLQSCENEPARAM* block = SceneParam(parameter);
        TheLog().hadBlock.push_back(block != nullptr);
        TheLog().blocks.push_back(block != nullptr ? *block : tag_TOLQSCENEPARAM{});
        return 1;
    }
    int Update(uintptr_t) override
    {
        ++TheLog().updates;
        TheLog().fade.Step(GetElapsedMilliseconds());
        const tag_KVRPADSTATE* pad = g_pInput->GetPadState(0);
        if (CInput::GetButtonState(pad, MenuKeyButton(MenuKey::Decide)) != 0 ||
            CInput::GetButtonState(pad, MenuKeyButton(MenuKey::Cancel)) != 0 ||
            g_pInput->GetKeyState(KEY_ESCAPE) != 0)
            ++TheLog().menuKeysHeld;
        if (m_id == CController::SCENE_TITLE && TheLog().switchTo != CController::SCENE_COUNT)
        {
            const uint32_t next = TheLog().switchTo;
            TheLog().switchTo = CController::SCENE_COUNT;
            g_pController->ChangeScene(next, 3, 1.0f, 5);
            // Still this scene's own frame: its members stay valid.
            m_updatesAfterSwitch = m_updatesAfterSwitch + 1;
        }
        return 1;
    }
    int Render(uintptr_t) override
    {
        ++TheLog().renders;
        TheLog().drawnFades.push_back(TheLog().fade.Level());
        g_pController->DrawBackground(MenuColor(MenuRole::Focused, TheLog().fade.Level()));
        return 1;
    }

private:
    uint32_t m_id;
    uint32_t m_updatesAfterSwitch = 0;
};

inline CScene* Make(uint32_t id)
{
    if (id != CController::SCENE_TITLE && id != CController::SCENE_OPTION)
        return nullptr;
    return new CStubScene(id);
}

inline void Reset()
{
    TheLog() = Log();
}
}
