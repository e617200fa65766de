#include "game/battle/BattleServices.h"

#include "engine/platform/CGraphics.h"
#include "engine/platform/CSystem.h"
#include "engine/render/CCamera.h"
#include "game/app/GameServices.h"

// The game application is not part of this build yet: every service answers
// as it does without one.

CGameConfig* GetBattleGameConfig()
{
    return nullptr;
}

CBulletMemoryList* GetBattleBulletPool()
{
    return nullptr;
}

void PlayBattleMusic(CSoundBuffer*, int32_t, int32_t, float)
{
}

void PlayBattleVoice(CSoundBuffer*)
{
}

void PlayBattleSoundEffect(CSoundBuffer*)
{
}

void SetBattleCameraViewport(CCamera* camera)
{
    // Without the application, the whole client area of whatever device
    // draws (an offscreen one in tests).
    CGraphics* graphics = CCamera::GetGraphics();
    if (camera == nullptr || graphics == nullptr || graphics->GetSystem() == nullptr)
        return;
    const CSystem* system = graphics->GetSystem();
    camera->SetViewport(0, 0, static_cast<uint32_t>(system->GetWidth()), static_cast<uint32_t>(system->GetHeight()));
}

void RecentreBattleMouse(CInput*)
{
}

CFilter* GetBattleHDRFilter()
{
    return nullptr;
}
