#pragma once

// A small arena and battle loop for the fighter tests: a 100 x 100 floor
// with a ramp (ground), four walls (hit model), a box, eight start points,
// and the frame order of a battle (bullets, fighters, movement, hits, the
// bullets' world pass) at scripted frame times.
#include "engine/core/CRandom.h"
#include "engine/platform/FrameTimer.h"
#include "engine/platform/input/CInput.h"
#include "game/actor/CBulletMemoryList.h"
#include "game/actor/CCharacter.h"
#include "game/actor/CCollisionWorld.h"
#include "game/actor/CCpu.h"
#include "game/actor/CGameDataLists.h"
#include "game/actor/CPlayer.h"
#include "game/actor/CStateHash.h"
#include "game/actor/IActorEffects.h"
#include "game/actor/IBattleConsole.h"
#include "game/actor/tag_TOLQBATTLEFRAME.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace arena
{
inline CCharacterDefinition Fighter(uint8_t number)
{
    CCharacterDefinition c;
    std::snprintf(c.name, sizeof(c.name), "Fighter%u", number);
    c.number = number;
    c.ownBit = 1u << number;
    c.life = 100;
    c.epMax = 5;
    c.epRegen = 1.0f;
    c.gaugeRegen = 1.0f;
    c.radius = 0.4f;
    c.height = 1.8f;
    c.walkSpeed = 4.0f;
    c.dashSpeed = 8.0f;
    c.jumpSpeed = 6.0f;
    c.gravity = 15.0f;
    c.airDashSpeed = 10.0f;
    c.dodgeSpeed = 9.0f;
    c.handOffset = CkvrVector3(0.3f, 1.2f, 0.3f);
    c.maximumAttack = "Ema_test";
    return c;
}

inline CWeaponDefinition Sword()
{
    CWeaponDefinition w;
    std::strcpy(w.name, "Sword");
    w.type = 0;
    w.weight = 3;
    w.characterMask = 0xFF;
    w.power = 5;
    w.swingTime = 500;
    w.hitStart = 100;
    w.hitEnd = 300;
    w.reach = 1.2f;
    w.hitRadius = 0.8f;
    w.lungeSpeed = 2.0f;
    w.elementAttack = "Ela_test";
    w.burstAttack = "Eba_test";
    return w;
}

inline CWeaponDefinition Rifle()
{
    CWeaponDefinition w;
    w.format = CWeaponDefinition::FORMAT_LONG;
    std::strcpy(w.name, "Rifle");
    w.type = 6;
    w.weight = 2;
    w.characterMask = 0xFF;
    w.power = 1;
    w.capacity = 3;
    w.fireInterval = 200;
    w.reloadTime = 1000;
    w.bullets.resize(1);
    w.bullets[0].bullet = "Bullet_rifle";
    w.bullets[0].spread = 1.0f;
    return w;
}

// Keys at 0 and 200 ms; hits in [100, 300); 600 ms long.
inline CElementAttackDefinition Attack(const char* name, CElementAttackDefinition::Format format, uint8_t power)
{
    CElementAttackDefinition a;
    a.format = format;
    std::strcpy(a.name, name);
    a.epCost = format == CElementAttackDefinition::FORMAT_ELEMENTAL ? 2 : 0;
    a.motion = 30;
    a.power = power;
    a.duration = 600;
    a.hitStart = 100;
    a.hitEnd = 300;
    a.reach = 1.5f;
    a.radius = 1.0f;
    a.effectPlayers.resize(1);
    a.effectPlayers[0].keys = {{0.0f, 0.0f, 1.0f}, {200.0f, 0.0f, 1.0f}};
    return a;
}

inline CBulletDefinition RifleBullet()
{
    CBulletDefinition b;
    std::strcpy(b.name, "Bullet_rifle");
    b.range = 40.0f;
    b.speed = 60.0f;
    b.gravity = 0.0f;
    b.radius = 0.05f;
    return b;
}

struct Effects : IActorEffects
{
    void PlayEvent(uint32_t event, uint32_t fighter, const CkvrVector3&) override
    {
        events.push_back(event * 100 + fighter);
    }
    void PlayAttackEffect(const CEffectPlayerRecord&, uint32_t fighter, const CkvrVector3&, float) override
    {
        attackEffects.push_back(fighter);
    }
    void PlayVoice(uint32_t fighter, uint32_t voice, int32_t, const CkvrVector3&) override
    {
        voices.push_back(fighter * 1000 + voice);
    }
    std::vector<uint32_t> events;
    std::vector<uint32_t> attackEffects;
    std::vector<uint32_t> voices;
};

struct Console : IBattleConsole
{
    void ShowMessage(const char* text, uint32_t team, uint32_t fallen) override
    {
        messages.push_back(text);
        teams.push_back(team);
        fallenIndices.push_back(fallen);
    }
    void AddRadioMessage(uint32_t fighter, uint32_t message) override { radio.push_back(fighter * 100 + message); }
    std::vector<uint32_t> radio;
    std::vector<std::string> messages;
    std::vector<uint32_t> teams;
    std::vector<uint32_t> fallenIndices;
};

class Battle
{
public:
    Battle()
    {
        const CkvrVector3 a(-50, 0, -50), b(-50, 0, 50), c(50, 0, 50), d(50, 0, -50);
        world.AddGroundQuad(a, b, c, d);
        // A ramp rising along +x from (10, 0) to (20, 5), 10 wide.
        world.AddGroundQuad(CkvrVector3(10, 0, -25), CkvrVector3(10, 0, -15), CkvrVector3(20, 5, -15),
                            CkvrVector3(20, 5, -25));
        const float h = 10.0f;
        world.AddHitQuad(CkvrVector3(50, 0, -50), CkvrVector3(50, h, -50), CkvrVector3(50, h, 50), CkvrVector3(50, 0, 50));
        world.AddHitQuad(CkvrVector3(-50, 0, -50), CkvrVector3(-50, h, -50), CkvrVector3(-50, h, 50),
                         CkvrVector3(-50, 0, 50));
        world.AddHitQuad(CkvrVector3(-50, 0, 50), CkvrVector3(-50, h, 50), CkvrVector3(50, h, 50), CkvrVector3(50, 0, 50));
        world.AddHitQuad(CkvrVector3(-50, 0, -50), CkvrVector3(-50, h, -50), CkvrVector3(50, h, -50),
                         CkvrVector3(50, 0, -50));
        world.AddBox(CkvrVector3(30, 1, 0), CkvrVector3(1, 1, 1), 0);
        world.SetExtent(CkvrVector3(-200, -10, -200), CkvrVector3(200, 100, 200));
        for (int i = 0; i < 8; ++i)
            world.AddStartPoint(CkvrVector3(-20.0f + 5.0f * i, 0, (i % 2) != 0 ? 6.0f : -6.0f), CkvrVector3());
        for (uint8_t n = 0; n < 8; ++n)
            definitions.push_back(Fighter(n));
        lists.weapons.push_back(Sword());
        lists.weapons.push_back(Rifle());
        lists.bullets.push_back(RifleBullet());
        lists.elementAttacks.push_back(Attack("Ela_test", CElementAttackDefinition::FORMAT_ELEMENTAL, 1));
        lists.elementAttacks.push_back(Attack("Eba_test", CElementAttackDefinition::FORMAT_BURST, 2));
        lists.elementAttacks.push_back(Attack("Ema_test", CElementAttackDefinition::FORMAT_MAXIMUM, 4));
    }

    // A fighter at a place; cpuLevel < 0 makes a player.
    CCharacter* Add(int cpuLevel, CkvrVector3 at, uint8_t team = 4, uint32_t localInput = 1)
    {
        const uint8_t index = static_cast<uint8_t>(fighters.size());
        std::unique_ptr<CCharacter> fighter;
        if (cpuLevel < 0)
            fighter = std::make_unique<CPlayer>(&definitions[index]);
        else
            fighter = std::make_unique<CCpu>(&definitions[index], static_cast<uint32_t>(cpuLevel));
        fighter->Create(0);
        tag_TOLQBATTLECHARADATA data;
        data.fighterIndex = index;
        data.team = team;
        data.teamBattle = teamBattle;
        data.friendlyFire = friendlyFire;
        data.rule = rule;
        data.goalCount = goalCount;
        data.localInput = localInput;
        std::copy_n(definitions[index].radio, tag_TOLQBATTLECHARADATA::kRadioChats, data.radioChat);
        data.input = &input;
        data.console = &console;
        data.effects = &effects;
        data.bullets = &bullets;
        fighter->Setup(&data, &lists);
        fighter->SetPosition(&at);
        fighters.push_back(std::move(fighter));
        pointers.push_back(fighters.back().get());
        return pointers.back();
    }

    tag_TOLQBATTLEFRAME* Frame()
    {
        frame.fighters = pointers.data();
        frame.count = static_cast<uint8_t>(pointers.size());
        frame.stage = &world;
        frame.bullets = &bullets;
        return &frame;
    }

    // One battle frame; records (by fighter index) are applied first to the
    // fighters the test drives by hand.
    void Step(uint32_t milliseconds, const std::vector<std::pair<int, tag_TOLQINPUTRECORD>>& records = {})
    {
        SetFrameTime(milliseconds);
        tag_TOLQBATTLEFRAME* f = Frame();
        for (const auto& entry : records)
            pointers[entry.first]->ApplyInputRecord(&entry.second, &input);
        bullets.UpdateAll(0);
        for (CCharacter* fighter : pointers)
            fighter->Update(reinterpret_cast<uintptr_t>(f));
        for (CCharacter* fighter : pointers)
            fighter->MoveAndCollide(f);
        for (CCharacter* fighter : pointers)
            fighter->UpdateHitsAndAttachments(f);
        bullets.HitTestAll(&world);
    }

    uint64_t Hash() const
    {
        CStateHash hash;
        for (const CCharacter* fighter : pointers)
            fighter->HashState(&hash);
        bullets.HashState(&hash);
        uint32_t state[4];
        GetRandomState(state);
        for (uint32_t word : state)
            hash.U32(word);
        return hash.Get();
    }

    uint32_t teamBattle = 0;
    uint32_t friendlyFire = 0;
    uint8_t rule = 0;
    uint8_t goalCount = 100;
    CGameDataLists lists;
    CCollisionWorld world;
    CBulletMemoryList bullets;
    CInput input;
    Console console;
    Effects effects;
    std::vector<CCharacterDefinition> definitions;
    std::vector<std::unique_ptr<CCharacter>> fighters;
    std::vector<CCharacter*> pointers;
    tag_TOLQBATTLEFRAME frame;
};

// A record with the left stick at (x, y) hundredths and buttons held.
inline tag_TOLQINPUTRECORD Record(int x = 0, int y = 0, std::initializer_list<uint32_t> buttons = {})
{
    tag_TOLQINPUTRECORD record;
    record.bytes[7] = static_cast<uint8_t>(x);
    record.bytes[8] = static_cast<uint8_t>(y);
    for (uint32_t button : buttons)
        record.bytes[button / 8] = static_cast<uint8_t>(record.bytes[button / 8] | (1u << (button % 8)));
    return record;
}
}
