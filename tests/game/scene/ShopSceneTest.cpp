// The shop driven by scripted keys and mouse over the stand-in set (with
// extra weapons where a list must be longer): the empty tab, eight and
// nine items, buying with the exact price, sold-out rows, a save that
// fails, the preview and the way back to the title.
#include "tests/game/scene/StandInSet.h"

#include "engine/core/CByteWriter.h"
#include "game/actor/CCharacter.h"
#include "game/actor/CWeapon.h"
#include "game/app/CGameConfig.h"
#include "game/app/GameConfigFormat.h"
#include "game/scene/CShopScene.h"
#include "game/scene/CTitleScene.h"
#include "game/scene/SceneFactory.h"
#include "game/scene/SceneGameData.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

using game_test::GameHarness;
using Category = CShopScene::ShopCategory;
using State = CShopScene::ShopState;

namespace
{
// The stand-in set has five weapons; these make a longer list.
std::vector<game_test::DataFile> WithExtraWeapons(uint32_t extra)
{
    std::vector<game_test::DataFile> files = scene_test::StandInSet();
    for (uint32_t i = 0; i < extra; ++i)
    {
        CWeaponDefinition weapon;
        std::snprintf(weapon.name, sizeof(weapon.name), "Extra sword %u", i + 1);
        weapon.price = 100 * (i + 1);
        weapon.characterMask = 0xFF;
        weapon.model = "Box.mdl";
        CByteWriter writer;
        weapon.Save(&writer);
        files.push_back({"Weapon\\Extra_" + std::to_string(i + 1) + ".swp", writer.GetBytes()});
    }
    return files;
}

class ShopScene : public ::testing::Test
{
protected:
    // files: a set written for the test; none, the stand-in set as the
    // build wrote it.
    void Start(std::vector<game_test::DataFile> files = {}, int32_t width = 640, int32_t height = 480)
    {
        const tag_TOLQGAMECONFIG settings = GameHarness::DefaultSettings();
        m_game = files.empty() ? scene_test::StandInGame(width, height, settings)
                               : std::make_unique<GameHarness>(width, height, files, &CreateGameScene, &settings);
        ASSERT_TRUE(m_game->Ready());
        ASSERT_TRUE(m_game->Start());
    }
    void TearDown() override { m_game.reset(); }

    CShopScene* Shop() { return dynamic_cast<CShopScene*>(m_game->Controller().GetScene()); }
    CTitleScene* Title() { return dynamic_cast<CTitleScene*>(m_game->Controller().GetScene()); }
    tag_TOLQPLAYDATA* PlayData() { return m_game->Controller().GetGameConfig()->GetPlayData(); }
    bool Heard(MenuSound sound)
    {
        const std::vector<MenuSound>& sounds = Shop()->GetFrame().Sounds();
        return std::find(sounds.begin(), sounds.end(), sound) != sounds.end();
    }

    // Every weapon and clothes item unlocked (or the first count weapons
    // only), none bought, and the points given.
    void SetStock(uint32_t points, uint32_t unlockedWeapons = 0xFFFFFFFFu, bool clothes = true)
    {
        PlayData()->points = points;
        for (size_t i = 0; i < PlayData()->weapons.size(); ++i)
            PlayData()->weapons[i] = {i < unlockedWeapons ? 1u : 0u, 0u, 0u};
        for (tag_TOLQUNLOCKDATA& item : PlayData()->clothes)
            item = {clothes ? 1u : 0u, 0u, 0u};
    }

    // The shop, faded in, as the title opens it.
    void Open()
    {
        m_game->Controller().ChangeScene(CController::SCENE_SHOP, 0, 1.0f, 0);
        m_game->Step(1);
        ASSERT_NE(Shop(), nullptr);
        ASSERT_TRUE(m_game->StepUntil([&] { return Shop()->GetState() == State::Shopping; }, 60));
    }

    void Click(int32_t id) { ASSERT_TRUE(scene_test::ClickItem(*m_game, Shop()->GetFrame(), id)) << id; }

    // The play data as saved.
    tag_TOLQPLAYDATA Saved()
    {
        tag_TOLQPLAYDATA data;
        const std::string bytes = TempFolder::Read(m_game->SaveFolder() / "PlayData.dat");
        EXPECT_FALSE(bytes.empty());
        DecodePlayData(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), &data);
        return data;
    }

