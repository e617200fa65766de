#include "game/app/GameServices.h"

CController* g_pController = nullptr;
CQorResourceController* g_pResourceController = nullptr;
CRenderList* g_pRenderList = nullptr;
CEffectController* g_pEffectController = nullptr;
CInput* g_pInput = nullptr;
