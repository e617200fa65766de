#include "game/battle/tag_TOLQBATTLESETTING.h"

#include "game/actor/CCharacter.h"
#include "game/app/CGameConfig.h"
#include "game/battle/BattleServices.h"

#include <ctime>
#include <new>

namespace
{
// Settings of a battle without a game application.
constexpr uint32_t kFallbackRecord = 1;
constexpr uint32_t kFallbackFriendlyFire = 1;
constexpr float kFallbackCameraSensitivity = 5.0f;
constexpr float kFallbackMouseSensitivity = 2.0f;
// Spread the previous seed over every bit before the time is mixed in
// (Knuth's multiplier and the golden ratio's step).
constexpr uint32_t kSeedMultiplier = 2654435761u;
constexpr uint32_t kSeedStep = 0x9E3779B9u;

void FillRules(tag_TOLQBATTLERULE* rules, CGameConfig* config)
{
    *rules = tag_TOLQBATTLERULE();
    if (config == nullptr)
    {
        rules->friendlyFire = kFallbackFriendlyFire;
        return;
    }
    const tag_TOLQPLAYDATA* play = config->GetPlayData();
    rules->stageCount = play->stageCount;
    rules->stageChoice = static_cast<int8_t>(play->stageCount); // random
    rules->musicChoice = static_cast<int8_t>(play->musicCount); // random
    rules->friendlyFire = config->GetData()->friendlyFire;
}

void FillPlayer(tag_TOLQBATTLEPLAYER* player, uint8_t index, uint8_t cpuLevel, CGameConfig* config)
{
    *player = tag_TOLQBATTLEPLAYER();
    player->cpuLevel = cpuLevel;
    player->slotState = index == 0 ? 0 : tag_TOLQBATTLEPLAYER::SLOT_COMPUTER;
    player->team = static_cast<uint8_t>(index % 4);
    player->cameraSensitivity = kFallbackCameraSensitivity;
    player->mouseSensitivity = kFallbackMouseSensitivity;
    if (config == nullptr)
        return;
    const uint8_t selectable = static_cast<uint8_t>(config->GetPlayData()->characters.size());
    player->character = static_cast<int8_t>(selectable); // random
    player->characterCount = selectable;
    player->cameraSensitivity = config->GetData()->cameraSensitivity;
    player->mouseSensitivity = config->GetData()->mouseSensitivity;
}
}

tag_TOLQBATTLESETTING* CreateBattleSettingFrom(uint8_t count, uint32_t freeWithBattle, CGameConfig* config)
{
    tag_TOLQBATTLESETTING* setting = new (std::nothrow) tag_TOLQBATTLESETTING();
    if (setting == nullptr)
        return nullptr;
    setting->players = new (std::nothrow) tag_TOLQBATTLEPLAYER[count > 0 ? count : 1]();
    if (setting->players == nullptr)
    {
        delete setting;
        return nullptr;
    }
    setting->playerCount = count;
    FillRules(&setting->rules, config);
    for (uint8_t i = 0; i < count; ++i)
        FillPlayer(&setting->players[i], i, setting->rules.cpuLevel, config);
    setting->seed = static_cast<uint32_t>(std::time(nullptr));
    setting->record = config != nullptr ? config->GetData()->replaySave : kFallbackRecord;
    setting->freeWithBattle = freeWithBattle;
    return setting;
}

uint32_t NextBattleSeed(uint32_t previous)
{
    return static_cast<uint32_t>(std::time(nullptr)) ^ (previous * kSeedMultiplier + kSeedStep);
}

namespace
{
void FreePreviews(tag_TOLQBATTLESETTING* setting)
{
    for (uint8_t i = 0; setting->players != nullptr && i < setting->playerCount; ++i)
    {
        CCharacter* preview = setting->players[i].preview;
        if (preview == nullptr)
            continue;
        preview->ReleaseModel();
        delete preview;
        setting->players[i].preview = nullptr;
    }
}
}

void ResetBattleSetting(tag_TOLQBATTLESETTING* setting, CGameConfig* config)
{
    if (setting == nullptr || setting->players == nullptr)
        return;
    FreePreviews(setting);
    FillRules(&setting->rules, config);
    for (uint8_t i = 0; i < setting->playerCount; ++i)
        FillPlayer(&setting->players[i], i, setting->rules.cpuLevel, config);
    setting->ownSlot = 0;
    setting->viewedSlot = 0;
}

uint32_t FreeBattleSetting(tag_TOLQBATTLESETTING* setting)
{
    if (setting == nullptr)
        return 0;
    FreePreviews(setting);
    delete[] setting->players;
    delete setting;
    return 1;
}

void ReplaceBattlePlayers(tag_TOLQBATTLESETTING* setting, tag_TOLQBATTLEPLAYER* players, uint8_t count)
{
    FreePreviews(setting);
    delete[] setting->players;
    setting->players = players;
    setting->playerCount = count;
}

void FreeReplayTexts(tag_TOLQBATTLESETTING* setting)
{
    if (setting == nullptr || setting->players == nullptr)
        return;
    auto freeText = [](const char** text) {
        delete[] *text;
        *text = nullptr;
    };
    for (uint8_t i = 0; i < setting->playerCount; ++i)
    {
        tag_TOLQBATTLEPLAYER& player = setting->players[i];
        freeText(&player.name);
        for (const char*& weapon : player.weapons)
            freeText(&weapon);
        for (const char*& clothes : player.clothes)
            freeText(&clothes);
    }
}

tag_TOLQBATTLESETTING* CreateBattleSetting(uint8_t count, uint32_t freeWithBattle)
{
    return CreateBattleSettingFrom(count, freeWithBattle, GetBattleGameConfig());
}
