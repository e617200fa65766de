// The battle HUD drawn for real on the offscreen device at 1024 x 768,
// 1280 x 960 and a 16:9 window: each element where its report puts it, at
// the sizes the layout rule gives, and nothing where it must not be.
#include "tests/game/battle/HudScreen.h"

#include "engine/core/GameText.h"
#include "engine/platform/FrameTimer.h"
#include "game/actor/CFieldLists.h"
#include "game/actor/CStage.h"
#include "game/actor/CWeapon.h"
#include "game/actor/CWeaponDefinition.h"
#include "game/battle/ConsoleSheet.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <utility>

using hudtest::HudScreen;

namespace
{
const char* const kPauseItems[] = {"対戦に戻る", "リトライ", "タイトルに戻る"};
const int8_t kPauseCodes[] = {8, 1, 2};

// The pause menu open, its texts as the font reads them.
void OpenPauseMenu(HudScreen* screen)
{
    static const char* items[3] = {GameText(kPauseItems[0]), GameText(kPauseItems[1]), GameText(kPauseItems[2])};
    screen->console.SetBanner1(3, 1, nullptr, items, kPauseCodes);
    screen->console.ShowAnnouncement(ConsoleMenu::Pause);
}

CWeaponDefinition Rifle()
{
    CWeaponDefinition rifle;
    rifle.format = CWeaponDefinition::FORMAT_LONG;
    std::snprintf(rifle.name, sizeof(rifle.name), "Rifle");
    rifle.type = 6;
    rifle.iconClass = 1;
    rifle.weight = 2;
    rifle.rank = 3;
    rifle.characterMask = 0xFF;
    rifle.capacity = 12;
    rifle.reloadTime = 2000;
    return rifle;
}

// The focused fighter with the rifle in its hand.
CCharacter* ArmWithRifle(HudScreen* screen)
{
    static const CWeaponDefinition rifle = Rifle();
    CCharacter* fighter = screen->pointers[0];
    EXPECT_EQ(fighter->AddWeapon(&rifle, 1), 1u);
    return fighter;
}

bool Greenish(uint32_t argb)
{
    return hudtest::Green(argb) > 150 && hudtest::Red(argb) < 120;
}

// The width of a report in layout units.
float Width(const HudScreen& screen, HudItem item, uint32_t index = 0)
{
    const MenuItemRecord* record = screen.Item(item, index);
    return record != nullptr ? record->rect.Width() : -1.0f;
}
}

TEST(HudDraw, EveryPlaceIsItsReferenceAt1024And125TimesAsLargeAt1280x960)
{
    std::vector<MenuItemRecord> reference;
    const CWeaponDefinition rifle = Rifle();
    for (const int height : {768, 960})
    {
        HudScreen screen(height * 4 / 3, height);
        ASSERT_TRUE(screen.Ready());
        // A busy HUD: a weapon in hand, the list open, a kill-feed line.
        ASSERT_EQ(screen.pointers[0]->AddWeapon(&rifle, 1), 1u);
        tag_TOLQCONSOLESTATE* state = screen.console.GetStateForUpdate();
        state->participantShown = 1;
        state->participantClock = 1000;
        screen.console.ShowMessage("Fighter2 down", 4, 1);
        state->messageClock = 1000;
        screen.Draw();
        EXPECT_FLOAT_EQ(screen.Scale(), static_cast<float>(height) / 768.0f);
        if (height == 768)
        {
            screen.SavePng("HudReference.png");
            reference = screen.console.GetDrawnItems().Items();
            ASSERT_GT(reference.size(), 20u);
            // At the reference size layout units are pixels: the time's
            // label starts at its reference corner.
            const MenuRect label = screen.Pixels(HudItem::TimeLabel);
            EXPECT_FALSE(hudtest::IsClear(screen.At(label.left, label.top)));
            EXPECT_TRUE(hudtest::IsClear(screen.At(label.left - 1, label.top - 1)));
            continue;
        }
        // Every element lies at the same layout place, so at 1.25 times its
        // reference pixels, and is drawn there.
        for (const MenuItemRecord& before : reference)
        {
            const MenuItemRecord* now = screen.console.GetDrawnItems().FindItem(before.id);
            ASSERT_NE(now, nullptr) << before.id;
            EXPECT_NEAR(now->rect.left, before.rect.left, 0.01f) << before.id;
            EXPECT_NEAR(now->rect.bottom, before.rect.bottom, 0.01f) << before.id;
        }
        const MenuRect frame = screen.Pixels(HudItem::StatusFrame);
        EXPECT_NEAR(frame.Width(), ConsoleSheet::kStatusFrame.Width() * 1.25f, 0.01f);
        EXPECT_FALSE(hudtest::IsClear(screen.At(frame.left + 1, frame.bottom - 2)));
        EXPECT_TRUE(hudtest::IsClear(screen.At(frame.left - 3, frame.bottom + 2)));
        const MenuRect radar = screen.Pixels(HudItem::Radar);
        EXPECT_NEAR(1280.0f - radar.right, 8.0f * 1.25f, 0.01f);
    }
}

