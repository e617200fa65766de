#pragma once

// Valid definitions of every game-data format, with most fields away from
// their defaults, for the format tests and the fuzz seeds.
#include "engine/core/CByteWriter.h"
#include "game/actor/CBulletDefinition.h"
#include "game/actor/CCharacterDefinition.h"
#include "game/actor/CClothesDefinition.h"
#include "game/actor/CElementAttackDefinition.h"
#include "game/actor/CElementDefinition.h"
#include "game/actor/CItemDefinition.h"
#include "game/actor/CStageDefinition.h"
#include "game/actor/CStageObjectDefinition.h"
#include "game/actor/CWeaponDefinition.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

namespace samples
{
template <class T>
std::vector<uint8_t> Bytes(const T& definition)
{
    CByteWriter writer;
    definition.Save(&writer);
    return writer.GetBytes();
}

inline CEffectPlayerRecord EffectPlayer(uint32_t keys)
{
    CEffectPlayerRecord player;
    player.container = "Efc_fire_01";
    player.position = CkvrVector3(0.0f, 1.0f, 0.5f);
    player.direction = CkvrVector3(0.0f, 90.0f, 0.0f);
    player.scale = CkvrVector3(2.0f, 2.0f, 2.0f);
    player.timeLimit = 1.5f;
    player.attachMode = 2;
    std::strcpy(player.bone, "Bip01 R Hand");
    for (uint32_t i = 0; i < keys; ++i)
        player.keys.push_back({static_cast<float>(i * 100), 0.0f, 1.0f});
    player.interpolate = 1;
    return player;
}

inline CCharacterDefinition Character()
{
    CCharacterDefinition c;
    std::strcpy(c.name, "Aria");
    c.number = 3;
    c.element = 3;
    c.kind = 4;
    c.routePlateA = 2;
    c.routePlateB = 5;
    c.ownBit = 1u << 3;
    std::strcpy(c.defaultWeapons[0], "Claymore");
    std::strcpy(c.defaultWeapons[1], "Rifle");
    std::strcpy(c.defaultClothes[0], "Hat");
    std::strcpy(c.firstChapter, "Story01");
    for (uint32_t i = 0; i < CCharacterDefinition::kRadioChats; ++i)
    {
        std::snprintf(c.radio[i].text, sizeof(c.radio[i].text), "Line %u", i);
        c.radio[i].phrase = static_cast<uint8_t>(0x38 + i);
    }
    c.life = 1000;
    c.epMax = 5;
    c.epRegen = 0.5f;
    c.gaugeRegen = 1.0f;
    c.radius = 0.4f;
    c.height = 1.7f;
    c.walkSpeed = 4.0f;
    c.dashSpeed = 8.0f;
    c.jumpSpeed = 6.0f;
    c.gravity = 15.0f;
    c.airDashSpeed = 10.0f;
    c.dodgeSpeed = 9.0f;
    c.handOffset = CkvrVector3(0.3f, 1.2f, 0.4f);
    c.eyeHeight = 1.5f;
    c.maximumAttack = "Max_Aria";
    c.model = "Chara_03.kmd";
    c.handBone = "HandR";
    c.motions = {{0, 1, 1.0f}, {1, 0, 1.0f}, {255, 0, 2.0f}};
    c.voices = {"Voice_03_01.wav", "Voice_03_02.wav"};
    return c;
}

inline CWeaponDefinition Weapon(CWeaponDefinition::Format format)
{
    CWeaponDefinition w;
    w.format = format;
    std::strcpy(w.name, format == CWeaponDefinition::FORMAT_SHORT ? "Claymore" : "Rifle");
    w.type = format == CWeaponDefinition::FORMAT_SHORT ? 0 : (format == CWeaponDefinition::FORMAT_LONG ? 6 : 12);
    w.iconClass = 7;
    w.weight = 3;
    w.rank = 3;
    w.price = 1200;
    w.characterMask = 0xFF;
    w.power = 40;
    w.range = 10;
    w.speed = 30;
    w.reload = 5;
    w.unlockKind = 2;
    w.unlockThreshold = 5;
    w.description = "A weapon";
    w.model = "Weapon.kmd";
    w.elementAttack = "Ela_fire";
    w.motionSpeed = 1.25f;
    w.flags = 3;
    w.swingTime = 600;
    w.hitStart = 150;
    w.hitEnd = 300;
    w.reach = 1.5f;
    w.hitRadius = 0.8f;
    w.lungeSpeed = 3.0f;
    w.capacity = 12;
    w.fireInterval = 150;
    w.reloadTime = 2000;
    if (format != CWeaponDefinition::FORMAT_SHORT)
    {
        w.bullets.resize(2);
        w.bullets[0].bullet = "Bullet_rifle";
        w.bullets[0].muzzle = CkvrVector3(0.0f, 0.1f, 1.0f);
        w.bullets[1].shots = 16;
        w.bullets[1].spread = 45.0f;
    }
    return w;
}

inline CBulletDefinition Bullet()
{
    CBulletDefinition b;
    std::strcpy(b.name, "Bullet_rifle");
    b.range = 60.0f;
    b.speed = 120.0f;
    b.gravity = -2.0f;
    b.radius = 0.05f;
    b.flags = CBulletDefinition::FLAG_CANCEL;
    b.model = "Bullet.kmd";
    return b;
}

inline CClothesDefinition Clothes()
{
    CClothesDefinition c;
    std::strcpy(c.name, "Coat");
    c.price = 300;
    c.slotMask = 0x06;
    c.characterMask = 0xFF;
    c.unlockKind = 1;
    c.unlockThreshold = 3;
    c.description = "Warm";
    c.model = "Coat.kmd";
    c.bone = "Bip01 Spine";
    return c;
}

inline CElementAttackDefinition ElementAttack(CElementAttackDefinition::Format format)
{
    CElementAttackDefinition a;
    a.format = format;
    std::strcpy(a.name, "Ela_fire");
    a.epCost = 2;
    a.motion = 30;
    a.power = 50;
    a.duration = 1500;
    a.firstPhase = 200;
    a.hitStart = 300;
    a.hitEnd = 900;
    a.reach = 2.0f;
    a.radius = 1.5f;
    a.ownWeapon = "Flame Sword";
    a.effectPlayers = {EffectPlayer(3), EffectPlayer(0)};
    a.effectPlayers[1].container.clear();
    a.effectPlayers[1].attachMode = 0;
    a.effectPlayers[1].bone[0] = '\0';
    return a;
}

inline CElementDefinition Element()
{
    CElementDefinition e;
    std::strcpy(e.name, "Element_fire");
    e.element = 6;
    e.motion = 2;
    e.pickUpRadius = 1.2f;
    e.blessingTime = 20000;
    e.altarRespawn = 30000;
    e.model = "Element_fire.kmd";
    return e;
}

inline CItemDefinition Item()
{
    CItemDefinition i;
    std::strcpy(i.name, "Juel");
    i.kind = CItemDefinition::KIND_JEWEL;
    i.value = 1.0f;
    i.duration = 10000;
    i.radius = 0.6f;
    i.fieldLife = 30000;
    i.model = "Juel.kmd";
    i.effect = "Efc_item";
    return i;
}

inline CStageDefinition Stage()
{
    CStageDefinition s;
    std::strcpy(s.name, "Stand-in Arena");
    s.displayName = "Arena";
    s.groundModel = "Arena_ground.kmd";
    s.hitModel = "Arena_hit.kmd";
    s.mapPicture = "Arena_map.dds";
    s.mapHalfX = 50.0f;
    s.mapHalfZ = 50.0f;
    s.extentMin = CkvrVector3(-60.0f, -20.0f, -60.0f);
    s.extentMax = CkvrVector3(60.0f, 40.0f, 60.0f);
    s.starts.resize(2);
    s.starts[1].position = CkvrVector3(10.0f, 0.0f, 5.0f);
    s.starts[1].rotation = CkvrVector3(0.0f, 180.0f, 0.0f);
    s.placements.resize(2);
    std::strcpy(s.placements[0].templateName, "Altar_fire");
    std::strcpy(s.placements[1].templateName, "Box_weapon");
    s.placements[1].position = CkvrVector3(3.0f, 0.0f, -4.0f);
    return s;
}

inline CStageObjectDefinition StageObject(bool route)
{
    CStageObjectDefinition o;
    o.hasRoute = route;
    std::strcpy(o.name, route ? "Platform" : "Box_weapon");
    o.kind = route ? CStageObjectDefinition::KIND_PROP : CStageObjectDefinition::KIND_WEAPON_BOX;
    o.mapMark = route ? CStageObjectDefinition::kNoMapMark : 6;
    o.life = route ? 0 : 30;
    o.halfSize = CkvrVector3(0.5f, 0.5f, 0.5f);
    o.respawn = 15000;
    o.model = "Box.kmd";
    if (route)
    {
        o.routeSpeed = 2.0f;
        o.routePause = 1000;
        o.waypoints = {CkvrVector3(0, 0, 0), CkvrVector3(0, 5, 0), CkvrVector3(5, 5, 0)};
    }
    return o;
}
}
