#include "game/actor/CWeapon.h"

#include "game/actor/CStateHash.h"
#include "game/actor/CWeaponDefinition.h"

CWeapon::CWeapon(const CWeaponDefinition* definition) : m_definition(definition)
{
    m_rounds = GetMaxAmmo();
}

bool CWeapon::IsShort() const
{
    return m_definition != nullptr && m_definition->type <= 5;
}

bool CWeapon::IsLong() const
{
    return m_definition != nullptr && m_definition->type >= 6 && m_definition->type <= 11;
}

bool CWeapon::IsSpecial() const
{
    return m_definition != nullptr && m_definition->type >= 12 && m_definition->type <= 16;
}

uint16_t CWeapon::GetMaxAmmo() const
{
    return Fires() ? m_definition->capacity : 0;
}

uint32_t CWeapon::Spend()
{
    if (m_rounds == 0)
        return 0;
    --m_rounds;
    m_reloadClock = 0;
    return 1;
}

int CWeapon::Update(uint32_t milliseconds)
{
    if (owner < 0)
    {
        m_dropClock += milliseconds;
        return m_dropClock >= kFieldLifeMilliseconds ? 0 : 1;
    }
    m_dropClock = 0;
    if (!Fires() || m_rounds != 0 || m_definition->reloadTime == 0)
        return 1;
    m_reloadClock += milliseconds;
    if (m_reloadClock >= m_definition->reloadTime)
    {
        m_reloadClock = 0;
        Refill();
    }
    return 1;
}

void CWeapon::HashState(CStateHash* hash) const
{
    hash->I32(owner);
    hash->U8(held ? 1 : 0);
    hash->U32(m_rounds);
    hash->U32(m_reloadClock);
    hash->U32(m_dropClock);
}
