#pragma once

#include "game/actor/CFiringWeapon.h"

// A special weapon (types 12-16): a number of uses that reloads like a
// magazine.
class CSpecialWeapon : public CFiringWeapon
{
public:
    explicit CSpecialWeapon(const CWeaponDefinition* definition);
    const char* GetClassName() const override { return "CSpecialWeapon"; }

    // The live ammunition record: uses left, then the reload clock.
    AmmoRecord* GetUses() { return &m_ammo; }
    const AmmoRecord* GetUses() const { return &m_ammo; }
};
