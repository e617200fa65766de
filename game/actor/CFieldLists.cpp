#include "game/actor/CFieldLists.h"

#include "game/actor/CStateHash.h"
#include "game/actor/IBattleStage.h"

#include <cmath>

void CFieldLists::Update(IBattleStage* stage, uint32_t milliseconds)
{
    for (size_t i = 0; i < weapons.size();)
    {
        if (weapons[i]->Update(milliseconds) == 0)
        {
            weapons[i]->ReleaseRuntime();
            weapons.erase(weapons.begin() + static_cast<std::ptrdiff_t>(i));
        }
        else
            ++i;
    }
    for (size_t i = 0; i < items.size();)
    {
        items[i]->MoveWithCollision(stage);
        if (items[i]->Update(0) == 0)
            items.erase(items.begin() + static_cast<std::ptrdiff_t>(i));
        else
            ++i;
    }
}

void CFieldLists::HashState(CStateHash* hash) const
{
    hash->U32(static_cast<uint32_t>(weapons.size()));
    for (const std::unique_ptr<CWeapon>& weapon : weapons)
    {
        hash->Vec3(*weapon->GetPosition());
        weapon->HashState(hash);
    }
    hash->U32(static_cast<uint32_t>(items.size()));
    for (const std::unique_ptr<CItem>& item : items)
        item->HashState(hash);
}

CkvrVector3 GroundBelow(IBattleStage* stage, const CkvrVector3& position)
{
    if (stage == nullptr)
        return position;
    const CkvrVector3 end(position.x, position.y - 100.0f, position.z);
    CkvrVector3 point, normal;
    float ground = -INFINITY;
    if (stage->IntersectGroundModel(position, end, &point, &normal) != 0)
        ground = point.y;
    if (stage->IntersectStageObjects(position, end, &point, &normal) != 0 && normal.y > 0.0f && point.y > ground)
        ground = point.y;
    return ground != -INFINITY ? CkvrVector3(position.x, ground, position.z) : position;
}
