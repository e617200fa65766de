// The equipment screen driven by scripted keys and mouse over the stand-in
// set: taking off what is worn, items over two slots, a slot without
// candidates, the cursors on a change of character, the default button, a
// bare character that stays bare at the next start, a save that fails, the
// guide that wears nothing, and the chosen clothes on the fighter of a
// battle.
#include "tests/game/scene/StandInSet.h"

#include "game/actor/CCharacter.h"
#include "game/app/CGameConfig.h"
#include "game/app/GameConfigFormat.h"
#include "game/battle/CBattleScene.h"
#include "game/battle/tag_TOLQBATTLESETTING.h"
#include "game/scene/CEquipScene.h"
#include "game/scene/CTitleScene.h"
#include "game/scene/SceneFactory.h"
#include "game/scene/SceneGameData.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>

using game_test::GameHarness;
using State = CEquipScene::EquipState;

namespace
{
// The stand-in clothes in list order.
enum Clothes : uint32_t
{
    HAT = 0,
    COAT = 1, // body and arms
    CAP = 2,
    GLOVES = 3,
    BOOTS = 4,
    CAPE = 5,
    SCARF = 6, // head and back, the first four characters only
};
enum Slot : int32_t
{
    HEAD = 0,
    BODY = 1,
    ARMS = 2,
    HANDS = 3,
    LEGS = 4,
    BACK = 5,
};
constexpr int32_t kGuide = 7;

class EquipScene : public ::testing::Test
{
protected:
    // playData: the bytes of "PlayData.dat" in the save folder before the
    // game starts (none: a first start); asLoaded keeps the records as the
    // game's start left them.
    void Start(int32_t width = 640, int32_t height = 480, const std::string& playData = {}, bool asLoaded = false)
    {
        const tag_TOLQGAMECONFIG settings = GameHarness::DefaultSettings();
        auto writeSave = [playData] {
            if (!playData.empty())
                TempFolder::Write(std::filesystem::path(std::getenv("XDG_DATA_HOME")) / "CorvaneSystem" / "QOR" /
                                      "PlayData.dat",
                                  playData);
            return true;
        };
        m_game = scene_test::StandInGame(width, height, settings, writeSave);
        ASSERT_TRUE(m_game->Ready());
        ASSERT_TRUE(m_game->Start());
        for (tag_TOLQUNLOCKDATA& item : PlayData()->clothes)
            item = {1u, 1u, 0u};
        if (asLoaded)
            return;
        // The game dresses a fresh record in its character's own clothes;
        // here everyone starts bare.
        for (tag_TOLQCHARAPLAYDATA& record : PlayData()->characters)
            std::memset(record.clothes, 0, sizeof record.clothes);
    }
    void TearDown() override { m_game.reset(); }

    CEquipScene* Equip() { return dynamic_cast<CEquipScene*>(m_game->Controller().GetScene()); }
    CTitleScene* Title() { return dynamic_cast<CTitleScene*>(m_game->Controller().GetScene()); }
    tag_TOLQPLAYDATA* PlayData() { return m_game->Controller().GetGameConfig()->GetPlayData(); }
    tag_TOLQCHARAPLAYDATA* Record(uint32_t character)
    {
        return m_game->Controller().GetGameConfig()->GetCharacterData(character);
    }
    bool Heard(MenuSound sound)
    {
        const std::vector<MenuSound>& sounds = Equip()->GetFrame().Sounds();
        return std::find(sounds.begin(), sounds.end(), sound) != sounds.end();
    }
    std::string Name(uint32_t clothes) { return SceneGameData::Clothes(clothes)->name; }

    // The screen, faded in, on a character.
    void Open(uint32_t character = 0)
    {
        m_game->Controller().ChangeScene(CController::SCENE_EQUIPMENT, 0, 1.0f, character);
        m_game->Step(1);
        ASSERT_NE(Equip(), nullptr);
        ASSERT_TRUE(m_game->StepUntil([&] { return Equip()->GetState() == State::CharacterChoice; }, 60));
        // The pointer off every item, where it chooses nothing.
        m_game->PointAt({512.0f, 300.0f});
        m_game->Step(1);
    }

