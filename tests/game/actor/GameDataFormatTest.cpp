// Every game-data format: byte-identical round trips, every truncation and a
// trailing byte refused, and one case per refusal rule.
#include "game/actor/CGameDataLists.h"
#include "tests/game/actor/SampleDefinitions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

using samples::Bytes;

namespace
{
template <class T>
bool Loads(const std::vector<uint8_t>& bytes)
{
    T definition;
    return definition.Load(bytes.data(), bytes.size()) == 1;
}

template <class T>
bool Loads(const T& definition)
{
    return Loads<T>(Bytes(definition));
}

// hasHeader 0: a record inside a file (an effect player).
template <class T>
void ExpectRoundTrip(const T& definition, bool hasHeader = true)
{
    const std::vector<uint8_t> bytes = Bytes(definition);
    T loaded;
    ASSERT_EQ(loaded.Load(bytes.data(), bytes.size()), 1u);
    EXPECT_EQ(Bytes(loaded), bytes);
    for (size_t size = 0; size < bytes.size(); ++size)
    {
        T cut;
        ASSERT_EQ(cut.Load(bytes.data(), size), 0u) << "cut at " << size;
    }
    std::vector<uint8_t> longer = bytes;
    longer.push_back(0);
    EXPECT_FALSE(Loads<T>(longer));
    if (!hasHeader)
        return;
    // The shared header: magic, version 1, a zero word.
    for (size_t offset : {0u, 4u, 5u, 6u, 7u})
    {
        std::vector<uint8_t> bad = bytes;
        bad[offset] ^= (offset == 4 ? 0x03 : 0x01);
        EXPECT_FALSE(Loads<T>(bad)) << "header byte " << offset;
    }
}

void PutU32(std::vector<uint8_t>* bytes, size_t offset, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        (*bytes)[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}
}

TEST(GameDataFormat, EveryFormatRoundTripsAndRefusesCutsAndExtraBytes)
{
    ExpectRoundTrip(samples::Character());
    ExpectRoundTrip(samples::Weapon(CWeaponDefinition::FORMAT_SHORT));
    ExpectRoundTrip(samples::Weapon(CWeaponDefinition::FORMAT_LONG));
    ExpectRoundTrip(samples::Weapon(CWeaponDefinition::FORMAT_SPECIAL));
    ExpectRoundTrip(samples::Bullet());
    ExpectRoundTrip(samples::Clothes());
    ExpectRoundTrip(samples::ElementAttack(CElementAttackDefinition::FORMAT_ELEMENTAL));
    ExpectRoundTrip(samples::ElementAttack(CElementAttackDefinition::FORMAT_BURST));
    ExpectRoundTrip(samples::ElementAttack(CElementAttackDefinition::FORMAT_MAXIMUM));
    ExpectRoundTrip(samples::Element());
    ExpectRoundTrip(samples::Item());
    ExpectRoundTrip(samples::Stage());
    ExpectRoundTrip(samples::StageObject(false));
    ExpectRoundTrip(samples::StageObject(true));
    ExpectRoundTrip(CCharacterDefinition());
}

TEST(GameDataFormat, MagicChoosesTheVariant)
{
    CWeaponDefinition weapon;
    const std::vector<uint8_t> special = Bytes(samples::Weapon(CWeaponDefinition::FORMAT_SPECIAL));
    ASSERT_EQ(weapon.Load(special.data(), special.size()), 1u);
    EXPECT_EQ(weapon.format, CWeaponDefinition::FORMAT_SPECIAL);
    // A long-range type in a close-range file.
    CWeaponDefinition wrongType = samples::Weapon(CWeaponDefinition::FORMAT_SHORT);
    wrongType.type = 6;
    EXPECT_FALSE(Loads(wrongType));
    CWeaponDefinition wrongSpecial = samples::Weapon(CWeaponDefinition::FORMAT_SPECIAL);
    wrongSpecial.type = 11;
    EXPECT_FALSE(Loads(wrongSpecial));
    wrongSpecial.type = 17;
    EXPECT_FALSE(Loads(wrongSpecial));
}

TEST(GameDataFormat, FailedLoadLeavesTheDefinitionAlone)
{
    CBulletDefinition bullet = samples::Bullet();
    const std::vector<uint8_t> bytes = Bytes(bullet);
    EXPECT_EQ(bullet.Load(bytes.data(), bytes.size() - 1), 0u);
    EXPECT_STREQ(bullet.name, "Bullet_rifle");
    EXPECT_EQ(bullet.Load(nullptr, 0), 0u);
}

TEST(GameDataFormat, FixedTextsHoldANulAndZerosAfterIt)
{
    std::vector<uint8_t> bytes = Bytes(samples::Bullet());
    bytes[8 + 13] = 'x'; // after "Bullet_rifle" and its NUL
    EXPECT_FALSE(Loads<CBulletDefinition>(bytes));
    bytes = Bytes(samples::Bullet());
    for (size_t i = 0; i < CBulletDefinition::kNameSize; ++i)
        bytes[8 + i] = 'a';
    EXPECT_FALSE(Loads<CBulletDefinition>(bytes));
}

TEST(GameDataFormat, CountedTexts)
{
    // The bullet's model is its last field: u32 n at 92, then n bytes.
    const std::vector<uint8_t> good = Bytes(samples::Bullet());
    ASSERT_EQ(good.size(), 96u + 11u);
    std::vector<uint8_t> bytes = good;
    bytes[96 + 4] = 0; // a NUL inside the text
    EXPECT_FALSE(Loads<CBulletDefinition>(bytes));
    bytes = good;
    bytes.back() = 'x'; // no NUL at its end
    EXPECT_FALSE(Loads<CBulletDefinition>(bytes));
    bytes.assign(good.begin(), good.begin() + 92);
    bytes.resize(96 + 1);
    PutU32(&bytes, 92, 1); // a lone NUL: not told apart from none
    EXPECT_FALSE(Loads<CBulletDefinition>(bytes));
    bytes.resize(96);
    PutU32(&bytes, 92, 0); // none
    EXPECT_TRUE(Loads<CBulletDefinition>(bytes));
    for (uint32_t size : {261u, 262u})
    {
        bytes.assign(good.begin(), good.begin() + 92);
        bytes.resize(96 + size, 'm');
        bytes.back() = 0;
        PutU32(&bytes, 92, size);
        EXPECT_EQ(Loads<CBulletDefinition>(bytes), size == 261) << size;
    }
}

TEST(GameDataFormat, FloatsMustBeFiniteAndSizesPositive)
{
    CBulletDefinition bullet = samples::Bullet();
    bullet.gravity = NAN;
    EXPECT_FALSE(Loads(bullet));
    bullet.gravity = INFINITY;
    EXPECT_FALSE(Loads(bullet));
    bullet = samples::Bullet();
    bullet.radius = 0.0f;
    EXPECT_FALSE(Loads(bullet));
    bullet.radius = 0.05f;
    bullet.speed = -1.0f;
    EXPECT_FALSE(Loads(bullet));

    CCharacterDefinition character = samples::Character();
    character.radius = 0.0f;
    EXPECT_FALSE(Loads(character));
    character = samples::Character();
    character.handOffset.y = NAN;
    EXPECT_FALSE(Loads(character));
    CStageObjectDefinition box = samples::StageObject(false);
    box.halfSize.y = 0.0f;
    EXPECT_FALSE(Loads(box));
    CItemDefinition item = samples::Item();
    item.radius = -0.5f;
    EXPECT_FALSE(Loads(item));
    CWeaponDefinition sword = samples::Weapon(CWeaponDefinition::FORMAT_SHORT);
    sword.reach = 0.0f;
    EXPECT_FALSE(Loads(sword));
}

TEST(GameDataFormat, PaddingMustBeZero)
{
    std::vector<uint8_t> bytes = Bytes(samples::Character());
    bytes[8 + 260 + 6] = 1; // the two bytes after the six small fields
    EXPECT_FALSE(Loads<CCharacterDefinition>(bytes));
    bytes = Bytes(samples::Item());
    bytes[8 + 64 + 1] = 1; // after the kind
    EXPECT_FALSE(Loads<CItemDefinition>(bytes));
}

TEST(GameDataFormat, CharacterRanges)
{
    const CCharacterDefinition good = samples::Character();
    EXPECT_TRUE(Loads(good));
    CCharacterDefinition c = good;
    c.number = 8;
    c.ownBit = 1u << 8;
    EXPECT_FALSE(Loads(c));
    c = good;
    c.ownBit = 1; // not 1 << number
    EXPECT_FALSE(Loads(c));
    c = good;
    c.element = 7;
    EXPECT_FALSE(Loads(c));
    c = good;
    c.npc = 2;
    EXPECT_FALSE(Loads(c));
    c = good;
    c.kind = 5;
    EXPECT_FALSE(Loads(c));
    c = good;
    c.routePlateA = 3;
    EXPECT_FALSE(Loads(c));
    c = good;
    c.routePlateB = 6;
    EXPECT_FALSE(Loads(c));
    c = good;
    c.radio[4].phrase = 0x48;
    EXPECT_FALSE(Loads(c));
    c = good;
    c.radio[4].scope = 2;
    EXPECT_FALSE(Loads(c));
    c = good;
    c.motions.resize(41);
    EXPECT_FALSE(Loads(c));
    c.motions.resize(40);
    EXPECT_TRUE(Loads(c));
    c.motions[0].loop = 2;
    EXPECT_FALSE(Loads(c));
    c = good;
    c.voices.resize(73, "v.wav");
    EXPECT_FALSE(Loads(c));
    c.voices.resize(72);
    EXPECT_TRUE(Loads(c));
    c = good;
    c.life = 0;
    EXPECT_FALSE(Loads(c));
}

TEST(GameDataFormat, EquipmentNames)
{
    CWeaponDefinition w = samples::Weapon(CWeaponDefinition::FORMAT_LONG);
    std::strcpy(w.name, "R");
    EXPECT_FALSE(Loads(w));
    std::strcpy(w.name, std::string(127, 'r').c_str());
    EXPECT_FALSE(Loads(w));
    std::strcpy(w.name, std::string(126, 'r').c_str());
    EXPECT_TRUE(Loads(w));
    std::strcpy(w.name, "Ri");
    EXPECT_TRUE(Loads(w));
    std::strcpy(w.name, "Weapon\\Rifle");
    EXPECT_FALSE(Loads(w));
    std::strcpy(w.name, "Weapon/Rifle");
    EXPECT_FALSE(Loads(w));

    CClothesDefinition c = samples::Clothes();
    std::strcpy(c.name, "C");
    EXPECT_FALSE(Loads(c));
    std::strcpy(c.name, std::string(127, 'c').c_str());
    EXPECT_FALSE(Loads(c));

    CCharacterDefinition character = samples::Character();
    std::strcpy(character.defaultWeapons[5], "Claymore"); // repeated
    EXPECT_FALSE(Loads(character));
    character = samples::Character();
    std::strcpy(character.defaultClothes[2], "H");
    EXPECT_FALSE(Loads(character));
    character = samples::Character();
    std::strcpy(character.defaultClothes[2], "Hat");
    EXPECT_FALSE(Loads(character));
}

TEST(GameDataFormat, WeaponRanges)
{
    const CWeaponDefinition sword = samples::Weapon(CWeaponDefinition::FORMAT_SHORT);
    const CWeaponDefinition rifle = samples::Weapon(CWeaponDefinition::FORMAT_LONG);
    CWeaponDefinition w = sword;
    w.iconClass = 8;
    EXPECT_FALSE(Loads(w));
    w = sword;
    w.weight = 0;
    EXPECT_FALSE(Loads(w));
    w.weight = 11;
    EXPECT_FALSE(Loads(w));
    w.weight = 10;
    EXPECT_TRUE(Loads(w));
    w = sword;
    w.unlockKind = 3;
    EXPECT_FALSE(Loads(w));
    w = sword;
    w.hitEnd = w.hitStart; // an empty hit window
    EXPECT_FALSE(Loads(w));
    w = sword;
    w.hitEnd = w.swingTime + 1;
    EXPECT_FALSE(Loads(w));
    w = sword;
    w.motionSpeed = 0.0f;
    EXPECT_FALSE(Loads(w));
    w = rifle;
    w.bullets.clear();
    EXPECT_FALSE(Loads(w));
    w.bullets.resize(5);
    EXPECT_FALSE(Loads(w));
    w.bullets.resize(4);
    EXPECT_TRUE(Loads(w));
    w.bullets[3].shots = 0;
    EXPECT_FALSE(Loads(w));
    w.bullets[3].shots = 17;
    EXPECT_FALSE(Loads(w));
    w.bullets[3].shots = 1;
    w.bullets[3].spread = 45.5f;
    EXPECT_FALSE(Loads(w));
    w.bullets[3].spread = -1.0f;
    EXPECT_FALSE(Loads(w));
}

TEST(GameDataFormat, OtherRanges)
{
    CClothesDefinition clothes = samples::Clothes();
    clothes.slotMask = 0;
    EXPECT_FALSE(Loads(clothes));
    clothes.slotMask = 0x40;
    EXPECT_FALSE(Loads(clothes));
    clothes.slotMask = 0x3F;
    EXPECT_TRUE(Loads(clothes));

    CElementAttackDefinition attack = samples::ElementAttack(CElementAttackDefinition::FORMAT_BURST);
    attack.hitEnd = attack.duration + 1;
    EXPECT_FALSE(Loads(attack));
    attack = samples::ElementAttack(CElementAttackDefinition::FORMAT_BURST);
    attack.hitStart = attack.hitEnd + 1;
    EXPECT_FALSE(Loads(attack));
    attack = samples::ElementAttack(CElementAttackDefinition::FORMAT_BURST);
    attack.effectPlayers.resize(17);
    EXPECT_FALSE(Loads(attack));
    attack.effectPlayers.resize(16);
    EXPECT_TRUE(Loads(attack));

    CElementDefinition element = samples::Element();
    element.element = 7;
    EXPECT_FALSE(Loads(element));
    CItemDefinition item = samples::Item();
    item.kind = 8;
    EXPECT_FALSE(Loads(item));

    CStageDefinition stage = samples::Stage();
    stage.starts.clear();
    EXPECT_FALSE(Loads(stage));
    stage.starts.resize(33);
    EXPECT_FALSE(Loads(stage));
    stage.starts.resize(32);
    EXPECT_TRUE(Loads(stage));
    stage.placements.resize(257);
    EXPECT_FALSE(Loads(stage));
    stage.placements.resize(256);
    EXPECT_TRUE(Loads(stage));
    stage = samples::Stage();
    stage.extentMax.y = stage.extentMin.y;
    EXPECT_FALSE(Loads(stage));

    CStageObjectDefinition object = samples::StageObject(false);
    object.kind = 10;
    EXPECT_FALSE(Loads(object));
    object = samples::StageObject(false);
    object.mapMark = 7;
    EXPECT_FALSE(Loads(object));
    object.mapMark = 255;
    EXPECT_TRUE(Loads(object));
    CStageObjectDefinition route = samples::StageObject(true);
    route.waypoints.resize(1);
    EXPECT_FALSE(Loads(route));
    route.waypoints.resize(17);
    EXPECT_FALSE(Loads(route));
    route.waypoints.resize(16);
    EXPECT_TRUE(Loads(route));
}

TEST(GameDataFormat, EffectPlayerRecords)
{
    EXPECT_TRUE(Loads(samples::EffectPlayer(64)));
    ExpectRoundTrip(samples::EffectPlayer(5), false);
    EXPECT_FALSE(Loads(samples::EffectPlayer(65)));
    CEffectPlayerRecord player = samples::EffectPlayer(4);
    player.keys[2].time = 50.0f; // below the key before it
    EXPECT_FALSE(Loads(player));
    player = samples::EffectPlayer(4);
    player.keys[1].time = NAN;
    EXPECT_FALSE(Loads(player));
    player = samples::EffectPlayer(4);
    player.attachMode = 3;
    EXPECT_FALSE(Loads(player));
    player = samples::EffectPlayer(4);
    player.loop = 2;
    EXPECT_FALSE(Loads(player));
    player = samples::EffectPlayer(4);
    player.container = std::string(261, 'e');
    EXPECT_FALSE(Loads(player));

    // A count of keys far past the data is refused before anything is made.
    std::vector<uint8_t> bytes = Bytes(samples::EffectPlayer(0));
    const size_t count = bytes.size() - 16;
    PutU32(&bytes, count, 0xFFFFFFFFu);
    EXPECT_FALSE(Loads<CEffectPlayerRecord>(bytes));
}

TEST(GameDataFormat, EffectKeysPlayOnceAsTheClockPassesThem)
{
    const CEffectPlayerRecord player = samples::EffectPlayer(3); // keys 0, 100, 200
    EXPECT_EQ(player.CountKeysPassed(0, 16), 1u);   // the key at 0 in the first frame
    EXPECT_EQ(player.CountKeysPassed(16, 100), 0u); // 100 not yet passed
    EXPECT_EQ(player.CountKeysPassed(100, 116), 1u);
    EXPECT_EQ(player.CountKeysPassed(116, 500), 1u);
    EXPECT_EQ(player.CountKeysPassed(0, 500), 3u);
}

TEST(GameDataLists, LoadsByExtensionIntoItsList)
{
    CGameDataLists lists;
    const std::vector<uint8_t> rifle = Bytes(samples::Weapon(CWeaponDefinition::FORMAT_LONG));
    const std::vector<uint8_t> bullet = Bytes(samples::Bullet());
    EXPECT_EQ(lists.LoadFile("Weapon\\Rifle.LWP", rifle.data(), rifle.size()), 10u);
    EXPECT_EQ(lists.LoadFile("Bullet\\Rifle.blt", bullet.data(), bullet.size()), 7u);
    EXPECT_NE(lists.FindWeapon("Rifle"), nullptr);
    EXPECT_NE(lists.FindBullet("Bullet_rifle"), nullptr);
    EXPECT_EQ(lists.FindWeapon("Claymore"), nullptr);
    EXPECT_EQ(lists.FindWeapon(""), nullptr);

    // The same name twice, a magic of another extension, an unknown one.
    EXPECT_EQ(lists.LoadFile("Rifle2.lwp", rifle.data(), rifle.size()), 0u);
    EXPECT_EQ(lists.LoadFile("Rifle.swp", rifle.data(), rifle.size()), 0u);
    EXPECT_EQ(lists.LoadFile("Rifle.txt", rifle.data(), rifle.size()), 0u);
    EXPECT_EQ(lists.LoadFile(nullptr, rifle.data(), rifle.size()), 0u);
    EXPECT_EQ(lists.weapons.size(), 1u);

    const struct
    {
        const char* file;
        std::vector<uint8_t> bytes;
        uint32_t list;
    } all[] = {
        {"a.itm", Bytes(samples::Item()), 8},
        {"a.chr", Bytes(samples::Character()), 9},
        {"a.swp", Bytes(samples::Weapon(CWeaponDefinition::FORMAT_SHORT)), 10},
        {"a.cls", Bytes(samples::Clothes()), 11},
        {"a.sro", Bytes(samples::StageObject(true)), 12},
        {"a.sto", Bytes(samples::StageObject(false)), 12},
        {"a.stg", Bytes(samples::Stage()), 13},
        {"a.ema", Bytes(samples::ElementAttack(CElementAttackDefinition::FORMAT_MAXIMUM)), 14},
        {"a.elt", Bytes(samples::Element()), 15},
    };
    for (const auto& entry : all)
        EXPECT_EQ(lists.LoadFile(entry.file, entry.bytes.data(), entry.bytes.size()), entry.list) << entry.file;
    EXPECT_EQ(CGameDataLists::GetListOfFile("x.eba"), 14u);
    EXPECT_EQ(CGameDataLists::GetListOfFile("x.ela"), 14u);
    EXPECT_EQ(CGameDataLists::GetListOfFile("x.spw"), 10u);
    EXPECT_EQ(CGameDataLists::GetListOfFile("x.kmd"), 0u);
    lists.Clear();
    EXPECT_TRUE(lists.weapons.empty());
}
