// Readers and writers of the online match's seat and seed messages.
#include "game/scene/NetMatchMessages.h"

#include "engine/core/CByteReader.h"
#include "engine/core/CByteWriter.h"
#include "engine/core/CResourceList.h"
#include "game/app/CQorResourceController.h"
#include "game/app/GameServices.h"

#include <cstring>

namespace
{
// A weapon or clothes name shorter than this travels as none.
constexpr size_t kShortestItemName = 2;

void WriteText(CByteWriter& writer, const std::string& text, bool present)
{
    if (!present)
    {
        writer.U8(0);
        return;
    }
    writer.U8(static_cast<uint8_t>(text.size() + 1));
    writer.Bytes(text.data(), text.size());
    writer.U8(0);
}

// A length byte and its bytes: the text up to its first NUL. Returns false
// when the bytes run past the message; present tells a text from none.
bool ReadText(CByteReader& reader, std::string* text, bool* present)
{
    const uint8_t length = reader.U8();
    text->clear();
    *present = length != 0;
    if (length == 0)
        return !reader.Failed();
    if (!reader.CanRead(length, 1))
        return false;
    char bytes[256];
    reader.Bytes(bytes, length);
    text->assign(bytes, strnlen(bytes, length));
    return !reader.Failed();
}

// Texts that a length byte can't carry are cut at a whole character.
std::string Fitting(const char* text)
{
    if (text == nullptr)
        return std::string();
    std::string copy(text);
    if (copy.size() <= NetSeatEntry::kMaxText)
        return copy;
    size_t end = 0;
    while (end < copy.size())
    {
        const uint8_t lead = static_cast<uint8_t>(copy[end]);
        // Shift-JIS lead bytes take a second byte with them.
        const size_t width = ((lead >= 0x81 && lead <= 0x9F) || (lead >= 0xE0 && lead <= 0xFC)) ? 2 : 1;
        if (end + width > NetSeatEntry::kMaxText)
            break;
        end += width;
    }
    copy.resize(end);
    return copy;
}

const char* ResolveInList(uint8_t list, const char* name)
{
    if (g_pResourceController == nullptr || name == nullptr || name[0] == '\0')
        return nullptr;
    auto* resources = static_cast<CResourceList<CResourceBase*>*>(g_pResourceController->GetList(list));
    if (resources == nullptr)
        return nullptr;
    CResourceBase* found = resources->FindByName(name);
    return found != nullptr ? found->GetName() : nullptr;
}
}

uint32_t ReadNetU32(const uint8_t* in)
{
    return static_cast<uint32_t>(in[0]) | (static_cast<uint32_t>(in[1]) << 8) | (static_cast<uint32_t>(in[2]) << 16) |
           (static_cast<uint32_t>(in[3]) << 24);
}

void WriteNetU32(uint32_t value, uint8_t* out)
{
    out[0] = static_cast<uint8_t>(value);
    out[1] = static_cast<uint8_t>(value >> 8);
    out[2] = static_cast<uint8_t>(value >> 16);
    out[3] = static_cast<uint8_t>(value >> 24);
}

// ---------------------------------------------------------------- summary

void WriteNetSeatSummary(const NetSeatSummary& summary, uint8_t out[kNetSummarySize])
{
    out[0] = summary.slot;
    out[1] = static_cast<uint8_t>(summary.character);
    out[2] = static_cast<uint8_t>(summary.slotState);
    out[3] = summary.team;
    out[4] = summary.characterCount;
    WriteNetU32(summary.confirmed, out + 5);
}

bool ReadNetSeatSummary(const uint8_t* payload, uint32_t length, NetSeatSummary* out)
{
    if (payload == nullptr || length != kNetSummarySize)
        return false;
    out->slot = payload[0];
    out->character = static_cast<int8_t>(payload[1]);
    out->slotState = static_cast<int8_t>(payload[2]);
    out->team = payload[3];
    out->characterCount = payload[4];
    out->confirmed = ReadNetU32(payload + 5);
    return true;
}

NetSeatSummary MakeNetSeatSummary(const tag_TOLQBATTLEPLAYER& entry, uint8_t slot)
{
    NetSeatSummary summary;
    summary.slot = slot;
    summary.character = entry.character;
    summary.slotState = entry.slotState;
    summary.team = entry.team;
    summary.characterCount = entry.characterCount;
    summary.confirmed = entry.roomWords[0];
    return summary;
}

void ApplyNetSeatSummary(const NetSeatSummary& summary, tag_TOLQBATTLEPLAYER* entry)
{
    entry->character = summary.character;
    entry->slotState = summary.slotState;
    entry->team = summary.team;
    entry->characterCount = summary.characterCount;
    entry->roomWords[0] = summary.confirmed;
}

// ---------------------------------------------------------------- whole entry

NetSeatEntry MakeNetSeatEntry(const tag_TOLQBATTLEPLAYER& entry, uint8_t slot)
{
    NetSeatEntry out;
    out.slot = slot;
    out.character = entry.character;
    out.randomCharacter = entry.randomCharacter;
    out.slotState = entry.slotState;
    out.team = entry.team;
    out.characterCount = entry.characterCount;
    out.cameraSensitivity = entry.cameraSensitivity;
    out.mouseSensitivity = entry.mouseSensitivity;
    out.confirmed = entry.roomWords[0];
    out.ready = entry.roomWords[1];
    out.hasName = entry.name != nullptr;
    out.name = Fitting(entry.name);
    std::memcpy(out.radioChat, entry.radioChat, sizeof(out.radioChat));
    for (uint32_t i = 0; i < tag_TOLQBATTLEPLAYER::kWeapons; ++i)
        out.weapons[i] = Fitting(entry.weapons[i]);
    for (uint32_t i = 0; i < tag_TOLQBATTLEPLAYER::kClothes; ++i)
        out.clothes[i] = Fitting(entry.clothes[i]);
    return out;
}