TEST(HudDraw, TheTimeShowsSecondsAndMillisecondsOrOnlyTheNoLimitMark)
{
    HudScreen screen(1024, 768);
    ASSERT_TRUE(screen.Ready());
    screen.console.GetStateForUpdate()->timeLeft = 149999;
    screen.Draw();
    ASSERT_NE(screen.Item(HudItem::TimeSeconds), nullptr);
    EXPECT_EQ(screen.Item(HudItem::TimeSeconds)->label, "149");
    EXPECT_EQ(screen.Item(HudItem::TimeMilliseconds)->label, "999");
    const MenuRect milliseconds = screen.Pixels(HudItem::TimeMilliseconds);
    EXPECT_GT(screen.Count(milliseconds, hudtest::IsBright), 20);
    EXPECT_EQ(screen.Item(HudItem::NoLimitMark), nullptr);

    screen.console.GetStateForUpdate()->timeLeft = tag_TOLQBATTLERULE::kNoTimeLimit;
    screen.Draw();
    EXPECT_NE(screen.Item(HudItem::NoLimitMark), nullptr);
    EXPECT_NE(screen.Item(HudItem::TimeLabel), nullptr);
    EXPECT_EQ(screen.Item(HudItem::TimeSeconds), nullptr);
    // Where the milliseconds stood, right of the mark, no digit is drawn.
    const MenuRect mark = screen.Pixels(HudItem::NoLimitMark);
    const MenuRect afterMark{mark.right + 1, milliseconds.top, milliseconds.right, milliseconds.bottom};
    EXPECT_EQ(screen.Count(afterMark, hudtest::IsBright), 0);
}

TEST(HudDraw, HalfTheLifeCutsTheGaugeHalfwayAcross)
{
    HudScreen screen(1280, 960);
    ASSERT_TRUE(screen.Ready());
    CCharacter* fighter = screen.pointers[0];
    fighter->GetStateBlock()->life = static_cast<uint16_t>(fighter->GetMaxLife() / 2);
    screen.Draw();
    // 392 + 270 x 1/2 = 527 in the sheet: half of the gauge's width.
    EXPECT_FLOAT_EQ(Width(screen, HudItem::LifeGauge), ConsoleSheet::kLifeGauge.Width() / 2.0f);
    const MenuRect gauge = screen.Pixels(HudItem::LifeGauge);
    const float y = (gauge.top + gauge.bottom) * 0.5f;
    EXPECT_TRUE(Greenish(screen.At(gauge.left + 2, y)));
    EXPECT_TRUE(Greenish(screen.At(gauge.right - 2, y)));
    EXPECT_FALSE(Greenish(screen.At(gauge.right + 3, y)));
    EXPECT_FALSE(Greenish(screen.At(gauge.right + gauge.Width() * 0.5f, y)));
}

TEST(HudDraw, EmptyTeamsGetGreyPlatesAndAFallCountPastTheLimitFillsNoPip)
{
    HudScreen screen(1024, 768, 4);
    ASSERT_TRUE(screen.Ready());
    screen.setting->rules.teamBattle = 1;
    screen.setting->rules.rule = tag_TOLQBATTLERULE::RULE_TEAM_FALLS;
    screen.setting->rules.limit = 4;
    // Teams A and B have two each; C and D nobody. A has fallen more often
    // than its limit allows.
    for (uint32_t i = 0; i < 4; ++i)
        screen.pointers[i]->GetActionData()->team = static_cast<uint8_t>(i / 2);
    screen.pointers[0]->GetStateBlock()->ruleCounter = 4;
    screen.pointers[1]->GetStateBlock()->ruleCounter = 3;
    screen.pointers[2]->GetStateBlock()->ruleCounter = 1;
    screen.Draw();
    EXPECT_EQ(screen.Item(HudItem::RulePips, 0)->label, "0/5");
    EXPECT_EQ(screen.Item(HudItem::RulePips, 1)->label, "4/5");
    EXPECT_EQ(screen.Item(HudItem::RulePips, 2)->label, "5/5");
    auto brightest = [&screen](const MenuRect& rect) {
        int most = 0;
        for (float y = rect.top + 1; y < rect.bottom - 1; y += 1.0f)
            for (float x = rect.left + 1; x < rect.right - 1; x += 1.0f)
                most = std::max({most, hudtest::Red(screen.At(x, y)), hudtest::Green(screen.At(x, y)),
                                 hudtest::Blue(screen.At(x, y))});
        return most;
    };
    for (uint32_t team : {2u, 3u})
    {
        EXPECT_EQ(screen.Item(HudItem::TeamPlate, team)->label, "empty");
        // Tinted 0x404040: no channel brighter than a quarter.
        EXPECT_LE(brightest(screen.Pixels(HudItem::TeamPlate, team)), 0x41) << team;
    }
    EXPECT_GT(brightest(screen.Pixels(HudItem::TeamPlate, 0)), 0x80);
    EXPECT_GT(brightest(screen.Pixels(HudItem::TeamPlate, 1)), 0x80);
}

TEST(HudDraw, TheParticipantListShowsEightLinesThenOthers)
{
    HudScreen screen(1024, 768, 9);
    ASSERT_TRUE(screen.Ready());
    tag_TOLQCONSOLESTATE* state = screen.console.GetStateForUpdate();
    state->participantShown = 1;
    state->participantClock = 1000;
    screen.Draw();
    for (uint32_t i = 0; i < 8; ++i)
        EXPECT_NE(screen.Item(HudItem::ListLine, i), nullptr) << i;
    EXPECT_EQ(screen.Item(HudItem::ListLine, 8), nullptr);
    ASSERT_NE(screen.Item(HudItem::ListMore), nullptr);
    EXPECT_STREQ(screen.Item(HudItem::ListMore)->label.c_str(), GameText("他多数"));
    const MenuRect more = screen.Pixels(HudItem::ListMore);
    EXPECT_GT(screen.Count(more, hudtest::IsBright), 30);
    // Nothing is written under it: the list has ended.
    const MenuRect line7 = screen.Pixels(HudItem::ListLine, 7);
    const MenuRect below{line7.left, more.bottom + 4, line7.right, more.bottom + 4 + line7.Height()};
    EXPECT_EQ(screen.Count(below, hudtest::IsBright), 0);
}