    std::unique_ptr<GameHarness> m_game;
};

// A row's places, as the shop draws them: the price ends 308 from the
// row's left, "SOLD OUT" is centred 168 from it.
MenuRect PriceBox(const MenuRect& row)
{
    return {row.left + 260.0f, row.top, row.left + 308.0f, row.top + 24.0f};
}
MenuRect SoldOutBox(const MenuRect& row)
{
    return {row.left + 128.0f, row.top, row.left + 208.0f, row.top + 24.0f};
}
}

TEST_F(ShopScene, AnEmptyTabListsNothingKeepsTheCursorAndSellsNothing)
{
    Start();
    SetStock(99999, 0xFFFFFFFFu, false);
    Open();
    m_game->Tap(KEY_RIGHT);
    ASSERT_EQ(Shop()->GetCategory(), Category::Clothes);
    EXPECT_TRUE(Shop()->GetListed().empty());
    EXPECT_EQ(Shop()->GetSelectedItem(), -1);
    EXPECT_EQ(Shop()->GetSelectedPrice(), CShopScene::kNoPrice);
    for (uint8_t key : {KEY_DOWN, KEY_DOWN, KEY_UP})
    {
        m_game->Tap(key);
        EXPECT_EQ(Shop()->GetCursor(), 0u);
        EXPECT_EQ(Shop()->GetOffset(), 0u);
    }
    m_game->Input().SetKey(KEY_Z, true);
    m_game->Step(1);
    EXPECT_FALSE(Heard(MenuSound::Decide));
    m_game->Input().SetKey(KEY_Z, false);
    EXPECT_EQ(PlayData()->points, 99999u);
    EXPECT_EQ(Shop()->Buy(), CShopScene::BuyResult::Refused);
    EXPECT_EQ(Shop()->GetPreview().Get(), nullptr);
}

TEST_F(ShopScene, EightItemsHaveOneOffsetAndTheLastRowWrapsToTheFirst)
{
    Start(WithExtraWeapons(4));
    SetStock(0, 8);
    Open();
    ASSERT_EQ(Shop()->GetListed().size(), 8u);
    EXPECT_EQ(Shop()->GetVisibleRows(), 8u);
    EXPECT_EQ(Shop()->GetOffsetPositions(), 1u);
    for (int i = 0; i < 7; ++i)
        m_game->Tap(KEY_DOWN);
    EXPECT_EQ(Shop()->GetCursor(), 7u);
    m_game->Tap(KEY_DOWN);
    EXPECT_EQ(Shop()->GetCursor(), 0u);
    EXPECT_EQ(Shop()->GetOffset(), 0u);
    // Up from the top goes to the last row.
    m_game->Tap(KEY_UP);
    EXPECT_EQ(Shop()->GetCursor(), 7u);
    EXPECT_EQ(Shop()->GetOffset(), 0u);
}

TEST_F(ShopScene, NineItemsScrollOnceAtTheLastRowThenWrapToTheTop)
{
    Start(WithExtraWeapons(4));
    SetStock(0);
    Open();
    ASSERT_EQ(Shop()->GetListed().size(), 9u);
    EXPECT_EQ(Shop()->GetOffsetPositions(), 2u);
    for (int i = 0; i < 7; ++i)
        m_game->Tap(KEY_DOWN);
    m_game->Tap(KEY_DOWN);
    EXPECT_EQ(Shop()->GetCursor(), 7u);
    EXPECT_EQ(Shop()->GetOffset(), 1u);
    EXPECT_EQ(Shop()->GetSelectedItem(), static_cast<int32_t>(Shop()->GetListed()[8]));
    m_game->Tap(KEY_DOWN);
    EXPECT_EQ(Shop()->GetCursor(), 0u);
    EXPECT_EQ(Shop()->GetOffset(), 0u);
    m_game->Tap(KEY_UP);
    EXPECT_EQ(Shop()->GetCursor(), 7u);
    EXPECT_EQ(Shop()->GetOffset(), 1u);
    // Up at the top row scrolls back.
    for (int i = 0; i < 7; ++i)
        m_game->Tap(KEY_UP);
    EXPECT_EQ(Shop()->GetCursor(), 0u);
    EXPECT_EQ(Shop()->GetOffset(), 1u);
    m_game->Tap(KEY_UP);
    EXPECT_EQ(Shop()->GetOffset(), 0u);
    // Dragging the scroll bar to its foot shows the last offset.
    const MenuItemRecord* bar = Shop()->GetFrame().FindItem(CShopScene::kScrollBarId);
    ASSERT_NE(bar, nullptr);
    m_game->PointAt({bar->rect.Centre().x, bar->rect.bottom + 4.0f});
    m_game->Input().SetMouseButton(0, true);
    m_game->Step(2);
    m_game->Input().SetMouseButton(0, false);
    EXPECT_EQ(Shop()->GetOffset(), 1u);
}

