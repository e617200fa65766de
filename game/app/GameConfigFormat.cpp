#include "game/app/GameConfigFormat.h"

#include "game/app/GameConfigDefaults.h"

#include "engine/core/CByteReader.h"
#include "engine/core/CByteWriter.h"

#include <cmath>
#include <cstring>

namespace
{
constexpr int32_t kSilentVolume = -10000;
constexpr uint32_t kSavedTallies = 13;
constexpr uint32_t kRadioChatBytes = 35;
constexpr uint32_t kCharacterPlayBytes =
    kStoryDifficulties * 4 + (kCharacterWeapons + kCharacterClothes) * kNameBytes;
// A mission record's first byte: its best rank (0-6) and whether it was cleared.
constexpr uint8_t kMissionRankMask = 0x7F;
constexpr uint8_t kMissionWonBit = 0x80;

// Assigns a value just read unless the read ran past the end, so that the
// field keeps its default.
template <typename T, typename V>
void Keep(const CByteReader& reader, V value, T& field)
{
    if (!reader.Failed())
        field = static_cast<T>(value);
}

// Clamps a field into [low, high]; true when it was already inside.
template <typename T>
bool Clamp(T& value, T low, T high)
{
    if (value < low)
    {
        value = low;
        return false;
    }
    if (value > high)
    {
        value = high;
        return false;
    }
    return true;
}

bool ValidFlag(uint32_t& flag)
{
    if (flag <= 1)
        return true;
    flag = 1;
    return false;
}

bool ValidVolume(int32_t& volume)
{
    return Clamp(volume, kSilentVolume, 0);
}

bool ValidSensitivity(float& value)
{
    if (std::isfinite(value) && value >= 0.1f && value <= 10.0f)
        return true;
    value = std::isfinite(value) ? (value < 0.1f ? 0.1f : 10.0f) : 1.0f;
    return false;
}

bool ValidText(char* text, size_t size)
{
    const bool terminated = memchr(text, '\0', size) != nullptr;
    text[size - 1] = '\0';
    return terminated;
}

bool ValidRadioChat(tag_TOLQRADIOCHAT& chat)
{
    bool clean = ValidText(chat.text, sizeof(chat.text));
    if (!tag_TOLQRADIOCHAT::IsScope(chat.scope))
    {
        chat.scope = tag_TOLQRADIOCHAT::kScopeTeam;
        clean = false;
    }
    if (!tag_TOLQRADIOCHAT::IsPhrase(chat.phrase))
    {
        chat.phrase = tag_TOLQRADIOCHAT::kFirstPhrase;
        clean = false;
    }
    return clean;
}

void WriteRadioChat(CByteWriter& writer, const tag_TOLQRADIOCHAT& chat)
{
    writer.U8(chat.scope);
    writer.FixedText(chat.text, sizeof(chat.text));
    writer.U8(chat.phrase);
}

void ReadRadioChat(CByteReader& reader, tag_TOLQRADIOCHAT& chat)
{
    chat.scope = reader.U8();
    reader.FixedText(chat.text, sizeof(chat.text));
    chat.phrase = reader.U8();
}

// The radio-chat table: a character count, then twelve messages each. A
// count that the remaining bytes cannot hold keeps the default table.
bool ReadRadioChatTable(CByteReader& reader, std::vector<tag_TOLQRADIOCHAT>& table)
{
    const uint8_t characters = reader.U8();
    if (reader.Failed())
        return false;
    const uint64_t count = static_cast<uint64_t>(characters) * kRadioChatsPerCharacter;
    if (characters > kMaxCharacters || !reader.CanRead(count, kRadioChatBytes))
    {
        reader.Fail();
        return false;
    }
    std::vector<tag_TOLQRADIOCHAT> read(count);
    for (tag_TOLQRADIOCHAT& chat : read)
        ReadRadioChat(reader, chat);
    table = std::move(read);
    return true;
}
}

