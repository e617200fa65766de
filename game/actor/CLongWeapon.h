#pragma once

#include "game/actor/CFiringWeapon.h"

// A long-range weapon (types 6-11): a magazine of rounds that reloads.
class CLongWeapon : public CFiringWeapon
{
public:
    explicit CLongWeapon(const CWeaponDefinition* definition);
    const char* GetClassName() const override { return "CLongWeapon"; }

    // The live ammunition record: rounds left, then the reload clock.
    AmmoRecord* GetRounds() { return &m_ammo; }
    const AmmoRecord* GetRounds() const { return &m_ammo; }
};
