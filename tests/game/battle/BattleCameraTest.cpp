// The cameras that follow or frame a fighter, drawn for real on the
// offscreen device at 1280 x 720 with the stand-in arena: what each shows
// of the fighter it is about. Each frame is kept beside the test program
// as "BattleCamera-*.png" for a person to look at.
#include "tests/game/battle/BattleTestData.h"

#include "engine/core/TextEncoding.h"
#include "engine/platform/CGraphics.h"
#include "engine/platform/FrameTimer.h"
#include "engine/platform/device/GraphicsDevice.h"
#include "engine/render/CCamera.h"
#include "game/actor/CCharacter.h"
#include "game/actor/CWeapon.h"
#include "game/actor/tag_TOLQBATTLEFRAME.h"
#include "game/battle/CBattleConsole.h"
#include "game/battle/CBattleScene.h"
#include "game/battle/CConsoleRenderer.h"
#include "game/battle/tag_TOLQBATTLESETTING.h"

#include <gtest/gtest.h>
#include "tests/support/ArgbPng.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace camtest
{
constexpr int kWidth = 1280, kHeight = 720;
constexpr uint32_t kFrame = 16;
constexpr uint32_t kClear = 0xFF203040;

int Red(uint32_t argb)
{
    return static_cast<int>((argb >> 16) & 0xFF);
}
int Green(uint32_t argb)
{
    return static_cast<int>((argb >> 8) & 0xFF);
}
int Blue(uint32_t argb)
{
    return static_cast<int>(argb & 0xFF);
}

// A battle of two (or more) on the arena to the last one standing, fighter 0 the local player
// that the cameras are about (armed with the weapon named, if any), drawn on request.
class CameraBattle
{
public:
    explicit CameraBattle(uint32_t startPoint, uint8_t players = 2, const char* playerWeapon = nullptr)
    {
        battletest::BattleData::Install();
        m_setting = CreateBattleSettingFrom(players, 0, nullptr);
        m_setting->seed = 5;
        m_setting->record = 0;
        m_setting->rules.rule = tag_TOLQBATTLERULE::RULE_SURVIVAL;
        for (uint8_t i = 0; i < players; ++i)
        {
            m_setting->players[i].character = static_cast<int8_t>(i);
            m_setting->players[i].characterCount = 8;
            m_setting->players[i].startPoint = i == 0 ? startPoint : (startPoint + 3 + i) % 8;
            m_setting->players[i].localInput = 0;
        }
        m_setting->players[0].weapons[0] = playerWeapon;
        m_ready = battletest::BattleData::Get() != nullptr && scene.Init(reinterpret_cast<uintptr_t>(m_setting)) == 1;
    }
    ~CameraBattle()
    {
        battletest::BattleData::GetGraphics()->Graphics().SetCamera(nullptr);
        scene.Release();
        FreeBattleSetting(m_setting);
    }
    bool Ready() const { return m_ready; }

    // Frames until done() holds; false after limit frames.
    bool RunUntil(const std::function<bool()>& done, int limit = 2000)
    {
        for (int i = 0; i < limit && !done(); ++i)
        {
            SetFrameTime(kFrame);
            scene.Update(0);
        }
        return done();
    }
    void Run(int frames)
    {
        int left = frames;
        RunUntil([&] { return left-- == 0; }, frames + 1);
    }
    // The end menu (as a mode scene installs it) shown over the lose shot.
    bool RunToLoseMenu()
    {
        static const char* const items[2] = {"Retry", "Title"};
        static const int8_t codes[2] = {RESULT_RETRY, RESULT_TITLE};
        CBattleConsole* console = scene.GetConsole();
        console->SetBanner3(2, 1, nullptr, items, codes);
        return RunUntil([&] { return console->GetState().currentMenu == ConsoleMenu::Lose; });
    }
    // Fighter 0 downed by a blow of fighter 1, for good.
    void DefeatPlayer() { battletest::DownFighter(scene.GetFighter(0), scene.GetFighter(1)); }
    void Place(CCharacter* fighter, float x, float z, float yaw)
    {
        const CkvrVector3 at(x, 0.0f, z), turn(0.0f, yaw, 0.0f);
        fighter->SetPosition(&at);
        fighter->SetRotation(&turn);
    }
    // The phase's clock at or past milliseconds.
    bool RunToPhaseClock(ConsolePhase phase, uint32_t milliseconds)
    {
        CBattleConsole* console = scene.GetConsole();
        return RunUntil([&] { return console->GetPhase() == phase && console->GetState().phaseClock >= milliseconds; });
    }

    // The battle's frame, or only what draw draws through the battle's camera.
    void Draw(const std::string& name, const std::function<void()>& draw = nullptr)
    {
        CGraphics& graphics = battletest::BattleData::GetGraphics()->Graphics();
        graphics.GetDevice()->Clear(CLEAR_TARGET | CLEAR_ZBUFFER, kClear, 1.0f, 0);
        if (draw)
        {
            scene.GetCamera()->Apply();
            draw();
        }
        else
            ASSERT_EQ(scene.Render(0), 1);
        frame.assign(static_cast<size_t>(kWidth) * kHeight, 0);
        ASSERT_EQ(graphics.GetDevice()->ReadPixels(graphics.GetDevice()->GetBackBuffer(), 0, 0, kWidth, kHeight,
                                                   frame.data()),
                  DEVICE_OK);
        const auto beside = std::filesystem::canonical("/proc/self/exe").parent_path();
        SaveArgbPng(frame, kWidth, kHeight, (beside / ("BattleCamera-" + name + ".png")).string());
    }

    // The screen point of a point of a fighter's figure, up from its feet
    // and forward along its facing; false behind the camera.
    bool Project(const CCharacter* fighter, float up, float forward, int* x, int* y) const
    {
        const float yaw = fighter->GetRotation()->y * 3.14159265f / 180.0f;
        const CkvrVector3& at = *fighter->GetPosition();
        const float point[3] = {at.x + std::sin(yaw) * forward, at.y + up, at.z + std::cos(yaw) * forward};
        float sx = 0.0f, sy = 0.0f, depth = 0.0f;
        scene.GetCamera()->WorldToScreen(point, &sx, &sy, &depth);
        *x = static_cast<int>(sx);
        *y = static_cast<int>(sy);
        return depth > 0.0f && depth < 1.0f && *x >= 0 && *x < kWidth && *y >= 0 && *y < kHeight;
    }
    uint32_t At(int x, int y) const { return frame[static_cast<size_t>(y) * kWidth + x]; }
    // The mean red of the pixels that pass test on a fighter's front
    // between two heights, a head's width either side of the centre; 0
    // without one.
    int MeanRed(const CCharacter* fighter, float low, float high, float forward,
                const std::function<bool(uint32_t)>& test) const
    {
        int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
        if (!Project(fighter, low, forward, &x0, &y0) || !Project(fighter, high, forward, &x1, &y1))
            return 0;
        const int half = (y0 - y1) / 2;
        int sum = 0, count = 0;
        for (int y = std::max(0, y1); y <= std::min(kHeight - 1, y0); ++y)
        {
            for (int x = std::max(0, x0 - half); x <= std::min(kWidth - 1, x0 + half); ++x)
            {
                if (!test(At(x, y)))
                    continue;
                sum += Red(At(x, y));
                ++count;
            }
        }
        return count > 0 ? sum / count : 0;
    }
    // Pixels of the whole frame that pass test.
    int Count(const std::function<bool(uint32_t)>& test) const
    {
        int count = 0;
        for (uint32_t argb : frame)
            count += test(argb) ? 1 : 0;
        return count;
    }

    CBattleScene scene;
    std::vector<uint32_t> frame;

private:
    tag_TOLQBATTLESETTING* m_setting = nullptr;
    bool m_ready = false;
};

// The head of the data kit's figure (1.25 tall): from the chin to the
// crown, its face on the front.
constexpr float kChin = 1.06f;
constexpr float kCrown = 1.25f;
constexpr float kFaceFront = 0.087f;

// The skin's mean red under the key light, seen from the front or aside;
// in the ambient's grey alone it is about 125.
constexpr int kLitSkinRed = 170;

// Skin, lit or in shade: redder than blue by a clear step, but not the
// figure's red (whose green is low).
bool IsSkin(uint32_t argb)
{
    return Red(argb) > Blue(argb) + 20 && Green(argb) > Red(argb) / 2;
}
// The face's skin, not the white hat above it (whose green is as high as
// its red).
bool IsFace(uint32_t argb)
{
    return IsSkin(argb) && Green(argb) * 100 < Red(argb) * 92;
}
bool IsBlue(uint32_t argb)
{
    return Blue(argb) > 2 * Red(argb) && Blue(argb) > Green(argb) + 30;
}
bool IsGreen(uint32_t argb)
{
    return Green(argb) > Red(argb) + 40 && Green(argb) > Blue(argb) + 40;
}
// The name plates the console's last drawing reported.
int PlatesDrawn(const CBattleConsole& console)
{
    const auto& items = console.GetDrawnItems().Items();
    return static_cast<int>(std::count_if(items.begin(), items.end(), [](const MenuItemRecord& item) {
        return item.id / kHudItemStride == static_cast<int32_t>(HudItem::NamePlate);
    }));
}
}

