#pragma once

#include "engine/core/CkvrVector3.h"

#include <cstdint>

struct CWeaponDefinition;
class CStateHash;

// A weapon carried by a fighter or lying on the field: its template, its
// owner (fighter index, -1 none), and its ammunition {rounds or uses,
// reload clock}. Close-range weapons have no ammunition.
class CWeapon
{
public:
    static constexpr uint32_t kFieldLifeMilliseconds = 100000;

    explicit CWeapon(const CWeaponDefinition* definition);

    const CWeaponDefinition* GetDefinition() const { return m_definition; }
    bool IsShort() const;
    bool IsLong() const;
    bool IsSpecial() const;
    // Long and special weapons fire bullets.
    bool Fires() const { return IsLong() || IsSpecial(); }
    uint16_t GetMaxAmmo() const;
    uint16_t GetRounds() const { return m_rounds; }
    uint32_t GetReloadClock() const { return m_reloadClock; }
    // One round or use; 0 when empty.
    uint32_t Spend();
    void Refill() { m_rounds = GetMaxAmmo(); }

    int32_t owner = -1;
    bool held = false;
    // Where it lies while on the field.
    CkvrVector3 position;

    // Held and empty: the reload clock runs to the reload time, then the
    // weapon is full (a reload time of 0 never reloads). On the field: 0
    // once it has lain there 100 s.
    int Update(uint32_t milliseconds);
    void HashState(CStateHash* hash) const;

private:
    const CWeaponDefinition* m_definition;
    uint16_t m_rounds = 0;
    uint32_t m_reloadClock = 0;
    uint32_t m_dropClock = 0;
};