int ValidateGameConfig(tag_TOLQGAMECONFIG* config)
{
    bool clean = true;
    if (config->lobbyPort == 0)
    {
        config->lobbyPort = kDefaultLobbyPort;
        clean = false;
    }
    clean &= ValidFlag(config->upnp);
    clean &= ValidText(config->loginId, sizeof(config->loginId));
    clean &= ValidFlag(config->fullScreen);
    clean &= ValidFlag(config->screenShake);
    clean &= ValidFlag(config->padVibration);
    clean &= ValidVolume(config->bgmVolume);
    clean &= ValidVolume(config->seVolume);
    clean &= ValidVolume(config->voiceVolume);
    clean &= Clamp<uint8_t>(config->radarType, 0, 1);
    clean &= Clamp<uint8_t>(config->storyDifficulty, 0, kStoryDifficulties - 1);
    if (config->radioChat.size() > kMaxCharacters * kRadioChatsPerCharacter)
    {
        config->radioChat.resize(kMaxCharacters * kRadioChatsPerCharacter);
        clean = false;
    }
    for (tag_TOLQRADIOCHAT& chat : config->radioChat)
        clean &= ValidRadioChat(chat);
    for (uint32_t i = 0; i < kActionCount; ++i)
    {
        clean &= Clamp<uint32_t>(config->keys[i], 0, 255);
        clean &= Clamp<uint32_t>(config->padElements[i], 0, 63);
    }
    clean &= ValidSensitivity(config->cameraSensitivity);
    clean &= ValidSensitivity(config->mouseSensitivity);
    clean &= Clamp<uint32_t>(config->soundCount, 1, 64);
    clean &= ValidFlag(config->sound3D);
    clean &= Clamp<uint8_t>(config->keyResponse, 1, 30);
    clean &= ValidFlag(config->friendlyFire);
    clean &= ValidFlag(config->replaySave);
    clean &= Clamp<uint8_t>(config->replayCount, 1, 99);
    clean &= ValidFlag(config->openingMovie);
    return clean ? 1 : 0;
}

std::vector<uint8_t> EncodeGameConfig(const tag_TOLQGAMECONFIG& config)
{
    CByteWriter writer;
    writer.U16(kGameConfigVersion);
    writer.U16(config.lobbyPort);
    writer.U32(config.upnp);
    writer.FixedText(config.loginId, sizeof(config.loginId));
    writer.U32(config.fullScreen);
    writer.U32(config.screenShake);
    writer.U32(config.padVibration);
    writer.I32(config.bgmVolume);
    writer.I32(config.seVolume);
    writer.I32(config.voiceVolume);
    writer.U8(config.radarType);
    writer.U8(config.storyDifficulty);
    const size_t characters = config.radioChat.size() / kRadioChatsPerCharacter;
    writer.U8(static_cast<uint8_t>(characters));
    for (size_t i = 0; i < characters * kRadioChatsPerCharacter; ++i)
        WriteRadioChat(writer, config.radioChat[i]);
    for (uint32_t key : config.keys)
        writer.U32(key);
    for (uint32_t element : config.padElements)
        writer.U32(element);
    writer.F32(config.cameraSensitivity);
    writer.F32(config.mouseSensitivity);
    writer.U32(config.soundCount);
    writer.U32(config.sound3D);
    writer.U8(config.keyResponse);
    writer.U8(config.sendByte);
    writer.U32(config.friendlyFire);
    writer.U32(config.replaySave);
    writer.U8(config.replayCount);
    writer.U32(config.openingMovie);
    return writer.GetBytes();
}

