#include "game/story/StoryBattleSetting.h"

#include "engine/core/AlignedMemory.h"

#include <cstring>
#include <ctime>
#include <new>

namespace
{
BattleSettingCreator g_create = &MakeDefaultBattleSetting;
BattleSettingDeleter g_free = &FreeDefaultBattleSetting;

// The entries borrow their texts; a story's or mission's setting lends its
// own copies, which it frees here.
void FreeText(const char** text)
{
    AlignedFree(const_cast<char*>(*text));
    *text = nullptr;
}

// The fallbacks of a setting made without a game application, where they
// differ from the records' own defaults.
void FillDefaultPlayer(tag_TOLQBATTLEPLAYER* player, uint32_t index, uint8_t cpuLevel)
{
    player->cpuLevel = cpuLevel;
    player->character = 0; // at the character count (none counted): random
    player->slotState = index == 0 ? 0 : tag_TOLQBATTLEPLAYER::SLOT_COMPUTER;
    player->team = static_cast<uint8_t>(index % 4);
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
    void* players = AlignedAlloc(sizeof(tag_TOLQBATTLEPLAYER) * (count > 0 ? count : 1), 16);
    if (players == nullptr)
    {
        AlignedFree(block);
        return nullptr;
    }
    auto* setting = new (block) tag_TOLQBATTLESETTING();
    setting->players = static_cast<tag_TOLQBATTLEPLAYER*>(players);
    setting->playerCount = count;
    setting->rules.friendlyFire = 1;
    for (uint32_t i = 0; i < count; ++i)
        FillDefaultPlayer(new (&setting->players[i]) tag_TOLQBATTLEPLAYER(), i, setting->rules.cpuLevel);
    setting->seed = static_cast<uint32_t>(std::time(nullptr));
    setting->record = 1;
    setting->freeWithBattle = freeWithBattle;
    return setting;
}

uint32_t FreeDefaultBattleSetting(tag_TOLQBATTLESETTING* setting)
{
    if (setting == nullptr)
        return 0;
    for (uint32_t i = 0; setting->players != nullptr && i < setting->playerCount; ++i)
        setting->players[i].~tag_TOLQBATTLEPLAYER();
    AlignedFree(setting->players);
    setting->~tag_TOLQBATTLESETTING();
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
        FreeText(&player.name);
        for (const char*& weapon : player.weapons)
            FreeText(&weapon);
        for (const char*& clothes : player.clothes)
            FreeText(&clothes);
    }
    g_free(setting);
}
