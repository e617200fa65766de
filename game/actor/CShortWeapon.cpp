#include "game/actor/CShortWeapon.h"

CShortWeapon::CShortWeapon(const CWeaponDefinition* definition) : CWeapon(definition)
{
}
