#pragma once

#include <cstdint>

struct CCharacterDefinition;
struct tag_TOLQBATTLEPLAYER;
struct tag_TOLQGAMECONFIG;
struct tag_TOLQRADIOCHAT;

// The twelve radio-chat messages a seat takes into its battle, the same for
// every battle a player sets up (local, room, story, mission, tutorial):
// a human seat speaks the player's own messages for its character, as the
// settings keep them (twelve a character, in character order); a computer,
// and a human whose character the settings' table does not reach, the
// character's own. settings may be null (no settings: the character's own).
void GiveSeatRadioChat(tag_TOLQBATTLEPLAYER& entry, uint32_t character, const CCharacterDefinition& definition,
                       const tag_TOLQGAMECONFIG* settings);
// The messages a fighter speaks in its battle: a computer seat, and a
// fighter of no seat (an NPC, entry null), its character's own whatever the
// entry holds; any other seat what its entry was given.
const tag_TOLQRADIOCHAT* FighterRadioChat(const tag_TOLQBATTLEPLAYER* entry, const CCharacterDefinition& definition);
