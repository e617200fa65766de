#include "game/actor/CFiringWeapon.h"

#include "game/actor/CBulletDefinition.h"
#include "game/actor/CGameDataLists.h"
#include "game/actor/CWeaponDefinition.h"

CFiringWeapon::CFiringWeapon(const CWeaponDefinition* definition) : CWeapon(definition)
{
    Refill();
}

uint16_t CFiringWeapon::GetMaxAmmo() const
{
    return GetDefinition() != nullptr ? GetDefinition()->capacity : 0;
}

float CFiringWeapon::GetFirstBulletParameter() const
{
    if (GetDefinition() == nullptr || GetDefinition()->bullets.empty() || m_gameData == nullptr)
        return 0.0f;
    const CBulletDefinition* bullet = m_gameData->FindBullet(GetDefinition()->bullets[0].bullet.c_str());
    return bullet != nullptr ? bullet->range : 0.0f;
}

uint32_t CFiringWeapon::GetMuzzlePosition(CkvrVector3* out) const
{
    if (out == nullptr || GetDefinition() == nullptr || GetDefinition()->bullets.empty())
        return 0;
    // The very sums firing makes, so that the aim starts where shots do.
    const CkvrVector3 hand = GetHandPosition();
    const CkvrVector3 muzzle = TurnByYaw(GetDefinition()->bullets[0].muzzle, GetHolderYaw());
    *out = CkvrVector3(hand.x + muzzle.x, hand.y + muzzle.y, hand.z + muzzle.z);
    return 1;
}
