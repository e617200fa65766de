#pragma once

#include "tools/datakit/GameDataKit.h"

#include <cstdint>
#include <string>
#include <vector>

// The stand-in clothes: items for each of the six slots, one that covers
// two, every unlock kind and a price of 0 among them, each a box in a colour
// of its own on the bone of the figure it belongs on (head, chest, forearm,
// shin), so that a person sees what a fighter wears. The guide can wear
// none of them.
namespace WardrobeKit
{
// Every selectable character but the guide (index 7).
constexpr uint32_t kWearers = 0x7F;
// What the characters wear unless the player chooses otherwise.
constexpr const char* kDefaultClothes = "Hat";

// The clothes definitions, in list order.
void AddClothes(std::vector<GameDataKit::GameFile>* files);
// Their models, as records ("Model\\Clothes_Hat.mdl") and bytes.
struct ModelFile
{
    std::string name;
    std::vector<uint8_t> bytes;
};
std::vector<ModelFile> Models();
}