TEST(HudDraw, AFifthRadioLinePushesTheOldestOutAndALineLeavesAfter3300Milliseconds)
{
    HudScreen screen(1280, 720);
    ASSERT_TRUE(screen.Ready());
    const char* texts[5] = {"one", "two", "three", "four", "five"};
    for (const char* text : texts)
    {
        const std::string message = std::string(1, '\0') + text;
        screen.console.AddRadioLine(message.c_str(), 0, "Fighter1", screen.pointers[0]);
        SetFrameTime(100);
        screen.console.Update(0);
    }
    screen.Draw();
    EXPECT_EQ(screen.Item(HudItem::RadioLine, 0)->label, "Fighter1:five");
    EXPECT_EQ(screen.Item(HudItem::RadioLine, 3)->label, "Fighter1:two");
    EXPECT_EQ(screen.Item(HudItem::RadioLine, 4), nullptr);
    const MenuRect newest = screen.Pixels(HudItem::RadioLine, 0);
    EXPECT_GT(screen.Count(newest, [](uint32_t argb) { return !hudtest::IsClear(argb); }), 100);
    // The oldest line shown ("two") is 400 ms old, the newest 100: the
    // oldest goes at 3300 ms while the others stay.
    SetFrameTime(2890);
    screen.console.Update(0);
    screen.Draw();
    EXPECT_NE(screen.Item(HudItem::RadioLine, 3), nullptr);
    SetFrameTime(10);
    screen.console.Update(0);
    screen.Draw();
    EXPECT_EQ(screen.Item(HudItem::RadioLine, 3), nullptr);
    ASSERT_NE(screen.Item(HudItem::RadioLine, 2), nullptr);
    EXPECT_EQ(screen.Item(HudItem::RadioLine, 2)->label, "Fighter1:three");
    SetFrameTime(300);
    screen.console.Update(0);
    screen.Draw();
    EXPECT_EQ(screen.Item(HudItem::RadioLine, 0), nullptr);
    // Where the newest line stood only the cleared screen is left.
    EXPECT_EQ(screen.Count(newest, [](uint32_t argb) { return !hudtest::IsClear(argb); }), 0);
}

TEST(HudDraw, TheMenuBorderStays36PixelsAtEverySizeAndTheFadeCoversTheMenus)
{
    for (const auto& size : {std::pair{1024, 768}, std::pair{1280, 960}, std::pair{1280, 720}})
    {
        HudScreen screen(size.first, size.second);
        ASSERT_TRUE(screen.Ready());
        OpenPauseMenu(&screen);
        screen.Draw();
        const MenuRect inner = screen.Pixels(HudItem::MenuWindow);
        const float y = (inner.top + inner.bottom) * 0.5f;
        // The border's outer edge 36 pixels left of the inner rectangle.
        EXPECT_FALSE(hudtest::IsClear(screen.At(inner.left - 35, y))) << size.first;
        EXPECT_TRUE(hudtest::IsClear(screen.At(inner.left - 38, y))) << size.first;
        EXPECT_FALSE(hudtest::IsClear(screen.At(inner.right + 35, y))) << size.first;
        EXPECT_TRUE(hudtest::IsClear(screen.At(inner.right + 38, y))) << size.first;
        // The cursor's item lit, the others at half brightness.
        EXPECT_EQ(screen.Item(HudItem::MenuLine, 0)->label, "lit");
        EXPECT_EQ(screen.Item(HudItem::MenuLine, 1)->label, "dim");
        const MenuRect item = screen.Pixels(HudItem::MenuLine, 0);
        EXPECT_GT(screen.Count(item, hudtest::IsBright), 20);

        // Half faded: the menu shows darkened; all faded: black over it.
        screen.console.GetStateForUpdate()->fade = 0.5f;
        screen.Draw();
        EXPECT_EQ(screen.Count(item, hudtest::IsBright), 0);
        EXPECT_GT(screen.Count(item, [](uint32_t argb) { return hudtest::Red(argb) > 90; }), 0);
        screen.console.GetStateForUpdate()->fade = 1.0f;
        screen.Draw();
        const MenuRect all{0.0f, 0.0f, static_cast<float>(size.first), static_cast<float>(size.second)};
        EXPECT_EQ(screen.Count(all, [](uint32_t argb) { return (argb & 0xFFFFFF) != 0; }), 0) << size.first;
    }
}

