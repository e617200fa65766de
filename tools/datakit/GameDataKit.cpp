#include "tools/datakit/GameDataKit.h"

#include "tools/datakit/ArenaLook.h"
#include "tools/datakit/FighterModels.h"

#include "engine/core/CByteWriter.h"
#include "engine/core/TextEncoding.h"
#include "game/actor/CBulletDefinition.h"
#include "game/actor/CCharacterDefinition.h"
#include "game/actor/CClothesDefinition.h"
#include "game/actor/CElementAttackDefinition.h"
#include "game/actor/CElementDefinition.h"
#include "game/actor/CItemDefinition.h"
#include "game/actor/CStageDefinition.h"
#include "game/actor/CStageObjectDefinition.h"
#include "game/actor/CWeaponDefinition.h"
#include "game/scene/StorySheet.h"
#include "tools/datakit/StageObjectLooks.h"
#include "tools/datakit/StoryDataKit.h"
#include "tools/datakit/GearLooks.h"
#include "tools/datakit/WardrobeKit.h"

#include <array>
#include <cstdio>
#include <cstring>

namespace
{
constexpr const char* kElementNames[7] = {"fire", "water", "wind", "earth", "thunder", "light", "dark"};
using GameDataKit::kCharacterNames;
constexpr uint32_t kAllCharacters = 0xFF;

// The three default weapons weigh 7 together, so a fighter can still pick
// up a weapon of weight 3 under the limit of 10.
const std::string& ClaymoreName()
{
    static const std::string name = ConvertUtf8ToShiftJis("クレイモア");
    return name;
}
constexpr const char* kRifle = "Rifle";
constexpr const char* kLauncher = "Launcher";

// The balance of the set. A hit takes power x 20 of the victim's life (x 1.5
// under the power item); every fighter has kLife. The aim: nobody is downed
// before a newcomer can act. A close-range computer on Easy swings at most
// once a second, so a full life must take it six hits; a full life takes at
// least five rifle shots, even under the power item; and no single attack of
// any kind downs a full life, even under the power item. The powers are also
// the weapons' power ratings (the shop's stars), which now tell the weapons
// apart instead of all showing full.
// Every character's life, the same round thousand for all: the stand-in
// fighters differ in looks only, so no choice of character is a trap for a
// newcomer, and the powers below are set against this one number.
constexpr uint16_t kLife = 1000;
// 180 a hit, six to down a full life (900 after five): an Easy computer's
// six swings fall in six of its one-second turns, about four seconds or more
// first to last; a Nightmare one's, a swing every 0.6 s at best, take three.
// Under the power item (270) four hits.
constexpr uint8_t kClaymorePower = 9;
// The shop's sword matches the starting blade: it is bought for its look,
// never to out-hit a newcomer's defaults.
constexpr uint8_t kSabrePower = kClaymorePower;
// 160 a shot, seven to down a full life (960 after six); five under the
// power item (240). A magazine of 12 downs one fighter with shots to spare,
// and a computer, one shot a turn, needs seconds to land seven.
constexpr uint8_t kRiflePower = 8;
// 140 a shot, eight to down (five under the power item): the heavier gun's
// larger magazine (20) pays for a lighter shot, so it does not outgun the
// rifle a fighter starts with.
constexpr uint8_t kCarbinePower = 7;
// 300 a hit: its three uses together (900) leave a full life standing, so
// the launcher softens a fighter and another weapon finishes; three hits
// under the power item (450).
constexpr uint8_t kLauncherPower = 15;
// The element attacks rise with what they cost: the elemental attack (2 EP,
// four seconds of refill) 300, a little under two swings; the burst (a full
// gauge) 500, half a life; the maximum attack (all 5 EP) 600, the strongest,
// yet 900 under the power item, short of a full life.
constexpr uint8_t kElementalPower = 15;
constexpr uint8_t kBurstPower = 25;
constexpr uint8_t kMaximumPower = 30;

void SetName(char* field, size_t size, const std::string& name)
{
    std::snprintf(field, size, "%s", name.c_str());
}

template <class T>
void Add(std::vector<GameDataKit::GameFile>* files, const std::string& record, const T& definition)
{
    CByteWriter writer;
    definition.Save(&writer);
    files->push_back({record, writer.GetBytes()});
}

CEffectPlayerRecord HitPlayer()
{
    CEffectPlayerRecord player;
    player.container = GameDataKit::kEffect;
    player.position = CkvrVector3(0.0f, 1.0f, 1.0f);
    player.timeLimit = 0.6f;
    player.attachMode = 1;
    player.keys.push_back({0.0f, 0.0f, 1.0f});
    return player;
}

void AddBullets(std::vector<GameDataKit::GameFile>* files)
{
    struct Shape
    {
        std::string name;
        float range, speed, gravity, radius;
    };
    std::vector<Shape> shapes = {{"Bullet_rifle", 60.0f, 120.0f, 0.0f, 0.05f},
                                 {"Bullet_launcher", 40.0f, 30.0f, -4.0f, 0.3f}};
    for (const char* element : kElementNames)
        shapes.push_back({std::string("Bullet_jem_") + element, 30.0f, 40.0f, 0.0f, 0.2f});
    for (const Shape& shape : shapes)
    {
        CBulletDefinition b;
        SetName(b.name, sizeof(b.name), shape.name);
        b.range = shape.range;
        b.speed = shape.speed;
        b.gravity = shape.gravity;
        b.radius = shape.radius;
        b.model = GearLooks::kBulletModel;
        Add(files, "Bullet\\" + shape.name + ".blt", b);
    }
}

void AddItems(std::vector<GameDataKit::GameFile>* files)
{
    static const std::array<const char*, 8> kNames = {"Item_power", "Item_speed", "Item_life", "Item_ep",
                                                      "Item_gauge", "Item_ammo",  "Coin",      "Juel"};
    static const std::array<float, 8> kValues = {1.5f, 1.3f, 300.0f, 3.0f, 50.0f, 1.0f, 100.0f, 1.0f};
    for (uint8_t kind = 0; kind < kNames.size(); ++kind)
    {
        CItemDefinition i;
        SetName(i.name, sizeof(i.name), kNames[kind]);
        i.kind = kind;
        i.value = kValues[kind];
        i.duration = kind <= CItemDefinition::KIND_SPEED ? 10000 : 0;
        i.radius = 0.6f;
        i.fieldLife = 30000;
        i.model = GearLooks::kItemModel;
        i.effect = GameDataKit::kEffect;
        Add(files, std::string("Item\\") + kNames[kind] + ".itm", i);
    }
}

void AddElements(std::vector<GameDataKit::GameFile>* files)
{
    for (uint8_t element = 0; element < 7; ++element)
    {
        CElementDefinition e;
        const std::string name = std::string("Element_") + kElementNames[element];
        SetName(e.name, sizeof(e.name), name);
        e.element = element;
        e.motion = 2;
        e.pickUpRadius = 1.2f;
        e.blessingTime = 20000;
        e.altarRespawn = 30000;
        e.model = GearLooks::kElementModel;
        Add(files, "Element\\" + name + ".elt", e);
    }
}

CElementAttackDefinition Attack(CElementAttackDefinition::Format format, const std::string& name, uint8_t power)
{
    CElementAttackDefinition a;
    a.format = format;
    SetName(a.name, sizeof(a.name), name);
    a.epCost = format == CElementAttackDefinition::FORMAT_MAXIMUM ? 5 : 2;
    a.motion = 30;
    a.power = power;
    a.duration = 1500;
    a.firstPhase = 200;
    a.hitStart = 300;
    a.hitEnd = 900;
    a.reach = 2.0f;
    a.radius = 1.5f;
    a.effectPlayers = {HitPlayer()};
    return a;
}

void AddElementAttacks(std::vector<GameDataKit::GameFile>* files)
{
    Add(files, "Attack\\Ela_claymore.ela",
        Attack(CElementAttackDefinition::FORMAT_ELEMENTAL, "Ela_claymore", kElementalPower));
    Add(files, "Attack\\Eba_claymore.eba", Attack(CElementAttackDefinition::FORMAT_BURST, "Eba_claymore", kBurstPower));
    for (const char* character : kCharacterNames)
    {
        const std::string name = std::string("Ema_") + character;
        Add(files, "Attack\\" + name + ".ema", Attack(CElementAttackDefinition::FORMAT_MAXIMUM, name, kMaximumPower));
    }
}

CStageObjectDefinition StageObject(const std::string& name, uint8_t kind, uint8_t mapMark, uint16_t life)
{
    CStageObjectDefinition o;
    SetName(o.name, sizeof(o.name), name);
    o.kind = kind;
    o.mapMark = mapMark;
    o.life = life;
    o.halfSize = CkvrVector3(0.5f, 0.5f, 0.5f);
    o.respawn = life != 0 ? 15000 : 0;
    StageObjectLooks::Dress(&o);
    return o;
}

void AddStageObjects(std::vector<GameDataKit::GameFile>* files)
{
    for (uint8_t element = 0; element < 7; ++element)
    {
        const std::string name = std::string("Altar_") + kElementNames[element];
        CStageObjectDefinition altar =
            StageObject(name, static_cast<uint8_t>(CStageObjectDefinition::KIND_ALTAR_FIRST + element), element, 0);
        altar.halfSize = CkvrVector3(1.0f, 1.0f, 1.0f);
        Add(files, "Object\\" + name + ".sto", altar);
    }
    Add(files, "Object\\Box_weapon.sto",
        StageObject("Box_weapon", CStageObjectDefinition::KIND_WEAPON_BOX, CStageObjectDefinition::kNoMapMark, 30));
    Add(files, "Object\\Box_item.sto",
        StageObject("Box_item", CStageObjectDefinition::KIND_ITEM_BOX, CStageObjectDefinition::kNoMapMark, 30));
    CStageObjectDefinition platform =
        StageObject("Platform", CStageObjectDefinition::KIND_PROP, CStageObjectDefinition::kNoMapMark, 0);
    platform.hasRoute = true;
    platform.halfSize = CkvrVector3(2.0f, 0.25f, 2.0f);
    platform.routeSpeed = 2.0f;
    platform.routePause = 1000;
    platform.waypoints = {CkvrVector3(-20.0f, 0.5f, 20.0f), CkvrVector3(-20.0f, 4.0f, 20.0f),
                          CkvrVector3(-10.0f, 4.0f, 20.0f)};
    Add(files, "Object\\Platform.sro", platform);
}

CWeaponDefinition Weapon(CWeaponDefinition::Format format, const std::string& name, uint8_t type, uint8_t weight,
                         uint8_t power)
{
    CWeaponDefinition w;
    w.format = format;
    SetName(w.name, sizeof(w.name), name);
    w.type = type;
    w.iconClass = static_cast<uint8_t>(format);
    w.weight = weight;
    w.rank = weight;
    w.characterMask = kAllCharacters;
    w.power = power;
    w.range = format == CWeaponDefinition::FORMAT_SHORT ? 10 : 60;
    w.speed = 30;
    w.reload = 5;
    w.model = GearLooks::WeaponModel(format);
    w.swingTime = 600;
    w.hitStart = 150;
    w.hitEnd = 300;
    w.reach = 1.5f;
    w.hitRadius = 0.8f;
    w.lungeSpeed = 3.0f;
    return w;
}

CWeaponDefinition Firearm(CWeaponDefinition::Format format, const std::string& name, uint8_t type, uint8_t weight,
                          uint8_t power, uint16_t capacity, const char* bullet)
{
    CWeaponDefinition w = Weapon(format, name, type, weight, power);
    w.capacity = capacity;
    w.fireInterval = format == CWeaponDefinition::FORMAT_LONG ? 150 : 800;
    w.reloadTime = format == CWeaponDefinition::FORMAT_LONG ? 2000 : 0;
    w.bullets.resize(1);
    w.bullets[0].bullet = bullet;
    w.bullets[0].muzzle = CkvrVector3(0.0f, 0.1f, 1.0f);
    return w;
}

void AddWeapons(std::vector<GameDataKit::GameFile>* files)
{
    CWeaponDefinition claymore = Weapon(CWeaponDefinition::FORMAT_SHORT, ClaymoreName(), 0, 3, kClaymorePower);
    claymore.description = "A two-handed sword";
    claymore.elementAttack = "Ela_claymore";
    claymore.burstAttack = "Eba_claymore";
    Add(files, "Weapon\\Claymore.swp", claymore);
    Add(files, "Weapon\\Rifle.lwp",
        Firearm(CWeaponDefinition::FORMAT_LONG, kRifle, 6, 2, kRiflePower, 12, "Bullet_rifle"));
    Add(files, "Weapon\\Launcher.spw",
        Firearm(CWeaponDefinition::FORMAT_SPECIAL, kLauncher, 12, 2, kLauncherPower, 3, "Bullet_launcher"));

    CWeaponDefinition sabre = Weapon(CWeaponDefinition::FORMAT_SHORT, "Sabre", 0, 3, kSabrePower);
    sabre.price = 800;
    sabre.unlockKind = 1;
    sabre.unlockThreshold = 3;
    Add(files, "Weapon\\Sabre.swp", sabre);
    CWeaponDefinition carbine =
        Firearm(CWeaponDefinition::FORMAT_LONG, "Carbine", 6, 3, kCarbinePower, 20, "Bullet_rifle");
    carbine.price = 1200;
    carbine.unlockKind = 2;
    carbine.unlockThreshold = 2;
    Add(files, "Weapon\\Carbine.lwp", carbine);
}

void AddCharacters(std::vector<GameDataKit::GameFile>* files)
{
    // The voice entries the battle plays: hits, downs, the radio phrases.
    static const uint8_t kVoiceEntries[] = {1, 2, 22, 23, 24, 27, 0x38, 0x39, 0x3A, 0x3B};
    for (uint8_t index = 0; index < GameDataKit::kCharacters; ++index)
    {
        CCharacterDefinition c;
        SetName(c.name, sizeof(c.name), kCharacterNames[index]);
        c.number = index;
        c.element = static_cast<uint8_t>(index % 7);
        c.npc = index == 7 ? 1 : 0;
        c.kind = index == 4 ? 4 : 0;
        c.routePlateA = static_cast<uint8_t>(index % StorySheet::kPlatesA);
        c.routePlateB = static_cast<uint8_t>(index % StorySheet::kPlatesB);
        c.ownBit = 1u << index;
        SetName(c.defaultWeapons[0], CCharacterDefinition::kNameSize, ClaymoreName());
        SetName(c.defaultWeapons[1], CCharacterDefinition::kNameSize, kRifle);
        SetName(c.defaultWeapons[2], CCharacterDefinition::kNameSize, kLauncher);
        // The guide wears nothing: no clothes are made for it.
        if ((c.ownBit & WardrobeKit::kWearers) != 0)
            SetName(c.defaultClothes[0], CCharacterDefinition::kNameSize, WardrobeKit::kDefaultClothes);
        SetName(c.firstChapter, CCharacterDefinition::kNameSize, StoryDataKit::FirstChapter(index));
        for (uint32_t i = 0; i < CCharacterDefinition::kRadioChats; ++i)
        {
            c.radio[i].scope = 0;
            std::snprintf(c.radio[i].text, sizeof(c.radio[i].text), "Message %u", i + 1);
            c.radio[i].phrase = static_cast<uint8_t>(0x38 + i % 4);
        }
        c.life = kLife;
        c.epMax = 5;
        c.epRegen = 0.5f;
        c.gaugeRegen = 1.0f;
        // The body as tall as its figure: the result shots and the previews
        // frame it whole; the eyes, the hands and the girth in proportion.
        c.radius = 0.4f * FighterModels::kScale;
        c.height = FighterModels::kHeight;
        c.walkSpeed = 4.0f;
        c.dashSpeed = 8.0f;
        c.jumpSpeed = 6.0f;
        c.gravity = 15.0f;
        c.airDashSpeed = 10.0f;
        c.dodgeSpeed = 9.0f;
        c.handOffset = CkvrVector3(0.3f, 1.2f, 0.4f) * FighterModels::kScale;
        c.eyeHeight = 1.5f * FighterModels::kScale;
        c.maximumAttack = std::string("Ema_") + kCharacterNames[index];
        FighterModels::Dress(&c, index);
        c.voices.resize(0x3C);
        for (uint8_t entry : kVoiceEntries)
            c.voices[entry] = GameDataKit::kVoice;
        char record[64];
        std::snprintf(record, sizeof(record), "Character\\Chara_%02u.chr", static_cast<unsigned>(index));
        Add(files, record, c);
    }
}

// The arena's ground: the floor, and the ramp (x 10 to 20, z -5 to 5)
// rising 0.4 a unit to its ledge 4 high (ArenaGroundX).
float ArenaGroundHeight(float x, float z)
{
    const bool onRamp = x >= 10.0f && x <= 20.0f && z >= -5.0f && z <= 5.0f;
    return onRamp ? 0.4f * (x - 10.0f) : 0.0f;
}

void AddStage(std::vector<GameDataKit::GameFile>* files)
{
    CStageDefinition s;
    SetName(s.name, sizeof(s.name), GameDataKit::kStageName);
    s.displayName = GameDataKit::kStageName;
    ArenaLook::Dress(&s);
    s.groundModel = GameDataKit::kGroundModel;
    s.hitModel = GameDataKit::kHitModel;
    s.mapPicture = GameDataKit::kMapPicture;
    s.mapHalfX = 50.0f;
    s.mapHalfZ = 50.0f;
    s.extentMin = CkvrVector3(-60.0f, -20.0f, -60.0f);
    s.extentMax = CkvrVector3(60.0f, 40.0f, 60.0f);
    // Eight starts on a ring of radius 12 (0 and 1 face each other 24 apart),
    // each on the ground there: the one at (12, 0) on the ramp's slope, where
    // a fighter put on the floor would stand inside the ramp.
    static const float kRing[8][2] = {{0, -12}, {0, 12}, {-12, 0}, {12, 0}, {-8.5f, -8.5f}, {8.5f, 8.5f},
                                      {-8.5f, 8.5f}, {8.5f, -8.5f}};
    s.starts.resize(8);
    for (size_t i = 0; i < 8; ++i)
    {
        s.starts[i].position = CkvrVector3(kRing[i][0], ArenaGroundHeight(kRing[i][0], kRing[i][1]), kRing[i][1]);
        s.starts[i].rotation = CkvrVector3(0.0f, static_cast<float>(i * 45), 0.0f);
    }
    auto place = [&s](const std::string& name, float x, float z) {
        CStageDefinition::Placement placement;
        SetName(placement.templateName, sizeof(placement.templateName), name);
        placement.position = CkvrVector3(x, 0.0f, z);
        s.placements.push_back(placement);
    };
    for (int element = 0; element < 7; ++element)
        place(std::string("Altar_") + kElementNames[element], -30.0f + 10.0f * static_cast<float>(element), -35.0f);
    place("Box_weapon", -25.0f, 0.0f);
    place("Box_weapon", 25.0f, 0.0f);
    place("Box_item", 0.0f, -25.0f);
    place("Box_item", 0.0f, 25.0f);
    place("Platform", -20.0f, 20.0f);
    Add(files, "Stage\\Arena.stg", s);
}

// A text X file of one frame whose mesh is the given quads (corners in
// order around the face), all white, with per-face normals.
struct Quad
{
    std::array<std::array<float, 3>, 4> corners;
    std::array<float, 3> normal;
};

std::string Number(float value)
{
    char text[32];
    std::snprintf(text, sizeof(text), "%g", static_cast<double>(value));
    return text;
}

std::string QuadsX(const char* frame, const std::vector<Quad>& quads)
{
    const size_t n = quads.size();
    std::string x = "xof 0303txt 0032\nFrame " + std::string(frame) +
                    " { FrameTransformMatrix { 1,0,0,0,0,1,0,0,0,0,1,0,0,0,0,1;; }\nMesh { " + std::to_string(n * 4) +
                    ";\n";
    for (size_t q = 0; q < n; ++q)
        for (size_t c = 0; c < 4; ++c)
        {
            const auto& p = quads[q].corners[c];
            x += Number(p[0]) + ";" + Number(p[1]) + ";" + Number(p[2]) + ";" + (q + 1 == n && c == 3 ? ";\n" : ",\n");
        }
    auto faces = [n](bool sameIndex) {
        std::string text = std::to_string(n) + ";\n";
        for (size_t q = 0; q < n; ++q)
        {
            const size_t b = q * 4;
            const size_t i = sameIndex ? q : b;
            // Wound like the box: first, last, third, second.
            text += "4;" + std::to_string(i) + "," + std::to_string(sameIndex ? q : b + 3) + "," +
                    std::to_string(sameIndex ? q : b + 2) + "," + std::to_string(sameIndex ? q : b + 1) +
                    (q + 1 == n ? ";;\n" : ";,\n");
        }
        return text;
    };
    x += faces(false);
    x += "MeshNormals { " + std::to_string(n) + ";\n";
    for (size_t q = 0; q < n; ++q)
    {
        const auto& v = quads[q].normal;
        x += Number(v[0]) + ";" + Number(v[1]) + ";" + Number(v[2]) + (q + 1 == n ? ";;\n" : ";,\n");
    }
    x += faces(true) + "}\n";
    x += "MeshTextureCoords { " + std::to_string(n * 4) + ";\n";
    for (size_t q = 0; q < n; ++q)
        x += std::string("0;1;, 1;1;, 1;0;, 0;0;") + (q + 1 == n ? ";\n" : ",\n");
    x += "}\nMeshMaterialList { 1; " + std::to_string(n) + "; ";
    for (size_t q = 0; q < n; ++q)
        x += std::string("0") + (q + 1 == n ? ";;" : ",");
    x += " Material { 1;1;1;1;; 1; 0;0;0;; 0;0;0;; } } } }\n";
    return x;
}
}

