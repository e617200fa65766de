#pragma once

#include "game/actor/CBulletDefinition.h"
#include "game/actor/CCharacterDefinition.h"
#include "game/actor/CClothesDefinition.h"
#include "game/actor/CElementAttackDefinition.h"
#include "game/actor/CElementDefinition.h"
#include "game/actor/CItemDefinition.h"
#include "game/actor/CStageDefinition.h"
#include "game/actor/CStageObjectDefinition.h"
#include "game/actor/CWeaponDefinition.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// The game-data lists, in the resource controller's numbering: 7 bullets,
// 8 items, 9 characters, 10 weapons, 11 clothes, 12 stage objects,
// 13 stages, 14 element attacks, 15 elements. Each keeps its definitions in
// load order; names resolve later, at first use, so files load in any order.
class CGameDataLists
{
public:
    enum : uint32_t
    {
        LIST_BULLETS = 7,
        LIST_ITEMS = 8,
        LIST_CHARACTERS = 9,
        LIST_WEAPONS = 10,
        LIST_CLOTHES = 11,
        LIST_STAGE_OBJECTS = 12,
        LIST_STAGES = 13,
        LIST_ELEMENT_ATTACKS = 14,
        LIST_ELEMENTS = 15,
    };

    // The list a file name's extension belongs to (case-insensitive), or 0.
    static uint32_t GetListOfFile(const char* fileName);

    // Loads one file into the list its extension names. The list number on
    // success; 0 for an unknown extension, a file its reader refuses, a
    // magic of another extension, or a name already in that list.
    uint32_t LoadFile(const char* fileName, const void* bytes, size_t size);
    const CBulletDefinition* FindBullet(const char* name) const;
    const CItemDefinition* FindItem(const char* name) const;
    const CCharacterDefinition* FindCharacter(const char* name) const;
    const CWeaponDefinition* FindWeapon(const char* name) const;
    const CClothesDefinition* FindClothes(const char* name) const;
    const CStageObjectDefinition* FindStageObject(const char* name) const;
    const CStageDefinition* FindStage(const char* name) const;
    const CElementAttackDefinition* FindElementAttack(const char* name) const;
    const CElementDefinition* FindElement(const char* name) const;

    void Clear();

    std::vector<CBulletDefinition> bullets;
    std::vector<CItemDefinition> items;
    std::vector<CCharacterDefinition> characters;
    std::vector<CWeaponDefinition> weapons;
    std::vector<CClothesDefinition> clothes;
    std::vector<CStageObjectDefinition> stageObjects;
    std::vector<CStageDefinition> stages;
    std::vector<CElementAttackDefinition> elementAttacks;
    std::vector<CElementDefinition> elements;
};