TEST(HudDraw, AWideWindowKeepsThePanelsAtItsEdgesAndCentresTheList)
{
    HudScreen screen(1280, 720);
    ASSERT_TRUE(screen.Ready());
    // However the camera's viewport lies: here a 4:3 area in the middle.
    screen.camera.SetViewport(160, 0, 960, 720);
    screen.Graphics().SetCamera(&screen.camera);
    tag_TOLQCONSOLESTATE* state = screen.console.GetStateForUpdate();
    state->participantShown = 1;
    state->participantClock = 1000;
    screen.Draw();
    const float s = 720.0f / 768.0f;
    const MenuRect radar = screen.Pixels(HudItem::Radar);
    EXPECT_NEAR(radar.right, 1280.0f - 8.0f * s, 0.01f);
    EXPECT_FALSE(hudtest::IsClear(screen.At(radar.right - 2, (radar.top + radar.bottom) * 0.5f)));
    const MenuRect panel = screen.Pixels(HudItem::WeaponPanel);
    EXPECT_NEAR(panel.right, 1280.0f - 8.0f * s, 0.01f);
    EXPECT_NEAR(panel.bottom, 720.0f - 8.0f * s, 0.01f);
    const MenuRect time = screen.Pixels(HudItem::TimeLabel);
    EXPECT_NEAR(time.left, 8.0f * s, 0.01f);
    // The list's contents stand in the middle 960 pixels.
    const MenuRect map = screen.Pixels(HudItem::ListMap);
    const float margin = (1280.0f - 960.0f) / 2.0f;
    EXPECT_NEAR(map.left, margin + 400.0f * s, 0.01f);
    EXPECT_NEAR(screen.Pixels(HudItem::ListTitle).left, margin + 36.0f * s, 1.0f);
    const MenuRect shutter = screen.Pixels(HudItem::ListShutter);
    EXPECT_NEAR(shutter.left, 0.0f, 0.01f);
    EXPECT_NEAR(shutter.right, 1280.0f, 0.01f);
    EXPECT_FALSE(hudtest::IsClear(screen.At(2, (shutter.top + shutter.bottom) * 0.5f)));
}

TEST(HudDraw, TheWeaponPanelCountsRoundsAndAnEmptyWeaponsGaugeFillsWithItsReload)
{
    HudScreen screen(1024, 768);
    ASSERT_TRUE(screen.Ready());
    CCharacter* fighter = ArmWithRifle(&screen);
    screen.Draw();
    EXPECT_EQ(screen.Item(HudItem::Rounds)->label, "012");
    EXPECT_EQ(screen.Item(HudItem::Capacity)->label, "012");
    EXPECT_EQ(screen.Item(HudItem::AmmoGauge)->label, "100");
    EXPECT_NE(screen.Item(HudItem::KindLabel, 1), nullptr);
    const MenuRect gauge = screen.Pixels(HudItem::AmmoGauge);
    // The gauge runs clockwise from the left: its top-left quarter lit.
    const uint32_t full = screen.At(gauge.left + gauge.Width() * 0.25f, gauge.top + gauge.Height() * 0.3f);

    // Emptied, it reloads: halfway through the reload the gauge is half
    // full, at half brightness.
    CWeapon* weapon = fighter->GetMainWeapon();
    while (weapon->Spend() != 0)
        ;
    weapon->Update(1000);
    screen.Draw();
    EXPECT_EQ(screen.Item(HudItem::Rounds)->label, "000");
    EXPECT_EQ(screen.Item(HudItem::AmmoGauge)->label, "50");
    const uint32_t reloading = screen.At(gauge.left + gauge.Width() * 0.25f, gauge.top + gauge.Height() * 0.3f);
    EXPECT_NEAR(hudtest::Red(reloading), hudtest::Red(full) / 2, 8);
    EXPECT_NEAR(hudtest::Green(reloading), hudtest::Green(full) / 2, 8);
}

TEST(HudDraw, BannersFollowTheirPhaseClock)
{
    HudScreen screen(1280, 720);
    ASSERT_TRUE(screen.Ready());
    screen.console.StartIntro();
    auto at = [&screen](uint32_t phaseClock) {
        screen.console.GetStateForUpdate()->phaseClock = phaseClock;
        screen.console.GetStateForUpdate()->fade = 0.0f;
        screen.Draw();
    };
    screen.console.StartReady();
    at(3500 + 1000); // ready shown over the bands
    ASSERT_NE(screen.Item(HudItem::Banner, 0), nullptr);
    EXPECT_NE(screen.Item(HudItem::BannerBand, 0), nullptr);
    EXPECT_EQ(screen.Item(HudItem::Banner, 1), nullptr);
    const MenuRect ready = screen.Pixels(HudItem::Banner, 0);
    EXPECT_GT(screen.Count(ready, [](uint32_t argb) { return !hudtest::IsClear(argb); }), 1000);
    screen.SavePng("HudReady.png");
    at(3500 + 2150); // go held; the ready call and its bands are gone
    EXPECT_EQ(screen.Item(HudItem::Banner, 0), nullptr);
    EXPECT_EQ(screen.Item(HudItem::BannerBand, 0), nullptr);
    ASSERT_NE(screen.Item(HudItem::Banner, 1), nullptr);
    screen.SavePng("HudGo.png");
    screen.console.ShowWin();
    at(2000 + 1000);
    for (uint32_t k = 0; k < 3; ++k)
        EXPECT_NE(screen.Item(HudItem::Banner, 2 + k), nullptr) << k;
    screen.SavePng("HudWin.png");
    screen.console.ShowLose();
    at(2000 + 450); // halfway down from 50 units above the centre
    const MenuRect lose = screen.Pixels(HudItem::Banner, 5);
    EXPECT_NEAR((lose.top + lose.bottom) * 0.5f, 360.0f - 25.0f * screen.Scale(), 0.5f);
    screen.console.ShowDraw();
    at(2000 + 3425); // flattened away
    EXPECT_EQ(screen.Item(HudItem::Banner, 6), nullptr);
    at(2000 + 1000);
    EXPECT_NE(screen.Item(HudItem::Banner, 6), nullptr);
    screen.SavePng("HudDrawBanner.png");
}