int DecodeGameConfig(const uint8_t* data, size_t size, tag_TOLQGAMECONFIG* config)
{
    CByteReader reader(data, size);
    if (reader.U16() != kGameConfigVersion)
        return 0;
    tag_TOLQGAMECONFIG& c = *config;
    Keep(reader, reader.U16(), c.lobbyPort);
    Keep(reader, reader.U32(), c.upnp);
    char loginId[kLoginIdBytes];
    if (reader.FixedText(loginId, sizeof(loginId)))
        std::memcpy(c.loginId, loginId, sizeof(loginId));
    Keep(reader, reader.U32(), c.fullScreen);
    Keep(reader, reader.U32(), c.screenShake);
    Keep(reader, reader.U32(), c.padVibration);
    Keep(reader, reader.I32(), c.bgmVolume);
    Keep(reader, reader.I32(), c.seVolume);
    Keep(reader, reader.I32(), c.voiceVolume);
    Keep(reader, reader.U8(), c.radarType);
    Keep(reader, reader.U8(), c.storyDifficulty);
    ReadRadioChatTable(reader, c.radioChat);
    for (uint32_t& key : c.keys)
        Keep(reader, reader.U32(), key);
    for (uint32_t& element : c.padElements)
        Keep(reader, reader.U32(), element);
    Keep(reader, reader.F32(), c.cameraSensitivity);
    Keep(reader, reader.F32(), c.mouseSensitivity);
    Keep(reader, reader.U32(), c.soundCount);
    Keep(reader, reader.U32(), c.sound3D);
    Keep(reader, reader.U8(), c.keyResponse);
    Keep(reader, reader.U8(), c.sendByte);
    Keep(reader, reader.U32(), c.friendlyFire);
    Keep(reader, reader.U32(), c.replaySave);
    Keep(reader, reader.U8(), c.replayCount);
    Keep(reader, reader.U32(), c.openingMovie);
    const bool complete = !reader.Failed() && reader.AtEnd();
    const bool valid = ValidateGameConfig(config) != 0;
    return complete && valid ? 1 : 0;
}

std::vector<uint8_t> EncodePlayData(const tag_TOLQPLAYDATA& data)
{
    CByteWriter writer;
    writer.U16(kPlayDataVersion);
    writer.U32(data.points < kMaxPoints ? data.points : kMaxPoints);
    writer.U8(static_cast<uint8_t>(data.characters.size()));
    writer.U8(data.stageCount);
    writer.U8(data.builtInMusicCount);
    writer.U32(data.musicCount);
    writer.U16(static_cast<uint16_t>(data.weapons.size()));
    writer.U16(static_cast<uint16_t>(data.clothes.size()));
    for (const tag_TOLQCHARAPLAYDATA& character : data.characters)
    {
        for (uint32_t clears : character.storyClear)
            writer.U32(clears);
        for (const char* name : character.weapons)
            writer.FixedText(name, kNameBytes);
        for (const char* name : character.clothes)
            writer.FixedText(name, kNameBytes);
    }
    for (const std::vector<tag_TOLQUNLOCKDATA>* table : {&data.weapons, &data.clothes})
    {
        for (const tag_TOLQUNLOCKDATA& unlock : *table)
        {
            writer.U32(unlock.unlocked);
            writer.U32(unlock.owned);
            writer.U32(unlock.reserved);
        }
    }
    writer.U16(static_cast<uint16_t>(data.missions.size()));
    writer.U16(data.clearedMissionCount);
    for (const tag_TOLQMISSIONRECORD& mission : data.missions)
    {
        writer.U8(static_cast<uint8_t>((mission.rank & kMissionRankMask) | (mission.won ? kMissionWonBit : 0)));
        writer.U32(mission.value);
    }
    writer.U32(static_cast<uint32_t>(data.userMusic.size()));
    for (const std::string& name : data.userMusic)
        writer.FixedText(name.c_str(), kNameBytes);
    return writer.GetBytes();
}

namespace
{
bool ReadUnlockTable(CByteReader& reader, uint16_t count, std::vector<tag_TOLQUNLOCKDATA>& table)
{
    if (count > kMaxUnlockEntries || !reader.CanRead(count, 12))
        return false;
    table.resize(count);
    for (tag_TOLQUNLOCKDATA& unlock : table)
    {
        unlock.unlocked = reader.U32();
        unlock.owned = reader.U32();
        unlock.reserved = reader.U32();
    }
    return true;
}

bool ReadCharacterPlayData(CByteReader& reader, uint8_t count, std::vector<tag_TOLQCHARAPLAYDATA>& table)
{
    if (count > kMaxCharacters || !reader.CanRead(count, kCharacterPlayBytes))
        return false;
    table.assign(count, tag_TOLQCHARAPLAYDATA{});
    for (tag_TOLQCHARAPLAYDATA& character : table)
    {
        for (uint32_t& clears : character.storyClear)
            clears = reader.U32();
        for (char* name : character.weapons)
            reader.FixedText(name, kNameBytes);
        for (char* name : character.clothes)
            reader.FixedText(name, kNameBytes);
    }
    return true;
}

bool ReadMissions(CByteReader& reader, uint16_t count, std::vector<tag_TOLQMISSIONRECORD>& table)
{
    if (!reader.CanRead(count, 5))
        return false;
    table.resize(count);
    for (tag_TOLQMISSIONRECORD& mission : table)
    {
        const uint8_t rank = reader.U8();
        mission.rank = rank & kMissionRankMask;
        mission.won = (rank & kMissionWonBit) != 0;
        mission.value = reader.U32();
    }
    return true;
}

bool ReadUserMusic(CByteReader& reader, std::vector<std::string>& names)
{
    const uint32_t count = reader.U32();
    if (reader.Failed() || count > kMaxUserMusic || !reader.CanRead(count, kNameBytes))
        return false;
    names.clear();
    char name[kNameBytes];
    for (uint32_t i = 0; i < count; ++i)
    {
        reader.FixedText(name, sizeof(name));
        names.emplace_back(name);
    }
    return true;
}
}