using camtest::CameraBattle;
using camtest::IsFace;
using camtest::IsSkin;
using camtest::kChin;
using camtest::kCrown;
using camtest::kFaceFront;
using camtest::kLitSkinRed;

TEST(BattleCamera, TheWinnersPoseShowsItsFaceLit)
{
    CameraBattle battle(0);
    ASSERT_TRUE(battle.Ready()) << battletest::BattleData::GetError();
    ASSERT_TRUE(battle.RunToPhaseClock(ConsolePhase::Running, 0));
    battle.scene.GetFighter(1)->GetStateBlock()->actionState = CCharacter::STATE_DOWN;
    // Posing, with the camera in front of the winner's face.
    ASSERT_TRUE(battle.RunToPhaseClock(ConsolePhase::Win, 3000));
    battle.Draw("win");
    // The skin (0.95, 0.78, 0.62) under the key light, not the ambient's
    // grey.
    const int skin = battle.MeanRed(battle.scene.GetFighter(0), kChin, kCrown, kFaceFront, IsSkin);
    EXPECT_GT(skin, kLitSkinRed) << "the face is in shade";
}

TEST(BattleCamera, TheResultShotLooksRoundABoxBetweenItAndTheWinner)
{
    CameraBattle battle(0);
    ASSERT_TRUE(battle.Ready()) << battletest::BattleData::GetError();
    ASSERT_TRUE(battle.RunToPhaseClock(ConsolePhase::Running, 0));
    // The weapon box at (25, 0) stands where the shot's eye, 2 in front of
    // the winner's face, would look from.
    CCharacter* winner = battle.scene.GetFighter(0);
    const CkvrVector3 beforeTheBox(25.0f, 0.0f, -1.2f), facingIt(0.0f, 0.0f, 0.0f);
    winner->SetPosition(&beforeTheBox);
    winner->SetRotation(&facingIt);
    battle.scene.GetFighter(1)->GetStateBlock()->actionState = CCharacter::STATE_DOWN;
    ASSERT_TRUE(battle.RunToPhaseClock(ConsolePhase::Win, 3000));
    battle.Draw("win-by-a-box");
    EXPECT_GT(battle.MeanRed(winner, kChin, kCrown, kFaceFront, IsSkin), kLitSkinRed)
        << "the winner's face is not in view";
    // Not the box's green filling the screen (beside the shot, it may show).
    EXPECT_LT(battle.Count([](uint32_t argb) { return camtest::Green(argb) > 2 * camtest::Red(argb); }),
              camtest::kWidth * camtest::kHeight / 2);
}