TEST(HudDraw, TheMissionResultWindowScalesItsBorderAndShowsTheRank)
{
    for (const int height : {768, 960})
    {
        HudScreen screen(height * 4 / 3, height);
        ASSERT_TRUE(screen.Ready());
        screen.setting->mission = 1;
        static const char* none[1] = {nullptr};
        screen.console.SetBanner2(0, 1, nullptr, none, nullptr);
        screen.console.ShowAnnouncement(ConsoleMenu::Win);
        screen.console.GetStateForUpdate()->timeLeft = 42500;
        screen.pointers[0]->GetBattleScore()->value[tag_TOLQBATTLESCORE::RANK] = 6;
        screen.Draw();
        EXPECT_EQ(screen.Item(HudItem::MissionScore)->label, "42");
        EXPECT_NE(screen.Item(HudItem::MissionRank, 6), nullptr);
        const MenuRect inner = screen.Pixels(HudItem::MissionPanel);
        const float border = 36.0f * screen.Scale();
        const float y = (inner.top + inner.bottom) * 0.5f;
        EXPECT_FALSE(hudtest::IsClear(screen.At(inner.left - border + 1, y))) << height;
        EXPECT_TRUE(hudtest::IsClear(screen.At(inner.left - border - 2, y))) << height;
        if (height == 960)
            screen.SavePng("HudMissionResult.png");
    }
}

TEST(HudDraw, AScopeFillsTheScreensHeightAndBlacksOutItsSides)
{
    HudScreen screen(1280, 720);
    ASSERT_TRUE(screen.Ready());
    const CWeaponDefinition rifle = Rifle();
    screen.definitions[0].kind = 4;
    CCharacter* fighter = screen.pointers[0];
    ASSERT_EQ(fighter->AddWeapon(&rifle, 1), 1u);
    fighter->GetStateBlock()->aimFlag = 1;
    screen.Draw();
    const MenuRect scope = screen.Pixels(HudItem::Scope);
    EXPECT_NEAR(scope.Height(), 720.0f, 0.5f);
    EXPECT_NEAR(scope.left, (1280.0f - 720.0f) / 2.0f, 0.5f);
    EXPECT_EQ(screen.At(scope.left - 5, 360) & 0xFFFFFF, 0u);
    EXPECT_EQ(screen.At(scope.right + 5, 360) & 0xFFFFFF, 0u);
    EXPECT_EQ(screen.Item(HudItem::Reticle), nullptr);
    // Not in the recoil state.
    fighter->GetStateBlock()->actionState = 21;
    screen.Draw();
    EXPECT_EQ(screen.Item(HudItem::Scope), nullptr);
}

TEST(HudDraw, TheRiflesReticleLeavesOnceTheBattlesEndShows)
{
    HudScreen screen(1280, 720);
    ASSERT_TRUE(screen.Ready());
    CCharacter* fighter = ArmWithRifle(&screen);
    fighter->GetStateBlock()->aimFlag = 1;
    screen.Draw();
    ASSERT_NE(screen.Item(HudItem::Reticle), nullptr) << "aiming in play shows the reticle";
    // Over the win banner, the reticle's place looks as it does without aim.
    for (auto end : {&CBattleConsole::ShowWin, &CBattleConsole::ShowLose, &CBattleConsole::StartFinish})
    {
        (screen.console.*end)();
        screen.console.GetStateForUpdate()->phaseClock = 2000 + 1000;
        fighter->GetStateBlock()->aimFlag = 0;
        screen.Draw();
        const std::vector<uint32_t> unaimed = screen.frame;
        fighter->GetStateBlock()->aimFlag = 1;
        screen.Draw();
        EXPECT_EQ(screen.Item(HudItem::Reticle), nullptr);
        EXPECT_TRUE(unaimed == screen.frame)
            << "the reticle still shows in phase " << static_cast<int>(screen.console.GetPhase());
        if (end == &CBattleConsole::ShowWin)
            screen.SavePng("HudWinWhileAiming.png");
    }
}

TEST(HudDraw, TheRadarPlacesFightersAroundTheFocusedOneClippedToItsDiscAndTurnsWhenRotating)
{
    HudScreen screen(1024, 768, 3);
    ASSERT_TRUE(screen.Ready());
    CStageDefinition arena;
    arena.mapHalfX = 50.0f;
    arena.mapHalfZ = 50.0f;
    CStage stage(arena);
    screen.console.SetStage(&stage);
    // The focused fighter faces -x (yaw 90); one stands 10 units to its +x,
    // behind it, and one 30 units along +z, past the radar's edge.
    const CkvrVector3 origin(0.0f, 0.0f, 0.0f), behind(10.0f, 0.0f, 0.0f), outside(0.0f, 0.0f, 30.0f);
    const CkvrVector3 facing(0.0f, 90.0f, 0.0f);
    screen.pointers[0]->SetPosition(&origin);
    screen.pointers[0]->SetRotation(&facing);
    screen.pointers[1]->SetPosition(&behind);
    screen.pointers[2]->SetPosition(&outside);
    screen.Draw();
    const MenuPoint centre = screen.console.GetDrawnItems().FindItem(HudItemId(HudItem::RadarArrow, 0))->rect.Centre();
    // Fixed, the map shows +x to the left and +z down, 128 units per
    // half-extent.
    const MenuPoint fixedBehind = screen.Item(HudItem::RadarArrow, 1)->rect.Centre();
    EXPECT_NEAR(fixedBehind.x, centre.x - 128.0f * 10.0f / 50.0f, 0.01f);
    EXPECT_NEAR(fixedBehind.y, centre.y, 0.01f);
    const MenuRect away = screen.Pixels(HudItem::RadarArrow, 2);
    EXPECT_GT(away.top, screen.Pixels(HudItem::Radar).bottom);
    // The disc's mask keeps the arrow past its edge from being drawn.
    EXPECT_EQ(screen.Count(away, [](uint32_t argb) { return !hudtest::IsClear(argb); }), 0);
    const MenuRect near = screen.Pixels(HudItem::RadarArrow, 1);
    EXPECT_GT(screen.Count(near, [](uint32_t argb) { return hudtest::Blue(argb) > 200 && hudtest::Red(argb) < 60; }),
              5);
    // Rotating, the focused fighter's facing is up: what stands behind it
    // is below the centre.
    screen.console.SetRadarRotation(true);
    screen.Draw();
    const MenuPoint turnedBehind = screen.Item(HudItem::RadarArrow, 1)->rect.Centre();
    EXPECT_NEAR(turnedBehind.x, centre.x, 0.01f);
    EXPECT_NEAR(turnedBehind.y, centre.y + 128.0f * 10.0f / 50.0f, 0.01f);
}