    // A key down for one frame, then up: the sounds of that frame stay to
    // be read.
    void Press(uint8_t key)
    {
        m_game->Input().SetKey(key, true);
        m_game->Step(1);
        m_game->Input().SetKey(key, false);
    }
    // From the character or slot choice to a slot by the keys: down two
    // slots at a time, left or right to the other column.
    void GoToSlot(int32_t slot)
    {
        m_game->Step(1); // a key pressed before is up again
        if (Equip()->GetState() == State::CharacterChoice)
            m_game->Tap(KEY_Z);
        ASSERT_EQ(Equip()->GetState(), State::SlotChoice);
        while (Equip()->GetSlotCursor() / 2 != slot / 2)
            m_game->Tap(KEY_DOWN);
        if (Equip()->GetSlotCursor() != slot)
            m_game->Tap(KEY_RIGHT);
        ASSERT_EQ(Equip()->GetSlotCursor(), slot);
    }
    // Then decide, the candidate by the keys, decide; back in the slot
    // choice.
    void Choose(int32_t slot, uint32_t candidate)
    {
        GoToSlot(slot);
        m_game->Tap(KEY_Z);
        ASSERT_EQ(Equip()->GetState(), State::ItemChoice);
        while (Equip()->GetListCursor(slot) > candidate)
            m_game->Tap(KEY_UP);
        while (Equip()->GetListCursor(slot) < candidate)
            m_game->Tap(KEY_DOWN);
        Press(KEY_Z);
        ASSERT_EQ(Equip()->GetState(), State::SlotChoice);
    }

    std::string Worn(uint32_t character, int32_t slot) { return Record(character)->clothes[slot]; }
    // The play data as saved.
    tag_TOLQPLAYDATA Saved()
    {
        tag_TOLQPLAYDATA data;
        const std::string bytes = TempFolder::Read(m_game->SaveFolder() / "PlayData.dat");
        DecodePlayData(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), &data);
        return data;
    }
    uint32_t Position(int32_t slot, uint32_t clothes)
    {
        const std::vector<uint32_t> candidates = Equip()->GetCandidates(slot);
        const auto at = std::find(candidates.begin(), candidates.end(), clothes);
        EXPECT_NE(at, candidates.end()) << Name(clothes);
        return static_cast<uint32_t>(at - candidates.begin());
    }

    std::unique_ptr<GameHarness> m_game;
};
}

TEST_F(EquipScene, ChoosingTheItemWornAlreadyTakesItOffAndIsSaved)
{
    Start();
    Open();
    Choose(HEAD, Position(HEAD, HAT));
    EXPECT_TRUE(Heard(MenuSound::Decide));
    EXPECT_EQ(Worn(0, HEAD), "Hat");
    EXPECT_EQ(std::string(Saved().characters[0].clothes[HEAD]), "Hat");
    ASSERT_NE(Equip()->GetPreview().Get(), nullptr);
    EXPECT_EQ(Equip()->GetPreview().Get()->GetClothes(HEAD), SceneGameData::Clothes(HAT));
    Choose(HEAD, Position(HEAD, HAT));
    EXPECT_EQ(Worn(0, HEAD), "");
    EXPECT_EQ(std::string(Saved().characters[0].clothes[HEAD]), "");
    EXPECT_EQ(Equip()->GetPreview().Get()->GetClothes(HEAD), nullptr);
}

TEST_F(EquipScene, EverythingTakenOffStaysOffWhenTheGameStartsAgain)
{
    // A first start dresses every character in its own clothes: the first
    // one wears its hat and nothing else.
    Start(640, 480, {}, true);
    ASSERT_EQ(Worn(0, HEAD), "Hat");
    Open();
    Choose(HEAD, Position(HEAD, HAT));
    for (int32_t slot = 0; slot < CEquipScene::kSlotCount; ++slot)
        ASSERT_EQ(std::string(Saved().characters[0].clothes[slot]), "") << slot;
    // The file of an older set that knew one character only: the second
    // record is new at the next start.
    tag_TOLQPLAYDATA saved = Saved();
    saved.characters.resize(1);
    const std::vector<uint8_t> bytes = EncodePlayData(saved);
    m_game.reset();

    Start(640, 480, std::string(bytes.begin(), bytes.end()), true);
    for (int32_t slot = 0; slot < CEquipScene::kSlotCount; ++slot)
        EXPECT_EQ(Worn(0, slot), "") << slot;
    EXPECT_EQ(Worn(1, HEAD), "Hat") << "a record the file did not hold wears its character's own clothes";
    Open();
    ASSERT_NE(Equip()->GetPreview().Get(), nullptr);
    for (int32_t slot = 0; slot < CEquipScene::kSlotCount; ++slot)
        EXPECT_EQ(Equip()->GetPreview().Get()->GetClothes(slot), nullptr) << slot;
}

