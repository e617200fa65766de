#include "game/actor/CItemDefinition.h"

#include "game/actor/CGameDataReader.h"
#include "game/actor/GameDataWriter.h"

uint32_t CItemDefinition::Load(const void* bytes, size_t size)
{
    CGameDataReader reader(bytes, size);
    reader.Header("QITM");
    CItemDefinition loaded;
    reader.FixedText(loaded.name, kNameSize);
    loaded.kind = reader.U8In(0, KIND_JEWEL);
    reader.Pad(3);
    loaded.value = reader.F32();
    loaded.duration = reader.U32();
    loaded.radius = reader.Positive();
    loaded.fieldLife = reader.U32();
    reader.Text(&loaded.model);
    reader.Text(&loaded.effect);
    if (!reader.Finish())
        return 0;
    *this = loaded;
    return 1;
}

void CItemDefinition::Save(CByteWriter* writer) const
{
    GameDataWriter::Header(writer, "QITM");
    writer->FixedText(name, kNameSize);
    writer->U8(kind);
    writer->Zeros(3);
    writer->F32(value);
    writer->U32(duration);
    writer->F32(radius);
    writer->U32(fieldLife);
    GameDataWriter::Text(writer, model);
    GameDataWriter::Text(writer, effect);
}