TEST(HudDraw, NamePlatesAndFieldLabelsShowWithinTheirRangesOverTheWorld)
{
    HudScreen screen(1024, 768, 4);
    ASSERT_TRUE(screen.Ready());
    const float eye[3] = {0.0f, 1.0f, 0.0f}, target[3] = {0.0f, 1.0f, 1.0f}, up[3] = {0.0f, 1.0f, 0.0f};
    screen.camera.SetProjection(60, -1.0f, 0.1f, 1500.0f);
    screen.camera.SetLookAt(eye, target, up);
    // Fighters 1-3 ahead at 10, 51.5 (fading) and 60 (past 53) units.
    const float distances[3] = {10.0f, 51.5f, 60.0f};
    for (uint32_t i = 1; i < 4; ++i)
    {
        const CkvrVector3 at(0.0f, 0.0f, distances[i - 1]);
        screen.pointers[i]->SetPosition(&at);
    }
    // A rifle the focused fighter can carry and one it can't, 5 units ahead.
    CFieldLists field;
    CWeaponDefinition carried = Rifle();
    CWeaponDefinition foreign = Rifle();
    foreign.characterMask = 0x80;
    for (const CWeaponDefinition* definition : {&carried, &foreign})
    {
        field.weapons.push_back(CWeapon::Make(definition));
        const CkvrVector3 at(0.0f, 0.5f, 5.0f);
        field.weapons.back()->SetPosition(&at);
    }
    screen.console.SetField(&field);
    screen.Graphics().GetDevice()->Clear(CLEAR_TARGET | CLEAR_ZBUFFER, hudtest::kClear, 1.0f, 0);
    screen.console.RenderWorldOverlays();
    EXPECT_NE(screen.Item(HudItem::NamePlate, 1), nullptr);
    EXPECT_NE(screen.Item(HudItem::NamePlate, 2), nullptr);
    EXPECT_EQ(screen.Item(HudItem::NamePlate, 3), nullptr);
    EXPECT_EQ(screen.Item(HudItem::NamePlate, 0), nullptr); // not over the focused one
    // Nearer plates are larger.
    EXPECT_GT(screen.Item(HudItem::NamePlate, 1)->rect.Width(), screen.Item(HudItem::NamePlate, 2)->rect.Width());
    EXPECT_EQ(screen.Item(HudItem::WeaponLabel, 0)->label, "Rifle");
    EXPECT_EQ(screen.Item(HudItem::WeaponLabel, 1), nullptr);
}

TEST(HudDraw, TheWindowFrameOtherScreensDrawTakesWindowPixelsAndKeepsTheHudsReport)
{
    HudScreen screen(1280, 960);
    ASSERT_TRUE(screen.Ready());
    screen.Draw();
    const size_t reported = screen.console.GetDrawnItems().Items().size();
    const float inner[4] = {500.0f, 400.0f, 700.0f, 500.0f};
    screen.console.DrawWindowFrame(inner, 0xFFFFFFFF);
    screen.console.DrawWindowFrameScaled(inner, 0xFFFFFFFF, 2.0f);
    EXPECT_EQ(screen.console.GetDrawnItems().Items().size(), reported);
    std::vector<uint32_t> frame(static_cast<size_t>(1280) * 960);
    ASSERT_EQ(screen.Graphics().GetDevice()->ReadPixels(screen.Graphics().GetDevice()->GetBackBuffer(), 0, 0, 1280,
                                                        960, frame.data()),
              DEVICE_OK);
    auto at = [&frame](int x, int y) { return frame[static_cast<size_t>(y) * 1280 + x]; };
    // The scaled frame's border is 72 pixels deep, the plain one's 36.
    EXPECT_FALSE(hudtest::IsClear(at(500 - 71, 450)));
    EXPECT_TRUE(hudtest::IsClear(at(500 - 74, 450)));
}