TEST_F(EquipScene, AnItemOverTwoSlotsIsListedUnderTheFirstAndClearsBoth)
{
    Start();
    Open();
    // The coat covers body and arms; the scarf head and back.
    const std::vector<uint32_t> body = Equip()->GetCandidates(BODY);
    EXPECT_NE(std::find(body.begin(), body.end(), COAT), body.end());
    EXPECT_TRUE(Equip()->GetCandidates(ARMS).empty());
    const std::vector<uint32_t> back = Equip()->GetCandidates(BACK);
    EXPECT_EQ(std::find(back.begin(), back.end(), SCARF), back.end());
    Choose(BACK, Position(BACK, CAPE));
    Choose(HEAD, Position(HEAD, HAT));
    ASSERT_EQ(Worn(0, BACK), "Cape");
    // The scarf takes the hat's and the cape's places.
    Choose(HEAD, Position(HEAD, SCARF));
    EXPECT_EQ(Worn(0, HEAD), "Scarf");
    EXPECT_EQ(Worn(0, BACK), "");
    const CCharacter* preview = Equip()->GetPreview().Get();
    EXPECT_EQ(preview->GetClothes(HEAD), SceneGameData::Clothes(SCARF));
    EXPECT_EQ(preview->GetClothes(BACK), SceneGameData::Clothes(SCARF));
    // The cape again takes the scarf off both of its slots.
    Choose(BACK, Position(BACK, CAPE));
    EXPECT_EQ(Worn(0, HEAD), "");
    EXPECT_EQ(Worn(0, BACK), "Cape");
}

TEST_F(EquipScene, DecideInASlotWithoutCandidatesTakesOffWhatCoversItSavesAndReturns)
{
    Start();
    Open();
    Choose(BODY, Position(BODY, COAT));
    ASSERT_EQ(Worn(0, BODY), "Coat");
    // The arms have nothing of their own: deciding there takes the coat off.
    GoToSlot(ARMS);
    m_game->Tap(KEY_Z);
    ASSERT_EQ(Equip()->GetState(), State::ItemChoice);
    Press(KEY_Z);
    EXPECT_EQ(Equip()->GetState(), State::SlotChoice);
    EXPECT_TRUE(Heard(MenuSound::Decide));
    EXPECT_EQ(Worn(0, BODY), "");
    EXPECT_EQ(std::string(Saved().characters[0].clothes[BODY]), "");
    EXPECT_EQ(Equip()->GetPreview().Get()->GetClothes(BODY), nullptr);
}

TEST_F(EquipScene, AChangeOfCharacterPutsEveryListCursorAndOffsetBackAtTheTop)
{
    Start();
    Open();
    m_game->Tap(KEY_Z);
    m_game->Tap(KEY_Z); // the head's list
    m_game->Tap(KEY_DOWN);
    m_game->Tap(KEY_DOWN);
    ASSERT_EQ(Equip()->GetListCursor(HEAD), 2u);
    m_game->Tap(KEY_X);
    m_game->Tap(KEY_X);
    ASSERT_EQ(Equip()->GetState(), State::CharacterChoice);
    m_game->Tap(KEY_RIGHT);
    EXPECT_EQ(Equip()->GetCharacter(), 1);
    for (int32_t slot = 0; slot < CEquipScene::kSlotCount; ++slot)
    {
        EXPECT_EQ(Equip()->GetListCursor(slot), 0u) << slot;
        EXPECT_EQ(Equip()->GetListOffset(slot), 0u) << slot;
    }
    // Left from the first goes round to the last selectable character.
    m_game->Tap(KEY_LEFT);
    m_game->Tap(KEY_LEFT);
    EXPECT_EQ(Equip()->GetCharacter(), static_cast<int32_t>(PlayData()->characters.size()) - 1);
}

