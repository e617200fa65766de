#include "game/battle/ReplaySettingBlock.h"

#include "engine/core/CByteReader.h"
#include "engine/core/CByteWriter.h"
#include "game/app/GameConfigTypes.h"
#include "game/battle/tag_TOLQBATTLESETTING.h"

#include <cmath>
#include <cstring>
#include <memory>
#include <new>

namespace
{
// The longest text a length byte read as a signed byte can carry, with its
// NUL.
constexpr uint32_t kMaxTextBytes = 127;

void WriteText(CByteWriter* writer, const char* text)
{
    if (text == nullptr)
    {
        writer->U8(0);
        return;
    }
    const size_t length = strnlen(text, kMaxTextBytes - 1);
    writer->U8(static_cast<uint8_t>(length + 1));
    writer->Bytes(text, length);
    writer->U8(0);
}

void WriteRadioChat(CByteWriter* writer, const tag_TOLQRADIOCHAT& chat)
{
    writer->U8(chat.scope);
    writer->Bytes(chat.text, sizeof(chat.text));
    writer->U8(chat.phrase);
}

void WriteEntry(CByteWriter* writer, const tag_TOLQBATTLEPLAYER& player)
{
    writer->U8(static_cast<uint8_t>(player.character));
    writer->U8(player.randomCharacter);
    writer->U8(static_cast<uint8_t>(player.slotState));
    writer->U8(player.team);
    writer->U32(player.startPoint);
    writer->U8(player.characterCount);
    writer->F32(player.cameraSensitivity);
    writer->F32(player.mouseSensitivity);
    for (float factor : player.factors)
        writer->F32(factor);
    writer->U32(player.flags);
    writer->U32(player.extra);
    writer->U8(player.cpuLevel);
    WriteText(writer, player.name);
    for (const tag_TOLQRADIOCHAT& chat : player.radioChat)
        WriteRadioChat(writer, chat);
    for (const char* weapon : player.weapons)
        WriteText(writer, weapon);
    for (const char* clothes : player.clothes)
        WriteText(writer, clothes);
}

// Entries being read: their texts are freed unless they are handed over.
struct ReadEntries
{
    explicit ReadEntries(uint8_t count) : count(count), players(new (std::nothrow) tag_TOLQBATTLEPLAYER[count]()) {}
    ~ReadEntries()
    {
        if (players == nullptr)
            return;
        tag_TOLQBATTLESETTING owner;
        owner.playerCount = count;
        owner.players = players;
        FreeReplayTexts(&owner);
        delete[] players;
    }
    tag_TOLQBATTLEPLAYER* Release()
    {
        tag_TOLQBATTLEPLAYER* taken = players;
        players = nullptr;
        return taken;
    }
    uint8_t count;
    tag_TOLQBATTLEPLAYER* players;
};

bool Refuse(std::string* reason, const std::string& why)
{
    if (reason != nullptr)
        *reason = why;
    return false;
}

// A length byte and its bytes; 0 is no text, 128 and up no length a writer
// makes.
bool ReadText(CByteReader* reader, const char** text, std::string* reason)
{
    const uint8_t length = reader->U8();
    if (reader->Failed())
        return Refuse(reason, "the setting ends inside a text");
    if (length == 0)
        return true;
    if (length > kMaxTextBytes)
        return Refuse(reason, "a text length of " + std::to_string(length) + " bytes");
    if (!reader->CanRead(length, 1))
        return Refuse(reason, "the setting ends inside a text");
    char* copy = new char[length + 1u];
    reader->Bytes(copy, length);
    copy[length] = '\0';
    *text = copy;
    return true;
}

bool Finite(float value)
{
    return std::isfinite(value);
}

bool ReadEntry(CByteReader* reader, tag_TOLQBATTLEPLAYER* player, std::string* reason)
{
    player->character = static_cast<int8_t>(reader->U8());
    player->randomCharacter = reader->U8();
    player->slotState = static_cast<int8_t>(reader->U8());
    player->team = reader->U8();
    player->startPoint = reader->U32();
    player->characterCount = reader->U8();
    player->cameraSensitivity = reader->F32();
    player->mouseSensitivity = reader->F32();
    for (float& factor : player->factors)
        factor = reader->F32();
    player->flags = reader->U32();
    player->extra = reader->U32();
    player->cpuLevel = reader->U8();
    if (reader->Failed())
        return Refuse(reason, "the setting ends inside an entry");
    if (player->slotState < 0 || player->slotState > tag_TOLQBATTLEPLAYER::SLOT_CLOSED)
        return Refuse(reason, "a seat state of " + std::to_string(player->slotState));
    if (player->team > tag_TOLQBATTLEPLAYER::kNoTeam)
        return Refuse(reason, "a team of " + std::to_string(player->team));
    if (player->characterCount > kMaxCharacters || player->GetCharacterIndex() >= kMaxCharacters)
        return Refuse(reason, "a character outside the " + std::to_string(kMaxCharacters) + " characters");
    if (player->cpuLevel >= tag_TOLQBATTLERULE::kCpuLevels)
        return Refuse(reason, "a CPU level of " + std::to_string(player->cpuLevel));
    bool finite = Finite(player->cameraSensitivity) && Finite(player->mouseSensitivity);
    for (float factor : player->factors)
        finite = finite && Finite(factor);
    if (!finite)
        return Refuse(reason, "a factor or sensitivity that is not a number");
    if (!ReadText(reader, &player->name, reason))
        return false;
    for (tag_TOLQRADIOCHAT& chat : player->radioChat)
    {
        chat.scope = reader->U8();
        reader->FixedText(chat.text, sizeof(chat.text));
        chat.phrase = reader->U8();
    }
    if (reader->Failed())
        return Refuse(reason, "the setting ends inside the radio chat");
    for (const tag_TOLQRADIOCHAT& chat : player->radioChat)
    {
        if (!tag_TOLQRADIOCHAT::IsScope(chat.scope) || !tag_TOLQRADIOCHAT::IsPhrase(chat.phrase))
            return Refuse(reason, "a radio chat outside its scopes and phrases");
    }
    for (const char*& weapon : player->weapons)
    {
        if (!ReadText(reader, &weapon, reason))
            return false;
    }
    for (const char*& clothes : player->clothes)
    {
        if (!ReadText(reader, &clothes, reason))
            return false;
    }
    return true;
}
}