// Seen as "143|330": the separator drawn inside the third big digit. At
// every size the figures stand side by side and the separator between
// them: over the separator's column, above its top, the digits leave the
// screen clear.
TEST(HudDraw, TheTimesSeparatorStandsBetweenTheSecondsAndTheMillisecondsAtEverySize)
{
    for (const auto& size : {std::pair{640, 480}, std::pair{1024, 768}, std::pair{1280, 720}})
    {
        HudScreen screen(size.first, size.second);
        ASSERT_TRUE(screen.Ready());
        // Eights: the widest figures.
        screen.console.GetStateForUpdate()->timeLeft = 888888;
        screen.Draw();
        const float s = screen.Scale();
        // The separator: 4 units wide from x 64, y 28 to 48; the big digits
        // from y 20.
        const MenuRect aboveSeparator{64.0f * s + 0.5f, 20.0f * s + 1.0f, 68.0f * s - 0.5f, 28.0f * s - 1.0f};
        EXPECT_EQ(screen.Count(aboveSeparator, hudtest::IsBright), 0) << size.first;
        const MenuRect separator{64.0f * s, 30.0f * s, 68.0f * s, 46.0f * s};
        EXPECT_GT(screen.Count(separator, hudtest::IsBright), 0) << size.first;
        if (size.first == 640)
            screen.SavePng("HudTime640.png");
    }
}

// At 640 x 480 a score row's tag is 15 x 10 pixels: its figure must fill
// it to be read.
TEST(HudDraw, TheScoreRowsNumberTagsAreReadableAt640x480)
{
    HudScreen screen(640, 480, 4);
    ASSERT_TRUE(screen.Ready());
    screen.setting->rules.rule = tag_TOLQBATTLERULE::RULE_SMASH_RACE;
    screen.setting->rules.limit = 4;
    screen.Draw();
    screen.SavePng("HudTags640.png");
    for (uint32_t line = 0; line < 4; ++line)
    {
        const MenuRect tag = screen.Pixels(HudItem::RuleIcon, line);
        // How many rows hold the figure's white: lighter in every channel
        // than any tag's colour.
        auto white = [](uint32_t argb) {
            return std::min({hudtest::Red(argb), hudtest::Green(argb), hudtest::Blue(argb)}) > 130;
        };
        int rows = 0;
        for (int y = static_cast<int>(tag.top); y < static_cast<int>(tag.bottom); ++y)
            rows += screen.Count({tag.left, static_cast<float>(y), tag.right, static_cast<float>(y + 1)}, white) > 0
                        ? 1
                        : 0;
        EXPECT_GE(rows, 6) << line;
    }
}

// Seen mirrored: the lower band's stripes read backwards. Both bands show
// their stripes the right way round, so a stripe of the lower band matches
// one of the upper band as it stands, not turned over.
TEST(HudDraw, TheReadyCallsBandsReadTheRightWayRound)
{
    HudScreen screen(1024, 768);
    ASSERT_TRUE(screen.Ready());
    screen.console.StartIntro();
    screen.console.StartReady();
    tag_TOLQCONSOLESTATE* state = screen.console.GetStateForUpdate();
    // 1200 ms into the call the stripes stand where their scroll began: one
    // of the upper band's from the left edge, one of the lower band's up to
    // the right edge (the ready word between the bands covers neither).
    state->phaseClock = 3500 + 1200;
    state->fade = 0.0f;
    screen.Draw();
    screen.SavePng("HudBands.png");
    const MenuRect upper = screen.Pixels(HudItem::BannerBand, 1);
    const MenuRect lower = screen.Pixels(HudItem::BannerBand, 0);
    const int width = static_cast<int>(ConsoleSheet::kBandStripe.Width());
    const int height = static_cast<int>(ConsoleSheet::kBandStripe.Height());
    const int upperTop = static_cast<int>((upper.top + upper.bottom) * 0.5f) - height / 2;
    const int lowerTop = static_cast<int>((lower.top + lower.bottom) * 0.5f) - height / 2;
    const int upperLeft = 0;
    const int lowerLeft = 1024 - width;
    long same = 0;
    long turned = 0;
    for (int y = 0; y < height; ++y)
    {
        for (int x = 0; x < width; ++x)
        {
            const int a = hudtest::Green(screen.At(static_cast<float>(upperLeft + x), static_cast<float>(upperTop + y)));
            const int b = hudtest::Green(screen.At(static_cast<float>(lowerLeft + x), static_cast<float>(lowerTop + y)));
            const int c = hudtest::Green(
                screen.At(static_cast<float>(lowerLeft + width - 1 - x), static_cast<float>(lowerTop + y)));
            same += std::abs(a - b);
            turned += std::abs(a - c);
        }
    }
    EXPECT_LT(same * 4, turned);
}

// Seen cut off at the window's left edge while it slid away. The line
// stays where it stands and its panel wipes it away from the right: its
// first word is never cut by the window, and nothing of it shows past its
// panel, however long it is and however narrow the window.
TEST(HudDraw, AKillFeedLineIsCutByItsPanelNeverByTheWindowsEdge)
{
    auto bright = [](uint32_t argb) { return hudtest::IsBright(argb); };
    for (const auto& size : {std::pair{640, 480}, std::pair{480, 640}})
    {
        HudScreen screen(size.first, size.second);
        ASSERT_TRUE(screen.Ready());
        const std::string text = std::string(GameText("Fighter1が")) + GameText("Fighter2に倒されました") + "!!!!!!!";
        screen.console.ShowMessage(text.c_str(), 4, 1);
        tag_TOLQCONSOLESTATE* state = screen.console.GetStateForUpdate();
        const float s = screen.Scale();
        const float w = static_cast<float>(size.first);
        // The feed's rows: from y 64 to 92 units.
        const MenuRect band{0.0f, 64.0f * s, w, 92.0f * s};
        auto leftmost = [&](const MenuRect& area) {
            for (int x = 0; x < size.first; ++x)
            {
                if (screen.Count({static_cast<float>(x), area.top, static_cast<float>(x + 1), area.bottom}, bright) >
                    0)
                    return x;
            }
            return -1;
        };
        state->messageClock = 1000;
        screen.Draw();
        const int restLeft = leftmost(band);
        ASSERT_GE(restLeft, 0) << size.first;
        // The panel ends short of the radar's column, 152 units from the
        // right edge: nothing of the line past it.
        const float panelEnd = w - 152.0f * s;
        EXPECT_EQ(screen.Count({panelEnd + 1.0f, band.top, w, band.bottom}, bright), 0) << size.first;
        if (size.first == 480)
            screen.SavePng("HudFeedNarrow.png");
        // Halfway through the wipe: the same first word, and nothing past
        // the wiped panel's end.
        state->messageClock = 2800;
        screen.Draw();
        EXPECT_EQ(leftmost(band), restLeft) << size.first;
        const MenuRect shown = screen.Pixels(HudItem::KillFeed);
        EXPECT_LT(shown.right, panelEnd);
        EXPECT_EQ(screen.Count({shown.right + 1.0f, band.top, w, band.bottom}, bright), 0) << size.first;
        if (size.first == 640)
            screen.SavePng("HudFeedWiping.png");
    }
}

