#include "game/actor/CSpecialWeapon.h"

CSpecialWeapon::CSpecialWeapon(const CWeaponDefinition* definition) : CFiringWeapon(definition)
{
}