void WriteReplaySettingBlock(CByteWriter* writer, const tag_TOLQBATTLESETTING& setting)
{
    writer->U8(setting.playerCount);
    writer->U8(setting.ownSlot);
    writer->U32(setting.seed);
    WriteBattleRule(writer, setting.rules);
    for (uint8_t i = 0; i < setting.playerCount; ++i)
        WriteEntry(writer, setting.players[i]);
}

bool ReadReplaySettingBlock(CByteReader* reader, tag_TOLQBATTLESETTING* setting, std::string* reason)
{
    if (setting == nullptr)
        return Refuse(reason, "no setting to fill");
    const uint8_t count = reader->U8();
    const uint8_t ownSlot = reader->U8();
    const uint32_t seed = reader->U32();
    tag_TOLQBATTLERULE rules;
    ReadBattleRule(reader, &rules);
    if (reader->Failed())
        return Refuse(reason, "the setting ends before its entries");
    if (count == 0 || count > tag_TOLQBATTLESETTING::kMaxPlayers)
        return Refuse(reason, "a player count of " + std::to_string(count));
    if (ownSlot >= tag_TOLQBATTLESETTING::kMaxPlayers)
        return Refuse(reason, "an own slot of " + std::to_string(ownSlot));
    if (!IsValidBattleRule(rules))
        return Refuse(reason, "a rule, time limit, CPU level or NPC count outside its table");
    ReadEntries entries(count);
    if (entries.players == nullptr)
        return Refuse(reason, "no memory for the entries");
    for (uint8_t i = 0; i < count; ++i)
    {
        if (!ReadEntry(reader, &entries.players[i], reason))
            return false;
    }
    ReplaceBattlePlayers(setting, entries.Release(), count);
    setting->ownSlot = ownSlot;
    setting->seed = seed;
    setting->rules = rules;
    setting->viewedSlot = ownSlot;
    return true;
}

bool ReplaySeatsResolve(const tag_TOLQBATTLESETTING& setting, uint32_t characterCount, std::string* reason)
{
    for (uint8_t i = 0; i < setting.playerCount; ++i)
    {
        const tag_TOLQBATTLEPLAYER& entry = setting.players[i];
        if (entry.IsClosed() || entry.GetCharacterIndex() < characterCount)
            continue;
        if (reason != nullptr)
            *reason = "seat " + std::to_string(i) + " plays character " + std::to_string(entry.GetCharacterIndex()) +
                      " of " + std::to_string(characterCount);
        return false;
    }
    return true;
}
