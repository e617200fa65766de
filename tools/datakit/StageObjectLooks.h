#pragma once

#include "tools/datakit/GameDataKit.h"

#include <string>
#include <vector>

struct CStageObjectDefinition;

// What a person sees of the arena's objects, as the tutorial's lessons name
// them: the weapon boxes green, the item boxes purple, each altar in its
// element's colour, the moving platform grey; each a block of exactly its
// collision box, standing on the floor.
namespace StageObjectLooks
{
// Names the object's own model ("Object_<name>.mdl").
void Dress(CStageObjectDefinition* object);

// The models of the stage objects among files (the game data), as records
// ("Model\\Object_Box_weapon.mdl") and bytes.
struct ModelFile
{
    std::string name;
    std::vector<uint8_t> bytes;
};
std::vector<ModelFile> Models(const std::vector<GameDataKit::GameFile>& files);
}
