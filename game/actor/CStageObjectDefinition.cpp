#include "game/actor/CStageObjectDefinition.h"

#include "game/actor/CGameDataReader.h"
#include "game/actor/GameDataWriter.h"

uint32_t CStageObjectDefinition::Load(const void* bytes, size_t size)
{
    CStageObjectDefinition loaded;
    loaded.hasRoute = CGameDataReader::HasMagic(bytes, size, "QSRO");
    CGameDataReader reader(bytes, size);
    reader.Header(loaded.hasRoute ? "QSRO" : "QSTO");
    reader.FixedText(loaded.name, kNameSize);
    loaded.kind = reader.U8In(0, KIND_ITEM_BOX);
    loaded.mapMark = reader.U8();
    reader.Require(loaded.mapMark <= 6 || loaded.mapMark == kNoMapMark);
    loaded.life = reader.U16();
    loaded.halfSize.x = reader.Positive();
    loaded.halfSize.y = reader.Positive();
    loaded.halfSize.z = reader.Positive();
    loaded.respawn = reader.U32();
    reader.Text(&loaded.model);
    if (loaded.hasRoute)
    {
        loaded.routeSpeed = reader.Positive();
        loaded.routePause = reader.U32();
        const uint8_t count = reader.U8In(2, 16);
        reader.Require(reader.CanRead(count, 12));
        if (!reader.Failed())
        {
            loaded.waypoints.resize(count);
            for (CkvrVector3& point : loaded.waypoints)
                reader.Vec3(&point);
        }
    }
    if (!reader.Finish())
        return 0;
    *this = loaded;
    return 1;
}

void CStageObjectDefinition::Save(CByteWriter* writer) const
{
    GameDataWriter::Header(writer, hasRoute ? "QSRO" : "QSTO");
    writer->FixedText(name, kNameSize);
    writer->U8(kind);
    writer->U8(mapMark);
    writer->U16(life);
    GameDataWriter::Vec3(writer, halfSize);
    writer->U32(respawn);
    GameDataWriter::Text(writer, model);
    if (!hasRoute)
        return;
    writer->F32(routeSpeed);
    writer->U32(routePause);
    writer->U8(static_cast<uint8_t>(waypoints.size()));
    for (const CkvrVector3& point : waypoints)
        GameDataWriter::Vec3(writer, point);
}
