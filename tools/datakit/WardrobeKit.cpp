// The stand-in clothes and their boxes.
#include "tools/datakit/WardrobeKit.h"

#include "engine/core/CByteWriter.h"
#include "game/actor/CClothesDefinition.h"
#include "tools/datakit/FighterModels.h"
#include "tools/datakit/ModelBuilding.h"

#include <cstdio>

namespace
{
// One item: its name, slots, price, unlock rule and who may wear it, and
// its box on a bone of the figure (centre and half sizes in the bone's
// space, y up the bone, z to the front) in its colour.
struct Garment
{
    const char* name;
    uint16_t slotMask;
    uint32_t price;
    uint8_t unlockKind; // 0 from the start, 1 after battles, 2 after wins
    uint32_t unlockThreshold;
    uint32_t wearers;
    const char* description;
    const char* bone;
    CkvrVector3 centre;
    CkvrVector3 half;
    CkvrVector4 colour;
};

// Hat and coat come first: the stories and the characters' own clothes
// name them. The hat lies flat on the head's top (0.27 above the head's
// joint): a taller one would rise into the setup pages' title band over the
// weapons page's preview.
const Garment kGarments[] = {
    {"Hat", 0x01, 0, 0, 0, WardrobeKit::kWearers, "A plain hat", "Head", {0.0f, 0.29f, 0.0f},
     {0.15f, 0.02f, 0.15f}, {0.95f, 0.95f, 0.88f, 1.0f}},
    {"Coat", 0x06, 300, 1, 3, WardrobeKit::kWearers, "A warm coat over body and arms", "Chest",
     {0.0f, 0.18f, 0.0f}, {0.23f, 0.22f, 0.15f}, {0.55f, 0.35f, 0.15f, 1.0f}},
    {"Cap", 0x01, 150, 0, 0, WardrobeKit::kWearers, "A cap with a peak", "Head", {0.0f, 0.29f, 0.04f},
     {0.14f, 0.04f, 0.18f}, {0.15f, 0.35f, 0.9f, 1.0f}},
    {"Gloves", 0x08, 500, 2, 1, WardrobeKit::kWearers, "Gloves, earned by a first win", "ForearmR",
     {0.0f, -0.3f, 0.0f}, {0.07f, 0.06f, 0.07f}, {0.95f, 0.85f, 0.1f, 1.0f}},
    {"Boots", 0x10, 200, 0, 0, WardrobeKit::kWearers, "Boots for long marches", "ShinL", {0.0f, -0.38f, 0.03f},
     {0.08f, 0.08f, 0.12f}, {0.1f, 0.1f, 0.1f, 1.0f}},
    {"Cape", 0x20, 400, 1, 5, WardrobeKit::kWearers, "A cape down the back", "Chest", {0.0f, 0.12f, -0.15f},
     {0.22f, 0.3f, 0.02f}, {0.55f, 0.15f, 0.7f, 1.0f}},
    // Head and back at once, for the first four only.
    {"Scarf", 0x21, 250, 0, 0, 0x0F, "A long scarf round the neck and down the back", "Chest",
     {0.0f, 0.41f, 0.0f}, {0.17f, 0.05f, 0.15f}, {0.1f, 0.75f, 0.35f, 1.0f}},
};

std::string ModelName(const Garment& garment)
{
    return std::string("Clothes_") + garment.name + ".mdl";
}

}

void WardrobeKit::AddClothes(std::vector<GameDataKit::GameFile>* files)
{
    for (const Garment& garment : kGarments)
    {
        CClothesDefinition clothes;
        std::snprintf(clothes.name, sizeof(clothes.name), "%s", garment.name);
        clothes.price = garment.price;
        clothes.slotMask = garment.slotMask;
        clothes.characterMask = garment.wearers;
        clothes.unlockKind = garment.unlockKind;
        clothes.unlockThreshold = garment.unlockThreshold;
        clothes.description = garment.description;
        clothes.model = ModelName(garment);
        clothes.bone = garment.bone;
        CByteWriter writer;
        clothes.Save(&writer);
        files->push_back({std::string("Clothes\\") + garment.name + ".cls", writer.GetBytes()});
    }
}

std::vector<WardrobeKit::ModelFile> WardrobeKit::Models()
{
    std::vector<ModelFile> models;
    for (const Garment& garment : kGarments)
    {
        // Unweighted: it is drawn with its bone's matrix, on a figure of
        // the fighters' size.
        const CkvrVector3 low = (garment.centre - garment.half) * FighterModels::kScale;
        const CkvrVector3 high = (garment.centre + garment.half) * FighterModels::kScale;
        models.push_back({"Model\\" + ModelName(garment),
                          ModelBuilding::BlockModel(garment.name, low, high, garment.colour)});
    }
    return models;
}
