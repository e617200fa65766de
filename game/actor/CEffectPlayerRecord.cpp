#include "game/actor/CEffectPlayerRecord.h"

#include "game/actor/CGameDataReader.h"
#include "game/actor/GameDataWriter.h"

uint32_t CEffectPlayerRecord::Load(const void* bytes, size_t size)
{
    CGameDataReader reader(bytes, size);
    CEffectPlayerRecord loaded;
    loaded.Read(&reader);
    if (!reader.Finish())
        return 0;
    *this = loaded;
    return 1;
}

void CEffectPlayerRecord::Read(CGameDataReader* reader)
{
    reader->Text(&container);
    reader->Vec3(&position);
    reader->Vec3(&direction);
    reader->Vec3(&scale);
    color.x = reader->F32();
    color.y = reader->F32();
    color.z = reader->F32();
    color.w = reader->F32();
    timeLimit = reader->F32();
    attachMode = reader->U32();
    reader->Require(attachMode <= 2);
    reader->FixedText(bone, sizeof(bone));
    reader->Text(&trackName);
    const uint32_t count = reader->U32();
    reader->Require(count <= kMaxKeys && reader->CanRead(count, 12));
    if (reader->Failed())
        return;
    keys.resize(count);
    for (uint32_t i = 0; i < count; ++i)
    {
        keys[i].time = reader->F32();
        keys[i].ease = reader->F32();
        keys[i].value = reader->F32();
        reader->Require(keys[i].time >= 0.0f && (i == 0 || keys[i].time >= keys[i - 1].time));
    }
    interpolate = reader->U32();
    loop = reader->U32();
    reader->Require(interpolate <= 1 && loop <= 1);
    defaultValue = reader->F32();
}

void CEffectPlayerRecord::Save(CByteWriter* writer) const
{
    GameDataWriter::Text(writer, container);
    GameDataWriter::Vec3(writer, position);
    GameDataWriter::Vec3(writer, direction);
    GameDataWriter::Vec3(writer, scale);
    writer->F32(color.x);
    writer->F32(color.y);
    writer->F32(color.z);
    writer->F32(color.w);
    writer->F32(timeLimit);
    writer->U32(attachMode);
    writer->FixedText(bone, sizeof(bone));
    GameDataWriter::Text(writer, trackName);
    writer->U32(static_cast<uint32_t>(keys.size()));
    for (const Key& key : keys)
    {
        writer->F32(key.time);
        writer->F32(key.ease);
        writer->F32(key.value);
    }
    writer->U32(interpolate);
    writer->U32(loop);
    writer->F32(defaultValue);
}

uint32_t CEffectPlayerRecord::CountKeysPassed(uint32_t previous, uint32_t now) const
{
    uint32_t count = 0;
    for (const Key& key : keys)
    {
        if (static_cast<float>(previous) <= key.time && key.time < static_cast<float>(now))
            ++count;
    }
    return count;
}
