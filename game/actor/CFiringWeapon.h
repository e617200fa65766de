#pragma once

#include "game/actor/CWeapon.h"

// What long-range and special weapons share: a magazine or a number of uses
// from the template's capacity, and bullet records fired from the owner's
// hand.
class CFiringWeapon : public CWeapon
{
public:
    const char* GetClassName() const override { return "CFiringWeapon"; }

    uint16_t GetMaxAmmo() const override;
    // The range of the bullet named by the first record; 0.0 when there is
    // no record or the name does not resolve.
    float GetFirstBulletParameter() const;
    // The owner's hand plus the first record's muzzle, both turned by the
    // owner's yaw: where that record's shots start. 0 without a record.
    uint32_t GetMuzzlePosition(CkvrVector3* out) const;

protected:
    explicit CFiringWeapon(const CWeaponDefinition* definition);
};
