#include "game/battle/BattleServices.h"

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

void SetBattleCameraViewport(CCamera*)
{
}

void RecentreBattleMouse(CInput*)
{
}
