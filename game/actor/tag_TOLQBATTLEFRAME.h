#pragma once

#include <cstdint>

class CBulletMemoryList;
class CCharacter;
class CElement;
struct CFieldLists;
class IBattleStage;

// The context of one battle frame, built by the battle and passed to every
// fighter's update, movement and hit steps.
struct tag_TOLQBATTLEFRAME
{
    CCharacter** fighters = nullptr; // by index; null for a seat without a fighter
    uint8_t count = 0;
    IBattleStage* stage = nullptr;
    CBulletMemoryList* bullets = nullptr;
    CFieldLists* field = nullptr; // field weapons and items; null: nothing drops
    CElement** elements = nullptr;
    uint32_t elementCount = 0;
};