// Seen in a lost story battle: the shot looked at the fallen player while
// the winner, a step beside the shot's eye, filled the right of the frame
// with its head out of it (about 18 % of the frame), and the lock-on
// brackets stayed on the winner under the lose menu. With the winner in
// front of the eye, beside it or standing over the fallen player, the
// winner shows whole (head and feet in view) or hardly at all, the fallen
// player shows, and no brackets are drawn.
TEST(BattleCamera, ALostBattlesShotShowsTheFallenPlayerNotTheWinnersTorsoNorItsLockOn)
{
    struct Stand
    {
        const char* name;
        float across; // from the player, across the shot's line of sight
        float along;  // towards the shot's eye (2 in front of the player)
    };
    for (const Stand& stand : {Stand{"in-front", 0.0f, 1.6f}, Stand{"beside", -0.7f, 1.0f}, Stand{"over", -0.7f, 0.3f}})
    {
        CameraBattle battle(0);
        ASSERT_TRUE(battle.Ready()) << battletest::BattleData::GetError();
        ASSERT_TRUE(battle.RunToPhaseClock(ConsolePhase::Running, 0));
        CCharacter* player = battle.scene.GetFighter(0);
        CCharacter* winner = battle.scene.GetFighter(1);
        const CkvrVector3 at = *player->GetPosition();
        battle.Place(winner, at.x + stand.across, at.z + stand.along, 180.0f);
        player->GetStateBlock()->lockOn = 2;
        battle.DefeatPlayer();
        ASSERT_TRUE(battle.RunToLoseMenu());
        ASSERT_TRUE(player->IsDown());
        battle.Draw(std::string("lose-winner-") + stand.name);
        int x = 0, y = 0;
        const bool whole = battle.Project(winner, kCrown, 0.0f, &x, &y) && battle.Project(winner, 0.0f, 0.0f, &x, &y);
        const float share = static_cast<float>(battle.Count(camtest::IsBlue)) / (camtest::kWidth * camtest::kHeight);
        EXPECT_TRUE(whole || share < 0.03f) << stand.name << ": the winner's body fills " << share
                                            << " of the frame, cut by its edge";
        EXPECT_LT(share, 0.1f) << stand.name;
        auto red = [](uint32_t argb) {
            return camtest::Red(argb) > 120 && camtest::Red(argb) > 2 * camtest::Green(argb);
        };
        EXPECT_GT(battle.Count(red), 2000) << stand.name << ": the fallen player is out of the shot";
        EXPECT_EQ(battle.scene.GetConsole()->GetDrawnItems().FindItem(HudItemId(HudItem::LockOn, 1)), nullptr)
            << stand.name << ": lock-on brackets under the lose menu";
    }
}