TEST_F(ShopScene, BuyingWithExactlyThePriceLeavesNothingShowsOneDigitAndIsSaved)
{
    Start();
    const uint32_t sabre = 3; // the stand-in's fourth weapon, 800 ELP
    ASSERT_STREQ(SceneGameData::Weapon(sabre)->name, "Sabre");
    const uint32_t price = SceneGameData::Weapon(sabre)->price;
    SetStock(price);
    Open();
    ASSERT_EQ(Shop()->GetListed()[3], sabre);
    Click(CShopScene::kRowId + 3);
    EXPECT_EQ(Shop()->GetCursor(), 3u);
    EXPECT_TRUE(Heard(MenuSound::Decide));
    EXPECT_EQ(PlayData()->points, 0u);
    EXPECT_NE(PlayData()->weapons[sabre].owned, 0u);
    const tag_TOLQPLAYDATA saved = Saved();
    EXPECT_EQ(saved.points, 0u);
    ASSERT_GT(saved.weapons.size(), sabre);
    EXPECT_NE(saved.weapons[sabre].owned, 0u);
    // One digit "0" just left of the unit, nothing before it.
    m_game->Step(1);
    const scene_test::DrawnFrame frame(*m_game);
    ASSERT_TRUE(frame.Read());
    const uint32_t digit = SheetCells::KindColor(SheetCells::CellKind::Label) & 0xFFFFFF;
    EXPECT_TRUE(scene_test::NearColor(frame.At({968.0f - 20.0f, 162.0f}), digit, 24));
    EXPECT_FALSE(scene_test::NearColor(frame.At({968.0f - 24.0f - 20.0f, 162.0f}), digit, 24));
    // Bought once: a second click does nothing.
    Click(CShopScene::kRowId + 3);
    EXPECT_FALSE(Heard(MenuSound::Decide));
}

TEST_F(ShopScene, ABoughtItemShowsSoldOutAndItsRowAndEveryTooDearRowTurnGrey)
{
    Start();
    SetStock(1000);
    PlayData()->weapons[0].owned = 1; // the claymore, 0 ELP
    Open();
    m_game->Tap(KEY_DOWN); // the cursor's highlight off the first row
    m_game->Step(1);
    const scene_test::DrawnFrame frame(*m_game);
    frame.Save("shop-weapons");
    const MenuRect bought = Shop()->GetFrame().FindItem(CShopScene::kRowId + 0)->rect;
    const MenuRect affordable = Shop()->GetFrame().FindItem(CShopScene::kRowId + 2)->rect;  // launcher, 0
    const MenuRect tooDear = Shop()->GetFrame().FindItem(CShopScene::kRowId + 4)->rect;    // carbine, 1200
    EXPECT_TRUE(Shop()->IsBought(0));
    EXPECT_GT(frame.CountBright(SoldOutBox(bought)), 10);
    EXPECT_EQ(frame.CountBright(PriceBox(bought)), 0);
    EXPECT_GT(frame.CountBright(PriceBox(affordable)), 10);
    EXPECT_EQ(frame.CountBright(SoldOutBox(tooDear)), 0);
    EXPECT_EQ(frame.CountBright(PriceBox(tooDear)), 0);
}

