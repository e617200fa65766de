// Setting up a mode's battle from the play data and the game data, its
// life from start to release, and the HUD's menus and choices.
#include "game/scene/ModeBattle.h"

#include "engine/core/AlignedMemory.h"
#include "engine/core/GameText.h"
#include "game/actor/CCharacterDefinition.h"
#include "game/app/CGameConfig.h"
#include "game/battle/CBattleConsole.h"
#include "game/battle/CBattleScene.h"
#include "game/battle/SeatRadioChat.h"
#include "game/battle/tag_TOLQBATTLESETTING.h"
#include "game/scene/SceneGameData.h"
#include "game/story/StoryText.h"

#include <algorithm>
#include <cstring>

namespace
{
// One of the HUD's four menus: captions (game texts, kept for the
// program's life) and each one's result code.
struct HudMenu
{
    uint8_t count;
    const char* const* captions;
    const int8_t* codes;
};
constexpr uint32_t kHudMenus = 4; // pause, win, lose, draw

const HudMenu* StoryMenus()
{
    static const char* const kPause[] = {GameText("対戦に戻る"), GameText("リトライ"), GameText("タイトルに戻る")};
    static const int8_t kPauseCodes[] = {RESULT_RESUME, RESULT_RETRY, RESULT_TITLE};
    static const char* const kEnd[] = {GameText("リトライ"), GameText("タイトルに戻る")};
    static const int8_t kEndCodes[] = {RESULT_RETRY, RESULT_TITLE};
    static const HudMenu menus[kHudMenus] = {
        {3, kPause, kPauseCodes}, {0, nullptr, nullptr}, {2, kEnd, kEndCodes}, {2, kEnd, kEndCodes}};
    return menus;
}

const HudMenu* MissionMenus()
{
    static const char* const kPause[] = {GameText("対戦に戻る"), GameText("リトライ"), GameText("選択に戻る"),
                                         GameText("タイトルに戻る")};
    static const int8_t kPauseCodes[] = {RESULT_RESUME, RESULT_RETRY, RESULT_MODE_SELECT, RESULT_TITLE};
    static const char* const kEnd[] = {GameText("リトライ"), GameText("選択に戻る"), GameText("タイトルに戻る")};
    static const int8_t kEndCodes[] = {RESULT_RETRY, RESULT_MODE_SELECT, RESULT_TITLE};
    static const HudMenu menus[kHudMenus] = {
        {4, kPause, kPauseCodes}, {0, nullptr, nullptr}, {3, kEnd, kEndCodes}, {3, kEnd, kEndCodes}};
    return menus;
}

void CopyOwnClothes(tag_TOLQBATTLEPLAYER* entry, CGameConfig* config)
{
    const tag_TOLQCHARAPLAYDATA* own =
        config != nullptr ? config->GetCharacterData(entry->GetCharacterIndex()) : nullptr;
    if (own == nullptr)
        return;
    for (uint32_t i = 0; i < tag_TOLQBATTLEPLAYER::kClothes; ++i)
    {
        AlignedFree(const_cast<char*>(entry->clothes[i]));
        const char* name = own->clothes[i];
        entry->clothes[i] = CopyStoryText(name, static_cast<uint32_t>(strnlen(name, kNameBytes)), kNameBytes);
    }
}
}

namespace ModeBattle
{
void PrepareSetting(tag_TOLQBATTLESETTING* setting, CGameConfig* config)
{
    if (setting == nullptr || setting->players == nullptr || setting->playerCount == 0)
        return;
    CopyOwnClothes(&setting->players[0], config);
    for (uint8_t i = 0; i < setting->playerCount; ++i)
    {
        tag_TOLQBATTLEPLAYER& entry = setting->players[i];
        const CCharacterDefinition* character = SceneGameData::Character(entry.GetCharacterIndex());
        if (character != nullptr)
            GiveSeatRadioChat(entry, entry.GetCharacterIndex(), *character,
                              config != nullptr ? config->GetData() : nullptr);
    }
    setting->rules.stageCount = static_cast<uint8_t>(std::min<uint32_t>(SceneGameData::StageCount(), 255));
}

void InstallMenus(CBattleScene* battle, Mode mode)
{
    CBattleConsole* console = battle != nullptr ? battle->GetConsole() : nullptr;
    if (console == nullptr)
        return;
    const HudMenu* menus = mode == Mode::Story ? StoryMenus() : MissionMenus();
    // The menus hold the battle while they are open, and have no title.
    constexpr uint32_t kBlocksPlay = 1;
    console->SetBanner1(menus[0].count, kBlocksPlay, nullptr, menus[0].captions, menus[0].codes);
    console->SetBanner2(menus[1].count, kBlocksPlay, nullptr, menus[1].captions, menus[1].codes);
    console->SetBanner3(menus[2].count, kBlocksPlay, nullptr, menus[2].captions, menus[2].codes);
    console->SetBanner4(menus[3].count, kBlocksPlay, nullptr, menus[3].captions, menus[3].codes);
}

std::unique_ptr<CBattleScene> Start(tag_TOLQBATTLESETTING* setting, Mode mode, CGameConfig* config)
{
    if (setting == nullptr)
        return nullptr;
    PrepareSetting(setting, config);
    setting->record = 0;
    auto battle = std::make_unique<CBattleScene>();
    battle->SetGameConfig(config);
    if (battle->Init(reinterpret_cast<uintptr_t>(setting)) == 0)
    {
        Release(battle);
        return nullptr;
    }
    InstallMenus(battle.get(), mode);
    return battle;
}

Choice Step(CBattleScene* battle, uintptr_t argument)
{
    if (battle == nullptr)
        return Choice::Playing;
    battle->Update(argument);
    return Finished(battle);
}

void Release(std::unique_ptr<CBattleScene>& battle)
{
    if (battle)
        battle->Release();
    battle.reset();
}

Choice Finished(const CBattleScene* battle)
{
    if (battle == nullptr || battle->IsFinished() == 0)
        return Choice::Playing;
    CBattleConsole* console = const_cast<CBattleScene*>(battle)->GetConsole();
    const int8_t code = console != nullptr ? console->GetResultCode() : static_cast<int8_t>(RESULT_RESUME);
    switch (code)
    {
    case RESULT_RETRY:
        return Choice::Retry;
    case RESULT_TITLE:
        return Choice::Title;
    case RESULT_MODE_SELECT:
        return Choice::Select;
    default:
        return Choice::Continue;
    }
}
}