// Seen at the end of a lost local battle, under its menu: the player's
// lose pose, head bowed, lit dimmer than in play (its face (126, 103, 87)
// against (229, 188, 150)), another fighter standing inside the player's
// body, a name plate cut by the window's top edge, and a grey bar from the
// window's top-left edge down to the player: its claymore, left pointing at
// the eye where no hand holds it. The bowed face is lit as the battle's
// light lights it in the ready call, nothing of the fighter inside shows
// over the player, no plate is drawn over the shot (as plates are in
// play), and the claymore stays on the figure.
TEST(BattleCamera, ALostBattlesPoseIsLitAsInPlayWithNoFighterInsideItNoPlateCutAndNoBladeAcross)
{
    static const std::string claymore = ConvertUtf8ToShiftJis("クレイモア");
    CameraBattle battle(0, 4, claymore.c_str());
    ASSERT_TRUE(battle.Ready()) << battletest::BattleData::GetError();
    CCharacter* player = battle.scene.GetFighter(0);
    constexpr float kBelowTheFace = 0.8f, kOverTheHead = 1.3f, kFront = 0.1f;
    ASSERT_TRUE(battle.RunToPhaseClock(ConsolePhase::Ready, 3000));
    battle.Draw("ready-face");
    const int inPlay = battle.MeanRed(player, kBelowTheFace, kOverTheHead, kFront, IsFace);
    ASSERT_GT(inPlay, kLitSkinRed);
    ASSERT_TRUE(battle.RunToPhaseClock(ConsolePhase::Running, 0));
    // Fighter 3 (green) inside the player; fighter 2 beside it, as far from
    // the lose shot's eye, its plate at the frame's top; the time runs out
    // on them all.
    const CkvrVector3 at = *player->GetPosition();
    battle.Place(battle.scene.GetFighter(3), at.x + 0.05f, at.z + 0.05f, 90.0f);
    battle.Place(battle.scene.GetFighter(2), at.x + 1.2f, at.z, 0.0f);
    CBattleConsole* console = battle.scene.GetConsole();
    console->RenderWorldOverlays();
    ASSERT_GT(camtest::PlatesDrawn(*console), 0) << "no name plates in play";
    console->GetStateForUpdate()->timeLeft = 1;
    ASSERT_TRUE(battle.RunToLoseMenu());
    ASSERT_FALSE(player->IsDown());
    battle.Draw("lose-pose");
    const int lost = battle.MeanRed(player, kBelowTheFace, kOverTheHead, kFront, IsFace);
    EXPECT_GE(lost * 10, inPlay * 9) << "the bowed face is dim: " << lost << " against " << inPlay << " in play";
    // The player's figure, feet to crown, a shoulder's width either side.
    int feetX = 0, feetY = 0, crownX = 0, crownY = 0;
    ASSERT_TRUE(battle.Project(player, 0.05f, 0.0f, &feetX, &feetY));
    ASSERT_TRUE(battle.Project(player, kCrown, 0.0f, &crownX, &crownY));
    const int half = (feetY - crownY) / 4;
    int inside = 0;
    for (int y = std::max(0, crownY); y <= feetY; ++y)
    {
        for (int x = std::max(0, feetX - half); x <= std::min(camtest::kWidth - 1, feetX + half); ++x)
            inside += camtest::IsGreen(battle.At(x, y)) ? 1 : 0;
    }
    EXPECT_LT(inside, 100) << "the fighter inside the player shows";
    // The claymore alone as the shot placed it: on the figure, within its
    // height either side, from the crown to the feet.
    battle.Draw("lose-pose-blade", [&] { player->GetMainWeapon()->Render(0); });
    const int reach = feetY - crownY;
    int astray = 0;
    for (int y = 0; y < camtest::kHeight; ++y)
    {
        for (int x = 0; x < camtest::kWidth; ++x)
            astray += battle.At(x, y) != camtest::kClear && (std::abs(x - feetX) > reach || y < crownY || y > feetY);
    }
    EXPECT_GT(battle.Count([](uint32_t argb) { return argb != camtest::kClear; }), 500) << "no claymore drawn";
    EXPECT_LT(astray, 50) << astray << " pixels of the claymore run off the figure";
    console->RenderWorldOverlays();
    EXPECT_EQ(camtest::PlatesDrawn(*console), 0) << "name plates over the result shot";
}

