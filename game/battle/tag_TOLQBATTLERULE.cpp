#include "game/battle/tag_TOLQBATTLERULE.h"

#include "engine/core/CByteReader.h"
#include "engine/core/CByteWriter.h"

void WriteBattleRule(CByteWriter* writer, const tag_TOLQBATTLERULE& rule)
{
    writer->U32(rule.teamBattle);
    writer->U8(rule.stageCount);
    writer->U8(static_cast<uint8_t>(rule.stageChoice));
    writer->U8(static_cast<uint8_t>(rule.randomStage));
    writer->U8(static_cast<uint8_t>(rule.musicChoice));
    writer->U8(rule.rule);
    writer->U8(rule.limit);
    writer->U8(rule.timeLimitIndex);
    writer->U8(rule.cpuLevel);
    writer->U8(static_cast<uint8_t>(rule.npcCountIndex));
    writer->Bytes(rule.unused, sizeof(rule.unused));
    writer->U32(rule.friendlyFire);
    writer->U32(rule.defaultWeapons);
    writer->U32(rule.itemMask);
    writer->U32(rule.weaponMask);
    writer->U32(rule.elementMask);
}

void ReadBattleRule(CByteReader* reader, tag_TOLQBATTLERULE* rule)
{
    rule->teamBattle = reader->U32();
    rule->stageCount = reader->U8();
    rule->stageChoice = static_cast<int8_t>(reader->U8());
    rule->randomStage = static_cast<int8_t>(reader->U8());
    rule->musicChoice = static_cast<int8_t>(reader->U8());
    rule->rule = reader->U8();
    rule->limit = reader->U8();
    rule->timeLimitIndex = reader->U8();
    rule->cpuLevel = reader->U8();
    rule->npcCountIndex = static_cast<int8_t>(reader->U8());
    reader->Bytes(rule->unused, sizeof(rule->unused));
    rule->friendlyFire = reader->U32();
    rule->defaultWeapons = reader->U32();
    rule->itemMask = reader->U32();
    rule->weaponMask = reader->U32();
    rule->elementMask = reader->U32();
}

bool IsValidBattleRule(const tag_TOLQBATTLERULE& rule)
{
    return rule.rule < tag_TOLQBATTLERULE::RULE_COUNT && rule.timeLimitIndex < tag_TOLQBATTLERULE::kTimeLimitCount &&
           rule.cpuLevel < tag_TOLQBATTLERULE::kCpuLevels && rule.npcCountIndex >= 0 &&
           rule.npcCountIndex < static_cast<int8_t>(tag_TOLQBATTLERULE::kNpcCountIndices);
}
