#include "game/battle/BattleServices.h"

#include "engine/platform/CGraphics.h"
#include "engine/platform/CSystem.h"
#include "engine/platform/input/CInput.h"
#include "engine/platform/message/PlatformWindow.h"
#include "engine/platform/sound/CSoundBuffer.h"
#include "engine/render/CCamera.h"
#include "engine/render/CHDRFilter.h"
#include "game/app/CController.h"
#include "game/app/CGameConfig.h"
#include "game/app/GameServices.h"

namespace
{
// A sound effect's 3D minimum distance: heard alike all over the arena.
constexpr float kEffectMinDistance = 1000.0f;
}

CGameConfig* GetBattleGameConfig()
{
    return g_pController != nullptr ? g_pController->GetGameConfig() : nullptr;
}

CBulletMemoryList* GetBattleBulletPool()
{
    return g_pController != nullptr ? g_pController->GetBulletPool() : nullptr;
}

void PlayBattleMusic(CSoundBuffer* music, int32_t volume, int32_t speed, float loopSeconds)
{
    if (g_pController != nullptr)
        g_pController->PlayBgm(music, volume, speed, loopSeconds);
}

void PlayBattleVoice(CSoundBuffer* voice)
{
    if (g_pController != nullptr)
        g_pController->PlayVoice(voice);
}

void PlayBattleSoundEffect(CSoundBuffer* sound)
{
    CGameConfig* config = GetBattleGameConfig();
    if (sound == nullptr || config == nullptr)
        return;
    const int voice = sound->PlayWithVolume(config->GetData()->seVolume, 0, 0.0f, 1);
    if (voice >= 0)
        sound->SetMinDistance(static_cast<uint32_t>(voice), kEffectMinDistance);
}

void PlayBattleMenuSound(MenuSound sound)
{
    if (g_pController != nullptr)
        g_pController->PlayMenuSound(sound);
}

void SetBattleCameraViewport(CCamera* camera)
{
    if (camera == nullptr)
        return;
    if (g_pController != nullptr)
    {
        g_pController->SetCameraViewport(camera);
        return;
    }
    CGraphics* graphics = CCamera::GetGraphics();
    if (graphics == nullptr || graphics->GetSystem() == nullptr)
        return;
    const CSystem* system = graphics->GetSystem();
    camera->SetViewport(0, 0, static_cast<uint32_t>(system->GetWidth()), static_cast<uint32_t>(system->GetHeight()));
}

namespace
{
CFilter* g_headlessFilter = nullptr;
}

CFilter* GetBattleHDRFilter()
{
    return g_pController != nullptr ? g_pController->GetHDRFilter() : g_headlessFilter;
}

void SetBattleHDRFilter(CFilter* filter)
{
    g_headlessFilter = filter;
}

void RecentreBattleMouse(CInput* input)
{
    CSystem* system = g_pController != nullptr ? g_pController->GetSystem() : nullptr;
    if (input == nullptr || system == nullptr || system->GetWindowHandle() == nullptr ||
        !system->GetWindowHandle()->HasFocus())
        return;
    // The integer sums of the client rectangle's edges, halved.
    const float centre[2] = {static_cast<float>(0 + system->GetWidth()) * 0.5f,
                             static_cast<float>(0 + system->GetHeight()) * 0.5f};
    tag_KVRPADSTATE* pad = input->GetPadState(0);
    pad->lastCursor[0] = pad->moveOrigin[0] = centre[0];
    pad->lastCursor[1] = pad->moveOrigin[1] = centre[1];
    input->SetMousePosition(centre);
}