TEST_F(EquipScene, EachArrowGoesTheWayOfTheKeyOnItsSide)
{
    Start();
    Open();
    // The arrows stand either side of the name (the screen's middle).
    const MenuItemRecord* previous = Equip()->GetFrame().FindItem(CEquipScene::kPreviousArrowId);
    const MenuItemRecord* next = Equip()->GetFrame().FindItem(CEquipScene::kNextArrowId);
    ASSERT_NE(previous, nullptr);
    ASSERT_NE(next, nullptr);
    EXPECT_LT(previous->rect.right, 512.0f);
    EXPECT_GT(next->rect.left, 512.0f);
    // The arrow on the right goes on as the Right key does, the one on the
    // left back as Left does.
    m_game->Tap(KEY_RIGHT);
    ASSERT_EQ(Equip()->GetCharacter(), 1);
    ASSERT_TRUE(scene_test::ClickItem(*m_game, Equip()->GetFrame(), CEquipScene::kNextArrowId));
    EXPECT_EQ(Equip()->GetCharacter(), 2);
    m_game->Step(1);
    ASSERT_TRUE(scene_test::ClickItem(*m_game, Equip()->GetFrame(), CEquipScene::kPreviousArrowId));
    EXPECT_EQ(Equip()->GetCharacter(), 1);
    m_game->Tap(KEY_LEFT);
    EXPECT_EQ(Equip()->GetCharacter(), 0);
}

TEST_F(EquipScene, TheKeysReachTheBackAndDefaultButtonsBelowTheSlots)
{
    Start();
    Open();
    m_game->Tap(KEY_Z);
    ASSERT_EQ(Equip()->GetSlotCursor(), HEAD);
    // Down the left column: the slots, the back button below them, round.
    for (int32_t expected : {int32_t{ARMS}, int32_t{LEGS}, CEquipScene::kBackButton, int32_t{HEAD}})
    {
        m_game->Tap(KEY_DOWN);
        EXPECT_EQ(Equip()->GetSlotCursor(), expected);
    }
    // Up round to the back button, right to the default button, which the
    // decide key presses; up from it the right column's last slot.
    m_game->Tap(KEY_UP);
    m_game->Tap(KEY_RIGHT);
    ASSERT_EQ(Equip()->GetSlotCursor(), CEquipScene::kDefaultButton);
    EXPECT_EQ(Equip()->GetFrame().FindItem(CEquipScene::kDefaultId)->state, MenuItemState::Focused);
    // Back to the character and Z to open the slots again: that Z only
    // opens them.
    m_game->Tap(KEY_X);
    ASSERT_EQ(Equip()->GetState(), State::CharacterChoice);
    Press(KEY_Z);
    ASSERT_EQ(Equip()->GetState(), State::SlotChoice);
    EXPECT_EQ(Worn(0, HEAD), "") << "the Z that opened the slots pressed DEFAULT too";
    m_game->Step(1);
    Press(KEY_Z);
    EXPECT_TRUE(Heard(MenuSound::Decide));
    EXPECT_EQ(Worn(0, HEAD), "Hat");
    EXPECT_EQ(Equip()->GetState(), State::SlotChoice);
    m_game->Step(1);
    m_game->Tap(KEY_UP);
    EXPECT_EQ(Equip()->GetSlotCursor(), BACK);
}

TEST_F(EquipScene, TheDefaultButtonPutsTheOwnClothesBackAndTheNextChoiceSavesThem)
{
    Start();
    Open();
    Choose(LEGS, Position(LEGS, BOOTS));
    ASSERT_EQ(Worn(0, HEAD), "");
    ASSERT_TRUE(scene_test::PointAtItem(*m_game, Equip()->GetFrame(), CEquipScene::kDefaultId));
    EXPECT_EQ(Equip()->GetSlotCursor(), CEquipScene::kDefaultButton);
    scene_test::ClickHere(*m_game);
    EXPECT_TRUE(Heard(MenuSound::Decide));
    EXPECT_EQ(Worn(0, HEAD), "Hat");
    EXPECT_EQ(Worn(0, LEGS), "");
    // Not saved by itself.
    EXPECT_EQ(std::string(Saved().characters[0].clothes[HEAD]), "");
    EXPECT_EQ(std::string(Saved().characters[0].clothes[LEGS]), "Boots");
    m_game->PointAt({512.0f, 300.0f});
    m_game->Step(1);
    Choose(HANDS, Position(HANDS, GLOVES));
    EXPECT_EQ(std::string(Saved().characters[0].clothes[HEAD]), "Hat");
    EXPECT_EQ(std::string(Saved().characters[0].clothes[HANDS]), "Gloves");
}

