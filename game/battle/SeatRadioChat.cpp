// The radio-chat messages of a battle's seat: the player's own or its
// character's.
#include "game/battle/SeatRadioChat.h"

#include "game/actor/CCharacterDefinition.h"
#include "game/app/GameConfigTypes.h"
#include "game/battle/tag_TOLQBATTLEPLAYER.h"

#include <algorithm>

static_assert(tag_TOLQBATTLEPLAYER::kRadioChats == kRadioChatsPerCharacter &&
                  CCharacterDefinition::kRadioChats == kRadioChatsPerCharacter,
              "a seat, a character and the settings keep as many radio-chat messages");

void GiveSeatRadioChat(tag_TOLQBATTLEPLAYER& entry, uint32_t character, const CCharacterDefinition& definition,
                       const tag_TOLQGAMECONFIG* settings)
{
    const size_t first = static_cast<size_t>(character) * kRadioChatsPerCharacter;
    const bool own =
        entry.IsHuman() && settings != nullptr && settings->radioChat.size() >= first + kRadioChatsPerCharacter;
    const tag_TOLQRADIOCHAT* table = own ? settings->radioChat.data() + first : definition.radio;
    std::copy_n(table, kRadioChatsPerCharacter, entry.radioChat);
}

const tag_TOLQRADIOCHAT* FighterRadioChat(const tag_TOLQBATTLEPLAYER* entry, const CCharacterDefinition& definition)
{
    const bool computer = entry == nullptr || entry->slotState == tag_TOLQBATTLEPLAYER::SLOT_COMPUTER;
    return computer ? definition.radio : entry->radioChat;
}
