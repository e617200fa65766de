#include "game/actor/CBulletDefinition.h"

#include "game/actor/CGameDataReader.h"
#include "game/actor/GameDataWriter.h"

uint32_t CBulletDefinition::Load(const void* bytes, size_t size)
{
    CGameDataReader reader(bytes, size);
    reader.Header("QBLT");
    CBulletDefinition loaded;
    reader.FixedText(loaded.name, kNameSize);
    loaded.range = reader.Positive();
    loaded.speed = reader.Positive();
    loaded.gravity = reader.F32();
    loaded.radius = reader.Positive();
    loaded.flags = reader.U32();
    reader.Text(&loaded.model);
    if (!reader.Finish())
        return 0;
    *this = loaded;
    return 1;
}

void CBulletDefinition::Save(CByteWriter* writer) const
{
    GameDataWriter::Header(writer, "QBLT");
    writer->FixedText(name, kNameSize);
    for (float value : {range, speed, gravity, radius})
        writer->F32(value);
    writer->U32(flags);
    GameDataWriter::Text(writer, model);
}
