#include "game/actor/CElementAttackDefinition.h"

#include "game/actor/CGameDataReader.h"
#include "game/actor/GameDataWriter.h"

const char* CElementAttackDefinition::GetMagic(Format format)
{
    switch (format)
    {
    case FORMAT_BURST: return "QEBA";
    case FORMAT_MAXIMUM: return "QEMA";
    default: return "QELA";
    }
}

uint32_t CElementAttackDefinition::Load(const void* bytes, size_t size)
{
    CElementAttackDefinition loaded;
    for (Format format : {FORMAT_ELEMENTAL, FORMAT_BURST, FORMAT_MAXIMUM})
    {
        if (CGameDataReader::HasMagic(bytes, size, GetMagic(format)))
            loaded.format = format;
    }
    CGameDataReader reader(bytes, size);
    reader.Header(GetMagic(loaded.format));
    reader.FixedText(loaded.name, kNameSize);
    loaded.epCost = reader.U8();
    loaded.motion = reader.U8();
    loaded.power = reader.U8();
    reader.Pad(1);
    loaded.duration = reader.U32();
    loaded.firstPhase = reader.U32();
    loaded.hitStart = reader.U32();
    loaded.hitEnd = reader.U32();
    reader.Require(loaded.hitStart <= loaded.hitEnd && loaded.hitEnd <= loaded.duration &&
                   loaded.firstPhase <= loaded.duration);
    loaded.reach = reader.Positive();
    loaded.radius = reader.Positive();
    reader.Text(&loaded.ownWeapon);
    const uint8_t players = reader.U8();
    // An effect player takes at least 340 bytes.
    reader.Require(players <= kMaxEffectPlayers && reader.CanRead(players, 340));
    if (!reader.Failed())
    {
        loaded.effectPlayers.resize(players);
        for (CEffectPlayerRecord& player : loaded.effectPlayers)
            player.Read(&reader);
    }
    if (!reader.Finish())
        return 0;
    *this = loaded;
    return 1;
}

void CElementAttackDefinition::Save(CByteWriter* writer) const
{
    GameDataWriter::Header(writer, GetMagic(format));
    writer->FixedText(name, kNameSize);
    writer->U8(epCost);
    writer->U8(motion);
    writer->U8(power);
    writer->Zeros(1);
    for (uint32_t value : {duration, firstPhase, hitStart, hitEnd})
        writer->U32(value);
    writer->F32(reach);
    writer->F32(radius);
    GameDataWriter::Text(writer, ownWeapon);
    writer->U8(static_cast<uint8_t>(effectPlayers.size()));
    for (const CEffectPlayerRecord& player : effectPlayers)
        player.Save(writer);
}
