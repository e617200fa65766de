#pragma once

#include "game/actor/CWeapon.h"

// A close-range weapon (types 0-5): it swings and fires nothing, so it has
// no ammunition.
class CShortWeapon : public CWeapon
{
public:
    explicit CShortWeapon(const CWeaponDefinition* definition);
    const char* GetClassName() const override { return "CShortWeapon"; }
};
