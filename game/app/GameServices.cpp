#include "game/app/GameServices.h"

#include "engine/platform/input/CInput.h"

CController* g_pController = nullptr;
CQorResourceController* g_pResourceController = nullptr;
CRenderList* g_pRenderList = nullptr;
CEffectController* g_pEffectController = nullptr;
CInput* g_pInput = nullptr;

void HoldKeysUntilReleased()
{
    if (g_pInput != nullptr)
        g_pInput->HoldUntilReleased();
}
