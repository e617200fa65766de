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

    // Puts an unowned weapon on the field at a place and yaw, and an item
    // at a place, both quantised like every other simulated pose.
    void LayWeapon(std::unique_ptr<CWeapon> weapon, const CkvrVector3& at, float yaw);
    void LayItem(std::unique_ptr<CItem> item, const CkvrVector3& at);

    // Steps every field weapon and item, removing those that end; items
    // fall onto the stage.
    void Update(IBattleStage* stage, uint32_t milliseconds);
    void HashState(CStateHash* hash) const;
};

// Where something dropped at position comes to rest: the ground or a box
// top from kGroundProbeLift above it to 100 below, else where it is.
constexpr float kGroundProbeLift = 0.5f;
CkvrVector3 GroundBelow(IBattleStage* stage, const CkvrVector3& position);
