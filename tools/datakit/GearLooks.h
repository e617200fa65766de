#pragma once

#include "game/actor/CWeaponDefinition.h"

#include <cstdint>
#include <string>
#include <vector>

// What a person sees of what the fighters hold, shoot and pick up, each a
// block at the size of the thing it stands for, in a colour of its own: a
// steel blade for close-range weapons, a dark gun for long-range ones, a
// green tube for special ones, a bright slug for bullets, a golden box for
// items and a blue gem for elements. A weapon's block runs forward (+z)
// from the hand that holds it.
namespace GearLooks
{
// The model a weapon of this format names.
const char* WeaponModel(CWeaponDefinition::Format format);
constexpr const char* kBulletModel = "Gear_bullet.mdl";
constexpr const char* kItemModel = "Gear_item.mdl";
constexpr const char* kElementModel = "Gear_element.mdl";

// Every one of them, as records ("Model\\Gear_blade.mdl") and bytes.
struct ModelFile
{
    std::string name;
    std::vector<uint8_t> bytes;
};
std::vector<ModelFile> Models();
}
