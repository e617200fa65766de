// The options driven by scripted keys and mouse: rows and columns that
// wrap, volumes by key, click and drag, saving (the settings file changes,
// field by field) and cancelling (it does not), with pixels at 640 x 480 and
// 1280 x 720.
#include "tests/game/scene/SceneFiles.h"

#include "engine/effect/CEffectController.h"
#include "engine/platform/sound/CSoundBuffer.h"
#include "game/app/CGameConfig.h"
#include "game/app/CQorResourceController.h"
#include "game/app/GameConfigFormat.h"
#include "game/scene/COptionScene.h"
#include "game/scene/CTitleScene.h"
#include "game/scene/SceneFactory.h"
#include "tools/datakit/SheetCells.h"

#include <gtest/gtest.h>

#include <algorithm>

using game_test::GameHarness;
using scene_test::SceneFiles;
using State = COptionScene::OptionState;

namespace
{
class OptionScene : public ::testing::Test
{
protected:
    void Open(int32_t width = 640, int32_t height = 480)
    {
        m_settings = GameHarness::DefaultSettings();
        m_settings.bgmVolume = -1000;
        m_game = std::make_unique<GameHarness>(width, height, SceneFiles(), &CreateGameScene, &m_settings);
        ASSERT_TRUE(m_game->Ready());
        ASSERT_TRUE(m_game->Start());
        // As the title opens it: background up, the first row.
        m_game->Controller().ChangeScene(CController::SCENE_OPTION, 0, 1.0f, 0);
        ASSERT_NE(Options(), nullptr);
        ASSERT_TRUE(m_game->StepUntil([&] { return Options()->GetState() == State::Input; }, 60));
    }
    void TearDown() override { m_game.reset(); }

    COptionScene* Options() { return dynamic_cast<COptionScene*>(m_game->Controller().GetScene()); }
    CTitleScene* Title() { return dynamic_cast<CTitleScene*>(m_game->Controller().GetScene()); }
    tag_TOLQGAMECONFIG* Live() { return m_game->Controller().GetGameConfig()->GetData(); }
    const tag_TOLQGAMECONFIG& Copy() { return Options()->GetSettingsCopy(); }
    std::filesystem::path ConfigFile() { return m_game->SaveFolder() / "GameConfig.dat"; }
    tag_TOLQGAMECONFIG Stored()
    {
        const std::string bytes = TempFolder::Read(ConfigFile());
        tag_TOLQGAMECONFIG stored = GameHarness::DefaultSettings();
        EXPECT_EQ(DecodeGameConfig(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), &stored), 1);
        return stored;
    }
    bool Heard(MenuSound sound)
    {
        const std::vector<MenuSound>& sounds = Options()->GetFrame().Sounds();
        return std::find(sounds.begin(), sounds.end(), sound) != sounds.end();
    }
    MenuRect ItemRect(int32_t id)
    {
        const MenuItemRecord* item = Options()->GetFrame().FindItem(id);
        EXPECT_NE(item, nullptr) << id;
        return item != nullptr ? item->rect : MenuRect{};
    }
    // The left mouse button down for a frame at a layout point, then up.
    void ClickAt(MenuPoint point)
    {
        m_game->PointAt(point);
        m_game->Step(1);
        m_game->Input().SetMouseButton(0, true);
        m_game->Step(1);
        m_game->Input().SetMouseButton(0, false);
        m_game->Step(1);
    }
    // Where the pointer stands, in layout units.
    MenuPoint Pointer()
    {
        int x = 0;
        int y = 0;
        m_game->Input().GetCursorPosition(x, y);
        const CMenuLayout layout = CMenuLayout::ForGraphics(m_game->Controller().GetGraphics(), MenuScaleRule::Menu4x3);
        return layout.CursorToLayout({static_cast<float>(x), static_cast<float>(y)});
    }

    tag_TOLQGAMECONFIG m_settings;
    std::unique_ptr<GameHarness> m_game;
};
}