int DecodePlayData(const uint8_t* bytes, size_t size, tag_TOLQPLAYDATA* data)
{
    CByteReader reader(bytes, size);
    if (reader.U16() != kPlayDataVersion)
        return 0;
    // Read into a copy: the tables depend on the counts in front of them,
    // so a file that breaks anywhere keeps the defaults whole.
    tag_TOLQPLAYDATA read = *data;
    read.points = reader.U32();
    const uint8_t characters = reader.U8();
    read.stageCount = reader.U8();
    read.builtInMusicCount = reader.U8();
    read.musicCount = reader.U32();
    const uint16_t weapons = reader.U16();
    const uint16_t clothes = reader.U16();
    if (reader.Failed() || !ReadCharacterPlayData(reader, characters, read.characters) ||
        !ReadUnlockTable(reader, weapons, read.weapons) || !ReadUnlockTable(reader, clothes, read.clothes))
        return 0;
    const uint16_t missions = reader.U16();
    read.clearedMissionCount = reader.U16();
    if (reader.Failed() || !ReadMissions(reader, missions, read.missions) || !ReadUserMusic(reader, read.userMusic))
        return 0;
    if (reader.Failed())
        return 0;
    bool clean = reader.AtEnd();
    clean &= Clamp<uint32_t>(read.points, 0, kMaxPoints);
    clean &= Clamp<uint16_t>(read.clearedMissionCount, 0, static_cast<uint16_t>(read.missions.size()));
    *data = std::move(read);
    return clean ? 1 : 0;
}

std::vector<uint8_t> EncodePlayRecord(const tag_TOLQPLAYRECORD& record)
{
    CByteWriter writer;
    writer.U16(kPlayRecordVersion);
    writer.U32(record.totalPlayTime);
    writer.U8(record.playerRank);
    writer.U8(static_cast<uint8_t>(record.records.size()));
    for (const tag_TOLQBATTLERECORD& battle : record.records)
    {
        for (const uint32_t* half : {battle.offline, battle.network})
        {
            for (uint32_t i = 0; i < kBattleTallies; ++i)
            {
                if (i != 7 && i != 8)
                    writer.U32(half[i]);
            }
        }
    }
    return writer.GetBytes();
}

int DecodePlayRecord(const uint8_t* bytes, size_t size, tag_TOLQPLAYRECORD* record)
{
    CByteReader reader(bytes, size);
    if (reader.U16() != kPlayRecordVersion)
        return 0;
    const uint32_t playTime = reader.U32();
    const uint8_t rank = reader.U8();
    const uint8_t count = reader.U8();
    if (reader.Failed() || count > kMaxCharacters || !reader.CanRead(count, 2 * kSavedTallies * 4))
        return 0;
    std::vector<tag_TOLQBATTLERECORD> records(count, tag_TOLQBATTLERECORD{});
    for (tag_TOLQBATTLERECORD& battle : records)
    {
        for (uint32_t* half : {battle.offline, battle.network})
        {
            for (uint32_t i = 0; i < kBattleTallies; ++i)
            {
                if (i != 7 && i != 8)
                    half[i] = reader.U32();
            }
        }
    }
    record->totalPlayTime = playTime;
    record->playerRank = rank;
    record->records = std::move(records);
    return reader.AtEnd() ? 1 : 0;
}
