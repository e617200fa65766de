// Writes the seeds of the per-reader game-data fuzz targets: every file of
// the data kit's stand-in game data, into the folder of its reader (named as
// in fuzz/CMakeLists.txt), and the effect players of its element attacks,
// plus the tests' sample definitions with their fuller fields.
#include "game/actor/CElementAttackDefinition.h"
#include "tests/game/actor/SampleDefinitions.h"
#include "tools/datakit/GameDataKit.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace
{
struct ReaderOfExtension
{
    const char* extension;
    const char* reader;
};

constexpr ReaderOfExtension kReaders[] = {
    {".chr", "character"},      {".swp", "weapon"},         {".lwp", "weapon"},  {".spw", "weapon"},
    {".blt", "bullet"},         {".cls", "clothes"},        {".ela", "element_attack"},
    {".eba", "element_attack"}, {".ema", "element_attack"}, {".elt", "element"}, {".itm", "item"},
    {".stg", "stage"},          {".sto", "stage_object"},   {".sro", "stage_object"}};

const char* ReaderOf(const std::string& name)
{
    for (const ReaderOfExtension& entry : kReaders)
    {
        const size_t n = std::strlen(entry.extension);
        if (name.size() > n && name.compare(name.size() - n, n, entry.extension) == 0)
            return entry.reader;
    }
    return nullptr;
}

bool Write(const std::string& folder, const char* reader, const std::string& name, const std::vector<uint8_t>& bytes)
{
    std::error_code error;
    std::filesystem::create_directories(folder + "/" + reader, error);
    const std::string path = folder + "/" + reader + "/" + name;
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && ok;
}

// The record's file name without its folder: "Weapon\\Rifle.lwp" -> "Rifle.lwp".
std::string BaseName(const std::string& record)
{
    const size_t slash = record.find_last_of("\\/");
    return slash == std::string::npos ? record : record.substr(slash + 1);
}
}

int main(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    const std::string folder = argv[1];
    bool ok = true;
    int players = 0;
    for (const GameDataKit::GameFile& file : GameDataKit::Files())
    {
        const char* reader = ReaderOf(file.name);
        if (reader == nullptr)
            return 1;
        ok = Write(folder, reader, BaseName(file.name), file.bytes) && ok;
        CElementAttackDefinition attack;
        if (std::strcmp(reader, "element_attack") != 0 || attack.Load(file.bytes.data(), file.bytes.size()) == 0)
            continue;
        for (const CEffectPlayerRecord& player : attack.effectPlayers)
            ok = Write(folder, "effect_player_record", "kit_" + std::to_string(players++) + ".efp",
                       samples::Bytes(player)) &&
                 ok;
    }
    using namespace samples;
    ok = Write(folder, "character", "sample.chr", Bytes(Character())) && ok;
    ok = Write(folder, "weapon", "sample.swp", Bytes(Weapon(CWeaponDefinition::FORMAT_SHORT))) && ok;
    ok = Write(folder, "weapon", "sample.spw", Bytes(Weapon(CWeaponDefinition::FORMAT_SPECIAL))) && ok;
    ok = Write(folder, "element_attack", "sample.ema",
               Bytes(ElementAttack(CElementAttackDefinition::FORMAT_MAXIMUM))) &&
         ok;
    ok = Write(folder, "stage", "sample.stg", Bytes(Stage())) && ok;
    ok = Write(folder, "stage_object", "sample.sro", Bytes(StageObject(true))) && ok;
    ok = Write(folder, "effect_player_record", "sample.efp", Bytes(EffectPlayer(4))) && ok;
    return ok && players > 0 ? 0 : 1;
}
