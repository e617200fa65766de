// The battle's shots of its fighters drawn for real on the offscreen device
// at 1280 x 720 with the stand-in set: the result shot after a defeat sees
// the fallen fighter from outside its body, the win shot shows the winner
// whole and from the front, and the free camera over the stage shows the
// fighters with nothing white laid over them. The frames stay beside the
// test program as "BattleShot*.png" for a person to look at.
#include "tests/game/battle/BattleTestData.h"
#include "tests/game/battle/HudScreen.h"

#include "engine/core/GameText.h"
#include "engine/platform/CGraphics.h"
#include "engine/platform/FrameTimer.h"
#include "engine/platform/device/GraphicsDevice.h"
#include "engine/render/CAnimationController.h"
#include "engine/render/CCamera.h"
#include "game/actor/CCharacter.h"
#include "game/actor/tag_TOLQBATTLEFRAME.h"
#include "game/battle/CBattleConsole.h"
#include "game/battle/CBattleScene.h"
#include "game/battle/tag_TOLQBATTLESETTING.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <vector>

namespace
{
constexpr int kWidth = 1280, kHeight = 720;
constexpr uint32_t kFrameMilliseconds = 16;
// The intro and the ready call, with some to spare: the battle runs.
constexpr int kOpeningFrames = (500 + 6400) / kFrameMilliseconds + 10;

std::string BesideProgram(const char* name)
{
    return (std::filesystem::canonical("/proc/self/exe").parent_path() / name).string();
}

// Fighter 0 is Aria: red cloth, darker red legs, a black visor over her
// eyes.
bool Reddish(uint32_t argb)
{
    const int r = hudtest::Red(argb), g = hudtest::Green(argb), b = hudtest::Blue(argb);
    return r > 60 && r > 2 * g && r > 2 * b;
}
bool Visor(uint32_t argb)
{
    return std::max({hudtest::Red(argb), hudtest::Green(argb), hudtest::Blue(argb)}) < 45;
}
bool NearWhite(uint32_t argb)
{
    return std::min({hudtest::Red(argb), hudtest::Green(argb), hudtest::Blue(argb)}) > 215;
}

// A battle of Aria and Bram (or of eight, each with a blade, a rifle and a
// launcher) on the arena, run into its running phase.
class ShotBattle
{
public:
    explicit ShotBattle(uint8_t players, bool armed = false)
    {
        battletest::BattleData::Install();
        if (battletest::BattleData::Get() == nullptr)
            return;
        setting = CreateBattleSettingFrom(players, 0, nullptr);
        setting->seed = 5;
        setting->record = 0;
        static const char* weapons[3] = {GameText("クレイモア"), "Rifle", "Launcher"};
        for (uint8_t i = 0; i < players; ++i)
        {
            setting->players[i].character = static_cast<int8_t>(i);
            setting->players[i].characterCount = 8;
            setting->players[i].startPoint = i;
            if (armed)
                std::copy(std::begin(weapons), std::end(weapons), setting->players[i].weapons);
        }
        m_ready = scene.Init(reinterpret_cast<uintptr_t>(setting)) == 1;
        Run(kOpeningFrames);
    }
    ~ShotBattle()
    {
        if (CGraphics* graphics = CCamera::GetGraphics())
            graphics->SetCamera(nullptr);
        scene.Release();
        FreeBattleSetting(setting);
    }
    bool Ready() { return m_ready && scene.GetConsole()->GetPhase() == ConsolePhase::Running; }

    void Run(int frames)
    {
        for (int frame = 0; frame < frames; ++frame)
        {
            SetFrameTime(kFrameMilliseconds);
            scene.Update(0);
        }
    }
    void Draw(const char* name)
    {
        GraphicsDevice* device = battletest::BattleData::GetGraphics()->Graphics().GetDevice();
        device->Clear(CLEAR_TARGET | CLEAR_ZBUFFER | CLEAR_STENCIL, 0xFF203040, 1.0f, 0);
        ASSERT_EQ(scene.Render(0), 1);
        frame.assign(static_cast<size_t>(kWidth) * kHeight, 0);
        ASSERT_EQ(device->ReadPixels(device->GetBackBuffer(), 0, 0, kWidth, kHeight, frame.data()), DEVICE_OK);
        hudtest::SavePng(frame, kWidth, kHeight, BesideProgram(name).c_str());
    }
    template <class Test>
    int Count(int left, int top, int right, int bottom, Test test) const
    {
        int count = 0;
        for (int y = std::max(top, 0); y < std::min(bottom, kHeight); ++y)
            for (int x = std::max(left, 0); x < std::min(right, kWidth); ++x)
                count += test(frame[static_cast<size_t>(y) * kWidth + x]) ? 1 : 0;
        return count;
    }
    // Fighter 0 downed by a blow of fighter 1.
    void DownFighter0() { battletest::DownFighter(scene.GetFighter(0), scene.GetFighter(1)); }

