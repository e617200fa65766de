#pragma once

// The player's own radio-chat table as the settings keep it (twelve lines a
// character, in character order), each first line naming its character,
// and the first line a battle's fighter would send.

#include "game/actor/CCharacter.h"
#include "game/app/GameConfigTypes.h"

#include <cstdio>
#include <string>

namespace scene_test
{
inline std::string OwnFirstLine(uint32_t character)
{
    return "Own " + std::to_string(character);
}

inline void GiveOwnRadioChat(tag_TOLQGAMECONFIG* settings, uint32_t characters)
{
    settings->radioChat.assign(static_cast<size_t>(characters) * kRadioChatsPerCharacter, tag_TOLQRADIOCHAT{});
    for (uint32_t c = 0; c < characters; ++c)
    {
        tag_TOLQRADIOCHAT& first = settings->radioChat[static_cast<size_t>(c) * kRadioChatsPerCharacter];
        std::snprintf(first.text, sizeof first.text, "%s", OwnFirstLine(c).c_str());
        first.phrase = 0x38;
    }
}

// The first line the fighter sends in battle, and its character's own.
inline std::string FirstRadioLine(const CCharacter* fighter)
{
    return fighter != nullptr ? fighter->GetBattleRadioChat()[0].text : "";
}
inline std::string CharacterFirstLine(const CCharacter* fighter)
{
    return fighter != nullptr ? fighter->GetRadioChatTable()[0].text : "";
}
}
