#include "game/actor/CElementDefinition.h"

#include "game/actor/CGameDataReader.h"
#include "game/actor/GameDataWriter.h"

uint32_t CElementDefinition::Load(const void* bytes, size_t size)
{
    CGameDataReader reader(bytes, size);
    reader.Header("QELT");
    CElementDefinition loaded;
    reader.FixedText(loaded.name, kNameSize);
    loaded.element = reader.U8In(0, 6);
    loaded.motion = reader.U8();
    reader.Pad(2);
    loaded.pickUpRadius = reader.Positive();
    loaded.blessingTime = reader.U32();
    loaded.altarRespawn = reader.U32();
    reader.Text(&loaded.model);
    if (!reader.Finish())
        return 0;
    *this = loaded;
    return 1;
}

void CElementDefinition::Save(CByteWriter* writer) const
{
    GameDataWriter::Header(writer, "QELT");
    writer->FixedText(name, kNameSize);
    writer->U8(element);
    writer->U8(motion);
    writer->Zeros(2);
    writer->F32(pickUpRadius);
    writer->U32(blessingTime);
    writer->U32(altarRespawn);
    GameDataWriter::Text(writer, model);
}