TEST_F(EquipScene, ASaveThatFailsPutsTheNamesBackAndSaysSo)
{
    Start();
    Open();
    Choose(HEAD, Position(HEAD, CAP));
    std::filesystem::remove(m_game->SaveFolder() / "PlayData.dat");
    std::filesystem::create_directories(m_game->SaveFolder() / "PlayData.dat" / "in the way");
    Choose(HEAD, Position(HEAD, HAT));
    EXPECT_TRUE(Heard(MenuSound::Error));
    EXPECT_EQ(Worn(0, HEAD), "Cap");
    EXPECT_EQ(Equip()->GetPreview().Get()->GetClothes(HEAD), SceneGameData::Clothes(CAP));
    EXPECT_TRUE(Equip()->IsNoticeShown());
}

TEST_F(EquipScene, TheGuideMayWearNothingAndShowsWithoutClothes)
{
    Start();
    Open(kGuide);
    ASSERT_EQ(Equip()->GetCharacter(), kGuide);
    for (int32_t slot = 0; slot < CEquipScene::kSlotCount; ++slot)
        EXPECT_TRUE(Equip()->GetCandidates(slot).empty()) << slot;
    Equip()->ResetToDefault();
    ASSERT_NE(Equip()->GetPreview().Get(), nullptr);
    for (int32_t slot = 0; slot < CEquipScene::kSlotCount; ++slot)
        EXPECT_EQ(Equip()->GetPreview().Get()->GetClothes(slot), nullptr) << slot;
}

TEST_F(EquipScene, TheChosenClothesAreWornByTheFighterInABattle)
{
    Start(1024, 768);
    Open();
    Choose(HEAD, Position(HEAD, CAP));
    Choose(BODY, Position(BODY, COAT));
    Choose(LEGS, Position(LEGS, BOOTS));
    m_game->Step(2);
    scene_test::SaveScreenshot(*m_game, "equip");
    // A battle dressed from the play data, as the setup and the stories
    // dress their fighters.
    tag_TOLQBATTLESETTING* setting = CreateBattleSetting(2, 0);
    ASSERT_NE(setting, nullptr);
    setting->record = 0;
    for (uint8_t i = 0; i < 2; ++i)
    {
        setting->players[i].character = 0;
        setting->players[i].characterCount = 8;
        for (int32_t slot = 0; slot < CEquipScene::kSlotCount; ++slot)
            setting->players[i].clothes[slot] = Record(0)->clothes[slot][0] != '\0' ? Record(0)->clothes[slot] : nullptr;
    }
    {
        CBattleScene battle;
        ASSERT_EQ(battle.Init(reinterpret_cast<uintptr_t>(setting)), 1);
        const CCharacter* fighter = battle.GetFighter(0);
        ASSERT_NE(fighter, nullptr);
        ASSERT_NE(fighter->GetClothes(HEAD), nullptr);
        EXPECT_STREQ(fighter->GetClothes(HEAD)->name, "Cap");
        ASSERT_NE(fighter->GetClothes(ARMS), nullptr);
        EXPECT_STREQ(fighter->GetClothes(ARMS)->name, "Coat");
        EXPECT_STREQ(fighter->GetClothes(LEGS)->name, "Boots");
        EXPECT_EQ(fighter->GetClothes(HANDS), nullptr);
    }
    FreeBattleSetting(setting);
}

TEST_F(EquipScene, CancelAndTheBackButtonLeaveToTheTitleWithTheEquipmentItemInFront)
{
    Start();
    Open();
    m_game->Tap(KEY_Z);
    m_game->Tap(KEY_X);
    ASSERT_EQ(Equip()->GetState(), State::CharacterChoice);
    ASSERT_TRUE(scene_test::ClickItem(*m_game, Equip()->GetFrame(), CEquipScene::kBackId));
    EXPECT_TRUE(Heard(MenuSound::Cancel));
    ASSERT_TRUE(m_game->StepUntil([&] { return Title() != nullptr; }, 60));
    EXPECT_EQ(Title()->GetFrontItem(), 7u);
}