    tag_TOLQBATTLESETTING* setting = nullptr;
    CBattleScene scene;
    std::vector<uint32_t> frame;

private:
    bool m_ready = false;
};
}

// Seen with the camera inside the fighter's body: fallen on its back, the
// lose shot's eye stood in its chest. It stands clear of the body, and the
// fallen fighter fills no more than a part of the screen.
TEST(BattleShots, AfterADefeatTheLoseShotSeesTheFallenFighterFromOutsideItsBody)
{
    ShotBattle battle(2);
    ASSERT_TRUE(battle.Ready()) << battletest::BattleData::GetError();
    battle.DownFighter0();
    CCharacter* fallen = battle.scene.GetFighter(0);
    ASSERT_TRUE(fallen->IsDown());
    battle.scene.GetConsole()->ShowLose();
    // Into the shot, still down (a fall lasts 3 s).
    battle.Run(2300 / kFrameMilliseconds);
    ASSERT_TRUE(fallen->IsDown());
    battle.Draw("BattleShotFallen.png");
    // Every joint of the pose it lies in a step away from the eye.
    const CkvrVector3& eye = battle.scene.GetCamera()->GetEye();
    CList<tag_KVRBONESTATE>* joints = fallen->GetAnimation()->GetBoneStateList();
    ASSERT_GT(joints->GetCount(), 1u);
    for (uint32_t i = 0; i < joints->GetCount(); ++i)
    {
        const CkvrMatrix& pose = joints->GetAt(i)->combined;
        const CkvrVector3 joint =
            CkvrVector3(pose.m[12], pose.m[13], pose.m[14]).GetTransformCoord(*fallen->GetWorldMatrix());
        EXPECT_GT((joint - eye).Length(), 1.0f) << i;
    }
    // Its cloth and skin: in view, and a part of the picture, not most of
    // it.
    auto figure = [](uint32_t argb) {
        const int r = hudtest::Red(argb), g = hudtest::Green(argb), b = hudtest::Blue(argb);
        return Reddish(argb) || (r > 150 && g > 110 && g < 220 && b > 70 && b < 190 && r > g && g > b);
    };
    const int shown = battle.Count(0, 0, kWidth, kHeight, figure);
    EXPECT_GT(shown, 2000);
    EXPECT_LT(shown, kWidth * kHeight * 6 / 100);
}

// The winner from the front, head to foot: its visor in view, and nothing
// of it cut by the screen's top or bottom edge.
TEST(BattleShots, TheWinShotShowsTheWinnerWholeAndFromTheFront)
{
    ShotBattle battle(2);
    ASSERT_TRUE(battle.Ready()) << battletest::BattleData::GetError();
    battle.scene.GetConsole()->ShowWin();
    battle.Run(2300 / kFrameMilliseconds);
    battle.Draw("BattleShotWin.png");
    // The red figure's rows, in the middle half of the screen.
    int top = kHeight;
    int bottom = -1;
    for (int y = 0; y < kHeight; ++y)
    {
        if (battle.Count(kWidth / 4, y, kWidth * 3 / 4, y + 1, Reddish) > 2)
        {
            top = std::min(top, y);
            bottom = y;
        }
    }
    ASSERT_GE(bottom, 0);
    EXPECT_GT(top, kHeight / 20);
    EXPECT_LT(bottom, kHeight - kHeight / 20);
    // Above its cloth, the head: the visor faces the camera.
    const int headTop = top - (bottom - top) / 4;
    EXPECT_GT(battle.Count(kWidth / 4, headTop, kWidth * 3 / 4, top, Visor), 40);
}

// Seen as white squares over every fighter: each weapon they held was a
// flat white square two units across. From the free camera high over the
// stage the fighters show with little white about them.
TEST(BattleShots, TheFreeCameraShowsTheArmedFightersWithoutWhiteSquaresOverThem)
{
    ShotBattle battle(8, true);
    ASSERT_TRUE(battle.Ready()) << battletest::BattleData::GetError();
    ASSERT_NE(battle.scene.GetFighter(0)->GetMainWeapon(), nullptr);
    battle.setting->viewedSlot = 8;
    battle.Run(2);
    EXPECT_EQ(battle.scene.GetConsole()->GetState().focused, nullptr);
    battle.Draw("BattleShotFreeCamera.png");
    // The fighters stand within 12 units of the middle: within the middle
    // third of the screen, seen from 50 units up.
    const int white = battle.Count(kWidth / 3, kHeight / 3 - 40, kWidth * 2 / 3, kHeight * 2 / 3 + 40, NearWhite);
    EXPECT_LT(white, 400);
}
