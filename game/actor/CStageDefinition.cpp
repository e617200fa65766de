#include "game/actor/CStageDefinition.h"

#include "game/actor/CGameDataReader.h"
#include "game/actor/GameDataWriter.h"

namespace
{
void ReadLists(CGameDataReader* reader, CStageDefinition* out)
{
    const uint8_t starts = reader->U8In(1, CStageDefinition::kMaxStartPoints);
    reader->Require(reader->CanRead(starts, 24));
    if (reader->Failed())
        return;
    out->starts.resize(starts);
    for (CStageDefinition::StartPoint& start : out->starts)
    {
        reader->Vec3(&start.position);
        reader->Vec3(&start.rotation);
    }
    const uint16_t placements = reader->U16();
    reader->Require(placements <= CStageDefinition::kMaxPlacements && reader->CanRead(placements, 88));
    if (reader->Failed())
        return;
    out->placements.resize(placements);
    for (CStageDefinition::Placement& placement : out->placements)
    {
        reader->FixedText(placement.templateName, CStageDefinition::kTemplateNameSize);
        reader->Vec3(&placement.position);
        reader->Vec3(&placement.rotation);
    }
}
}

uint32_t CStageDefinition::Load(const void* bytes, size_t size)
{
    CGameDataReader reader(bytes, size);
    reader.Header("QSTG");
    CStageDefinition loaded;
    reader.FixedText(loaded.name, kNameSize);
    reader.Text(&loaded.displayName);
    reader.Text(&loaded.groundModel);
    reader.Text(&loaded.hitModel);
    reader.Text(&loaded.mapPicture);
    loaded.mapCentreX = reader.F32();
    loaded.mapCentreZ = reader.F32();
    loaded.mapHalfX = reader.Positive();
    loaded.mapHalfZ = reader.Positive();
    reader.Vec3(&loaded.extentMin);
    reader.Vec3(&loaded.extentMax);
    reader.Require(loaded.extentMin.x < loaded.extentMax.x && loaded.extentMin.y < loaded.extentMax.y &&
                   loaded.extentMin.z < loaded.extentMax.z);
    ReadLists(&reader, &loaded);
    if (!reader.Finish())
        return 0;
    *this = loaded;
    return 1;
}

void CStageDefinition::Save(CByteWriter* writer) const
{
    GameDataWriter::Header(writer, "QSTG");
    writer->FixedText(name, kNameSize);
    for (const std::string* text : {&displayName, &groundModel, &hitModel, &mapPicture})
        GameDataWriter::Text(writer, *text);
    for (float value : {mapCentreX, mapCentreZ, mapHalfX, mapHalfZ})
        writer->F32(value);
    GameDataWriter::Vec3(writer, extentMin);
    GameDataWriter::Vec3(writer, extentMax);
    writer->U8(static_cast<uint8_t>(starts.size()));
    for (const StartPoint& start : starts)
    {
        GameDataWriter::Vec3(writer, start.position);
        GameDataWriter::Vec3(writer, start.rotation);
    }
    writer->U16(static_cast<uint16_t>(placements.size()));
    for (const Placement& placement : placements)
    {
        writer->FixedText(placement.templateName, kTemplateNameSize);
        GameDataWriter::Vec3(writer, placement.position);
        GameDataWriter::Vec3(writer, placement.rotation);
    }
}