TEST_F(OptionScene, FadesInWithItsMusicThenTakesKeys)
{
    Open();
    EXPECT_FLOAT_EQ(Options()->GetForegroundAlpha(), 1.0f);
    EXPECT_FLOAT_EQ(Options()->GetBackgroundAlpha(), 1.0f);
    CSoundBuffer* music = m_game->Controller().GetResourceController()->GetSoundList().FindByFileName("Bgm_option.ogg");
    ASSERT_NE(music, nullptr);
    EXPECT_TRUE(music->IsPlaying());
    EXPECT_EQ(music->GetVolume(0), -1000);
}

TEST_F(OptionScene, RowsAndColumnsWrapAndThePointerFollowsTheKeys)
{
    Open();
    m_game->Tap(KEY_UP);
    EXPECT_EQ(Options()->GetRow(), COptionScene::ROW_CONFIRM);
    const MenuPoint onConfirm = Pointer();
    const MenuPoint confirmCentre = ItemRect(COptionScene::LabelId(COptionScene::ROW_CONFIRM)).Centre();
    EXPECT_NEAR(onConfirm.x, confirmCentre.x, 1.5f);
    EXPECT_NEAR(onConfirm.y, confirmCentre.y, 1.5f);
    m_game->Tap(KEY_DOWN);
    EXPECT_EQ(Options()->GetRow(), COptionScene::ROW_FULL_SCREEN);
    // Difficulty: left from column 0 wraps to 4; the stored value waits for
    // decide.
    for (int i = 0; i < 7; ++i)
        m_game->Tap(KEY_DOWN);
    ASSERT_EQ(Options()->GetRow(), COptionScene::ROW_DIFFICULTY);
    const uint8_t stored = Copy().storyDifficulty;
    while (Options()->GetColumn() != 0)
        m_game->Tap(KEY_LEFT);
    m_game->Tap(KEY_LEFT);
    EXPECT_EQ(Options()->GetColumn(), 4);
    EXPECT_EQ(Copy().storyDifficulty, stored);
    const MenuPoint onButton = Pointer();
    const MenuPoint buttonCentre = ItemRect(COptionScene::ButtonId(COptionScene::ROW_DIFFICULTY, 4)).Centre();
    EXPECT_NEAR(onButton.x, buttonCentre.x, 1.5f);
    m_game->Tap(KEY_Z);
    EXPECT_EQ(Copy().storyDifficulty, 4);
    // A two-button row: right from column 1 goes to 0.
    m_game->Tap(KEY_UP);
    ASSERT_EQ(Options()->GetRow(), COptionScene::ROW_RADAR);
    while (Options()->GetColumn() != 1)
        m_game->Tap(KEY_RIGHT);
    m_game->Tap(KEY_RIGHT);
    EXPECT_EQ(Options()->GetColumn(), 0);
}

TEST_F(OptionScene, HeldKeysMoveAVolumeFromTheSecondFrameAndStopAtItsEnds)
{
    Open();
    m_game->Tap(KEY_DOWN);
    m_game->Tap(KEY_DOWN);
    m_game->Tap(KEY_DOWN);
    ASSERT_EQ(Options()->GetRow(), COptionScene::ROW_BGM);
    m_game->Input().SetKey(KEY_LEFT, true);
    m_game->Step(1);
    EXPECT_EQ(Copy().bgmVolume, -1000); // the frame the key went down
    m_game->Step(4);
    EXPECT_EQ(Copy().bgmVolume, -1200);
    m_game->Step(60);
    EXPECT_EQ(Copy().bgmVolume, -3000);
    m_game->Input().SetKey(KEY_LEFT, false);
    m_game->Input().SetKey(KEY_RIGHT, true);
    m_game->Step(100);
    m_game->Input().SetKey(KEY_RIGHT, false);
    m_game->Step(1);
    EXPECT_EQ(Copy().bgmVolume, 0);
    EXPECT_EQ(Live()->bgmVolume, -1000);
}

