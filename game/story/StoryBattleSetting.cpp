#include "game/story/StoryBattleSetting.h"

#include "engine/core/AlignedMemory.h"

#include <cstring>
#include <ctime>
#include <new>

namespace
{
BattleSettingCreator g_create = &MakeDefaultBattleSetting;
BattleSettingDeleter g_free = &FreeDefaultBattleSetting;

void FillDefaultRules(tag_TOLQBATTLERULE* rules)
{
    rules->stageCount = 0;
    rules->stageChoice = 0; // at the stage count: random
    rules->musicChoice = 0; // at the music count: random
    rules->limit = 4;
    rules->timeLimitIndex = 4;
    rules->cpuLevel = 2;
    rules->friendlyFire = 1;
    rules->itemMask = 0x3F;
    rules->weaponMask = 0x1FFFF;
    rules->elementMask = 0x7F;
}

void FillDefaultPlayer(tag_TOLQBATTLEPLAYER* player, uint32_t index, uint8_t cpuLevel)
{
    static constexpr float kFactors[tag_TOLQBATTLEPLAYER::kFactors] = {1.0f, 0.0f, 1.0f, 0.0f, 1.0f, 1.0f};
    std::memcpy(player->factors, kFactors, sizeof(kFactors));
    player->cpuLevel = cpuLevel;
    player->localInput = 1;
    player->character = 0; // at the character count: random
    player->slotState = index == 0 ? 0 : 8;
    player->team = static_cast<uint8_t>(index % 4);
    player->startPoint = 0xFFFFFFFFu;
    player->cameraSensitivity = 5.0f;
    player->mouseSensitivity = 2.0f;
}
}

void SetBattleSettingFactory(BattleSettingCreator create, BattleSettingDeleter free)
{
    g_create = create != nullptr ? create : &MakeDefaultBattleSetting;
    g_free = free != nullptr ? free : &FreeDefaultBattleSetting;
}

tag_TOLQBATTLESETTING* MakeDefaultBattleSetting(uint8_t count, uint32_t freeWithBattle)
{
    void* block = AlignedAlloc(sizeof(tag_TOLQBATTLESETTING), 16);
    if (block == nullptr)
        return nullptr;
    auto* setting = new (block) tag_TOLQBATTLESETTING();
    void* players = AlignedAlloc(sizeof(tag_TOLQBATTLEPLAYER) * (count > 0 ? count : 1), 16);
    if (players == nullptr)
    {
        AlignedFree(block);
        return nullptr;
    }
    setting->players = static_cast<tag_TOLQBATTLEPLAYER*>(players);
    setting->playerCount = count;
    FillDefaultRules(&setting->rules);
    for (uint32_t i = 0; i < count; ++i)
    {
        tag_TOLQBATTLEPLAYER* player = new (&setting->players[i]) tag_TOLQBATTLEPLAYER();
        // Radio chats start empty until the scene copies the character's.
        std::memset(static_cast<void*>(player->radioChat), 0, sizeof(player->radioChat));
        FillDefaultPlayer(player, i, setting->rules.cpuLevel);
    }
    setting->randomSeed = static_cast<uint32_t>(std::time(nullptr));
    setting->recordFlag = 1;
    setting->freeWithBattle = freeWithBattle;
    return setting;
}

uint32_t FreeDefaultBattleSetting(tag_TOLQBATTLESETTING* setting)
{
    if (setting == nullptr)
        return 0;
    AlignedFree(setting->players);
    AlignedFree(setting);
    return 1;
}

tag_TOLQBATTLESETTING* NewStoryBattleSetting(uint8_t count)
{
    return g_create(count, 0);
}

void DeleteStoryBattleSetting(tag_TOLQBATTLESETTING* setting)
{
    if (setting == nullptr)
        return;
    for (uint32_t i = 0; setting->players != nullptr && i < setting->playerCount; ++i)
    {
        tag_TOLQBATTLEPLAYER& player = setting->players[i];
        AlignedFree(player.name);
        player.name = nullptr;
        for (char*& weapon : player.weapons)
        {
            AlignedFree(weapon);
            weapon = nullptr;
        }
        for (char*& clothes : player.clothes)
        {
            AlignedFree(clothes);
            clothes = nullptr;
        }
    }
    g_free(setting);
}
