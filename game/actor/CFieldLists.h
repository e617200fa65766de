#pragma once

#include "game/actor/CItem.h"
#include "game/actor/CWeapon.h"

#include <memory>
#include <vector>

class CStateHash;
class IBattleStage;

// The weapons and items lying on the field, in the order they were laid.
struct CFieldLists
{
    std::vector<std::unique_ptr<CWeapon>> weapons;
    std::vector<std::unique_ptr<CItem>> items;

    // Steps every field weapon and item, removing those that end; items
    // fall onto the stage.
    void Update(IBattleStage* stage, uint32_t milliseconds);
    void HashState(CStateHash* hash) const;
};

// Where something dropped at position comes to rest: the ground or a box
// top within 100 below, else where it is.
CkvrVector3 GroundBelow(IBattleStage* stage, const CkvrVector3& position);