bool WriteNetSeatEntry(const NetSeatEntry& entry, std::vector<uint8_t>* out)
{
    CByteWriter writer;
    writer.U8(entry.slot);
    writer.U8(static_cast<uint8_t>(entry.character));
    writer.U8(entry.randomCharacter);
    writer.U8(static_cast<uint8_t>(entry.slotState));
    writer.U8(entry.team);
    writer.U8(entry.characterCount);
    writer.F32(entry.cameraSensitivity);
    writer.F32(entry.mouseSensitivity);
    writer.U32(entry.confirmed);
    writer.U32(entry.ready);
    WriteText(writer, entry.name, entry.hasName && entry.name.size() <= NetSeatEntry::kMaxText);
    for (const tag_TOLQRADIOCHAT& chat : entry.radioChat)
    {
        writer.U8(chat.scope);
        writer.FixedText(chat.text, tag_TOLQRADIOCHAT::kTextSize);
        writer.U8(chat.phrase);
    }
    auto item = [&](const std::string& name) {
        WriteText(writer, name, name.size() >= kShortestItemName && name.size() <= NetSeatEntry::kMaxText);
    };
    for (const std::string& name : entry.weapons)
        item(name);
    for (const std::string& name : entry.clothes)
        item(name);
    if (writer.GetBytes().size() > kNetEntrySize)
        return false;
    *out = writer.GetBytes();
    out->resize(kNetEntrySize, 0);
    return true;
}

bool ReadNetSeatEntry(const uint8_t* payload, uint32_t length, NetSeatEntry* out)
{
    if (payload == nullptr || length != kNetEntrySize)
        return false;
    CByteReader reader(payload, length);
    NetSeatEntry entry;
    entry.slot = reader.U8();
    entry.character = static_cast<int8_t>(reader.U8());
    entry.randomCharacter = reader.U8();
    entry.slotState = static_cast<int8_t>(reader.U8());
    entry.team = reader.U8();
    entry.characterCount = reader.U8();
    entry.cameraSensitivity = reader.F32();
    entry.mouseSensitivity = reader.F32();
    entry.confirmed = reader.U32();
    entry.ready = reader.U32();
    if (!ReadText(reader, &entry.name, &entry.hasName))
        return false;
    for (tag_TOLQRADIOCHAT& chat : entry.radioChat)
    {
        chat.scope = reader.U8();
        reader.FixedText(chat.text, tag_TOLQRADIOCHAT::kTextSize);
        chat.phrase = reader.U8();
    }
    bool present = false;
    for (std::string& name : entry.weapons)
    {
        if (!ReadText(reader, &name, &present))
            return false;
    }
    for (std::string& name : entry.clothes)
    {
        if (!ReadText(reader, &name, &present))
            return false;
    }
    if (reader.Failed())
        return false;
    *out = std::move(entry);
    return true;
}

const char* ResolveNetWeaponName(const char* name)
{
    return ResolveInList(CQorResourceController::LIST_WEAPONS, name);
}

const char* ResolveNetClothesName(const char* name)
{
    return ResolveInList(CQorResourceController::LIST_CLOTHES, name);
}

void ApplyNetSeatEntry(const NetSeatEntry& received, tag_TOLQBATTLEPLAYER* entry, std::string* nameStorage,
                       NetNameResolver weapons, NetNameResolver clothes)
{
    entry->character = received.character;
    entry->randomCharacter = received.randomCharacter;
    entry->slotState = received.slotState;
    entry->team = received.team;
    entry->characterCount = received.characterCount;
    entry->cameraSensitivity = received.cameraSensitivity;
    entry->mouseSensitivity = received.mouseSensitivity;
    entry->roomWords[0] = received.confirmed;
    entry->roomWords[1] = received.ready;
    std::memcpy(entry->radioChat, received.radioChat, sizeof(entry->radioChat));
    *nameStorage = received.name;
    entry->name = received.hasName ? nameStorage->c_str() : nullptr;
    for (uint32_t i = 0; i < tag_TOLQBATTLEPLAYER::kWeapons; ++i)
        entry->weapons[i] = received.weapons[i].empty() ? nullptr : weapons(received.weapons[i].c_str());
    for (uint32_t i = 0; i < tag_TOLQBATTLEPLAYER::kClothes; ++i)
        entry->clothes[i] = received.clothes[i].empty() ? nullptr : clothes(received.clothes[i].c_str());
}

// ---------------------------------------------------------------- seed

void WriteNetSeed(const NetSeed& seed, uint8_t out[kNetSeedSize])
{
    WriteNetU32(seed.seed, out);
    out[4] = seed.framesPerBatch;
    out[5] = seed.sendByte;
}

bool ReadNetSeed(const uint8_t* payload, uint32_t length, NetSeed* out)
{
    if (payload == nullptr || length != kNetSeedSize)
        return false;
    out->seed = ReadNetU32(payload);
    out->framesPerBatch = payload[4];
    out->sendByte = payload[5];
    return true;
}