TEST(BattleCamera, AFighterStartingOnTheRampStandsOnItInViewOfTheReadyCallAndTheFollowCamera)
{
    // Start point 3 lies on the ramp's slope.
    CameraBattle battle(3);
    ASSERT_TRUE(battle.Ready()) << battletest::BattleData::GetError();
    CCharacter* fighter = battle.scene.GetFighter(0);
    // Its legs (dark red), not the ramp's brown, at the knees; its shirt
    // at the chest.
    auto legsAndShirtShow = [&](const char* name) {
        battle.Draw(name);
        auto figure = [](uint32_t argb) { return camtest::Red(argb) > 2 * camtest::Green(argb) + 10; };
        EXPECT_GT(battle.MeanRed(fighter, 0.3f, 0.4f, 0.0f, figure), 60) << name << ": the knees are hidden";
        EXPECT_GT(battle.MeanRed(fighter, 0.8f, 0.9f, 0.0f, figure), 60) << name << ": the chest is hidden";
    };
    // The far shot the ready call opens with (the intro's, faded in), the
    // close one it ends with, then the battle's own camera.
    ASSERT_TRUE(battle.RunToPhaseClock(ConsolePhase::Ready, 0));
    legsAndShirtShow("ramp-ready-far");
    // The close shot frames the face.
    ASSERT_TRUE(battle.RunToPhaseClock(ConsolePhase::Ready, 3000));
    battle.Draw("ramp-ready-close");
    EXPECT_GT(battle.MeanRed(fighter, kChin, kCrown, kFaceFront, IsSkin), kLitSkinRed) << "the face is not in view";
    ASSERT_TRUE(battle.RunToPhaseClock(ConsolePhase::Running, 0));
    battle.Run(10);
    legsAndShirtShow("ramp-follow");
}
