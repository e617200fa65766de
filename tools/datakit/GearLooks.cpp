// The blocks of the stand-in weapons, bullets, items and elements.
#include "tools/datakit/GearLooks.h"

#include "tools/datakit/ModelBuilding.h"

namespace
{
struct Look
{
    const char* model;
    CkvrVector3 low;
    CkvrVector3 high;
    CkvrVector4 colour;
};

// A two-handed blade a little longer than an arm; a rifle from the
// shoulder to just short of its muzzle (0.1 up, 1.0 ahead of the hand); a
// launcher's tube over the shoulder; a bullet's slug; an item's box and an
// element's gem standing on the ground.
const Look kLooks[] = {
    {"Gear_blade.mdl", {-0.035f, -0.015f, -0.15f}, {0.035f, 0.015f, 1.05f}, {0.82f, 0.85f, 0.9f, 1.0f}},
    {"Gear_gun.mdl", {-0.04f, -0.05f, -0.3f}, {0.04f, 0.13f, 0.95f}, {0.22f, 0.22f, 0.26f, 1.0f}},
    {"Gear_launcher.mdl", {-0.09f, -0.02f, -0.45f}, {0.09f, 0.2f, 0.95f}, {0.3f, 0.45f, 0.2f, 1.0f}},
    {GearLooks::kBulletModel, {-0.05f, -0.05f, -0.15f}, {0.05f, 0.05f, 0.15f}, {1.0f, 0.85f, 0.3f, 1.0f}},
    {GearLooks::kItemModel, {-0.25f, 0.0f, -0.25f}, {0.25f, 0.4f, 0.25f}, {0.95f, 0.75f, 0.2f, 1.0f}},
    {GearLooks::kElementModel, {-0.15f, 0.0f, -0.15f}, {0.15f, 0.5f, 0.15f}, {0.35f, 0.65f, 1.0f, 1.0f}},
};
}

const char* GearLooks::WeaponModel(CWeaponDefinition::Format format)
{
    switch (format)
    {
    case CWeaponDefinition::FORMAT_SHORT: return kLooks[0].model;
    case CWeaponDefinition::FORMAT_LONG: return kLooks[1].model;
    default: return kLooks[2].model;
    }
}

std::vector<GearLooks::ModelFile> GearLooks::Models()
{
    std::vector<ModelFile> models;
    for (const Look& look : kLooks)
        models.push_back({std::string("Model\\") + look.model,
                          ModelBuilding::BlockModel(look.model, look.low, look.high, look.colour)});
    return models;
}
