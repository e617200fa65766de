#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The stand-in game data of the data kit: characters, weapons, bullets,
// clothes, items, elements, element attacks, stage objects and the
// "Stand-in Arena" stage, each written through its definition's Save, and
// the arena's models as text X files for the mesh converter. Every name a
// definition refers to is a file or definition of the same set (or empty).
namespace GameDataKit
{
struct GameFile
{
    std::string name; // the record, e.g. "Character\\Chara_00.chr"
    std::vector<uint8_t> bytes;
};

// The definition files, in list order. The same bytes on every call.
std::vector<GameFile> Files();

// Text X files of the arena: the ground (a 100 x 100 floor and a ramp) and
// the hit model (the four walls around the floor).
std::string ArenaGroundX();
std::string ArenaHitX();

// Names the definitions refer to that live outside the game data.
constexpr const char* kGroundModel = "Arena_ground.mdl";
constexpr const char* kHitModel = "Arena_hit.mdl";
constexpr const char* kMapPicture = "Map_arena.dds";
constexpr const char* kEffect = "Efc_hit";
constexpr const char* kVoice = "Se_select.ogg";

constexpr uint32_t kCharacters = 8;
// The characters' names, by character index (which is also their number).
constexpr const char* kCharacterNames[kCharacters] = {"Aria", "Bram", "Cleo", "Dax", "Edda", "Finn", "Gale", "Guide"};
constexpr const char* kStageName = "Stand-in Arena";
}
