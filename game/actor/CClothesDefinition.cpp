#include "game/actor/CClothesDefinition.h"

#include "game/actor/CGameDataReader.h"
#include "game/actor/GameDataWriter.h"

uint32_t CClothesDefinition::Load(const void* bytes, size_t size)
{
    CGameDataReader reader(bytes, size);
    reader.Header("QCLS");
    CClothesDefinition loaded;
    reader.FixedText(loaded.name, kNameSize);
    reader.Require(IsValidEquipmentName(loaded.name));
    loaded.price = reader.U32();
    loaded.slotMask = reader.U16();
    reader.Require(loaded.slotMask != 0 && (loaded.slotMask & ~0x3Fu) == 0);
    reader.Pad(2);
    loaded.characterMask = reader.U32();
    loaded.unlockKind = reader.U8In(0, 2);
    reader.Pad(3);
    loaded.unlockThreshold = reader.U32();
    reader.Text(&loaded.description);
    reader.Text(&loaded.model);
    reader.Text(&loaded.bone);
    if (!reader.Finish())
        return 0;
    *this = loaded;
    return 1;
}

void CClothesDefinition::Save(CByteWriter* writer) const
{
    GameDataWriter::Header(writer, "QCLS");
    writer->FixedText(name, kNameSize);
    writer->U32(price);
    writer->U16(slotMask);
    writer->Zeros(2);
    writer->U32(characterMask);
    writer->U8(unlockKind);
    writer->Zeros(3);
    writer->U32(unlockThreshold);
    GameDataWriter::Text(writer, description);
    GameDataWriter::Text(writer, model);
    GameDataWriter::Text(writer, bone);
}
