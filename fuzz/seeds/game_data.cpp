// Writes seed files for the game-data fuzz target: one valid file of every
// format and an effect-player record, through the formats' own Save.
#include "tests/game/actor/SampleDefinitions.h"

#include <cstdio>
#include <string>
#include <vector>

namespace
{
bool Write(const std::string& folder, const char* name, const std::vector<uint8_t>& bytes)
{
    const std::string path = folder + "/" + name;
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && ok;
}
}

int main(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    using namespace samples;
    const std::string folder = argv[1];
    bool ok = Write(folder, "character.chr", Bytes(Character()));
    ok = Write(folder, "sword.swp", Bytes(Weapon(CWeaponDefinition::FORMAT_SHORT))) && ok;
    ok = Write(folder, "rifle.lwp", Bytes(Weapon(CWeaponDefinition::FORMAT_LONG))) && ok;
    ok = Write(folder, "launcher.spw", Bytes(Weapon(CWeaponDefinition::FORMAT_SPECIAL))) && ok;
    ok = Write(folder, "bullet.blt", Bytes(Bullet())) && ok;
    ok = Write(folder, "coat.cls", Bytes(Clothes())) && ok;
    ok = Write(folder, "attack.ela", Bytes(ElementAttack(CElementAttackDefinition::FORMAT_ELEMENTAL))) && ok;
    ok = Write(folder, "attack.eba", Bytes(ElementAttack(CElementAttackDefinition::FORMAT_BURST))) && ok;
    ok = Write(folder, "attack.ema", Bytes(ElementAttack(CElementAttackDefinition::FORMAT_MAXIMUM))) && ok;
    ok = Write(folder, "element.elt", Bytes(Element())) && ok;
    ok = Write(folder, "item.itm", Bytes(Item())) && ok;
    ok = Write(folder, "stage.stg", Bytes(Stage())) && ok;
    ok = Write(folder, "box.sto", Bytes(StageObject(false))) && ok;
    ok = Write(folder, "platform.sro", Bytes(StageObject(true))) && ok;
    ok = Write(folder, "player.efp", Bytes(EffectPlayer(4))) && ok;
    return ok ? 0 : 1;
}