TEST_F(OptionScene, TheMouseSetsVolumesByClickAndDragAndHoverResetsTheColumn)
{
    Open();
    // At 640 x 480 a pixel is 1.6 layout units: 16 volume steps.
    const MenuRect bar = ItemRect(COptionScene::BarId(COptionScene::ROW_SE));
    ClickAt({bar.left, bar.Centre().y});
    EXPECT_NEAR(Copy().seVolume, -3000, 16);
    ClickAt({bar.right, bar.Centre().y});
    EXPECT_EQ(Copy().seVolume, 0);
    ClickAt(ItemRect(COptionScene::MinimumId(COptionScene::ROW_VOICE)).Centre());
    EXPECT_EQ(Copy().voiceVolume, -3000);
    ClickAt(ItemRect(COptionScene::MaximumId(COptionScene::ROW_VOICE)).Centre());
    EXPECT_EQ(Copy().voiceVolume, 0);
    // A drag: down on the bar, then out past either end.
    m_game->PointAt(bar.Centre());
    m_game->Step(1);
    m_game->Input().SetMouseButton(0, true);
    m_game->Step(1);
    EXPECT_EQ(Options()->GetDragRow(), COptionScene::ROW_SE);
    EXPECT_NEAR(Copy().seVolume, -1500, 16);
    m_game->PointAt({bar.left - 100.0f, bar.Centre().y + 40.0f});
    m_game->Step(1);
    EXPECT_EQ(Copy().seVolume, -3000);
    m_game->PointAt({bar.right + 100.0f, bar.Centre().y});
    m_game->Step(1);
    EXPECT_EQ(Copy().seVolume, 0);
    m_game->Input().SetMouseButton(0, false);
    m_game->Step(1);
    EXPECT_EQ(Options()->GetDragRow(), 0);
    // Hovering a label takes its row and the column of its stored value.
    m_game->PointAt(ItemRect(COptionScene::LabelId(COptionScene::ROW_VIBRATION)).Centre());
    m_game->Step(1);
    EXPECT_EQ(Options()->GetRow(), COptionScene::ROW_VIBRATION);
    EXPECT_EQ(Options()->GetColumn(), Copy().padVibration != 0 ? 0 : 1);
    EXPECT_TRUE(Heard(MenuSound::Cursor));
}

TEST_F(OptionScene, SavingAppliesTheRowsFieldByFieldAndWritesTheFile)
{
    Open();
    // The live record's radio chat changes behind the screen's copy; saving
    // must keep it.
    tag_TOLQRADIOCHAT chat;
    chat.phrase = 0x38;
    Live()->radioChat.assign(12, chat);
    Live()->radioChat[0].phrase = 0x40;
    const uint32_t windowed = m_game->Controller().GetGraphics()->GetWindowed();
    m_game->Tap(KEY_DOWN);
    m_game->Tap(KEY_DOWN);
    m_game->Tap(KEY_DOWN);
    m_game->Tap(KEY_DOWN); // the SE row
    ClickAt(ItemRect(COptionScene::MinimumId(COptionScene::ROW_SE)).Centre());
    ClickAt(ItemRect(COptionScene::MaximumId(COptionScene::ROW_BGM)).Centre());
    ClickAt(ItemRect(COptionScene::ButtonId(COptionScene::ROW_DIFFICULTY, 3)).Centre());
    ClickAt(ItemRect(COptionScene::ButtonId(COptionScene::ROW_SHAKE, 1)).Centre());
    // Clicking the confirm label saves as decide there does.
    ClickAt(ItemRect(COptionScene::LabelId(COptionScene::ROW_CONFIRM)).Centre());
    EXPECT_EQ(Options()->GetState(), State::FadeOut);
    ASSERT_TRUE(std::filesystem::exists(ConfigFile()));
    const tag_TOLQGAMECONFIG stored = Stored();
    EXPECT_EQ(stored.seVolume, -3000);
    EXPECT_EQ(stored.bgmVolume, 0);
    EXPECT_EQ(stored.storyDifficulty, 3);
    EXPECT_EQ(stored.screenShake, 0u);
    EXPECT_EQ(Live()->seVolume, -3000);
    ASSERT_EQ(Live()->radioChat.size(), 12u);
    EXPECT_EQ(Live()->radioChat[0].phrase, 0x40);
    // -3000 is kept as such but silences the effect sounds at once.
    EXPECT_EQ(m_game->Controller().GetEffectController()->GetSoundSettings()->volume, -10000);
    // The full-screen flag did not change: the display mode was not touched.
    EXPECT_EQ(m_game->Controller().GetGraphics()->GetWindowed(), windowed);
    // Back to the title's menu with the option item in front.
    ASSERT_TRUE(m_game->StepUntil([&] { return Title() != nullptr; }, 60));
    EXPECT_EQ(Title()->GetState(), CTitleScene::TitleState::Menu);
    EXPECT_EQ(Title()->GetFrontItem(), 5u);
    EXPECT_FLOAT_EQ(Title()->GetFadeA(), 1.0f);
}

