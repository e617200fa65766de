#include "game/actor/CFieldLists.h"

#include "game/actor/CStateHash.h"
#include "game/actor/IBattleStage.h"
#include "game/actor/SimulationMath.h"

#include <cmath>

// After a removal the scan goes on at the next index, so whatever moved
// into the freed place waits for the next frame: every machine and every
// replay visits the field in this one order.
void CFieldLists::Update(IBattleStage* stage, uint32_t milliseconds)
{
    for (size_t i = 0; i < weapons.size(); ++i)
    {
        if (weapons[i]->Update(milliseconds) != 0)
            continue;
        weapons[i]->ReleaseRuntime();
        weapons.erase(weapons.begin() + static_cast<std::ptrdiff_t>(i));
    }
    // An item moves only while it stays on the field.
    for (size_t i = 0; i < items.size(); ++i)
    {
        if (items[i]->Update(0) != 0)
        {
            items[i]->MoveWithCollision(stage);
            continue;
        }
        items[i]->ReleaseAttachedEffect();
        items.erase(items.begin() + static_cast<std::ptrdiff_t>(i));
    }
}

void CFieldLists::LayWeapon(std::unique_ptr<CWeapon> weapon, const CkvrVector3& at, float yaw)
{
    if (weapon == nullptr)
        return;
    weapon->owner = -1;
    weapon->held = false;
    CkvrVector3 position = at;
    QuantizeVector(&position);
    weapon->SetPosition(&position);
    const CkvrVector3 rotation(0.0f, QuantizeYaw(yaw), 0.0f);
    weapon->SetRotation(&rotation);
    weapons.push_back(std::move(weapon));
}

void CFieldLists::LayItem(std::unique_ptr<CItem> item, const CkvrVector3& at)
{
    if (item == nullptr)
        return;
    CkvrVector3 position = at;
    QuantizeVector(&position);
    item->SetPosition(&position);
    items.push_back(std::move(item));
}

void CFieldLists::HashState(CStateHash* hash) const
{
    hash->U32(static_cast<uint32_t>(weapons.size()));
    for (const std::unique_ptr<CWeapon>& weapon : weapons)
    {
        hash->Vec3(*weapon->GetPosition());
        hash->Vec3(*weapon->GetRotation());
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
    // From a little above: a point that lies on a slope or a box top finds
    // that surface, not the floor under it.
    const CkvrVector3 start(position.x, position.y + kGroundProbeLift, position.z);
    const CkvrVector3 end(position.x, position.y - 100.0f, position.z);
    CkvrVector3 point, normal;
    float ground = -INFINITY;
    if (stage->IntersectGroundModel(start, end, &point, &normal) != 0)
        ground = point.y;
    if (stage->IntersectStageObjects(start, end, &point, &normal) != 0 && normal.y > 0.0f && point.y > ground)
        ground = point.y;
    return ground != -INFINITY ? CkvrVector3(position.x, ground, position.z) : position;
}
