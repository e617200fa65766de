#include "game/actor/GroundShadow.h"

#include "engine/core/CkvrMatrix.h"
#include "engine/platform/CGraphics.h"
#include "engine/render/CTexture.h"
#include "game/actor/IBattleStage.h"

#include <cmath>

namespace GroundShadow
{
namespace
{
// Lifted a little off the ground so that it does not fight the floor's depth.
constexpr float kLift = 0.02f;
// Searching from a little above the feet finds the ground one stands on.
constexpr float kStartAbove = 0.5f;
}

uint8_t Alpha(float height, float fadePerUnit)
{
    const float h = height > 0.0f ? height : 0.0f;
    const float alpha = 255.0f * (1.0f - h * fadePerUnit);
    if (!(alpha > 0.0f))
        return 0;
    return alpha >= 255.0f ? 255 : static_cast<uint8_t>(alpha);
}

bool FindGround(IBattleStage* stage, const CkvrVector3& position, CkvrVector3* ground)
{
    if (stage == nullptr)
        return false;
    const CkvrVector3 start(position.x, position.y + kStartAbove, position.z);
    const CkvrVector3 end(position.x, position.y - kSearchDepth, position.z);
    CkvrVector3 point, normal;
    bool found = false;
    if (stage->IntersectGroundModel(start, end, &point, &normal) != 0)
    {
        *ground = point;
        found = true;
    }
    if (stage->IntersectStageObjects(start, end, &point, &normal) != 0 && normal.y > 0.0f &&
        (!found || point.y > ground->y))
    {
        *ground = point;
        found = true;
    }
    return found;
}

uint32_t Draw(IBattleStage* stage, CTexture* texture, const CkvrVector3& position, float size, float fadePerUnit)
{
    CGraphics* graphics = CTexture::GetGraphics();
    if (texture == nullptr || graphics == nullptr || !(size > 0.0f))
        return 0;
    CkvrVector3 ground;
    if (!FindGround(stage, position, &ground))
        return 0;
    const uint8_t alpha = Alpha(position.y - ground.y, fadePerUnit);
    if (alpha == 0)
        return 0;
    // The texture's quad lies in x and y: turned flat, its y along z.
    CkvrMatrix world;
    world.m[0] = size;
    world.m[5] = 0.0f;
    world.m[6] = size;
    world.m[9] = size;
    world.m[10] = 0.0f;
    world.m[12] = ground.x;
    world.m[13] = ground.y + kLift;
    world.m[14] = ground.z;
    const uint32_t cull = graphics->GetStateCache()->cullMode;
    graphics->SetCullMode(CULL_NONE);
    // The draw answers with the device's result: 0 is success.
    const int result = texture->DrawPolygon(&world, nullptr, (static_cast<uint32_t>(alpha) << 24) | 0x00FFFFFFu);
    graphics->SetCullMode(cull);
    return result == DEVICE_OK ? 1 : 0;
}
}
