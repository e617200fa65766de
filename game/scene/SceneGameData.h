#pragma once

#include "game/actor/CCharacterDefinition.h"
#include "game/actor/CClothesDefinition.h"
#include "game/actor/CWeaponDefinition.h"

#include <cstdint>

// The game data the menu scenes read from the resource controller's lists,
// by list index (the order the play data's tables follow) or by name. Null
// past the list, for an entry that is no such definition, or without a
// resource controller.
namespace SceneGameData
{
uint32_t CharacterCount();
uint32_t WeaponCount();
uint32_t ClothesCount();
uint32_t StageCount();
const CCharacterDefinition* Character(uint32_t index);
const CWeaponDefinition* Weapon(uint32_t index);
const CClothesDefinition* Clothes(uint32_t index);
// The clothes item of that name; null for an empty name.
const CClothesDefinition* FindClothes(const char* name);
}
