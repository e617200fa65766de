#include "game/actor/CCharacterDefinition.h"

#include "game/actor/CGameDataReader.h"
#include "game/actor/GameDataWriter.h"

#include <cstring>

namespace
{
// Default equipment names: empty or a valid name, none twice.
void CheckNames(CGameDataReader* reader, const char (*names)[CCharacterDefinition::kNameSize], uint32_t count)
{
    for (uint32_t i = 0; i < count; ++i)
    {
        if (names[i][0] == '\0')
            continue;
        reader->Require(IsValidEquipmentName(names[i]));
        for (uint32_t j = 0; j < i; ++j)
            reader->Require(std::strcmp(names[i], names[j]) != 0);
    }
}

void ReadBody(CGameDataReader* reader, CCharacterDefinition* out)
{
    out->life = reader->U16();
    reader->Require(out->life > 0);
    out->epMax = reader->U8();
    reader->Pad(1);
    out->epRegen = reader->F32();
    out->gaugeRegen = reader->F32();
    reader->Require(out->epRegen >= 0.0f && out->gaugeRegen >= 0.0f);
    out->radius = reader->Positive();
    out->height = reader->Positive();
    out->walkSpeed = reader->Positive();
    out->dashSpeed = reader->Positive();
    out->jumpSpeed = reader->Positive();
    out->gravity = reader->Positive();
    out->airDashSpeed = reader->Positive();
    out->dodgeSpeed = reader->Positive();
    reader->Vec3(&out->handOffset);
    out->eyeHeight = reader->F32();
}

void ReadLists(CGameDataReader* reader, CCharacterDefinition* out)
{
    const uint8_t motions = reader->U8();
    reader->Require(motions <= CCharacterDefinition::kMaxMotions && reader->CanRead(motions, 8));
    if (reader->Failed())
        return;
    out->motions.resize(motions);
    for (CCharacterDefinition::Motion& motion : out->motions)
    {
        motion.animation = reader->U8();
        motion.loop = reader->U8In(0, 1);
        reader->Pad(2);
        motion.speed = reader->F32();
    }
    const uint8_t voices = reader->U8();
    reader->Require(voices <= CCharacterDefinition::kMaxVoices && reader->CanRead(voices, 4));
    if (reader->Failed())
        return;
    out->voices.resize(voices);
    for (std::string& voice : out->voices)
        reader->Text(&voice);
}
}

uint32_t CCharacterDefinition::Load(const void* bytes, size_t size)
{
    CGameDataReader reader(bytes, size);
    reader.Header("QCHR");
    CCharacterDefinition loaded;
    reader.FixedText(loaded.name, kNameSize);
    loaded.number = reader.U8In(0, 7);
    loaded.element = reader.U8In(0, 6);
    loaded.npc = reader.U8In(0, 1);
    loaded.kind = reader.U8In(0, 4);
    loaded.routePlateA = reader.U8In(0, 2);
    loaded.routePlateB = reader.U8In(0, 5);
    reader.Pad(2);
    loaded.ownBit = reader.U32();
    reader.Require(loaded.number < 8 && loaded.ownBit == (1u << loaded.number));
    for (char* weapon : loaded.defaultWeapons)
        reader.FixedText(weapon, kNameSize);
    for (char* clothes : loaded.defaultClothes)
        reader.FixedText(clothes, kNameSize);
    CheckNames(&reader, loaded.defaultWeapons, kWeaponSlots);
    CheckNames(&reader, loaded.defaultClothes, kClothesSlots);
    reader.FixedText(loaded.firstChapter, kNameSize);
    for (RadioChat& chat : loaded.radio)
    {
        chat.scope = reader.U8In(RadioChat::kScopeEveryone, RadioChat::kScopeTeam);
        reader.FixedText(chat.text, kRadioTextSize);
        chat.phrase = reader.U8In(RadioChat::kFirstPhrase, RadioChat::kLastPhrase);
    }
    ReadBody(&reader, &loaded);
    reader.Text(&loaded.maximumAttack);
    reader.Text(&loaded.model);
    reader.Text(&loaded.handBone);
    ReadLists(&reader, &loaded);
    if (!reader.Finish())
        return 0;
    *this = loaded;
    return 1;
}

void CCharacterDefinition::Save(CByteWriter* writer) const
{
    GameDataWriter::Header(writer, "QCHR");
    writer->FixedText(name, kNameSize);
    writer->U8(number);
    writer->U8(element);
    writer->U8(npc);
    writer->U8(kind);
    writer->U8(routePlateA);
    writer->U8(routePlateB);
    writer->Zeros(2);
    writer->U32(ownBit);
    for (const char* weapon : defaultWeapons)
        writer->FixedText(weapon, kNameSize);
    for (const char* clothes : defaultClothes)
        writer->FixedText(clothes, kNameSize);
    writer->FixedText(firstChapter, kNameSize);
    for (const RadioChat& chat : radio)
    {
        writer->U8(chat.scope);
        writer->FixedText(chat.text, kRadioTextSize);
        writer->U8(chat.phrase);
    }
    writer->U16(life);
    writer->U8(epMax);
    writer->Zeros(1);
    for (float value : {epRegen, gaugeRegen, radius, height, walkSpeed, dashSpeed, jumpSpeed, gravity, airDashSpeed,
                        dodgeSpeed})
        writer->F32(value);
    GameDataWriter::Vec3(writer, handOffset);
    writer->F32(eyeHeight);
    GameDataWriter::Text(writer, maximumAttack);
    GameDataWriter::Text(writer, model);
    GameDataWriter::Text(writer, handBone);
    writer->U8(static_cast<uint8_t>(motions.size()));
    for (const Motion& motion : motions)
    {
        writer->U8(motion.animation);
        writer->U8(motion.loop);
        writer->Zeros(2);
        writer->F32(motion.speed);
    }
    writer->U8(static_cast<uint8_t>(voices.size()));
    for (const std::string& voice : voices)
        GameDataWriter::Text(writer, voice);
}