TEST_F(ShopScene, ASaveThatFailsTakesTheBuyBackAndSaysSo)
{
    Start();
    SetStock(500);
    Open();
    // A folder where the play data's file should be: the save can't replace it.
    std::filesystem::remove(m_game->SaveFolder() / "PlayData.dat");
    std::filesystem::create_directories(m_game->SaveFolder() / "PlayData.dat" / "in the way");
    Click(CShopScene::kRowId + 0);
    EXPECT_EQ(Shop()->GetCursor(), 0u);
    EXPECT_TRUE(Heard(MenuSound::Error));
    EXPECT_FALSE(Heard(MenuSound::Decide));
    EXPECT_EQ(PlayData()->points, 500u);
    EXPECT_EQ(PlayData()->weapons[0].owned, 0u);
    EXPECT_TRUE(Shop()->IsNoticeShown());
    m_game->Step(1);
    scene_test::SaveScreenshot(*m_game, "shop-save-failed");
    // The notice goes after a while; the shop goes on.
    m_game->StepWith(100, 45);
    EXPECT_FALSE(Shop()->IsNoticeShown());
    EXPECT_EQ(Shop()->GetState(), State::Shopping);
}

TEST_F(ShopScene, TheFighterHoldsTheChosenWeaponOrWearsTheChosenClothesAndTurnsWithTheCameraKeys)
{
    Start({}, 1024, 768);
    SetStock(5000);
    Open();
    const CCharacter* preview = Shop()->GetPreview().Get();
    ASSERT_NE(preview, nullptr);
    ASSERT_NE(preview->GetMainWeapon(), nullptr);
    EXPECT_EQ(preview->GetMainWeapon()->GetDefinition(), SceneGameData::Weapon(0));
    m_game->Tap(KEY_DOWN);
    preview = Shop()->GetPreview().Get();
    ASSERT_NE(preview, nullptr);
    EXPECT_EQ(preview->GetMainWeapon()->GetDefinition(), SceneGameData::Weapon(1));
    // Held camera-left turns it 180 degrees a second.
    const float yaw = preview->GetRotation()->y;
    m_game->Input().SetKey(KEY_NUMPAD4, true);
    m_game->StepWith(100, 5);
    m_game->Input().SetKey(KEY_NUMPAD4, false);
    EXPECT_NEAR(Shop()->GetPreview().Get()->GetRotation()->y - yaw, 90.0f, 0.5f);
    // Held camera-down moves it away, no further than 0.8.
    m_game->Input().SetKey(KEY_NUMPAD8, true);
    m_game->StepWith(100, 12);
    m_game->Input().SetKey(KEY_NUMPAD8, false);
    EXPECT_FLOAT_EQ(Shop()->GetPreview().Get()->GetPosition()->z, -0.8f);
    scene_test::SaveScreenshot(*m_game, "shop-weapon-preview");
    // The clothes tab: the first character that may wear the hat wears it
    // (the pointer off the rows, where it would choose one).
    m_game->PointAt({700.0f, 400.0f});
    m_game->Tap(KEY_RIGHT);
    ASSERT_EQ(Shop()->GetCategory(), Category::Clothes);
    ASSERT_EQ(Shop()->GetSelectedItem(), 0);
    preview = Shop()->GetPreview().Get();
    ASSERT_NE(preview, nullptr);
    EXPECT_STREQ(preview->GetDefinition()->name, "Aria");
    EXPECT_EQ(preview->GetClothes(0), SceneGameData::Clothes(0));
    m_game->Step(2);
    scene_test::SaveScreenshot(*m_game, "shop-clothes");
}

TEST_F(ShopScene, TheTabsAnswerClicksAndTheBackButtonLeavesToTheTitleWithTheShopInFront)
{
    Start();
    SetStock(0);
    Open();
    Click(CShopScene::kClothesTabId);
    EXPECT_EQ(Shop()->GetCategory(), Category::Clothes);
    EXPECT_TRUE(Heard(MenuSound::Cursor));
    Click(CShopScene::kWeaponTabId);
    EXPECT_EQ(Shop()->GetCategory(), Category::Weapons);
    Click(CShopScene::kBackId);
    EXPECT_EQ(Shop()->GetState(), State::FadeOut);
    EXPECT_TRUE(Heard(MenuSound::Cancel));
    ASSERT_TRUE(m_game->StepUntil([&] { return Title() != nullptr; }, 60));
    EXPECT_EQ(Title()->GetState(), CTitleScene::TitleState::Menu);
    EXPECT_EQ(Title()->GetFrontItem(), 4u);
}