namespace
{
bool Drawn(uint32_t argb)
{
    return !hudtest::IsClear(argb);
}
}

// Seen in battle: a fighter at the screen's left edge had its plate run
// under the score rows, and a close fighter's plate grew until its name left
// the top of the screen. A plate stands clear of the rows, and a close one
// at a bounded size within the screen.
TEST(HudDraw, NamePlatesKeepClearOfTheScoreRowsAndACloseOnesNameStaysOnScreen)
{
    for (const auto& [width, height] : {std::pair{640, 480}, std::pair{1280, 720}})
    {
        HudScreen screen(width, height, 4);
        ASSERT_TRUE(screen.Ready());
        screen.setting->rules.limit = 4;
        const float eye[3] = {0.0f, 1.0f, 0.0f}, target[3] = {0.0f, 1.0f, 1.0f}, up[3] = {0.0f, 1.0f, 0.0f};
        screen.camera.SetProjection(60, -1.0f, 0.1f, 1500.0f);
        screen.camera.SetLookAt(eye, target, up);
        // Heads: fighter 1's at the far left, level with the rows; fighter
        // 2's a step and a half away, near the top; fighter 3's far off.
        const float leftEdge = -10.0f * std::tan(3.14159265f / 6.0f) * static_cast<float>(width) / height;
        const CkvrVector3 heads[3] = {{leftEdge + 0.9f, 4.2f, 10.0f}, {0.0f, 1.7f, 1.5f}, {0.0f, 0.3f, 40.0f}};
        for (uint32_t i = 1; i < 4; ++i)
        {
            const CkvrVector3 feet = heads[i - 1] - CkvrVector3(0.0f, screen.definitions[i].height + 0.3f, 0.0f);
            screen.pointers[i]->SetPosition(&feet);
        }
        screen.DrawOverlaysThenHud();
        if (width == 640)
            screen.SavePng("HudPlates640.png");
        const MenuRect left = screen.OverlayPixels(HudItem::NamePlate, 1);
        ASSERT_GT(left.Width(), 0.0f) << width;
        EXPECT_EQ(screen.CoveredByHud(left), 0) << width;
        const MenuRect close = screen.OverlayPixels(HudItem::NamePlate, 2);
        EXPECT_EQ(screen.Count({close.left, 0.0f, close.right, 1.0f}, Drawn), 0) << width;
        EXPECT_LT(close.Height(), 60.0f * screen.Scale()) << width;
        EXPECT_GT(close.Width(), screen.OverlayPixels(HudItem::NamePlate, 3).Width()) << width;
    }
}

// Seen in a knockout mission (limit 99): the score rows ran across the
// whole width and under the radar, and each team's pips over the next
// teams' plates. A player's row ends in the left third of the 4:3 area, a
// team's pips on its own plate.
TEST(HudDraw, ALargeLimitsScoreRowsKeepClearOfTheRadarAndOfTheOtherTeamsPlates)
{
    for (const auto& [width, height] : {std::pair{640, 480}, std::pair{1280, 720}})
    {
        HudScreen screen(width, height, 4);
        ASSERT_TRUE(screen.Ready());
        screen.setting->mission = 1;
        screen.setting->rules.limit = 99;
        screen.Draw();
        if (width == 640)
            screen.SavePng("HudMissionRows640.png");
        const float third = 1024.0f / 3.0f * screen.Scale();
        const float radar = screen.Pixels(HudItem::Radar).left;
        for (uint32_t line = 0; line < 4; ++line)
        {
            const MenuRect row = screen.Pixels(HudItem::RulePips, line);
            EXPECT_EQ(screen.Count({third, row.top + 1.0f, radar - 1.0f, row.bottom - 1.0f}, Drawn), 0) << width;
        }
        screen.setting->rules.teamBattle = 1;
        screen.setting->rules.rule = tag_TOLQBATTLERULE::RULE_TEAM_JEWELS;
        for (uint32_t i = 0; i < 4; ++i)
            screen.pointers[i]->GetActionData()->team = static_cast<uint8_t>(i);
        screen.Draw();
        const MenuRect last = screen.Pixels(HudItem::TeamPlate, 3);
        EXPECT_EQ(screen.Count({last.right + 1.0f, last.top, last.right + 60.0f, last.bottom}, Drawn), 0) << width;
    }
}
