#pragma once

#include "game/actor/tag_TOLQRADIOCHAT.h"

#include <cstdint>

class CCharacter;

// One participant of a battle setting: who sits in the seat, with what
// character, team, start point and equipment. The texts are borrowed: the
// setting never copies or frees them (a replay's reader makes copies that
// the setting's owner frees with FreeReplayTexts).
struct tag_TOLQBATTLEPLAYER
{
    static constexpr uint32_t kWeapons = 10;
    static constexpr uint32_t kClothes = 6;
    static constexpr uint32_t kRadioChats = 12;
    static constexpr uint32_t kRandomStartPoint = 0xFFFFFFFF;
    // Slot states: 0-7 a human player's slot number, then these two.
    enum SlotState : int8_t
    {
        SLOT_COMPUTER = 8, // a computer fighter
        SLOT_CLOSED = 9,   // closed or left: no fighter
    };
    static constexpr uint8_t kNoTeam = 4;

    const char* name = nullptr;
    // Handed to the fighter's battle data in order: life, EP start, EP
    // refill, gauge start, gauge refill, damage taken.
    float factors[6] = {1.0f, 0.0f, 1.0f, 0.0f, 1.0f, 1.0f};
    uint32_t flags = 0;
    uint32_t extra = 0;
    uint8_t cpuLevel = 2;
    uint32_t localInput = 1; // 0: the inputs come from a replay or a peer
    tag_TOLQRADIOCHAT radioChat[kRadioChats] = {};
    int8_t character = 0;      // at or past characterCount: randomCharacter
    int8_t slotState = SLOT_COMPUTER;
    uint8_t team = kNoTeam;
    uint32_t roomWords[3] = {}; // confirmed, ready, start: the setup and network scenes' own
    uint32_t startPoint = kRandomStartPoint; // at or past the stage's points: random
    uint8_t randomCharacter = 0;
    uint8_t characterCount = 0;
    float cameraSensitivity = 5.0f;
    float mouseSensitivity = 2.0f;
    CCharacter* preview = nullptr; // owned: freed by FreeBattleSetting
    const char* weapons[kWeapons] = {};
    const char* clothes[kClothes] = {};

    bool IsHuman() const { return slotState >= 0 && slotState < SLOT_COMPUTER; }
    bool IsClosed() const { return slotState == SLOT_CLOSED; }
    // The character index the battle uses: the choice, or the drawn one
    // when the choice is at or past the count (compared as signed bytes).
    uint8_t GetCharacterIndex() const
    {
        return character < static_cast<int8_t>(characterCount) ? static_cast<uint8_t>(character) : randomCharacter;
    }
};
