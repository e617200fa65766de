// Writes seed files for the game-data fuzz target: one valid file of every
// format and an effect-player record, through the formats' own Save.
#include "SeedFile.h"

#include "tests/game/actor/SampleDefinitions.h"

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    using namespace samples;
    const std::string folder = argv[1];
    bool ok = WriteSeed(folder, "character.chr", Bytes(Character()));
    ok = WriteSeed(folder, "sword.swp", Bytes(Weapon(CWeaponDefinition::FORMAT_SHORT))) && ok;
    ok = WriteSeed(folder, "rifle.lwp", Bytes(Weapon(CWeaponDefinition::FORMAT_LONG))) && ok;
    ok = WriteSeed(folder, "launcher.spw", Bytes(Weapon(CWeaponDefinition::FORMAT_SPECIAL))) && ok;
    ok = WriteSeed(folder, "bullet.blt", Bytes(Bullet())) && ok;
    ok = WriteSeed(folder, "coat.cls", Bytes(Clothes())) && ok;
    ok = WriteSeed(folder, "attack.ela", Bytes(ElementAttack(CElementAttackDefinition::FORMAT_ELEMENTAL))) && ok;
    ok = WriteSeed(folder, "attack.eba", Bytes(ElementAttack(CElementAttackDefinition::FORMAT_BURST))) && ok;
    ok = WriteSeed(folder, "attack.ema", Bytes(ElementAttack(CElementAttackDefinition::FORMAT_MAXIMUM))) && ok;
    ok = WriteSeed(folder, "element.elt", Bytes(Element())) && ok;
    ok = WriteSeed(folder, "item.itm", Bytes(Item())) && ok;
    ok = WriteSeed(folder, "stage.stg", Bytes(Stage())) && ok;
    ok = WriteSeed(folder, "box.sto", Bytes(StageObject(false))) && ok;
    ok = WriteSeed(folder, "platform.sro", Bytes(StageObject(true))) && ok;
    ok = WriteSeed(folder, "player.efp", Bytes(EffectPlayer(4))) && ok;
    return ok ? 0 : 1;
}
