#pragma once

// The battle setup driven headless: a setting of eight, game data made
// here (eight characters; close-range, long-range and special weapons of
// known weights; a coat), play data that owns them, and one frame per call
// at 17 ms with the keys and the mouse a test asks for. Steps read like
// play: Press(MenuKey::Down), Run(frames), Click(itemId).

#include "game/actor/CCharacterDefinition.h"
#include "game/actor/CClothesDefinition.h"
#include "game/actor/CWeaponDefinition.h"
#include "game/app/CGameConfig.h"
#include "game/battle/CBattleConfig.h"
#include "game/battle/tag_TOLQBATTLESETTING.h"
#include "tests/engine/core/TempFolder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace setuptest
{
constexpr uint32_t kFrameMs = 17;
constexpr uint8_t kCharacters = 8;

// Weapons by list index: name, type, weight.
struct WeaponSpec
{
    const char* name;
    uint8_t type;
    uint8_t weight;
    uint32_t defaultOnly = 0;
    uint32_t characterMask = 0xFF;
    bool owned = true;
};
inline const std::vector<WeaponSpec>& WeaponSpecs()
{
    static const std::vector<WeaponSpec> specs = {
        {"Sword", 0, 3},        {"Blade", 0, 4, 1},   {"Pistol", 6, 2},    {"Cannon", 12, 2},
        {"Heavy Gun", 7, 8},    {"Spear", 2, 3},      {"Locked", 1, 1, 0, 0xFF, false},
        {"Only Cleo", 3, 1, 0, 1u << 2},
    };
    return specs;
}

class SetupGameWorld
{
public:
    SetupGameWorld()
    {
        characters.resize(kCharacters);
        for (uint8_t i = 0; i < kCharacters; ++i)
        {
            std::snprintf(characters[i].name, sizeof characters[i].name, "Fighter%u", static_cast<unsigned>(i));
            characters[i].number = i;
            characters[i].element = static_cast<uint8_t>(i % 7);
            characters[i].ownBit = 1u << i;
            std::snprintf(characters[i].defaultWeapons[0], CCharacterDefinition::kNameSize, "Sword");
            std::snprintf(characters[i].defaultWeapons[1], CCharacterDefinition::kNameSize, "Pistol");
            std::snprintf(characters[i].defaultClothes[0], CCharacterDefinition::kNameSize, "Coat");
            std::snprintf(characters[i].radio[0].text, sizeof characters[i].radio[0].text, "Hello %u",
                          static_cast<unsigned>(i));
        }
        for (const WeaponSpec& spec : WeaponSpecs())
        {
            CWeaponDefinition weapon;
            std::snprintf(weapon.name, sizeof weapon.name, "%s", spec.name);
            weapon.type = spec.type;
            weapon.weight = spec.weight;
            weapon.defaultOnly = spec.defaultOnly;
            weapon.characterMask = spec.characterMask;
            weapon.format = spec.type < 6 ? CWeaponDefinition::FORMAT_SHORT
                                          : (spec.type < 12 ? CWeaponDefinition::FORMAT_LONG
                                                            : CWeaponDefinition::FORMAT_SPECIAL);
            weapons.push_back(weapon);
        }
        CClothesDefinition coat;
        std::snprintf(coat.name, sizeof coat.name, "Coat");
        coat.characterMask = 0xFF;
        clothes.push_back(coat);

        // Saves (the weapons page's) go to a folder of the test's own.
        config.LoadFrom((saves.Path().string() + "/").c_str());
        tag_TOLQPLAYDATA* play = config.GetPlayData();
        play->stageCount = 3;
        play->builtInMusicCount = 11;
        play->musicCount = 12;
        play->userMusic = {"MyTrack"};
        play->characters.resize(kCharacters);
        for (const WeaponSpec& spec : WeaponSpecs())
            play->weapons.push_back({1, spec.owned ? 1u : 0u, 0});
        for (tag_TOLQCHARAPLAYDATA& character : play->characters)
        {
            std::snprintf(character.weapons[0], kNameBytes, "Sword");
            std::snprintf(character.weapons[1], kNameBytes, "Pistol");
            std::snprintf(character.clothes[0], kNameBytes, "Coat");
        }
        config.GetRecord()->records.resize(kCharacters);
    }

    SetupGameData Data() const
    {
        SetupGameData data;
        for (const CCharacterDefinition& character : characters)
            data.characters.push_back(&character);
        for (const CWeaponDefinition& weapon : weapons)
            data.weapons.push_back(&weapon);
        for (const CClothesDefinition& item : clothes)
            data.clothes.push_back(&item);
        return data;
    }

    TempFolder saves;
    std::vector<CCharacterDefinition> characters;
    std::vector<CWeaponDefinition> weapons;
    std::vector<CClothesDefinition> clothes;
    CGameConfig config;
};

class SetupHarness
{
public:
    // A setup of its own setting (freed with the harness), on startPage; a
    // random match's when given the match's lobby.
    explicit SetupHarness(uint32_t startPage = CBattleConfig::PAGE_MODE, bool online = false, bool host = false,
                          void* session = nullptr, CLobbyClient* matchLobby = nullptr)
    {
        setting = CreateBattleSettingFrom(8, 0, &world.config);
        setting->seed = 1234;
        setup.SetGameData(world.Data());
        setup.SetGameConfig(&world.config);
        tag_TOLQSETUPPARAM param;
        param.startPage = startPage;
        param.online = online ? 1 : 0;
        param.host = host ? 1 : 0;
        param.setting = setting;
        param.session = static_cast<CNetSession*>(session);
        param.randomMatch = matchLobby != nullptr ? 1 : 0;
        param.lobby = matchLobby;
        setup.Init(reinterpret_cast<uintptr_t>(&param));
    }
    ~SetupHarness()
    {
        setup.Release();
        FreeBattleSetting(setting);
    }

    // One frame with the given input.
    void Frame(const SetupInput& input)
    {
        setup.Step(input, kFrameMs);
        // A key that moved the mouse leaves it where it asked.
        if (setup.GetMouseTarget())
            cursor = *setup.GetMouseTarget();
        sounds.insert(sounds.end(), setup.GetFrame().Sounds().begin(), setup.GetFrame().Sounds().end());
    }
    void Run(int frames)
    {
        for (int i = 0; i < frames; ++i)
            Frame(Idle());
    }
    // Frames until done() holds, at most limit.
    bool RunUntil(const std::function<bool()>& done, int limit = 200)
    {
        for (int i = 0; i < limit && !done(); ++i)
            Frame(Idle());
        return done();
    }
    SetupInput Idle() const
    {
        SetupInput input;
        input.keys.SetCursor(cursor);
        return input;
    }
    // A key pressed for one frame.
    void Press(MenuKey key)
    {
        SetupInput input = Idle();
        input.keys.SetPressed(key, true);
        input.keys.SetHeld(key, true);
        Frame(input);
    }
    // The mouse onto a point, one frame.
    void MoveTo(MenuPoint point)
    {
        cursor = point;
        Frame(Idle());
    }
    // The left (or right) button at a point.
    void ClickAt(MenuPoint point, MenuKey button = MenuKey::Click)
    {
        cursor = point;
        SetupInput input = Idle();
        input.keys.SetPressed(button, true);
        input.keys.SetHeld(button, true);
        Frame(input);
    }
    // The item the last frame reported, clicked on its centre.
    bool Click(int32_t id, MenuKey button = MenuKey::Click)
    {
        const MenuItemRecord* item = setup.GetFrame().FindItem(id);
        if (item == nullptr)
            return false;
        ClickAt(item->rect.Centre(), button);
        return true;
    }
    MenuRect ItemRect(int32_t id) const
    {
        const MenuItemRecord* item = setup.GetFrame().FindItem(id);
        return item != nullptr ? item->rect : MenuRect{};
    }
    // The page active: its fade-in over.
    // The page active (its fade-in over) for a frame, so that its controls
    // have reported themselves.
    bool Settle()
    {
        const bool settled = RunUntil([&] { return setup.GetFade() >= 1.0f && setup.GetPhase() != 0; });
        Run(1);
        return settled;
    }
    bool Played(MenuSound sound) const
    {
        for (MenuSound played : sounds)
        {
            if (played == sound)
                return true;
        }
        return false;
    }
    tag_TOLQBATTLEPLAYER& Entry(int index) { return setting->players[index]; }

    SetupGameWorld world;
    tag_TOLQBATTLESETTING* setting = nullptr;
    CBattleConfig setup;
    MenuPoint cursor{2.0f, 2.0f};
    std::vector<MenuSound> sounds;
};
}
