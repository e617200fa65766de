// The battle setup's messages 3-6, written and read field by field.
#include "game/battle/SetupMessages.h"

#include "engine/core/CByteReader.h"
#include "engine/core/CByteWriter.h"
#include "game/battle/tag_TOLQBATTLEPLAYER.h"

#include <cmath>
#include <cstring>

namespace SetupMessages
{
namespace
{
// A text's length byte counts its NUL; none travels as 0, and so does a
// weapon or clothes name shorter than two characters.
constexpr size_t kMinItemNameLength = 2;
constexpr size_t kMaxTextLength = 254;

bool WriteText(CByteWriter* writer, const char* text, size_t minimum = kMinItemNameLength)
{
    if (text == nullptr)
    {
        writer->U8(0);
        return true;
    }
    const size_t length = std::strlen(text);
    if (length > kMaxTextLength)
        return false;
    if (length < minimum)
    {
        writer->U8(0);
        return true;
    }
    writer->U8(static_cast<uint8_t>(length + 1));
    writer->Bytes(text, length + 1);
    return true;
}

// A text as WriteText sends it: a length byte of 0 is no text; otherwise
// its last byte is its NUL, and the text ends there (so a name never runs
// past the 254 characters a sender can write).
bool ReadText(CByteReader* reader, std::string* text, bool* present)
{
    const uint8_t length = reader->U8();
    *present = length != 0;
    text->clear();
    if (length == 0)
        return !reader->Failed();
    char bytes[256] = {};
    if (!reader->Bytes(bytes, length))
        return false;
    const size_t textLength = strnlen(bytes, length);
    if (textLength + 1 != length)
        return false;
    text->assign(bytes, textLength);
    return true;
}

bool ValidRadioChat(const tag_TOLQRADIOCHAT& chat)
{
    return tag_TOLQRADIOCHAT::IsScope(chat.scope) && tag_TOLQRADIOCHAT::IsPhrase(chat.phrase);
}

bool ValidSummary(const PlayerSummary& summary, uint8_t playerCount, uint8_t characterLimit)
{
    return summary.slot < playerCount && summary.slotState >= 0 && summary.slotState <= kLastSeatState &&
           summary.team <= tag_TOLQBATTLEPLAYER::kNoTeam && summary.characterCount <= characterLimit &&
           summary.character >= 0 && summary.character <= static_cast<int8_t>(summary.characterCount);
}
}

std::vector<uint8_t> EncodeCursor(const Cursor& cursor)
{
    CByteWriter writer;
    writer.I32(cursor.phase);
    writer.I32(cursor.nextPhase);
    return writer.GetBytes();
}

bool DecodeCursor(const uint8_t* payload, uint32_t length, Cursor* cursor)
{
    if (payload == nullptr || length != kCursorSize)
        return false;
    CByteReader reader(payload, length);
    cursor->phase = reader.I32();
    cursor->nextPhase = reader.I32();
    return !reader.Failed();
}

std::vector<uint8_t> EncodeRules(const tag_TOLQBATTLERULE& rules)
{
    CByteWriter writer;
    WriteBattleRule(&writer, rules);
    return writer.GetBytes();
}

bool DecodeRules(const uint8_t* payload, uint32_t length, tag_TOLQBATTLERULE* rules)
{
    if (payload == nullptr || length != kRulesSize)
        return false;
    CByteReader reader(payload, length);
    tag_TOLQBATTLERULE read;
    ReadBattleRule(&reader, &read);
    if (reader.Failed() || !IsValidBattleRule(read))
        return false;
    *rules = read;
    return true;
}

uint8_t PickWithinCount(uint8_t pick, uint8_t characterCount)
{
    return characterCount == 0 ? 0 : static_cast<uint8_t>(pick % characterCount);
}

PlayerSummary SummaryOf(const tag_TOLQBATTLEPLAYER& entry, uint8_t slot)
{
    return {slot, entry.character, entry.slotState, entry.team, entry.characterCount, entry.roomWords[0]};
}

std::vector<uint8_t> EncodeSummary(const PlayerSummary& summary)
{
    CByteWriter writer;
    writer.U8(summary.slot);
    writer.U8(static_cast<uint8_t>(summary.character));
    writer.U8(static_cast<uint8_t>(summary.slotState));
    writer.U8(summary.team);
    writer.U8(summary.characterCount);
    writer.U32(summary.confirmed);
    return writer.GetBytes();
}

bool DecodeSummary(const uint8_t* payload, uint32_t length, uint8_t playerCount, uint8_t characterLimit,
                   PlayerSummary* summary)
{
    if (payload == nullptr || length != kSummarySize)
        return false;
    CByteReader reader(payload, length);
    PlayerSummary read;
    read.slot = reader.U8();
    read.character = static_cast<int8_t>(reader.U8());
    read.slotState = static_cast<int8_t>(reader.U8());
    read.team = reader.U8();
    read.characterCount = reader.U8();
    read.confirmed = reader.U32();
    if (reader.Failed() || !ValidSummary(read, playerCount, characterLimit))
        return false;
    *summary = read;
    return true;
}

std::vector<uint8_t> EncodeEntry(const tag_TOLQBATTLEPLAYER& entry, uint8_t slot)
{
    CByteWriter writer;
    writer.U8(slot);
    writer.U8(static_cast<uint8_t>(entry.character));
    writer.U8(entry.randomCharacter);
    writer.U8(static_cast<uint8_t>(entry.slotState));
    writer.U8(entry.team);
    writer.U8(entry.characterCount);
    writer.F32(entry.cameraSensitivity);
    writer.F32(entry.mouseSensitivity);
    writer.U32(entry.roomWords[0]);
    writer.U32(entry.roomWords[1]);
    bool fits = WriteText(&writer, entry.name, 0);
    for (const tag_TOLQRADIOCHAT& chat : entry.radioChat)
    {
        writer.U8(chat.scope);
        writer.Bytes(chat.text, sizeof(chat.text));
        writer.U8(chat.phrase);
    }
    for (const char* weapon : entry.weapons)
        fits = fits && WriteText(&writer, weapon);
    for (const char* clothes : entry.clothes)
        fits = fits && WriteText(&writer, clothes);
    std::vector<uint8_t> bytes = writer.GetBytes();
    if (!fits || bytes.size() > kEntrySize)
        return {};
    bytes.resize(kEntrySize, 0);
    return bytes;
}

bool DecodeEntry(const uint8_t* payload, uint32_t length, uint8_t playerCount, uint8_t characterLimit,
                 PlayerEntryMessage* entry)
{
    if (payload == nullptr || length != kEntrySize)
        return false;
    CByteReader reader(payload, length);
    PlayerEntryMessage read;
    read.summary.slot = reader.U8();
    read.summary.character = static_cast<int8_t>(reader.U8());
    read.randomCharacter = reader.U8();
    read.summary.slotState = static_cast<int8_t>(reader.U8());
    read.summary.team = reader.U8();
    read.summary.characterCount = reader.U8();
    read.cameraSensitivity = reader.F32();
    read.mouseSensitivity = reader.F32();
    read.summary.confirmed = reader.U32();
    read.ready = reader.U32();
    bool ok = ReadText(&reader, &read.name, &read.hasName);
    for (tag_TOLQRADIOCHAT& chat : read.radioChat)
    {
        chat.scope = reader.U8();
        ok = ok && reader.Bytes(chat.text, sizeof(chat.text));
        chat.text[sizeof(chat.text) - 1] = '\0';
        chat.phrase = reader.U8();
        ok = ok && ValidRadioChat(chat);
    }
    bool present = false;
    for (std::string& weapon : read.weapons)
        ok = ok && ReadText(&reader, &weapon, &present);
    for (std::string& clothes : read.clothes)
        ok = ok && ReadText(&reader, &clothes, &present);
    const bool pickInRange = PickWithinCount(read.randomCharacter, read.summary.characterCount) == read.randomCharacter;
    if (!ok || reader.Failed() || !ValidSummary(read.summary, playerCount, characterLimit) || !pickInRange ||
        !std::isfinite(read.cameraSensitivity) || !std::isfinite(read.mouseSensitivity))
        return false;
    *entry = std::move(read);
    return true;
}
}
