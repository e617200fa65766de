#include "game/actor/CWeaponDefinition.h"

#include "game/actor/CGameDataReader.h"
#include "game/actor/GameDataWriter.h"

namespace
{
void ReadShort(CGameDataReader* reader, CWeaponDefinition* out)
{
    out->swingTime = reader->U16();
    out->hitStart = reader->U16();
    out->hitEnd = reader->U16();
    reader->Require(out->hitStart < out->hitEnd && out->hitEnd <= out->swingTime);
    reader->Pad(2);
    out->reach = reader->Positive();
    out->hitRadius = reader->Positive();
    out->lungeSpeed = reader->Positive();
}

void ReadFiring(CGameDataReader* reader, CWeaponDefinition* out)
{
    out->capacity = reader->U16();
    out->fireInterval = reader->U16();
    out->reloadTime = reader->U32();
    const uint8_t records = reader->U8In(1, CWeaponDefinition::kMaxBulletRecords);
    reader->Pad(3);
    if (reader->Failed())
        return;
    out->bullets.resize(records);
    for (CWeaponDefinition::BulletRecord& record : out->bullets)
    {
        reader->Text(&record.bullet);
        reader->Vec3(&record.muzzle);
        record.shots = reader->U8In(1, 16);
        reader->Pad(3);
        record.spread = reader->F32In(0.0f, 45.0f);
    }
}
}

const char* CWeaponDefinition::GetMagic(Format format)
{
    switch (format)
    {
    case FORMAT_LONG: return "QLWP";
    case FORMAT_SPECIAL: return "QSPW";
    default: return "QSWP";
    }
}

bool CWeaponDefinition::IsTypeOf(Format format, uint8_t type)
{
    switch (format)
    {
    case FORMAT_LONG: return type >= 6 && type <= 11;
    case FORMAT_SPECIAL: return type >= 12 && type <= 16;
    default: return type <= 5;
    }
}

uint32_t CWeaponDefinition::Load(const void* bytes, size_t size)
{
    CWeaponDefinition loaded;
    for (Format format : {FORMAT_SHORT, FORMAT_LONG, FORMAT_SPECIAL})
    {
        if (CGameDataReader::HasMagic(bytes, size, GetMagic(format)))
            loaded.format = format;
    }
    CGameDataReader reader(bytes, size);
    reader.Header(GetMagic(loaded.format));
    reader.FixedText(loaded.name, kNameSize);
    reader.Require(IsValidEquipmentName(loaded.name));
    loaded.type = reader.U8();
    reader.Require(IsTypeOf(loaded.format, loaded.type));
    loaded.iconClass = reader.U8In(0, 7);
    loaded.weight = reader.U8In(1, 10);
    loaded.rank = reader.U8();
    loaded.price = reader.U32();
    loaded.characterMask = reader.U32();
    loaded.defaultOnly = reader.U32();
    loaded.power = reader.U8();
    loaded.range = reader.U8();
    loaded.speed = reader.U8();
    loaded.reload = reader.U8();
    loaded.unlockKind = reader.U8In(0, 2);
    reader.Pad(3);
    loaded.unlockThreshold = reader.U32();
    reader.Text(&loaded.description);
    reader.Text(&loaded.model);
    reader.Text(&loaded.elementAttack);
    reader.Text(&loaded.burstAttack);
    loaded.motionSpeed = reader.Positive();
    loaded.flags = reader.U32();
    if (loaded.format == FORMAT_SHORT)
        ReadShort(&reader, &loaded);
    else
        ReadFiring(&reader, &loaded);
    if (!reader.Finish())
        return 0;
    *this = loaded;
    return 1;
}

void CWeaponDefinition::Save(CByteWriter* writer) const
{
    GameDataWriter::Header(writer, GetMagic(format));
    writer->FixedText(name, kNameSize);
    for (uint8_t value : {type, iconClass, weight, rank})
        writer->U8(value);
    writer->U32(price);
    writer->U32(characterMask);
    writer->U32(defaultOnly);
    for (uint8_t value : {power, range, speed, reload, unlockKind})
        writer->U8(value);
    writer->Zeros(3);
    writer->U32(unlockThreshold);
    for (const std::string* text : {&description, &model, &elementAttack, &burstAttack})
        GameDataWriter::Text(writer, *text);
    writer->F32(motionSpeed);
    writer->U32(flags);
    if (format == FORMAT_SHORT)
    {
        writer->U16(swingTime);
        writer->U16(hitStart);
        writer->U16(hitEnd);
        writer->Zeros(2);
        writer->F32(reach);
        writer->F32(hitRadius);
        writer->F32(lungeSpeed);
        return;
    }
    writer->U16(capacity);
    writer->U16(fireInterval);
    writer->U32(reloadTime);
    writer->U8(static_cast<uint8_t>(bullets.size()));
    writer->Zeros(3);
    for (const BulletRecord& record : bullets)
    {
        GameDataWriter::Text(writer, record.bullet);
        GameDataWriter::Vec3(writer, record.muzzle);
        writer->U8(record.shots);
        writer->Zeros(3);
        writer->F32(record.spread);
    }
}