std::vector<GameDataKit::GameFile> GameDataKit::Files()
{
    std::vector<GameFile> files;
    AddBullets(&files);
    AddItems(&files);
    AddElements(&files);
    AddElementAttacks(&files);
    AddStageObjects(&files);
    WardrobeKit::AddClothes(&files);
    AddWeapons(&files);
    AddCharacters(&files);
    AddStage(&files);
    return files;
}

std::string GameDataKit::ArenaGroundX()
{
    // The floor, and a ramp up to a ledge 4 high along +x.
    return QuadsX("Ground", {{{{{-50, 0, -50}, {50, 0, -50}, {50, 0, 50}, {-50, 0, 50}}}, {0, 1, 0}},
                             {{{{10, 0, -5}, {20, 4, -5}, {20, 4, 5}, {10, 0, 5}}}, {-0.371391f, 0.928477f, 0}}});
}

std::string GameDataKit::ArenaHitX()
{
    // Four walls 10 high around the floor, facing inwards; and the ramp's
    // sides (triangles, written as quads with a corner twice) and the
    // ledge's face, facing out, so that nothing walks or shoots into the
    // ramp under its slope.
    return QuadsX("Hit", {{{{{-50, 0, -50}, {-50, 10, -50}, {50, 10, -50}, {50, 0, -50}}}, {0, 0, 1}},
                          {{{{50, 0, 50}, {50, 10, 50}, {-50, 10, 50}, {-50, 0, 50}}}, {0, 0, -1}},
                          {{{{-50, 0, 50}, {-50, 10, 50}, {-50, 10, -50}, {-50, 0, -50}}}, {1, 0, 0}},
                          {{{{50, 0, -50}, {50, 10, -50}, {50, 10, 50}, {50, 0, 50}}}, {-1, 0, 0}},
                          {{{{10, 0, -5}, {20, 0, -5}, {20, 4, -5}, {20, 4, -5}}}, {0, 0, -1}},
                          {{{{10, 0, 5}, {20, 4, 5}, {20, 0, 5}, {20, 0, 5}}}, {0, 0, 1}},
                          {{{{20, 0, -5}, {20, 0, 5}, {20, 4, 5}, {20, 4, -5}}}, {1, 0, 0}}});
}
