#include "game/actor/CLongWeapon.h"

CLongWeapon::CLongWeapon(const CWeaponDefinition* definition) : CFiringWeapon(definition)
{
}