TEST_F(OptionScene, CancellingLeavesTheSettingsAndTheFileAsTheyWere)
{
    for (bool mouse : {false, true})
    {
        m_game.reset();
        Open();
        const bool existed = std::filesystem::exists(ConfigFile());
        const std::string before = existed ? TempFolder::Read(ConfigFile()) : std::string();
        m_game->Tap(KEY_DOWN);
        m_game->Tap(KEY_DOWN);
        m_game->Tap(KEY_DOWN);
        m_game->Input().SetKey(KEY_LEFT, true);
        m_game->Step(20);
        m_game->Input().SetKey(KEY_LEFT, false);
        ClickAt(ItemRect(COptionScene::ButtonId(COptionScene::ROW_VIBRATION, 1)).Centre());
        EXPECT_NE(Copy().bgmVolume, Live()->bgmVolume);
        if (mouse)
        {
            m_game->Input().SetMouseButton(1, true);
            m_game->Step(1);
            m_game->Input().SetMouseButton(1, false);
        }
        else
            m_game->Tap(KEY_X);
        ASSERT_TRUE(m_game->StepUntil([&] { return Title() != nullptr; }, 60));
        EXPECT_EQ(Live()->bgmVolume, -1000);
        EXPECT_EQ(Live()->padVibration, 1u);
        EXPECT_EQ(std::filesystem::exists(ConfigFile()), existed);
        if (existed)
        {
            EXPECT_EQ(TempFolder::Read(ConfigFile()), before);
        }
        EXPECT_EQ(Title()->GetFrontItem(), 5u);
    }
}

TEST_F(OptionScene, RowsDrawTheirLabelsAndButtonsAtBothSizes)
{
    for (const auto& size : {std::pair<int32_t, int32_t>{640, 480}, std::pair<int32_t, int32_t>{1280, 720}})
    {
        m_game.reset();
        Open(size.first, size.second);
        m_game->Step(1);
        // Inside the first label's picture, left of its text; and the
        // stored button of the full-screen row (off) in white, the other
        // in grey.
        const MenuRect label = ItemRect(COptionScene::LabelId(COptionScene::ROW_FULL_SCREEN));
        const uint32_t labelPixel = m_game->LayoutPixel({label.left + 4.0f, label.Centre().y});
        const uint32_t expected = SheetCells::KindColor(SheetCells::CellKind::Label);
        for (int shift : {16, 8, 0})
            EXPECT_NEAR(static_cast<int>((labelPixel >> shift) & 0xFF), static_cast<int>((expected >> shift) & 0xFF),
                        24)
                << size.first;
        const MenuRect off = ItemRect(COptionScene::ButtonId(COptionScene::ROW_FULL_SCREEN, 1));
        const MenuRect on = ItemRect(COptionScene::ButtonId(COptionScene::ROW_FULL_SCREEN, 0));
        const uint32_t stored = m_game->LayoutPixel({off.left + 3.0f, off.Centre().y});
        const uint32_t other = m_game->LayoutPixel({on.left + 3.0f, on.Centre().y});
        EXPECT_GT(stored & 0xFF, other & 0xFF) << size.first;
        // The mouse pointer, black-edged and white inside, at the mouse.
        m_game->PointAt({900.0f, 650.0f});
        m_game->Step(1);
        const MenuRect pointer{.left = 900, .top = 650, .right = 932, .bottom = 682};
        const int black = m_game->CountPixels(pointer, [](uint32_t rgb) { return rgb == 0; });
        const int white = m_game->CountPixels(pointer, [](uint32_t rgb) { return rgb == 0xFFFFFF; });
        EXPECT_GT(black, 0) << size.first;
        EXPECT_GT(white, 0) << size.first;
    }
}
